#pragma once
// Writes a vectorscope mode's graph, as it renders now, to a PNG file.

#include <string>

class Parandel;

namespace app
{
// The command line's names of the five display modes, by mode index.
constexpr const char* kScopeModeNames[] = {"polar", "lissajous", "flame", "grid", "source"};
// Mode index of a name, or −1.
int ScopeModeFromName(const std::string& name);

// Renders mode's graph and writes it (RGBA, straight alpha) beside path, then renames it into
// place. False with a one-line reason on failure.
bool WriteScopePng(Parandel& plug, int mode, const std::string& path, std::string& error);
} // namespace app

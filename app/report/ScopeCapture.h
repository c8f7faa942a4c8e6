#pragma once
// The vectorscope's four modes that show audio (polar samples, Lissajous, flame, source) as it
// draws them right after a given moment of a file. A host's editor shows what the scope computed
// over the blocks before it, the flame's slowly falling peaks and the source analysis' queues
// included, so each mode runs from the file's start in a plug-in of its own (all four fed the same
// blocks, the file read once) up to the output of that moment; then each mode's graph is drawn.

#include "app/render/FileRenderer.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

class LICE_IBitmap;
class LICE_MemBitmap;

namespace app
{
// The modes shown, in the order of the pictures: polar, lissajous, flame, source (GRID shows
// the Pan and Width settings, not the audio).
constexpr int kReportScopeModes[4] = {0, 1, 2, 4};

struct ScopeImages
{
    std::array<std::unique_ptr<LICE_MemBitmap>, 4> modes; // in kReportScopeModes order
};

// Renders path with the options' block size and parameters until the output of its first
// endFrame samples has come out, and draws the four graphs then; share, when given, is told the
// share of the rendering done. False with a one-line reason.
bool CaptureScopes(const std::string& path, const RenderOptions& options, long long endFrame,
                   ScopeImages& images, std::string& error,
                   const std::function<void(double)>& share = {});

// The four images in a 2 × 2 grid (polar, Lissajous / flame, source) with a gap between; null
// when an image is missing or memory ran out.
std::unique_ptr<LICE_MemBitmap> ScopeGrid(const ScopeImages& images, std::string& error);
} // namespace app

#pragma once
// Finding the file of a font face by name through fontconfig.
//
// The editor's styles name Mac faces ("Monaco", "Tahoma"); fontconfig answers every query with
// some font, so a match only counts when it really stands for the name: the matched face has
// that family name, or fontconfig's configuration names it as a substitute for that family in
// particular (as it does for "Arial" → "Liberation Sans"), rather than as the default for any
// name. Mac faces fontconfig knows nothing about go by their kind ("Monaco" → "monospace",
// "Tahoma" → "sans-serif"). When nothing stands for the name, the bundled font ("font.ttf") is
// next, then whatever fontconfig offers by default, so a font can always be made.
//
// Threads: safe from any thread; fontconfig is entered under one process-wide mutex.

#include <string>
#include <vector>

struct LICE_FontFile
{
    std::string path;
    int index = 0; // face within a collection file
};

// Candidate files for the face at the weight (400 normal, 700 bold) and slant, best first.
std::vector<LICE_FontFile> LICE_FindFontFiles(const char* face, int weight, bool italic);

// The generic family ("sans-serif", "serif", "monospace") a well-known Mac or Windows face name
// stands for, or null.
const char* LICE_GenericFamilyFor(const char* face);

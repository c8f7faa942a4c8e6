#pragma once
// A picture of the whole editor built from the art files at their layout positions, with the
// editor's own texts drawn the way it draws them, to judge the art as a whole.

#include "ArtFont.h"

#include <string>

namespace art
{

struct PreviewSettings
{
    std::string artDirectory; // where the art files are
    std::string scopeImage;   // drawn at the scope's place; empty: the scope background
    int scopeMode = 0;        // the lit mode button
    double width = 0.65;      // knob and meter values, normalised
    double pan = 0.5;
    double bassFocus = 0.2;
    double outGain = 0.5;
    double correlation = 0.62; // -1..+1
    bool monoToStereo = false;
    bool monoOut = false;
};

// Writes the composite to path; captions use captionFont (bold), like the editor's "Tahoma".
void MakePreview(const PreviewSettings& settings, const ArtFont& captionFont,
                 const std::string& path);

} // namespace art

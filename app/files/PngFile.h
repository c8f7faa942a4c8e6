#pragma once
// Bitmaps as PNG files (RGBA, straight alpha, encoded by EncodePng), written through TempFile.

#include <string>

class LICE_IBitmap;

namespace app
{
// Encodes the bitmap and writes it beside path, then renames it into place. False with a
// one-line reason; nothing is left behind.
bool WritePngFile(const LICE_IBitmap& bitmap, const std::string& path, std::string& error);
} // namespace app

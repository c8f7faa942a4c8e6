#pragma once
// Bitmaps as PNG files (RGBA, straight alpha), written through TempFile. libpng's own messages
// never reach the terminal: its errors come back as one-line reasons.

#include <string>

class LICE_IBitmap;

namespace app
{
// Encodes the bitmap as PNG bytes. False with a one-line reason.
bool EncodePng(const LICE_IBitmap& bitmap, std::string& bytes, std::string& error);
// Encodes the bitmap and writes it beside path, then renames it into place. False with a
// one-line reason; nothing is left behind.
bool WritePngFile(const LICE_IBitmap& bitmap, const std::string& path, std::string& error);
} // namespace app

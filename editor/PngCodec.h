#pragma once
// PNG files and LICE bitmaps, through libpng: the program's one PNG reader and writer. libpng's
// own messages never reach the terminal; its errors end the call with a result.

#include <string>

class LICE_IBitmap;

// Decodes a PNG file into a new bitmap (owned by the caller): palettes, grey and 16-bit channels
// become 8-bit RGB, a transparency chunk becomes alpha, images without alpha get 255. Rows are
// stored top row first, or bottom row first when flipped. Null for a missing, non-PNG or
// corrupt file.
LICE_IBitmap* LoadPngFile(const char* path, bool flipped = false);

// Encodes the bitmap as PNG bytes (8-bit RGBA, straight alpha). False with a one-line reason.
bool EncodePng(const LICE_IBitmap& bitmap, std::string& bytes, std::string& error);

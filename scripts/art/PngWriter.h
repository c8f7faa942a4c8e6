#pragma once
// PNG output of the art: 8-bit RGBA with straight alpha, fixed compression settings and no time
// or text chunks, so the same picture always gives the same bytes.

#include <cairo.h>
#include <string>

namespace art
{

// Writes an ARGB32 image surface (premultiplied, as Cairo keeps it) to path, through a
// temporary file renamed at the end. Throws std::runtime_error.
void WritePng(const std::string& path, cairo_surface_t* surface);

// One premultiplied Cairo pixel as straight-alpha R, G, B, A bytes.
void Unpremultiply(unsigned int pixel, unsigned char* rgba);

} // namespace art

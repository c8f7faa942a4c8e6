#include "editor/LICE_Draw.h"

// Placeholder implementations; the drawing layer proper replaces them.
void LICE_Blit(LICE_IBitmap*, const LICE_IBitmap*, int, int, int, int, int, int, float, int,
               const IRECT*)
{
}
void LICE_RotatedBlit(LICE_IBitmap*, const LICE_IBitmap*, int, int, int, int, float, float, float,
                      float, float, float, int, const IRECT*)
{
}
void LICE_Line(LICE_IBitmap*, float, float, float, float, LICE_pixel, float, int, bool,
               const IRECT*)
{
}
void LICE_FillRect(LICE_IBitmap*, int, int, int, int, LICE_pixel, float, int, const IRECT*) {}
LICE_pixel LICE_BlendPixel(LICE_pixel dest, LICE_pixel, float, int)
{
    return dest;
}

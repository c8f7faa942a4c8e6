#include "editor/LICE_Bitmap.h"

#include <cstdlib>
#include <new>

LICE_pixel* LICE_IBitmap::PixelAt(int x, int y)
{
    if (x < 0 || y < 0 || x >= getWidth() || y >= getHeight() || !getBits())
        return nullptr;
    const int row = isFlipped() ? getHeight() - 1 - y : y;
    return getBits() + static_cast<long>(row) * getRowSpan() + x;
}

const LICE_pixel* LICE_IBitmap::PixelAt(int x, int y) const
{
    return const_cast<LICE_IBitmap*>(this)->PixelAt(x, y);
}

LICE_MemBitmap::LICE_MemBitmap(int width, int height, bool flipped) : mFlipped(flipped)
{
    resize(width, height);
}

LICE_MemBitmap::~LICE_MemBitmap()
{
    delete[] mBits;
}

bool LICE_MemBitmap::resize(int width, int height)
{
    if (width < 0 || height < 0)
        return false;
    const long long pixels = static_cast<long long>(width) * height;
    if (pixels > 0x7FFFFFFF / 4)
        return false;
    if (pixels > mAllocated)
    {
        LICE_pixel* bits = new (std::nothrow) LICE_pixel[static_cast<size_t>(pixels)];
        if (!bits)
            return false;
        delete[] mBits;
        mBits = bits;
        mAllocated = static_cast<int>(pixels);
    }
    mWidth = width;
    mHeight = height;
    return true;
}

void LICE_MemBitmap::Fill(LICE_pixel color)
{
    const long n = static_cast<long>(mWidth) * mHeight;
    for (long i = 0; i < n; ++i)
        mBits[i] = color;
}

#pragma once
// Raster images of the editor's drawing layer: 32-bit pixels with alpha in the top byte, then
// red, green and blue; alpha is straight, not premultiplied. Rows are stored top row first
// unless the bitmap is flipped; the row span may exceed the width.

#include <cstdint>

using LICE_pixel = uint32_t;

constexpr LICE_pixel LICE_RGBA(unsigned r, unsigned g, unsigned b, unsigned a)
{
    return (static_cast<LICE_pixel>(a & 0xFF) << 24) | (static_cast<LICE_pixel>(r & 0xFF) << 16) |
           (static_cast<LICE_pixel>(g & 0xFF) << 8) | static_cast<LICE_pixel>(b & 0xFF);
}
constexpr unsigned LICE_GETA(LICE_pixel p)
{
    return (p >> 24) & 0xFF;
}
constexpr unsigned LICE_GETR(LICE_pixel p)
{
    return (p >> 16) & 0xFF;
}
constexpr unsigned LICE_GETG(LICE_pixel p)
{
    return (p >> 8) & 0xFF;
}
constexpr unsigned LICE_GETB(LICE_pixel p)
{
    return p & 0xFF;
}

class LICE_IBitmap
{
public:
    virtual ~LICE_IBitmap() = default;

    virtual LICE_pixel* getBits() = 0;
    virtual const LICE_pixel* getBits() const = 0;
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    // Pixels from one row to the next.
    virtual int getRowSpan() const = 0;
    // Rows stored bottom row first.
    virtual bool isFlipped() const { return false; }
    // Changes the size; contents become undefined. False when memory ran out (size unchanged).
    virtual bool resize(int width, int height) = 0;

    // Pixel (x, y) counted from the top-left whatever the storage order; null outside.
    LICE_pixel* PixelAt(int x, int y);
    const LICE_pixel* PixelAt(int x, int y) const;
};

// A bitmap in ordinary memory; the row span equals the width.
class LICE_MemBitmap : public LICE_IBitmap
{
public:
    LICE_MemBitmap(int width = 0, int height = 0, bool flipped = false);
    ~LICE_MemBitmap() override;

    LICE_MemBitmap(const LICE_MemBitmap&) = delete;
    LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

    LICE_pixel* getBits() override { return mBits; }
    const LICE_pixel* getBits() const override { return mBits; }
    int getWidth() const override { return mWidth; }
    int getHeight() const override { return mHeight; }
    int getRowSpan() const override { return mWidth; }
    bool isFlipped() const override { return mFlipped; }
    bool resize(int width, int height) override;

    // Sets every pixel.
    void Fill(LICE_pixel color);

private:
    LICE_pixel* mBits = nullptr;
    int mWidth = 0;
    int mHeight = 0;
    int mAllocated = 0; // pixels
    bool mFlipped;
};

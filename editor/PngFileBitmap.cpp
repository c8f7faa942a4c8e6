#include "editor/PngFileBitmap.h"

#include "editor/PngCodec.h"

#include <algorithm>
#include <cstdio>

namespace
{
// Largest side accepted from a header; anything bigger is not one of ours.
constexpr unsigned long kMaxSide = 1u << 15;

unsigned long BigEndian32(const unsigned char* p)
{
    return (static_cast<unsigned long>(p[0]) << 24) | (static_cast<unsigned long>(p[1]) << 16) |
           (static_cast<unsigned long>(p[2]) << 8) | static_cast<unsigned long>(p[3]);
}
} // namespace

PngFileBitmap* PngFileBitmap::Open(const char* path)
{
    if (!path || !path[0])
        return nullptr;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    // Signature, then the IHDR chunk: length, type, width, height.
    unsigned char head[24];
    const bool read = std::fread(head, 1, sizeof(head), file) == sizeof(head);
    std::fclose(file);
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (!read || !std::equal(kSignature, kSignature + 8, head) ||
        !std::equal(head + 12, head + 16, "IHDR"))
        return nullptr;
    const unsigned long w = BigEndian32(head + 16);
    const unsigned long h = BigEndian32(head + 20);
    if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide)
        return nullptr;
    return new PngFileBitmap(path, static_cast<int>(w), static_cast<int>(h));
}

PngFileBitmap::PngFileBitmap(std::string path, int width, int height)
    : mPath(std::move(path)), mWidth(width), mHeight(height)
{
}

bool PngFileBitmap::resize(int width, int height)
{
    if (!Pixels().resize(width, height))
        return false;
    mWidth = width;
    mHeight = height;
    return true;
}

LICE_IBitmap& PngFileBitmap::Pixels() const
{
    std::call_once(mDecodeOnce,
                   [this]
                   {
                       LICE_IBitmap* decoded = LoadPngFile(mPath.c_str());
                       if (!decoded || decoded->getWidth() != mWidth ||
                           decoded->getHeight() != mHeight)
                       {
                           delete decoded;
                           auto blank = std::make_unique<LICE_MemBitmap>(mWidth, mHeight);
                           blank->Fill(0);
                           decoded = blank.release();
                       }
                       mDecoded.reset(decoded);
                   });
    return *mDecoded;
}

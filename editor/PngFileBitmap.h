#pragma once
// A bundle image that is decoded when its pixels are first used. Its size comes from the PNG
// header at once, so controls can be laid out; a program that never draws (the command line
// builds the editor with the plug-in) never pays for decoding. A file damaged past its header
// shows as transparent pixels of the header's size.
//
// Threads: the first pixel access decodes under a once-flag, from whichever thread draws.

#include "editor/LICE_Bitmap.h"

#include <memory>
#include <mutex>
#include <string>

class PngFileBitmap : public LICE_IBitmap
{
public:
    // Null unless path names a readable file with a PNG signature and a sensible header.
    static PngFileBitmap* Open(const char* path);

    LICE_pixel* getBits() override { return Pixels().getBits(); }
    const LICE_pixel* getBits() const override { return Pixels().getBits(); }
    int getWidth() const override { return mWidth; }
    int getHeight() const override { return mHeight; }
    int getRowSpan() const override { return Pixels().getRowSpan(); }
    bool resize(int width, int height) override;

private:
    PngFileBitmap(std::string path, int width, int height);
    LICE_IBitmap& Pixels() const;

    std::string mPath;
    int mWidth, mHeight;
    mutable std::once_flag mDecodeOnce;
    mutable std::unique_ptr<LICE_IBitmap> mDecoded;
};

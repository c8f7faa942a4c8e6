#pragma once
// The bundle's resources: finding a file by name, decoding PNG images into bitmaps and the
// process-wide bitmap cache shared by every editor instance.
//
// The bundle's resource folder is "resources" beside the executable, else beside its parent
// folder, else in the install prefix's share/parandel. A name such as
// "resources/img/blue-knob.png" finds its file by base name and type (blue-knob, png); the
// folders written in the name play no part. The resource folder and its subfolders are searched.
//
// Threads: the cache has its own mutex; loading happens on the thread that builds an editor.

#include "framework/WDL_String.h"

class LICE_IBitmap;

// A bitmap as controls hold it: the shared image and how it is cut into frames.
struct BitmapRef
{
    LICE_IBitmap* bitmap = nullptr; // owned by the bitmap cache
    int width = 0;                  // full image width in pixels
    int height = 0;                 // full image height in pixels
    int frames = 1;                 // frames in the image, 1 for a plain image
    bool horizontal = false;        // frames side by side instead of stacked

    // Height (or width, for horizontal frames) of one frame; integer division.
    int FrameHeight() const { return frames > 0 ? height / frames : height; }
    int FrameWidth() const { return frames > 0 ? width / frames : width; }
};

// The bundle's resource folder, or an empty string when none is found.
const char* ResourceDirectory();

// Full path of the resource named by fileName (base name and the type after the last "."),
// or false with an empty path when there is none.
bool ResourcePath(const char* fileName, WDL_String* path);

// Loads one bundle file as a new bitmap (owned by the caller): null unless the name ends in
// "png" (any letter case) and the resource exists with a PNG header. Its pixels are decoded at
// their first use (PngFileBitmap).
LICE_IBitmap* OSLoadBitmap(int resourceId, const char* fileName);

// The cached bitmap for the resource ID, loaded through OSLoadBitmap at its first use; the
// first bitmap loaded under an ID is the one every later call gets. A failed load is not
// cached, so the reference then holds no bitmap and a zero size.
BitmapRef LoadBitmap(int resourceId, const char* fileName, int frames = 1, bool horizontal = false);

// The image of a cached bitmap for a display scale: the art made for it (the file's name with
// "@2x", "@1.5x" … before its type, of exactly the scaled size), else, for an image without
// such art, a pixel-repeating enlargement. Cached like the bitmap itself; the bitmap itself at
// scale 1.
LICE_IBitmap* ScaledBitmap(LICE_IBitmap* bitmap, double scale);

// Decodes every cached bitmap that has not been decoded yet, as its image at the display scale:
// an editor about to open pays for its images on the opening thread, before its first frame is
// due.
void DecodeCachedBitmaps(double scale = 1.0);

// Puts a bitmap into the cache under resourceId when no bitmap is cached under it yet; the cache
// then owns it and every LoadBitmap of the ID returns it. False (the caller keeps the bitmap)
// when the ID is taken or the bitmap is null. For images made in memory, such as test images of
// known sizes.
bool CacheBitmap(int resourceId, LICE_IBitmap* bitmap);

// Offset of frame `frame` (1-based) inside an image of `size` pixels along the frame axis
// holding `frames` frames: truncate((frame - 1) * size / frames + 0.5) for frame >= 2 of
// 2 or more frames, 0 otherwise.
int FrameSourceOffset(int frame, int frames, int size);

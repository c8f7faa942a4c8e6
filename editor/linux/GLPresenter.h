#pragma once
// Shows the editor through OpenGL: the draw bitmap lives in one texture (only dirty rectangles
// are uploaded after the first frame), each control's own image in a texture of its own, and a
// frame is the draw texture as a quad under an orthographic projection with the controls'
// images over it. Parts of the draw bitmap presented after the images (a prompt over the scope)
// are drawn again on top. An image without transparency is drawn as it is, with nothing under
// it, and whatever needs no blending or scaling is copied by a framebuffer blit rather than
// drawn: software GL copies rows as memory but runs a shader for every pixel of a quad.
//
// Threads: only the thread whose GL context is current.

#include "editor/DirtyRegion.h"
#include "editor/IControlTypes.h"

#include <map>
#include <vector>

class LICE_IBitmap;

class GLPresenter
{
public:
    GLPresenter() = default;
    ~GLPresenter();
    GLPresenter(const GLPresenter&) = delete;
    GLPresenter& operator=(const GLPresenter&) = delete;

    // Uploads the rectangle of the draw bitmap (all of it when rect is null or the texture is
    // new or resized).
    void PresentBitmap(const LICE_IBitmap* drawBitmap, const IRECT* rect);
    // Queues a control's image over the rectangle, uploading it when it changed or its texture
    // is new.
    void PresentLayer(const LICE_IBitmap* image, const IRECT& rect, bool changed);
    // Draws the frame into the current draw buffer of a width × height view; only the areas
    // changed since the last frame when `onlyChanged` is set (the rest of the buffer must still
    // hold the last frame). The areas drawn are in `drawn` (view pixels, y downward).
    void DrawFrame(int width, int height, bool onlyChanged, DirtyRegion* drawn);
    // Forgets what was queued for a frame that will not be drawn.
    void DiscardFrame();
    // Deletes every texture (the context is about to go).
    void Release();
    int LiveTextures() const { return mLiveTextures; }
    // Texture uploads so far.
    long Uploads() const { return mUploads; }

private:
    struct Texture
    {
        unsigned id = 0;
        int width = 0;
        int height = 0;
        bool opaque = false; // every texel's alpha is full
        unsigned fbo = 0;    // a framebuffer reading the texture, for copies; 0 for none
    };
    struct Quad
    {
        unsigned texture;
        IRECT dest;    // editor coordinates
        IRECT source;  // texels of the texture
        int texWidth;
        int texHeight;
        bool blend;
        unsigned fbo; // copied from this framebuffer when set, else drawn
    };
    // Makes the texture hold an image of this size; true when it was (re)created.
    bool Ensure(Texture& texture, int width, int height);
    void Upload(Texture& texture, const LICE_IBitmap* bitmap, const IRECT& area);
    void DrawQuad(const Quad& quad);
    // The part of the quad inside the area (the scissor's), copied when it can be.
    void Show(const Quad& quad, const IRECT& area, int viewHeight);
    // The draw texture over the area, but for the parts that opaque images cover.
    void DrawUncovered(const IRECT& area, int viewHeight);
    // A framebuffer reading the texture; 0 when copies are not available.
    unsigned MakeFramebuffer(unsigned texture);
    void Delete(Texture& texture);

    Texture mDraw;
    std::map<const LICE_IBitmap*, Texture> mLayers;
    std::vector<Quad> mQuads;
    std::vector<IRECT> mParts; // DrawUncovered's work lists, kept to spare allocations
    std::vector<IRECT> mRest;
    DirtyRegion mChanged; // what the queued presentations changed
    bool mLayerQueued = false;
    int mLiveTextures = 0;
    long mUploads = 0;
};

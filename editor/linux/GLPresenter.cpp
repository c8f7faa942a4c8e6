#include "editor/linux/GLPresenter.h"

#include "editor/LICE_Bitmap.h"

#include <GL/glew.h>

#include <algorithm>
#include <set>

namespace
{
bool Opaque(const LICE_IBitmap* image)
{
    for (int y = 0; y < image->getHeight(); ++y)
    {
        const LICE_pixel* row = image->PixelAt(0, y);
        for (int x = 0; x < image->getWidth(); ++x)
            if (LICE_GETA(row[x]) != 255)
                return false;
    }
    return true;
}

// The parts of r outside hole: up to four bands (above, below, left, right).
int Subtract(const IRECT& r, const IRECT& hole, IRECT out[4])
{
    const IRECT cut(std::max(r.L, hole.L), std::max(r.T, hole.T), std::min(r.R, hole.R),
                    std::min(r.B, hole.B));
    if (cut.W() <= 0 || cut.H() <= 0)
    {
        out[0] = r;
        return 1;
    }
    int n = 0;
    const IRECT bands[4] = {IRECT(r.L, r.T, r.R, cut.T), IRECT(r.L, cut.B, r.R, r.B),
                            IRECT(r.L, cut.T, cut.L, cut.B), IRECT(cut.R, cut.T, r.R, cut.B)};
    for (const IRECT& band : bands)
        if (band.W() > 0 && band.H() > 0)
            out[n++] = band;
    return n;
}
} // namespace

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

GLPresenter::~GLPresenter()
{
    // Textures go with their context; Release must have run while it was current.
}

bool GLPresenter::Ensure(Texture& texture, int width, int height)
{
    if (texture.id && texture.width == width && texture.height == height)
        return false;
    if (!texture.id)
    {
        GLuint id = 0;
        glGenTextures(1, &id);
        texture.id = id;
        ++mLiveTextures;
    }
    glBindTexture(GL_TEXTURE_2D, texture.id);
    // One texel to one pixel: nearest sampling keeps the bitmap exact.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 nullptr);
    texture.width = width;
    texture.height = height;
    return true;
}

void GLPresenter::Upload(Texture& texture, const LICE_IBitmap* bitmap, const IRECT& area)
{
    const int l = std::max(area.L, 0);
    const int t = std::max(area.T, 0);
    const int r = std::min(area.R, bitmap->getWidth());
    const int b = std::min(area.B, bitmap->getHeight());
    if (r <= l || b <= t || !bitmap->getBits())
        return;
    ++mUploads;
    glBindTexture(GL_TEXTURE_2D, texture.id);
    // The pixels are 0xAARRGGBB words: in memory B, G, R, A, which GL reads as BGRA.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (!bitmap->isFlipped())
    {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, bitmap->getRowSpan());
        glTexSubImage2D(GL_TEXTURE_2D, 0, l, t, r - l, b - t, GL_BGRA, GL_UNSIGNED_BYTE,
                        bitmap->PixelAt(l, t));
    }
    else
    {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        for (int y = t; y < b; ++y)
            glTexSubImage2D(GL_TEXTURE_2D, 0, l, y, r - l, 1, GL_BGRA, GL_UNSIGNED_BYTE,
                            bitmap->PixelAt(l, y));
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void GLPresenter::PresentBitmap(const LICE_IBitmap* drawBitmap, const IRECT* rect)
{
    if (!drawBitmap)
        return;
    const int w = drawBitmap->getWidth();
    const int h = drawBitmap->getHeight();
    const IRECT all(0, 0, w, h);
    const bool fresh = Ensure(mDraw, w, h);
    if (fresh && !mDraw.fbo)
        mDraw.fbo = MakeFramebuffer(mDraw.id);
    const IRECT area = fresh || !rect ? all : *rect;
    Upload(mDraw, drawBitmap, area);
    mChanged.Add(area);
    // Shown over the controls' images when it comes after them in the frame (a prompt).
    if (mLayerQueued && rect)
        mQuads.push_back(Quad{mDraw.id, *rect, *rect, w, h, false, mDraw.fbo});
}

void GLPresenter::PresentLayer(const LICE_IBitmap* image, const IRECT& rect, bool changed)
{
    if (!image)
        return;
    Texture& texture = mLayers[image];
    const int w = image->getWidth();
    const int h = image->getHeight();
    if (Ensure(texture, w, h) || changed)
    {
        Upload(texture, image, IRECT(0, 0, w, h));
        texture.opaque = Opaque(image);
        mChanged.Add(rect);
    }
    // An opaque image at one texel per pixel is copied, not drawn.
    const bool copy = texture.opaque && rect.W() == w && rect.H() == h;
    if (copy && !texture.fbo)
        texture.fbo = MakeFramebuffer(texture.id);
    mQuads.push_back(Quad{texture.id, rect, IRECT(0, 0, rect.W(), rect.H()), w, h,
                          !texture.opaque, copy ? texture.fbo : 0u});
    mLayerQueued = true;
}

void GLPresenter::DrawQuad(const Quad& q)
{
    const float u0 = static_cast<float>(q.source.L) / q.texWidth;
    const float v0 = static_cast<float>(q.source.T) / q.texHeight;
    const float u1 = static_cast<float>(q.source.R) / q.texWidth;
    const float v1 = static_cast<float>(q.source.B) / q.texHeight;
    if (q.blend)
    {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    else
    {
        glDisable(GL_BLEND);
    }
    glBindTexture(GL_TEXTURE_2D, q.texture);
    glBegin(GL_QUADS);
    glTexCoord2f(u0, v0);
    glVertex2i(q.dest.L, q.dest.T);
    glTexCoord2f(u1, v0);
    glVertex2i(q.dest.R, q.dest.T);
    glTexCoord2f(u1, v1);
    glVertex2i(q.dest.R, q.dest.B);
    glTexCoord2f(u0, v1);
    glVertex2i(q.dest.L, q.dest.B);
    glEnd();
}

unsigned GLPresenter::MakeFramebuffer(unsigned texture)
{
    // Copies need framebuffer blits (OpenGL 3 or ARB_framebuffer_object); without them images
    // are drawn as quads.
    if (!glGenFramebuffers || !glBlitFramebuffer || !glFramebufferTexture2D)
        return 0;
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    const bool complete =
        glCheckFramebufferStatus(GL_READ_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    if (!complete)
    {
        glDeleteFramebuffers(1, &fbo);
        return 0;
    }
    return fbo;
}

void GLPresenter::Show(const Quad& q, const IRECT& area, int viewHeight)
{
    if (!q.fbo)
    {
        DrawQuad(q);
        return;
    }
    const IRECT d(std::max(q.dest.L, area.L), std::max(q.dest.T, area.T),
                  std::min(q.dest.R, area.R), std::min(q.dest.B, area.B));
    if (d.W() <= 0 || d.H() <= 0)
        return;
    // Texture rows run from the image's top and the window's rows from its bottom: the copy is
    // turned upside down in OpenGL's terms, which is the window buffer's own order, so software
    // GL copies the rows as memory (there must be no scissor, scaling or blending).
    const int x0 = q.source.L + d.L - q.dest.L;
    const int y0 = q.source.T + d.T - q.dest.T;
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, q.fbo);
    glBlitFramebuffer(x0, y0, x0 + d.W(), y0 + d.H(), d.L, viewHeight - d.T, d.R, viewHeight - d.B,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glEnable(GL_SCISSOR_TEST);
}

void GLPresenter::DrawUncovered(const IRECT& area, int viewHeight)
{
    // Parts of the area still to draw; each opaque image cuts its rectangle out of them.
    mParts.assign(1, area);
    for (const Quad& q : mQuads)
    {
        if (q.blend || q.texture == mDraw.id)
            continue;
        mRest.clear();
        for (const IRECT& part : mParts)
        {
            IRECT pieces[4];
            const int n = Subtract(part, q.dest, pieces);
            mRest.insert(mRest.end(), pieces, pieces + n);
        }
        mParts.swap(mRest);
    }
    for (const IRECT& part : mParts)
        Show(Quad{mDraw.id, part, part, mDraw.width, mDraw.height, false, mDraw.fbo}, part,
             viewHeight);
}

void GLPresenter::DrawFrame(int width, int height, bool onlyChanged, DirtyRegion* drawn)
{
    drawn->Clear();
    if (onlyChanged)
        drawn->Add(mChanged.Scaled(1.0, width, height));
    else
        drawn->Add(IRECT(0, 0, width, height));
    mChanged.Clear();
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // y downward, one unit per pixel, as the editor counts.
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // Pixels outside the areas keep the last frame.
    glEnable(GL_SCISSOR_TEST);
    for (const IRECT& area : *drawn)
    {
        glScissor(area.L, height - area.B, area.W(), area.H());
        // The draw texture covers the whole view: only without it is there anything to clear.
        if (!mDraw.id)
        {
            glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        else
        {
            DrawUncovered(area, height);
        }
        for (const Quad& q : mQuads)
            if (RectsIntersect(q.dest, area))
                Show(q, area, height);
    }
    std::set<unsigned> used;
    for (const Quad& q : mQuads)
        used.insert(q.texture);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_SCISSOR_TEST);
    // Images no control presented this frame (a scope mode switched off) give their texture
    // back, so textures never pile up.
    for (auto it = mLayers.begin(); it != mLayers.end();)
    {
        if (used.count(it->second.id))
        {
            ++it;
            continue;
        }
        Delete(it->second);
        it = mLayers.erase(it);
    }
    mQuads.clear();
    mLayerQueued = false;
}

void GLPresenter::DiscardFrame()
{
    mChanged.Clear();
    mQuads.clear();
    mLayerQueued = false;
}

void GLPresenter::Delete(Texture& texture)
{
    if (texture.fbo)
    {
        GLuint fbo = texture.fbo;
        glDeleteFramebuffers(1, &fbo);
    }
    GLuint id = texture.id;
    glDeleteTextures(1, &id);
    --mLiveTextures;
    texture = Texture();
}

void GLPresenter::Release()
{
    for (auto& entry : mLayers)
        Delete(entry.second);
    mLayers.clear();
    if (mDraw.id)
        Delete(mDraw);
    mChanged.Clear();
    mQuads.clear();
    mLayerQueued = false;
}

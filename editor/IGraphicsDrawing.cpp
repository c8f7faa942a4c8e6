#include "editor/IGraphics.h"

#include "editor/IGraphicsView.h"
#include "editor/IPromptOverlay.h"
#include "editor/LICE_Bitmap.h"
#include "editor/LICE_Draw.h"
#include "editor/LICE_Text.h"
#include "editor/controls/IControl.h"
#include "framework/IPlugBase.h"
#include "framework/MathConstants.h"

#include <algorithm>
#include <cmath>

namespace
{
LICE_pixel ToPixel(const IColor& c)
{
    return LICE_RGBA(c.R, c.G, c.B, c.A);
}

float BlendWeight(const IChannelBlend* blend)
{
    return blend ? blend->weight : 1.0f;
}

int BlendMethod(const IChannelBlend* blend)
{
    return blend ? blend->method : IChannelBlend::kBlendNone;
}
} // namespace

// ---- The tick and drawing ----

IRECT IGraphics::CollectDirtyRect()
{
    IRECT dirty;
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* c = mControls.Get(i);
        if (c->IsDirty())
            dirty = UnionRect(dirty, c->GetRECT());
    }
    return dirty;
}

IRECT IGraphics::OnTimerTick()
{
    // Controls also change from the plug-in's side (the audio thread's meter values, the host's
    // parameter changes), under the plug-in mutex: the editor reads them under it too, after
    // its own mutex.
    WDL_MutexLock lock(&mMutex);
    WDL_MutexLock plugLock(mPlug ? mPlug->GetMutex() : nullptr);
    const IRECT dirty = CollectDirtyRect();
    if (++mIdleTicks >= 2)
    {
        for (int i = 0; i < mControls.GetSize(); ++i)
            mControls.Get(i)->OnEditorIdle();
        mIdleTicks = 0;
    }
    // Nothing dirty and no new image asks for nothing: an unchanged editor costs one check.
    bool layers = false;
    for (int i = 0; i < mControls.GetSize() && !layers; ++i)
        layers = mControls.Get(i)->NeedsRenderGL();
    if (mView)
    {
        // Each part on its own: a view may show distant changes as separate areas.
        for (int i = 0; i < mControls.GetSize() && !dirty.Empty(); ++i)
            if (mControls.Get(i)->IsDirty())
                mView->Invalidate(mControls.Get(i)->GetRECT());
        if (layers)
            mView->InvalidateLayers();
    }
    return dirty;
}

bool IGraphics::DrawRegion(const IRECT& rect)
{
    DirtyRegion region;
    region.Add(rect);
    return DrawRegion(region);
}

bool IGraphics::DrawRegion(const DirtyRegion& region)
{
    WDL_MutexLock lock(&mMutex);
    if (!mDrawBitmap)
        AllocateDrawBitmaps();
    // An empty region redraws no control: only the controls' own images are brought up to
    // date.
    const bool redraw = !region.Empty();
    if (redraw)
    {
        // Control values also change from the plug-in's side (the audio thread's meter values,
        // the host's parameter changes) under the plug-in mutex: they are drawn under it too,
        // after the editor's own. Presentation (texture uploads, a buffer swap that may wait for
        // the screen) happens outside it, so the audio thread never waits for the display.
        WDL_MutexLock plugLock(mPlug ? mPlug->GetMutex() : nullptr);
        DirtyRegion shown = region;
        DrawControls(region.Bounds(), &shown);
        DrawPrompt();
        for (const IRECT& part : shown.Scaled(mScale, PixelWidth(), PixelHeight()))
            PresentFrame(&part);
    }
    const bool newImage = PresentGLControls(true);
    if (mView)
        mView->EndPresent(redraw || newImage);
    return true;
}

void IGraphics::DrawControls(const IRECT& rect, DirtyRegion* drawn)
{
    if (mControls.GetSize() > 0)
    {
        if (mStrictDrawing)
        {
            mDrawRECT = rect;
            drawn->Add(rect);
            for (int i = 0; i < mControls.GetSize(); ++i)
            {
                IControl* c = mControls.Get(i);
                if (!c->IsHidden() && RectsIntersect(c->GetRECT(), mDrawRECT))
                {
                    c->Draw(this);
                    c->SetClean();
                }
            }
        }
        else
        {
            IControl* background = mControls.Get(0);
            if (background->IsDirty())
            {
                mDrawRECT = background->GetRECT();
                drawn->Add(mDrawRECT);
                for (int i = 0; i < mControls.GetSize(); ++i)
                {
                    IControl* c = mControls.Get(i);
                    if (i == 0 || !c->IsHidden())
                        c->Draw(this);
                    c->SetClean();
                }
            }
            else
            {
                for (int i = 1; i < mControls.GetSize(); ++i)
                {
                    IControl* dirty = mControls.Get(i);
                    if (!dirty->IsDirty())
                        continue;
                    mDrawRECT = dirty->GetRECT();
                    drawn->Add(mDrawRECT);
                    for (int j = 0; j < mControls.GetSize(); ++j)
                    {
                        IControl* c = mControls.Get(j);
                        if (!c->IsHidden() && (j == i || RectsIntersect(c->GetRECT(), mDrawRECT)))
                            c->Draw(this);
                    }
                    dirty->SetClean();
                }
            }
        }
    }
}

void IGraphics::DrawPrompt()
{
    if (!mPrompt || !RectsIntersect(mPrompt->Area(), mDrawRECT))
        return;
    mPrompt->Draw(this);
}

void IGraphics::PresentFrame(const IRECT* rect) // device pixels
{
    if (mView && mDrawBitmap)
        mView->PresentBitmap(mDrawBitmap, rect);
}

bool IGraphics::PresentGLControls(bool render)
{
    bool changed = false;
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* c = mControls.Get(i);
        const unsigned before = c->RenderGLCount();
        LICE_IBitmap* image = c->RenderGL(render);
        const bool fresh = c->RenderGLCount() != before;
        changed = changed || fresh;
        if (image && mView)
            mView->PresentLayer(image, ScaleRect(c->GetRECT(), mScale), fresh);
    }
    // A prompt lies over everything, the scope included.
    if (mPrompt && mView && mDrawBitmap)
    {
        const IRECT area = ScaleRect(mPrompt->Area(), mScale);
        mView->PresentBitmap(mDrawBitmap, &area);
    }
    return changed;
}

// ---- Text ----

bool IGraphics::DrawIText(IText* text, const char* str, IRECT* rect)
{
    if (!text || !str || !*str || !rect || !mDrawBitmap)
        return true;
    // The font is made at the scaled size, so text is as sharp as at scale 1; it is measured
    // (and laid out) at its own size.
    IText scaled = *text;
    scaled.mSize = static_cast<int>(std::lround(text->mSize * mScale));
    LICE_CachedFont* font = LICE_GetCachedFont(scaled);
    const float weight = text->mColor.A < 255 ? text->mColor.A / 255.0f : 1.0f;
    IColor opaque = text->mColor;
    opaque.A = 255;
    const IRECT clip = PixelClip();
    font->Draw(mDrawBitmap, str, ScaleRect(*rect, mScale), ToPixel(opaque), weight, text->mAlign,
               &clip);
    return true;
}

bool IGraphics::MeasureIText(IText* text, const char* str, IRECT* rect)
{
    if (!text || !str || !*str || !rect)
        return true;
    LICE_CachedFont* font = LICE_GetCachedFont(*text);
    int w = 0;
    int h = 0;
    font->Measure(str, &w, &h);
    switch (text->mAlign)
    {
    case IText::kAlignNear:
        rect->R = w;
        break;
    case IText::kAlignCenter:
        rect->L = static_cast<int>((rect->L + rect->R) * 0.5) - w / 2;
        rect->R = rect->L + w;
        break;
    case IText::kAlignFar:
        rect->L = rect->R - w;
        break;
    default:
        break;
    }
    rect->B = rect->T + h;
    return true;
}

// ---- Drawing ----

bool IGraphics::DrawBitmap(const BitmapRef* bitmap, const IRECT* rect, int frame,
                           const IChannelBlend* blend)
{
    if (!bitmap || !bitmap->bitmap || !rect || !mDrawBitmap)
        return false;
    // The image at the editor's scale holds its frames at the same places, scaled.
    LICE_IBitmap* image = ImageAtScale(bitmap);
    if (!image)
        return false;
    int srcX = 0;
    int srcY = 0;
    if (bitmap->horizontal)
        srcX = FrameSourceOffset(frame, bitmap->frames, image->getWidth());
    else
        srcY = FrameSourceOffset(frame, bitmap->frames, image->getHeight());
    const IRECT dest = ScaleRect(*rect, mScale);
    const IRECT clip = PixelClip();
    LICE_Blit(mDrawBitmap, image, dest.L, dest.T, srcX, srcY, dest.W(), dest.H(),
              BlendWeight(blend), BlendMethod(blend), &clip);
    return true;
}

bool IGraphics::DrawRotatedBitmap(const BitmapRef* bitmap, int destCtrX, int destCtrY, double angle,
                                  int yOffsetZeroDeg, const IChannelBlend* blend)
{
    LICE_IBitmap* image = bitmap && bitmap->bitmap ? ImageAtScale(bitmap) : nullptr;
    if (!image || !mDrawBitmap)
        return false;
    const int w = image->getWidth();
    const int h = image->getHeight();
    const int x = static_cast<int>(std::lround(destCtrX * mScale)) - w / 2;
    const int y = static_cast<int>(std::lround((destCtrY + yOffsetZeroDeg) * mScale)) - h / 2;
    const IRECT clip = PixelClip();
    LICE_RotatedBlit(mDrawBitmap, image, x, y, w, h, 0.0f, 0.0f, static_cast<float>(w),
                     static_cast<float>(h), static_cast<float>(angle * kPi / 180.0),
                     BlendWeight(blend), BlendMethod(blend), &clip);
    return true;
}

bool IGraphics::DrawRotatedMask(const BitmapRef* base, const BitmapRef* mask, const BitmapRef* top,
                                int x, int y, double angle, const IChannelBlend* blend)
{
    if (!base || !base->bitmap || !mask || !mask->bitmap || !top || !top->bitmap || !mDrawBitmap ||
        !mScratchBitmap)
        return false;
    LICE_IBitmap* baseImage = ImageAtScale(base);
    LICE_IBitmap* maskImage = ImageAtScale(mask);
    LICE_IBitmap* topImage = ImageAtScale(top);
    if (!baseImage || !maskImage || !topImage)
        return false;
    // The rotated mask is built in the scratch bitmap over a copy of the base, so that its
    // alpha only shows where the base is; then the result and the top go into the editor.
    const int w = baseImage->getWidth();
    const int h = baseImage->getHeight();
    mScratchBitmap->resize(w, h);
    mScratchBitmap->Fill(0);
    // Over a transparent scratch an alpha copy reproduces the base, transparent corners too.
    LICE_Blit(mScratchBitmap, baseImage, 0, 0, 0, 0, w, h, 1.0f, IChannelBlend::kBlendNone,
              nullptr);
    LICE_RotatedBlit(mScratchBitmap, maskImage, 0, 0, w, h, 0.0f, 0.0f,
                     static_cast<float>(maskImage->getWidth()),
                     static_cast<float>(maskImage->getHeight()),
                     static_cast<float>(angle * kPi / 180.0), 1.0f, IChannelBlend::kBlendNone,
                     nullptr);
    const int cx = static_cast<int>(std::lround(x * mScale));
    const int cy = static_cast<int>(std::lround(y * mScale));
    const IRECT clip = PixelClip();
    LICE_Blit(mDrawBitmap, mScratchBitmap, cx - w / 2, cy - h / 2, 0, 0, w, h, BlendWeight(blend),
              BlendMethod(blend), &clip);
    LICE_Blit(mDrawBitmap, topImage, cx - topImage->getWidth() / 2, cy - topImage->getHeight() / 2,
              0, 0, topImage->getWidth(), topImage->getHeight(), BlendWeight(blend),
              BlendMethod(blend), &clip);
    return true;
}

bool IGraphics::DrawLine(const IColor* color, float x1, float y1, float x2, float y2,
                         const IChannelBlend* blend, bool antiAlias)
{
    if (!color || !mDrawBitmap)
        return false;
    const float s = static_cast<float>(mScale);
    const IRECT clip = PixelClip();
    // A one-unit line is as thick as the scale: parallel pixel lines across the band a unit
    // wide covers (one line at scale 1).
    const float dx = x2 - x1;
    const float dy = y2 - y1;
    const float length = std::sqrt(dx * dx + dy * dy);
    const float nx = length > 0.0f ? std::fabs(dy) / length : 0.0f;
    const float ny = length > 0.0f ? std::fabs(dx) / length : 1.0f;
    const int lines = std::max(1, static_cast<int>(std::lround(mScale)));
    for (int k = 0; k < lines; ++k)
        LICE_Line(mDrawBitmap, x1 * s + k * nx, y1 * s + k * ny, x2 * s + k * nx, y2 * s + k * ny,
                  ToPixel(*color), BlendWeight(blend), BlendMethod(blend), antiAlias, &clip);
    return true;
}

bool IGraphics::DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin,
                               float rMax, const IChannelBlend* blend, bool antiAlias)
{
    const float radians = static_cast<float>(angle * kPi / 180.0);
    const float s = std::sin(radians);
    const float c = std::cos(radians);
    return DrawLine(color, cx + rMin * s, cy - rMin * c, cx + rMax * s, cy - rMax * c, blend,
                    antiAlias);
}

bool IGraphics::FillIRect(const IColor* color, const IRECT* rect, const IChannelBlend* blend)
{
    if (!color || !rect || !mDrawBitmap)
        return false;
    const IRECT r = ScaleRect(*rect, mScale);
    const IRECT clip = PixelClip();
    LICE_FillRect(mDrawBitmap, r.L, r.T, r.W(), r.H(), ToPixel(*color), BlendWeight(blend),
                  BlendMethod(blend), &clip);
    return true;
}

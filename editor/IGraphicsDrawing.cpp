#include "editor/IGraphics.h"

#include "editor/IGraphicsView.h"
#include "editor/IPromptOverlay.h"
#include "editor/LICE_Bitmap.h"
#include "editor/LICE_Draw.h"
#include "editor/LICE_Text.h"
#include "editor/controls/IControl.h"
#include "framework/IPlugBase.h"
#include "framework/MathConstants.h"

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
        if (!dirty.Empty())
            mView->Invalidate(dirty);
        if (layers)
            mView->InvalidateLayers();
    }
    return dirty;
}

bool IGraphics::DrawRegion(const IRECT& rect)
{
    WDL_MutexLock lock(&mMutex);
    if (!mDrawBitmap)
        AllocateDrawBitmaps();
    // An empty rectangle redraws no control: only the controls' own images are brought up to
    // date.
    const bool region = !rect.Empty();
    if (region)
    {
        // Control values also change from the plug-in's side (the audio thread's meter values,
        // the host's parameter changes) under the plug-in mutex: they are drawn under it too,
        // after the editor's own. Presentation (texture uploads, a buffer swap that may wait for
        // the screen) happens outside it, so the audio thread never waits for the display.
        WDL_MutexLock plugLock(mPlug ? mPlug->GetMutex() : nullptr);
        DrawControls(rect);
        DrawPrompt();
        PresentFrame(&rect);
    }
    const bool newImage = PresentGLControls(true);
    if (mView)
        mView->EndPresent(region || newImage);
    return true;
}

void IGraphics::DrawControls(const IRECT& rect)
{
    if (mControls.GetSize() > 0)
    {
        if (mStrictDrawing)
        {
            mDrawRECT = rect;
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

void IGraphics::PresentFrame(const IRECT* rect)
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
            mView->PresentLayer(image, c->GetRECT(), fresh);
    }
    // A prompt lies over everything, the scope included.
    if (mPrompt && mView && mDrawBitmap)
    {
        const IRECT area = mPrompt->Area();
        mView->PresentBitmap(mDrawBitmap, &area);
    }
    return changed;
}

// ---- Text ----

bool IGraphics::DrawIText(IText* text, const char* str, IRECT* rect)
{
    if (!text || !str || !*str || !rect || !mDrawBitmap)
        return true;
    LICE_CachedFont* font = LICE_GetCachedFont(*text);
    const float weight = text->mColor.A < 255 ? text->mColor.A / 255.0f : 1.0f;
    IColor opaque = text->mColor;
    opaque.A = 255;
    font->Draw(mDrawBitmap, str, *rect, ToPixel(opaque), weight, text->mAlign, &mDrawRECT);
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
    int srcX = 0;
    int srcY = 0;
    if (bitmap->horizontal)
        srcX = FrameSourceOffset(frame, bitmap->frames, bitmap->width);
    else
        srcY = FrameSourceOffset(frame, bitmap->frames, bitmap->height);
    LICE_Blit(mDrawBitmap, bitmap->bitmap, rect->L, rect->T, srcX, srcY, rect->W(), rect->H(),
              BlendWeight(blend), BlendMethod(blend), &mDrawRECT);
    return true;
}

bool IGraphics::DrawRotatedBitmap(const BitmapRef* bitmap, int destCtrX, int destCtrY, double angle,
                                  int yOffsetZeroDeg, const IChannelBlend* blend)
{
    if (!bitmap || !bitmap->bitmap || !mDrawBitmap)
        return false;
    const int w = bitmap->width;
    const int h = bitmap->height;
    const int x = destCtrX - w / 2;
    const int y = destCtrY - h / 2;
    LICE_RotatedBlit(mDrawBitmap, bitmap->bitmap, x, y + yOffsetZeroDeg, w, h, 0.0f, 0.0f,
                     static_cast<float>(w), static_cast<float>(h),
                     static_cast<float>(angle * kPi / 180.0), BlendWeight(blend),
                     BlendMethod(blend), &mDrawRECT);
    return true;
}

bool IGraphics::DrawRotatedMask(const BitmapRef* base, const BitmapRef* mask, const BitmapRef* top,
                                int x, int y, double angle, const IChannelBlend* blend)
{
    if (!base || !base->bitmap || !mask || !mask->bitmap || !top || !top->bitmap || !mDrawBitmap ||
        !mScratchBitmap)
        return false;
    // The rotated mask is built in the scratch bitmap over a copy of the base, so that its
    // alpha only shows where the base is; then the result and the top go into the editor.
    const int w = base->width;
    const int h = base->height;
    mScratchBitmap->resize(w, h);
    mScratchBitmap->Fill(0);
    // Over a transparent scratch an alpha copy reproduces the base, transparent corners too.
    LICE_Blit(mScratchBitmap, base->bitmap, 0, 0, 0, 0, w, h, 1.0f, IChannelBlend::kBlendNone,
              nullptr);
    LICE_RotatedBlit(mScratchBitmap, mask->bitmap, 0, 0, w, h, 0.0f, 0.0f,
                     static_cast<float>(mask->width), static_cast<float>(mask->height),
                     static_cast<float>(angle * kPi / 180.0), 1.0f, IChannelBlend::kBlendNone,
                     nullptr);
    const int left = x - w / 2;
    const int topY = y - h / 2;
    LICE_Blit(mDrawBitmap, mScratchBitmap, left, topY, 0, 0, w, h, BlendWeight(blend),
              BlendMethod(blend), &mDrawRECT);
    LICE_Blit(mDrawBitmap, top->bitmap, x - top->width / 2, y - top->height / 2, 0, 0, top->width,
              top->height, BlendWeight(blend), BlendMethod(blend), &mDrawRECT);
    return true;
}

bool IGraphics::DrawLine(const IColor* color, float x1, float y1, float x2, float y2,
                         const IChannelBlend* blend, bool antiAlias)
{
    if (!color || !mDrawBitmap)
        return false;
    LICE_Line(mDrawBitmap, x1, y1, x2, y2, ToPixel(*color), BlendWeight(blend), BlendMethod(blend),
              antiAlias, &mDrawRECT);
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
    LICE_FillRect(mDrawBitmap, rect->L, rect->T, rect->W(), rect->H(), ToPixel(*color),
                  BlendWeight(blend), BlendMethod(blend), &mDrawRECT);
    return true;
}

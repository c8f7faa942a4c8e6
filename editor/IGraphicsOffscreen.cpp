#include "editor/IGraphicsOffscreen.h"

#include "editor/IGraphics.h"
#include "editor/LICE_Draw.h"

bool IGraphicsOffscreen::Open(IGraphics* graphics, void* /*parent*/)
{
    if (!graphics)
        return false;
    mGraphics = graphics;
    mScreen.resize(graphics->PixelWidth(), graphics->PixelHeight());
    mScreen.Fill(LICE_RGBA(0, 0, 0, 255));
    mInvalid = IRECT(0, 0, graphics->Width(), graphics->Height());
    mOpen = true;
    ++mOpenCount;
    return true;
}

void IGraphicsOffscreen::Close()
{
    mOpen = false;
    mGraphics = nullptr;
    mInvalid = IRECT();
}

void IGraphicsOffscreen::Invalidate(const IRECT& rect)
{
    mInvalid = UnionRect(mInvalid, rect);
    ++mInvalidations;
}

void IGraphicsOffscreen::PresentBitmap(LICE_IBitmap* drawBitmap, const IRECT* rect)
{
    if (!drawBitmap)
        return;
    const IRECT all(0, 0, drawBitmap->getWidth(), drawBitmap->getHeight());
    const IRECT r = rect ? *rect : all;
    LICE_Blit(&mScreen, drawBitmap, r.L, r.T, r.L, r.T, r.W(), r.H(), 1.0f,
              IChannelBlend::kBlendClobber, nullptr);
}

void IGraphicsOffscreen::PresentLayer(LICE_IBitmap* image, const IRECT& rect, bool changed)
{
    if (changed)
        ++mLayerUploads;
    // A control's image is laid over its rectangle as a texture would be: its alpha shows
    // what lies beneath.
    LICE_Blit(&mScreen, image, rect.L, rect.T, 0, 0, rect.W(), rect.H(), 1.0f,
              IChannelBlend::kBlendNone, nullptr);
}

void IGraphicsOffscreen::EndPresent(bool changed)
{
    ++(changed ? mFramesPresented : mFramesSkipped);
}

int IGraphicsOffscreen::ShowMessageBox(const char* text, const char* caption, int /*type*/)
{
    mLastMessage.SetFormatted("%s: %s", caption ? caption : "", text ? text : "");
    return mMessageBoxAnswer;
}

bool IGraphicsOffscreen::GetTextFromClipboard(WDL_String* text)
{
    text->Set(mClipboard.Get());
    return mClipboard.GetLength() > 0;
}

void IGraphicsOffscreen::Resize(int width, int height)
{
    if (mGraphics)
        mScreen.resize(mGraphics->PixelWidth(), mGraphics->PixelHeight());
    else
        mScreen.resize(width, height);
    mScreen.Fill(LICE_RGBA(0, 0, 0, 255));
    mInvalid = IRECT(0, 0, width, height);
}

void IGraphicsOffscreen::Tick()
{
    if (!mGraphics)
        return;
    mGraphics->OnTimerTick();
    const IRECT r = mInvalid;
    const bool layers = mLayersInvalid;
    mInvalid = IRECT();
    mLayersInvalid = false;
    if (!r.Empty() || layers)
        mGraphics->DrawRegion(r);
}

void IGraphicsOffscreen::DrawAll()
{
    if (!mGraphics)
        return;
    mInvalid = IRECT();
    mLayersInvalid = false;
    mGraphics->DrawRegion(IRECT(0, 0, mGraphics->Width(), mGraphics->Height()));
}

#include "graph/GraphControl10.h"

#include "editor/LICE_Bitmap.h"
#include "framework/WDL_Mutex.h"
#include "graph/GraphCustomControl.h"
#include "graph/GraphCustomDrawer.h"

#include <vector>

// ---- Rendering ----

LICE_IBitmap* GraphControl10::RenderGL(bool render)
{
    if (!render)
        return mRenderTarget;
    WDL_MutexLock lock(PlugMutex());
    if (!mEnabled)
        return nullptr;
    if (!mSurface)
    {
        mSurface = GraphSurface::Create(GRAPH_ANTIALIAS | GRAPH_STENCIL_STROKES | GRAPH_DEBUG);
        if (!mSurface)
            return nullptr; // tried again at the next call
        mSurface->CreateFont(kFontName, mFontPath.Get());
        mFontRegistered = true;
    }
    if (mNeedsRender || mPointsArrived)
    {
        mPointsArrived = false;
        // Preparing sets needs-render again only when a curve's points moved.
        for (GraphCustomControl* c : mCustomControls)
            c->PrepareFrame(this);
    }
    if (mNeedsRender || !mRenderTarget)
    {
        if (!RenderFrame())
            return nullptr;
        mNeedsRender = false;
        ++mRenderCount;
    }
    return mRenderTarget;
}

bool GraphControl10::NeedsRenderGL()
{
    return mEnabled && (mNeedsRender || mPointsArrived || !mRenderTarget);
}

void GraphControl10::ReleaseGL()
{
    if (mSurface && mBackgroundImage != 0)
        mSurface->DeleteImage(mBackgroundImage);
    mBackgroundImage = 0;
    // The point image lives in the surface that goes away with it.
    mPointImage = -1;
    delete mSurface;
    mSurface = nullptr;
    mFontRegistered = false;
    delete mRenderTarget;
    mRenderTarget = nullptr;
    mNeedsRender = true;
}

bool GraphControl10::RenderFrame()
{
    const int w = Width();
    const int h = Height();
    if (w < 1 || h < 1)
        return false;
    WDL_MutexLock lock(PlugMutex());

    if (mBackgroundBitmap && mBackgroundImage == 0)
        mBackgroundImage = MakeBackgroundImage();

    if (!mRenderTarget)
    {
        mRenderTarget = new LICE_MemBitmap(w, h);
        if (mRenderTarget->getWidth() != w || mRenderTarget->getHeight() != h)
        {
            delete mRenderTarget;
            mRenderTarget = nullptr;
            return false;
        }
    }
    if (!mSurface->BindRenderTarget(mRenderTarget))
        return false;
    mSurface->ClearRenderTarget(mClearColor[0], mClearColor[1], mClearColor[2], mClearColor[3]);
    mSurface->BeginFrame(w, h, 1.0f);

    if (mBackgroundImage != 0)
    {
        // The pattern runs from the top edge downward, so the bitmap stands upright.
        mSurface->Save();
        const GraphPaint paint =
            mSurface->ImagePattern(0.0f, static_cast<float>(h), static_cast<float>(w),
                                   -static_cast<float>(h), 0.0f, mBackgroundImage, 1.0f);
        mSurface->BeginPath();
        mSurface->Rect(0.0f, static_cast<float>(h), static_cast<float>(w + 1),
                       -static_cast<float>(h + 1));
        mSurface->FillPaint(paint);
        mSurface->Fill();
        mSurface->Restore();
    }

    for (GraphCustomDrawer* drawer : mCustomDrawers)
        if (drawer)
            drawer->PreDraw(mSurface, w, h);

    mSurface->Save();
    for (const GraphCurve4* curve : mCurves)
        DrawCurve(curve);
    mSurface->Restore();

    for (GraphCustomDrawer* drawer : mCustomDrawers)
        if (drawer)
            drawer->PostDraw(mSurface, w, h);

    mSurface->EndFrame();
    return true;
}

int GraphControl10::MakeBackgroundImage()
{
    const int bw = mBackgroundBitmap->getWidth();
    const int bh = mBackgroundBitmap->getHeight();
    if (bw < 1 || bh < 1 || !mBackgroundBitmap->getBits())
        return 0;
    std::vector<unsigned char> rgba(static_cast<size_t>(bw) * bh * 4);
    unsigned char* out = rgba.data();
    for (int y = 0; y < bh; ++y)
    {
        const LICE_pixel* row = mBackgroundBitmap->PixelAt(0, y);
        for (int x = 0; x < bw; ++x, out += 4)
        {
            out[0] = static_cast<unsigned char>(LICE_GETR(row[x]));
            out[1] = static_cast<unsigned char>(LICE_GETG(row[x]));
            out[2] = static_cast<unsigned char>(LICE_GETB(row[x]));
            out[3] = static_cast<unsigned char>(LICE_GETA(row[x]));
        }
    }
    return mSurface->CreateImageRGBA(bw, bh, GRAPH_IMAGE_NEAREST, rgba.data());
}

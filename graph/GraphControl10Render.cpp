#include "graph/GraphControl10.h"

#include "editor/BitmapResources.h"
#include "editor/IGraphics.h"
#include "editor/LICE_Bitmap.h"
#include "framework/IPlugBase.h"
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

double GraphControl10::DisplayScale() const
{
    const IGraphics* graphics = mPlug ? GetGUI(*mPlug) : nullptr;
    return graphics ? graphics->Scale() : 1.0;
}

bool GraphControl10::RenderFrame()
{
    const int w = Width();
    const int h = Height();
    if (w < 1 || h < 1)
        return false;
    WDL_MutexLock lock(PlugMutex());

    // At a display scale the frame has the control's size in device pixels and everything in
    // it (curves, text, images) is drawn at that resolution, in the control's own units.
    const double scale = DisplayScale();
    const IRECT pixels = ScaleRect(mRECT, scale);
    if (mBackgroundBitmap && mBackgroundImage == 0)
        mBackgroundImage = MakeBackgroundImage(scale);

    if (!mRenderTarget)
    {
        mRenderTarget = new LICE_MemBitmap(pixels.W(), pixels.H());
        if (mRenderTarget->getWidth() != pixels.W() || mRenderTarget->getHeight() != pixels.H())
        {
            delete mRenderTarget;
            mRenderTarget = nullptr;
            return false;
        }
    }
    if (!mSurface->BindRenderTarget(mRenderTarget))
        return false;
    mSurface->ClearRenderTarget(mClearColor[0], mClearColor[1], mClearColor[2], mClearColor[3]);
    mSurface->BeginFrame(w, h, static_cast<float>(static_cast<double>(pixels.H()) / h));

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

int GraphControl10::MakeBackgroundImage(double scale)
{
    // The pattern stretches the image over the control: art made for the scale lands pixel
    // for pixel.
    const LICE_IBitmap* background = ScaledBitmap(mBackgroundBitmap, scale);
    if (!background)
        return 0;
    const int bw = background->getWidth();
    const int bh = background->getHeight();
    if (bw < 1 || bh < 1 || !background->getBits())
        return 0;
    std::vector<unsigned char> rgba(static_cast<size_t>(bw) * bh * 4);
    unsigned char* out = rgba.data();
    for (int y = 0; y < bh; ++y)
    {
        const LICE_pixel* row = background->PixelAt(0, y);
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

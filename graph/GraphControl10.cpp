#include "graph/GraphControl10.h"

#include "editor/LICE_Bitmap.h"
#include "framework/IPlugBase.h"
#include "framework/WDL_Mutex.h"
#include "graph/GraphCustomControl.h"
#include "graph/GraphCustomDrawer.h"

#include <cmath>
#include <vector>

namespace
{
// Data values this small count as silence on a dB axis.
constexpr double kDbFloorValue = 1e-16;

GraphColor CurveColor(const GraphCurve4* curve, double alpha)
{
    return GraphSurface::RGBA(
        static_cast<int>(curve->colorR * 255.0f), static_cast<int>(curve->colorG * 255.0f),
        static_cast<int>(curve->colorB * 255.0f), static_cast<int>(alpha * 255.0));
}
} // namespace

GraphControl10::GraphControl10(IPlugBase* plug, const IRECT& rect, int paramIdx, int numCurves,
                               int numCurveValues, const char* fontPath)
    : IControl(plug, rect, paramIdx), mNumCurveValues(numCurveValues < 0 ? 0 : numCurveValues),
      mFontPath(fontPath ? fontPath : "")
{
    for (int i = 0; i < numCurves; ++i)
        mCurves.push_back(new GraphCurve4(mNumCurveValues));
}

GraphControl10::~GraphControl10()
{
    for (GraphCurve4* curve : mCurves)
        delete curve;
    if (mSurface && mBackgroundImage != 0)
        mSurface->DeleteImage(mBackgroundImage);
    delete mSurface;
    delete mRenderTarget;
}

// ---- Setters ----

void GraphControl10::SetBounds(double x0, double y0, double x1, double y1)
{
    mBoundsX0 = x0;
    mBoundsY0 = y0;
    mBoundsX1 = x1;
    mBoundsY1 = y1;
    mNeedsRender = true;
}

void GraphControl10::GetBounds(double* x0, double* y0, double* x1, double* y1) const
{
    if (x0)
        *x0 = mBoundsX0;
    if (y0)
        *y0 = mBoundsY0;
    if (x1)
        *x1 = mBoundsX1;
    if (y1)
        *y1 = mBoundsY1;
}

void GraphControl10::SetClearColor(int r, int g, int b, int a)
{
    mClearColor[0] = static_cast<float>(r) / 255.0f;
    mClearColor[1] = static_cast<float>(g) / 255.0f;
    mClearColor[2] = static_cast<float>(b) / 255.0f;
    mClearColor[3] = static_cast<float>(a) / 255.0f;
    mNeedsRender = true;
}

void GraphControl10::AddCustomDrawer(GraphCustomDrawer* drawer)
{
    mCustomDrawers.push_back(drawer);
    mNeedsRender = true;
}

void GraphControl10::SetBackgroundImage(LICE_IBitmap* bitmap)
{
    if (bitmap != mBackgroundBitmap && mSurface && mBackgroundImage != 0)
        mSurface->DeleteImage(mBackgroundImage);
    if (bitmap != mBackgroundBitmap)
        mBackgroundImage = 0;
    mBackgroundBitmap = bitmap;
    mNeedsRender = true;
}

GraphCurve4* GraphControl10::CurveAt(int curveNum) const
{
    if (curveNum < 0 || curveNum >= static_cast<int>(mCurves.size()))
        return nullptr;
    return mCurves[curveNum];
}

const GraphCurve4* GraphControl10::GetCurve(int curveNum) const
{
    return CurveAt(curveNum);
}

void GraphControl10::SetCurveXScale(int curveNum, bool dBScale, double minX, double maxX)
{
    EditCurve(curveNum,
              [&](GraphCurve4& c)
              {
                  c.xdBScale = dBScale;
                  c.minX = minX;
                  c.maxX = maxX;
              });
}

void GraphControl10::SetCurveYScale(int curveNum, bool dBScale, double minY, double maxY)
{
    EditCurve(curveNum,
              [&](GraphCurve4& c)
              {
                  c.ydBScale = dBScale;
                  c.minY = minY;
                  c.maxY = maxY;
              });
}

void GraphControl10::SetCurveColor(int curveNum, int r, int g, int b)
{
    EditCurve(curveNum,
              [&](GraphCurve4& c)
              {
                  c.colorR = static_cast<float>(r) / 255.0f;
                  c.colorG = static_cast<float>(g) / 255.0f;
                  c.colorB = static_cast<float>(b) / 255.0f;
              });
}

void GraphControl10::SetCurveLineWidth(int curveNum, double lineWidth)
{
    EditCurve(curveNum, [&](GraphCurve4& c) { c.lineWidth = lineWidth; });
}

void GraphControl10::SetCurvePointSize(int curveNum, double pointSize)
{
    EditCurve(curveNum, [&](GraphCurve4& c) { c.pointSize = pointSize; });
}

void GraphControl10::SetCurvePointStyle(int curveNum, bool pointFlag, bool pointsAsRays,
                                        bool linkPoints)
{
    EditCurve(curveNum,
              [&](GraphCurve4& c)
              {
                  c.pointStyle = pointFlag;
                  c.pointsAsRays = pointsAsRays;
                  c.linkPoints = linkPoints;
              });
}

void GraphControl10::SetCurveAdditive(int curveNum, bool additive)
{
    EditCurve(curveNum, [&](GraphCurve4& c) { c.additive = additive; });
}

void GraphControl10::SetCurveBevel(int curveNum, bool bevel)
{
    EditCurve(curveNum, [&](GraphCurve4& c) { c.bevel = bevel; });
}

void GraphControl10::SetCurveFill(int curveNum, bool fill, double fillOrigin)
{
    EditCurve(curveNum,
              [&](GraphCurve4& c)
              {
                  c.doFill = fill;
                  c.fillOrigin = fillOrigin;
              });
}

void GraphControl10::SetCurveFillAlpha(int curveNum, double alpha)
{
    EditCurve(curveNum, [&](GraphCurve4& c) { c.fillAlpha = alpha; });
}

// ---- Curve points ----

double GraphControl10::MapValue(double value, bool dBScale, double minValue, double maxValue,
                                double side)
{
    if (value == UNDEFINED_VALUE)
        return UNDEFINED_VALUE;
    double v = value;
    if (dBScale)
    {
        // Values at or below zero have no level: they pass unconverted.
        if (value > 0.0)
        {
            const double dB = value < kDbFloorValue ? minValue : 20.0 * std::log10(value);
            v = (dB - minValue) / (maxValue - minValue);
        }
    }
    else
    {
        v = (value - minValue) / (maxValue - minValue);
    }
    const double mapped = v * side;
    // An empty range or non-finite data gives no drawable point.
    return std::isfinite(mapped) ? mapped : UNDEFINED_VALUE;
}

WDL_Mutex* GraphControl10::PlugMutex() const
{
    return mPlug ? mPlug->GetMutex() : nullptr;
}

void GraphControl10::FillCurve(GraphCurve4* curve, const SampleBuffer& xValues,
                               const SampleBuffer& yValues, double xSide, double ySide,
                               double xOffset)
{
    curve->pointStyle = true;
    double* xs = curve->xValues.Get();
    double* ys = curve->yValues.Get();
    const int n = curve->numValues;
    for (int k = 0; k < n; ++k)
        xs[k] = ys[k] = UNDEFINED_VALUE;
    int count = xValues.GetSize() < yValues.GetSize() ? xValues.GetSize() : yValues.GetSize();
    if (count > n)
        count = n;
    const double yFactor = mAutoScaleSmoother.Current() * mYScale;
    for (int k = 0; k < count; ++k)
    {
        double x = MapValue(xValues.Get()[k], curve->xdBScale, curve->minX, curve->maxX, xSide);
        double y = MapValue(yValues.Get()[k], curve->ydBScale, curve->minY, curve->maxY, ySide);
        if (y != UNDEFINED_VALUE)
            y *= yFactor;
        // Undefined stays exactly undefined: 1e16 plus an offset would be drawn.
        if (x != UNDEFINED_VALUE)
            x += xOffset;
        xs[k] = x;
        ys[k] = y;
    }
    mNeedsRender = true;
}

void GraphControl10::SetCurvePoints(int curveNum, const SampleBuffer& xValues,
                                    const SampleBuffer& yValues)
{
    GraphCurve4* curve = CurveAt(curveNum);
    if (!curve)
        return;
    WDL_MutexLock lock(PlugMutex());
    FillCurve(curve, xValues, yValues, Width(), Height(), 0.0);
}

void GraphControl10::SetCurvePointsSquare(int curveNum, const SampleBuffer& xValues,
                                          const SampleBuffer& yValues, bool square,
                                          bool sideFromWidth, bool centered)
{
    if (!square)
    {
        SetCurvePoints(curveNum, xValues, yValues);
        return;
    }
    GraphCurve4* curve = CurveAt(curveNum);
    if (!curve)
        return;
    const double w = Width();
    const double h = Height();
    const double side = sideFromWidth ? w : h;
    double xOffset = 0.0;
    if (centered)
        xOffset = sideFromWidth ? -(w - h) * 0.5 : (w - h) * 0.5;
    WDL_MutexLock lock(PlugMutex());
    FillCurve(curve, xValues, yValues, side, side, xOffset);
}

// ---- Text ----

void GraphControl10::DrawText(GraphSurface* surface, const char* text, const int rgba[4],
                              int hAlign, int vAlign, float x, float y, float size, float scale)
{
    if (!surface || !text || !rgba)
        return;
    surface->Save();
    surface->FontSize(size * scale);
    surface->FontFace(kFontName);
    surface->FontBlur(0.0f);
    surface->TextAlign(hAlign | vAlign);
    surface->FillColor(GraphSurface::RGBA(rgba[0], rgba[1], rgba[2], rgba[3]));
    surface->Text(x, y, text);
    surface->Restore();
}

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
    if (mNeedsRender)
    {
        for (GraphCustomControl* c : mCustomControls)
            c->PrepareFrame(this);
        if (!RenderFrame())
            return nullptr;
        mNeedsRender = false;
    }
    return mRenderTarget;
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

GraphColor GraphControl10::CurveStrokeColor(const GraphCurve4* curve) const
{
    return CurveColor(curve, curve->alpha);
}

GraphColor GraphControl10::CurveFillColor(const GraphCurve4* curve) const
{
    return CurveColor(curve, curve->fillAlpha);
}

void GraphControl10::ApplyCurveStyle(const GraphCurve4* curve)
{
    mSurface->StrokeWidth(static_cast<float>(curve->lineWidth));
    if (curve->bevel)
        mSurface->LineJoin(GRAPH_BEVEL);
    mSurface->StrokeColor(CurveStrokeColor(curve));
    mSurface->FillColor(CurveFillColor(curve));
}

void GraphControl10::DrawCurve(const GraphCurve4* curve)
{
    if (!curve->pointStyle)
    {
        if (curve->doFill)
            DrawFillUnderLine(curve);
        DrawLine(curve);
    }
    else if (!curve->pointsAsRays && !curve->linkPoints)
    {
        DrawPointQuads(curve);
    }
    else if (curve->pointsAsRays)
    {
        // Rays take precedence over linking.
        if (curve->doFill)
            DrawFilledRays(curve);
        else
            DrawRays(curve);
    }
    else
    {
        DrawLinked(curve, curve->doFill);
    }
}

void GraphControl10::DrawLine(const GraphCurve4* curve)
{
    if (curve->lineWidth < 0.0)
        return;
    mSurface->Save();
    ApplyCurveStyle(curve);
    const double* xs = curve->xValues.Get();
    const double* ys = curve->yValues.Get();
    bool started = false;
    mSurface->BeginPath();
    for (int k = 0; k < curve->numValues; ++k)
    {
        if (!GraphCurve4::IsDefined(xs[k], ys[k]))
            continue;
        if (!started)
            mSurface->MoveTo(static_cast<float>(xs[k]), static_cast<float>(ys[k]));
        else
            mSurface->LineTo(static_cast<float>(xs[k]), static_cast<float>(ys[k]));
        started = true;
    }
    if (started)
        mSurface->Stroke();
    mSurface->Restore();
}

void GraphControl10::DrawFillUnderLine(const GraphCurve4* curve)
{
    mSurface->Save();
    mSurface->FillColor(CurveFillColor(curve));
    const float base = static_cast<float>(curve->fillOrigin * Height());
    const double* xs = curve->xValues.Get();
    const double* ys = curve->yValues.Get();
    const int last = curve->numValues - 1;
    bool havePrevious = false;
    float px = 0.0f, py = 0.0f;
    for (int k = 0; k < curve->numValues; ++k)
    {
        if (!GraphCurve4::IsDefined(xs[k], ys[k]))
            continue;
        const float x = static_cast<float>(xs[k]);
        const float y = static_cast<float>(ys[k]);
        if (!havePrevious)
        {
            px = x;
            py = y;
            havePrevious = true;
            continue;
        }
        // Columns closer than 2 pixels are merged, except at the end of the curve.
        if (k != last && x - px < 2.0f)
            continue;
        mSurface->BeginPath();
        mSurface->MoveTo(px, py);
        mSurface->LineTo(x + 1.0f, y);
        mSurface->LineTo(x + 1.0f, base);
        mSurface->LineTo(px, base);
        mSurface->ClosePath();
        mSurface->Fill();
        px = x;
        py = y;
    }
    mSurface->Restore();
}

void GraphControl10::DrawPointQuads(const GraphCurve4* curve)
{
    mSurface->Save();
    ApplyCurveStyle(curve);
    if (curve->additive)
        mSurface->GlobalCompositeOperation(GraphCompositeOp::Lighter);
    static const unsigned char kWhitePixel[4] = {255, 255, 255, 255};
    if (mRecreatePointImage)
    {
        if (mPointImage >= 0)
            mSurface->DeleteImage(mPointImage);
        mPointImage = mSurface->CreateImageRGBA(1, 1, GRAPH_IMAGE_NEAREST, kWhitePixel);
        if (mPointImage == 0)
            mPointImage = -1;
    }
    const float half = static_cast<float>(curve->pointSize * 0.5);
    const double* xs = curve->xValues.Get();
    const double* ys = curve->yValues.Get();
    for (int k = 0; k < curve->numValues; ++k)
    {
        if (!GraphCurve4::IsDefined(xs[k], ys[k]))
            continue;
        float cx = static_cast<float>(xs[k]);
        float cy = static_cast<float>(ys[k]);
        if (!mPointsCentered)
        {
            cx -= half;
            cy -= half;
        }
        if (mPointImage < 0)
        {
            mPointImage = mSurface->CreateImageRGBA(1, 1, GRAPH_IMAGE_NEAREST, kWhitePixel);
            if (mPointImage == 0)
            {
                mPointImage = -1;
                break;
            }
        }
        mSurface->TextureQuad(cx - half, cy - half, cx + half, cy - half, cx + half, cy + half,
                              cx - half, cy + half, mPointImage);
    }
    mSurface->Restore();
}

void GraphControl10::DrawRays(const GraphCurve4* curve)
{
    mSurface->Save();
    ApplyCurveStyle(curve);
    mSurface->StrokeWidth(static_cast<float>(curve->pointSize));
    const float cx = static_cast<float>(Width()) * 0.5f;
    const double* xs = curve->xValues.Get();
    const double* ys = curve->yValues.Get();
    for (int k = 0; k < curve->numValues; ++k)
    {
        if (!GraphCurve4::IsDefined(xs[k], ys[k]))
            continue;
        mSurface->BeginPath();
        mSurface->MoveTo(cx, 0.0f);
        mSurface->LineTo(static_cast<float>(xs[k]), static_cast<float>(ys[k]));
        mSurface->Stroke();
    }
    mSurface->Restore();
}

void GraphControl10::DrawFilledRays(const GraphCurve4* curve)
{
    mSurface->Save();
    ApplyCurveStyle(curve);
    mSurface->StrokeWidth(static_cast<float>(curve->pointSize));
    const float cx = static_cast<float>(Width()) * 0.5f;
    const double* xs = curve->xValues.Get();
    const double* ys = curve->yValues.Get();
    bool havePrevious = false;
    float px = 0.0f, py = 0.0f;
    for (int k = 0; k < curve->numValues; ++k)
    {
        if (!GraphCurve4::IsDefined(xs[k], ys[k]))
            continue;
        const float x = static_cast<float>(xs[k]);
        const float y = static_cast<float>(ys[k]);
        if (havePrevious)
        {
            mSurface->BeginPath();
            mSurface->MoveTo(cx, 0.0f);
            mSurface->LineTo(px, py);
            mSurface->LineTo(x, y);
            mSurface->LineTo(cx, 0.0f);
            mSurface->ClosePath();
            mSurface->Fill();
        }
        px = x;
        py = y;
        havePrevious = true;
    }
    mSurface->Restore();
}

void GraphControl10::DrawLinked(const GraphCurve4* curve, bool filled)
{
    if (curve->numValues <= 0)
        return;
    mSurface->Save();
    ApplyCurveStyle(curve);
    mSurface->StrokeWidth(static_cast<float>(curve->pointSize));
    const double* xs = curve->xValues.Get();
    const double* ys = curve->yValues.Get();
    bool started = false;
    mSurface->BeginPath();
    for (int k = 0; k < curve->numValues; ++k)
    {
        if (!GraphCurve4::IsDefined(xs[k], ys[k]))
            continue;
        if (!started)
            mSurface->MoveTo(static_cast<float>(xs[k]), static_cast<float>(ys[k]));
        else
            mSurface->LineTo(static_cast<float>(xs[k]), static_cast<float>(ys[k]));
        started = true;
    }
    if (started)
    {
        if (filled)
        {
            mSurface->ClosePath();
            mSurface->Fill();
        }
        else
        {
            mSurface->Stroke();
        }
    }
    mSurface->Restore();
}

// ---- Events: made relative to the graph's top-left corner for the custom controls ----

void GraphControl10::OnMouseDown(int x, int y, const IMouseMod& mod)
{
    IControl::OnMouseDown(x, y, mod);
    for (GraphCustomControl* control : mCustomControls)
        control->OnMouseDown(x - mRECT.L, y - mRECT.T, mod);
}

void GraphControl10::OnMouseUp(int x, int y, const IMouseMod& mod)
{
    for (GraphCustomControl* control : mCustomControls)
        control->OnMouseUp(x - mRECT.L, y - mRECT.T, mod);
}

void GraphControl10::OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod)
{
    for (GraphCustomControl* control : mCustomControls)
        control->OnMouseDrag(x - mRECT.L, y - mRECT.T, dX, dY, mod);
}

bool GraphControl10::OnMouseDoubleClick(int x, int y, const IMouseMod& mod)
{
    const bool handled = IControl::OnMouseDoubleClick(x, y, mod);
    if (handled)
        for (GraphCustomControl* control : mCustomControls)
            control->OnMouseDoubleClick(x - mRECT.L, y - mRECT.T, mod);
    return handled;
}

void GraphControl10::OnMouseWheel(int x, int y, const IMouseMod& mod, double delta)
{
    for (GraphCustomControl* control : mCustomControls)
        control->OnMouseWheel(x - mRECT.L, y - mRECT.T, mod, delta);
}

bool GraphControl10::OnKeyDown(int x, int y, int key)
{
    bool result = false;
    for (GraphCustomControl* control : mCustomControls)
        result = control->OnKeyDown(x - mRECT.L, y - mRECT.T, key);
    return result;
}

void GraphControl10::OnMouseOver(int x, int y, const IMouseMod& mod)
{
    for (GraphCustomControl* control : mCustomControls)
        control->OnMouseOver(x - mRECT.L, y - mRECT.T, mod);
}

void GraphControl10::OnMouseOut()
{
    for (GraphCustomControl* control : mCustomControls)
        control->OnMouseOut();
}

void GraphControl10::OnEditorIdle()
{
    for (GraphCustomControl* control : mCustomControls)
        control->OnEditorIdle();
}

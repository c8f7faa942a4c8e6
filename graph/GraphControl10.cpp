#include "graph/GraphControl10.h"

#include "editor/LICE_Bitmap.h"
#include "framework/IPlugBase.h"
#include "framework/WDL_Mutex.h"

#include <cmath>

namespace
{
// Data values this small count as silence on a dB axis.
constexpr double kDbFloorValue = 1e-16;
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
    bool moved = !curve->pointStyle;
    curve->pointStyle = true;
    double* xs = curve->xValues.Get();
    double* ys = curve->yValues.Get();
    const int n = curve->numValues;
    int count = xValues.GetSize() < yValues.GetSize() ? xValues.GetSize() : yValues.GetSize();
    if (count > n)
        count = n;
    const double yFactor = mAutoScaleSmoother.Current() * mYScale;
    for (int k = 0; k < n; ++k)
    {
        double x = UNDEFINED_VALUE;
        double y = UNDEFINED_VALUE;
        if (k < count)
        {
            x = MapValue(xValues.Get()[k], curve->xdBScale, curve->minX, curve->maxX, xSide);
            y = MapValue(yValues.Get()[k], curve->ydBScale, curve->minY, curve->maxY, ySide);
            if (y != UNDEFINED_VALUE)
                y *= yFactor;
            // Undefined stays exactly undefined: 1e16 plus an offset would be drawn.
            if (x != UNDEFINED_VALUE)
                x += xOffset;
        }
        // Points that stand where they stood need no new frame (a silent input, a settled
        // display).
        if (x != xs[k] || y != ys[k])
        {
            moved = true;
            xs[k] = x;
            ys[k] = y;
        }
    }
    if (moved)
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

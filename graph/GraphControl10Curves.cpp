#include "graph/GraphControl10.h"

namespace
{
GraphColor CurveColor(const GraphCurve4* curve, double alpha)
{
    return GraphSurface::RGBA(
        static_cast<int>(curve->colorR * 255.0f), static_cast<int>(curve->colorG * 255.0f),
        static_cast<int>(curve->colorB * 255.0f), static_cast<int>(alpha * 255.0));
}

// Calls visit(k, x, y) for each point k of the curve whose coordinates are both defined, in
// order, as the surface's floats; stops at the first visit that returns false.
template <typename Visit>
void ForEachDefinedPoint(const GraphCurve4* curve, Visit&& visit)
{
    const double* xs = curve->xValues.Get();
    const double* ys = curve->yValues.Get();
    for (int k = 0; k < curve->numValues; ++k)
        if (GraphCurve4::IsDefined(xs[k], ys[k]) &&
            !visit(k, static_cast<float>(xs[k]), static_cast<float>(ys[k])))
            return;
}
} // namespace

// ---- Drawing the curves ----

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

bool GraphControl10::TracePolyline(const GraphCurve4* curve)
{
    bool started = false;
    mSurface->BeginPath();
    ForEachDefinedPoint(curve,
                        [&](int, float x, float y)
                        {
                            if (started)
                                mSurface->LineTo(x, y);
                            else
                                mSurface->MoveTo(x, y);
                            started = true;
                            return true;
                        });
    return started;
}

void GraphControl10::DrawLine(const GraphCurve4* curve)
{
    if (curve->lineWidth < 0.0)
        return;
    mSurface->Save();
    ApplyCurveStyle(curve);
    const bool started = TracePolyline(curve);
    if (started)
        mSurface->Stroke();
    mSurface->Restore();
}

void GraphControl10::DrawFillUnderLine(const GraphCurve4* curve)
{
    mSurface->Save();
    mSurface->FillColor(CurveFillColor(curve));
    const float base = static_cast<float>(curve->fillOrigin * Height());
    const int last = curve->numValues - 1;
    bool havePrevious = false;
    float px = 0.0f, py = 0.0f;
    ForEachDefinedPoint(curve,
                        [&](int k, float x, float y)
                        {
                            if (!havePrevious)
                            {
                                px = x;
                                py = y;
                                havePrevious = true;
                                return true;
                            }
                            // Columns closer than 2 pixels are merged, except at the end.
                            if (k != last && x - px < 2.0f)
                                return true;
                            mSurface->BeginPath();
                            mSurface->MoveTo(px, py);
                            mSurface->LineTo(x + 1.0f, y);
                            mSurface->LineTo(x + 1.0f, base);
                            mSurface->LineTo(px, base);
                            mSurface->ClosePath();
                            mSurface->Fill();
                            px = x;
                            py = y;
                            return true;
                        });
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
    ForEachDefinedPoint(curve,
                        [&](int, float cx, float cy)
                        {
                            if (!mPointsCentered)
                            {
                                cx -= half;
                                cy -= half;
                            }
                            if (mPointImage < 0)
                            {
                                mPointImage = mSurface->CreateImageRGBA(
                                    1, 1, GRAPH_IMAGE_NEAREST, kWhitePixel);
                                if (mPointImage == 0)
                                {
                                    mPointImage = -1;
                                    return false;
                                }
                            }
                            mSurface->TextureQuad(cx - half, cy - half, cx + half, cy - half,
                                                  cx + half, cy + half, cx - half, cy + half,
                                                  mPointImage);
                            return true;
                        });
    mSurface->Restore();
}

float GraphControl10::BeginRays(const GraphCurve4* curve)
{
    mSurface->Save();
    ApplyCurveStyle(curve);
    mSurface->StrokeWidth(static_cast<float>(curve->pointSize));
    return static_cast<float>(Width()) * 0.5f;
}

void GraphControl10::DrawRays(const GraphCurve4* curve)
{
    const float cx = BeginRays(curve);
    ForEachDefinedPoint(curve,
                        [&](int, float x, float y)
                        {
                            mSurface->BeginPath();
                            mSurface->MoveTo(cx, 0.0f);
                            mSurface->LineTo(x, y);
                            mSurface->Stroke();
                            return true;
                        });
    mSurface->Restore();
}

void GraphControl10::DrawFilledRays(const GraphCurve4* curve)
{
    const float cx = BeginRays(curve);
    bool havePrevious = false;
    float px = 0.0f, py = 0.0f;
    ForEachDefinedPoint(curve,
                        [&](int, float x, float y)
                        {
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
                            return true;
                        });
    mSurface->Restore();
}

void GraphControl10::DrawLinked(const GraphCurve4* curve, bool filled)
{
    if (curve->numValues <= 0)
        return;
    mSurface->Save();
    ApplyCurveStyle(curve);
    mSurface->StrokeWidth(static_cast<float>(curve->pointSize));
    const bool started = TracePolyline(curve);
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

#pragma once
// The vectorscope's display: an editor control that renders itself, through GraphSurface, into
// a bitmap of its own that the editor composites over its own bitmap (RenderGL). It holds a fixed
// number of curves, custom drawers drawn beneath them and custom controls that receive its mouse,
// keyboard and idle events. Drawers and custom controls are not owned.
//
// Threads: the audio thread replaces curve points (SetCurvePoints*) under the plug-in mutex; the
// editor thread renders a whole frame under the same mutex, so a frame never shows a
// half-replaced curve. The other setters take no lock: callers are on the editor thread or
// already hold the mutex.

#include "editor/controls/IControl.h"
#include "framework/ParamSmoother.h"
#include "framework/SampleBuffer.h"
#include "framework/WDL_String.h"
#include "graph/GraphCurve4.h"
#include "graph/GraphSurface.h"

#include <vector>

class GraphCustomDrawer;
class GraphCustomControl;
class LICE_IBitmap;
class LICE_MemBitmap;
class WDL_Mutex;

class GraphControl10 : public IControl
{
public:
    // Name under which the graph registers its font file.
    static constexpr const char* kFontName = "font";

    GraphControl10(IPlugBase* plug, const IRECT& rect, int paramIdx, int numCurves,
                   int numCurveValues, const char* fontPath);
    ~GraphControl10() override;

    // ---- Setters (all but SetEnabled, AddCustomControl, SetPointsCentered and
    // SetRecreatePointImage also set needs-render) ----
    void SetEnabled(bool enabled) { mEnabled = enabled; }
    void SetBounds(double x0, double y0, double x1, double y1);
    // Integers 0 … 255.
    void SetClearColor(int r, int g, int b, int a);
    void AddCustomDrawer(GraphCustomDrawer* drawer);
    void AddCustomControl(GraphCustomControl* control) { mCustomControls.push_back(control); }
    // Not owned; its image is made at the next render.
    void SetBackgroundImage(LICE_IBitmap* bitmap);
    void SetPointsCentered(bool centered) { mPointsCentered = centered; }
    void SetRecreatePointImage(bool recreate) { mRecreatePointImage = recreate; }
    void SetNeedsRender(bool needsRender) { mNeedsRender = needsRender; }
    // New data may be waiting: the next render asks the custom controls for their points and
    // draws a frame only when a curve's points changed (or a render is needed anyway).
    void SetPointsArrived() { mPointsArrived = true; }

    // Per-curve setters ignore a curve index that is not below the number of curves.
    void SetCurveXScale(int curveNum, bool dBScale, double minX, double maxX);
    void SetCurveYScale(int curveNum, bool dBScale, double minY, double maxY);
    // Integers 0 … 255.
    void SetCurveColor(int curveNum, int r, int g, int b);
    void SetCurveLineWidth(int curveNum, double lineWidth);
    void SetCurvePointSize(int curveNum, double pointSize);
    void SetCurvePointStyle(int curveNum, bool pointFlag, bool pointsAsRays, bool linkPoints);
    void SetCurveAdditive(int curveNum, bool additive);
    void SetCurveBevel(int curveNum, bool bevel);
    void SetCurveFill(int curveNum, bool fill, double fillOrigin = 0.0);
    void SetCurveFillAlpha(int curveNum, double alpha);
    // Replaces the curve's points from data values, mapped to surface coordinates, and makes it
    // a points curve; marks the graph for rendering when any point moved. Takes the plug-in
    // mutex. Values beyond the curve's size are ignored; points not given become undefined.
    void SetCurvePoints(int curveNum, const SampleBuffer& xValues, const SampleBuffer& yValues);
    // As SetCurvePoints; with square set both axes use one side (the width when sideFromWidth,
    // else the height) and, with centered, the plot is centred across the other axis.
    void SetCurvePointsSquare(int curveNum, const SampleBuffer& xValues,
                              const SampleBuffer& yValues, bool square, bool sideFromWidth,
                              bool centered);

    // ---- Queries ----
    bool IsEnabled() const { return mEnabled; }
    bool NeedsRender() const { return mNeedsRender; }
    bool PointsArrived() const { return mPointsArrived; }
    int GetNumCurves() const { return static_cast<int>(mCurves.size()); }
    int GetNumCurveValues() const { return mNumCurveValues; }
    const GraphCurve4* GetCurve(int curveNum) const;
    int Width() const { return mRECT.W(); }
    int Height() const { return mRECT.H(); }
    const float* GetClearColor() const { return mClearColor; }
    bool GetPointsCentered() const { return mPointsCentered; }
    double GetYAutoScale() const { return mAutoScaleSmoother.Current(); }
    double GetYScale() const { return mYScale; }
    const char* GetFontPath() const { return mFontPath.Get(); }
    // The surface of the last render, or null.
    GraphSurface* GetSurface() const { return mSurface; }

    // Text for drawers: saves the state, sets font "font" at size × scale, blur 0, alignment
    // hAlign | vAlign and the fill colour from rgba (0 … 255), draws and restores.
    static void DrawText(GraphSurface* surface, const char* text, const int rgba[4], int hAlign,
                         int vAlign, float x, float y, float size, float scale);

    // ---- IControl ----
    bool Draw(IGraphics* /*graphics*/) override { return true; }
    // The editor's software repaint path never redraws a graph.
    bool IsDirty() override { return false; }
    // With render false, the last frame (or null) without drawing. Otherwise, under the plug-in
    // mutex: null when disabled or when the surface can't be made; renders a frame when
    // needs-render is set; returns the frame.
    LICE_IBitmap* RenderGL(bool render) override;
    // Enabled, and needs-render or points-arrived set (or no frame yet).
    bool NeedsRenderGL() override;
    unsigned RenderGLCount() const override { return mRenderCount; }
    void ReleaseGL() override;
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    void OnMouseUp(int x, int y, const IMouseMod& mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
    bool OnMouseDoubleClick(int x, int y, const IMouseMod& mod) override;
    void OnMouseWheel(int x, int y, const IMouseMod& mod, double delta) override;
    bool OnKeyDown(int x, int y, int key) override;
    void OnMouseOver(int x, int y, const IMouseMod& mod) override;
    void OnMouseOut() override;
    void OnEditorIdle() override;

private:
    // Data value to surface coordinate along one axis of side `side` pixels.
    static double MapValue(double value, bool dBScale, double minValue, double maxValue,
                           double side);
    GraphCurve4* CurveAt(int curveNum) const;
    // Applies a style change to a curve that exists and marks the graph for rendering.
    template <typename Edit> void EditCurve(int curveNum, Edit edit)
    {
        if (GraphCurve4* curve = CurveAt(curveNum))
        {
            edit(*curve);
            mNeedsRender = true;
        }
    }
    WDL_Mutex* PlugMutex() const;
    // Saves the surface and sets the curve's style and ray width; the rays' origin (x).
    float BeginRays(const GraphCurve4* curve);
    // A new path through the curve's defined points; false when it has none.
    bool TracePolyline(const GraphCurve4* curve);
    void FillCurve(GraphCurve4* curve, const SampleBuffer& xValues, const SampleBuffer& yValues,
                   double xSide, double ySide, double xOffset);

    // The frame sequence; false when the render target can't be made.
    bool RenderFrame();
    // Image of the background bitmap (its art at the display scale) in the surface; 0 when it
    // can't be made.
    int MakeBackgroundImage(double scale);
    // The display scale of the editor the graph belongs to (1 without one).
    double DisplayScale() const;
    void DrawCurve(const GraphCurve4* curve);
    void ApplyCurveStyle(const GraphCurve4* curve);
    void DrawLine(const GraphCurve4* curve);
    void DrawFillUnderLine(const GraphCurve4* curve);
    void DrawPointQuads(const GraphCurve4* curve);
    void DrawRays(const GraphCurve4* curve);
    void DrawFilledRays(const GraphCurve4* curve);
    void DrawLinked(const GraphCurve4* curve, bool filled);
    GraphColor CurveStrokeColor(const GraphCurve4* curve) const;
    GraphColor CurveFillColor(const GraphCurve4* curve) const;

    int mNumCurveValues;
    std::vector<GraphCurve4*> mCurves;
    bool mEnabled = true;
    double mBoundsX0 = 0.0;
    double mBoundsY0 = 0.0;
    double mBoundsX1 = 1.0;
    double mBoundsY1 = 1.0;
    float mClearColor[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    // Display smoothing of the Y auto-scale factor; at rest at 1.0 in this editor.
    ParamSmoother mAutoScaleSmoother{10, 1.0, 0.9};
    double mYScale = 1.0;
    bool mNeedsRender = true;
    bool mPointsArrived = false;
    unsigned mRenderCount = 0; // frames rendered, on the editor thread only
    WDL_String mFontPath;
    std::vector<GraphCustomDrawer*> mCustomDrawers;
    std::vector<GraphCustomControl*> mCustomControls;
    LICE_IBitmap* mBackgroundBitmap = nullptr;
    int mBackgroundImage = 0;
    int mPointImage = -1;
    bool mPointsCentered = false;
    bool mRecreatePointImage = false;
    GraphSurface* mSurface = nullptr;
    bool mFontRegistered = false;
    LICE_MemBitmap* mRenderTarget = nullptr;
};

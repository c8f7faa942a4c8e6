#pragma once
// GRID display: a stage seen from a listening point below the graph (five concentric arcs and
// seven radial lines over a sector of ±0.35 rad) with a ball whose angle shows Pan and whose halo
// shows Width. Dragging the ball sideways sets Pan from the pointer's direction; dragging it
// vertically with alt held changes Width by the drag over the graph's height.
// Editor thread: drawing (inside the graph's render, plug-in mutex held) and mouse handling;
// the setters come from the plug-in's parameter changes under the same mutex.

#include "graph/GraphCustomControl.h"
#include "graph/GraphCustomDrawer.h"
#include "metering/TWCircleGraphDrawer.h"

class GraphControl10;
class TWVectorscopePlug;

class TWUpmixGraphDrawer : public GraphCustomDrawer, public GraphCustomControl
{
public:
    // Listening point below the graph, as a multiple of H (negative: under the bottom edge).
    static constexpr double kListenerY = -1.85;
    // Innermost arc radius and the step between arcs, as multiples of H.
    static constexpr double kInnerRadius = 2.15;
    static constexpr double kArcStep = 0.15;
    static constexpr int kNumArcs = 5;
    static constexpr int kNumRadials = 7;
    // Half the sector's opening angle, radians; pan ±1 puts the ball on the sector's edges.
    static constexpr double kHalfSpreadRad = 0.35;
    // Depth 0 … 1 moves the ball from the innermost to the outermost arc.
    static constexpr double kDepthSpan = 0.6;
    // Core radius, and halo radius at width 0 (it doubles at width 1), as multiples of H.
    static constexpr double kCoreRadius = 0.1;
    static constexpr double kHaloRadius = 0.1;

    // plug and graph are not owned (either may be null); title may be null.
    TWUpmixGraphDrawer(TWVectorscopePlug* plug, GraphControl10* graph, const char* title);
    // The graph was deleted by its editor: nothing more to redraw.
    void ForgetGraph() { mGraph = nullptr; }

    // Each stores its value and has the graph redrawn.
    void SetWidth(double normalisedWidth);
    void SetPan(double pan);
    void SetDepth(double depth);

    double GetWidth() const { return mWidth; }
    double GetPan() const { return mPan; }
    double GetDepth() const { return mDepth; }
    bool IsDragging() const { return mDragging; }
    bool HasTitle() const { return mTitle.hasTitle; }
    const char* GetTitle() const { return mTitle.title; }

    // Ball centre (surface coordinates, y up) and halo radius for the last drawn size.
    void GetBall(double* centreX, double* centreY, double* haloRadius) const;

    // GraphCustomDrawer
    void PreDraw(GraphSurface* surface, int width, int height) override;

    // GraphCustomControl; coordinates relative to the graph's top-left corner, y down.
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    void OnMouseUp(int x, int y, const IMouseMod& mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;

private:
    struct Ball
    {
        double x, y, coreRadius, haloRadius;
    };
    Ball ComputeBall(int width, int height) const;
    void MarkGraph();

    TWVectorscopePlug* mPlug;
    GraphControl10* mGraph;
    double mWidth = 0.0;
    double mPan = 0.0;
    double mDepth = 0.0;
    int mLastWidth = 0;
    int mLastHeight = 0;
    bool mDragging = false;
    TWDrawerTitle mTitle;
};

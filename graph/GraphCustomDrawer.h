#pragma once
// Something a graph draws every frame around its curves: grids, labels, indicators. Not owned by
// the graph. Called on the editor thread inside the graph's render, with the plug-in mutex held.

class GraphSurface;

class GraphCustomDrawer
{
public:
    virtual ~GraphCustomDrawer() = default;

    // Drawn before the curves, so its drawing lies beneath them. width and height are the
    // graph's size in pixels; coordinates have the origin at the bottom-left, y up.
    virtual void PreDraw(GraphSurface* surface, int width, int height) = 0;
    // Drawn after the curves.
    virtual void PostDraw(GraphSurface* /*surface*/, int /*width*/, int /*height*/) {}
};

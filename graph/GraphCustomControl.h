#pragma once
// Receives a graph's mouse, keyboard and idle events. Not owned by the graph. Coordinates are
// relative to the graph's top-left corner with y growing downward, as the editor delivers them.

#include "editor/IControlTypes.h"

class GraphControl10;

class GraphCustomControl
{
public:
    virtual ~GraphCustomControl() = default;

    virtual void OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
    virtual void OnMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
    virtual void OnMouseDrag(int /*x*/, int /*y*/, int /*dX*/, int /*dY*/, const IMouseMod& /*mod*/)
    {
    }
    virtual bool OnMouseDoubleClick(int /*x*/, int /*y*/, const IMouseMod& /*mod*/)
    {
        return false;
    }
    virtual void OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& /*mod*/, double /*delta*/) {}
    virtual bool OnKeyDown(int /*x*/, int /*y*/, int /*key*/) { return false; }
    virtual void OnMouseOver(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
    virtual void OnMouseOut() {}
    virtual void OnEditorIdle() {}
    // The graph is about to draw a frame, under the plug-in mutex: a control that supplies the
    // graph's points hands over new ones now rather than with every audio block.
    virtual void PrepareFrame(GraphControl10* /*graph*/) {}
};

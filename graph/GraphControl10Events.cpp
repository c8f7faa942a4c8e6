#include "graph/GraphControl10.h"

#include "graph/GraphCustomControl.h"

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

#pragma once
// Conversions between the editor's coordinates (origin top-left, y down, integers) and a view
// whose origin is at the bottom-left with y up, as macOS views are. A view in y-down
// coordinates needs none of this.

#include "editor/IControlTypes.h"

// A view point to editor coordinates: x = truncate(px) − 2, y = height − truncate(py) − 3.
inline void ViewPointToEditor(double px, double py, int editorHeight, int* x, int* y)
{
    *x = static_cast<int>(px) - 2;
    *y = editorHeight - static_cast<int>(py) - 3;
}

// A view rectangle, as (x, y, w, h) with y up.
struct ViewRect
{
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// An editor rectangle as the view rectangle that invalidation, text fields and tooltips use:
// (L, height − B − 1, R − L + 1, B − T + 1).
inline ViewRect EditorRectToView(const IRECT& r, int editorHeight)
{
    return ViewRect{r.L, editorHeight - r.B - 1, r.R - r.L + 1, r.B - r.T + 1};
}

// A view rectangle to the editor rectangle drawing uses: (x, height − y − h, x + w, height − y).
inline IRECT ViewRectToEditor(const ViewRect& v, int editorHeight)
{
    return IRECT(v.x, editorHeight - v.y - v.h, v.x + v.w, editorHeight - v.y);
}

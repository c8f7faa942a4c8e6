#pragma once
// What the editor needs of a platform view: the small surface behind which a window system
// lives. The editor core never sees a platform type; an offscreen view (pictures and tests)
// and a window each implement this interface.
//
// Threads: every call comes from the editor's thread.

#include "editor/IControlTypes.h"

class IGraphics;
class LICE_IBitmap;
class WDL_String;

class IGraphicsView
{
public:
    virtual ~IGraphicsView() = default;

    // Creates the platform view inside `parent` (a platform handle, or null for none) for the
    // editor. False when the platform cannot host the editor (the host then gets no editor).
    virtual bool Open(IGraphics* graphics, void* parent) = 0;
    // Tears the view down; the editor and its controls stay. Called at most once per Open.
    virtual void Close() = 0;
    // The platform handle of the open view, or null.
    virtual void* GetWindow() = 0;

    // Asks for the editor rectangle (editor coordinates) to be redrawn soon.
    virtual void Invalidate(const IRECT& rect) = 0;
    // Asks for the controls' own images to be rendered and shown soon, with no part of the draw
    // bitmap redrawn.
    virtual void InvalidateLayers() = 0;

    // Presentation: the draw bitmap's rectangle (all of it when `rect` is null) is shown.
    virtual void PresentBitmap(LICE_IBitmap* drawBitmap, const IRECT* rect) = 0;
    // A control's own image (RenderGL) is laid over its rectangle; `changed` is false when it
    // is the very image presented last time (a view that keeps it need not take it again).
    virtual void PresentLayer(LICE_IBitmap* image, const IRECT& rect, bool changed) = 0;
    // The presentation of one redraw is complete; `changed` is false when nothing presented in
    // it differs from what is on the screen (a view then shows no new frame).
    virtual void EndPresent(bool /*changed*/) {}

    // Services. Message boxes answer as the editor's ShowMessageBox does (1 OK/Yes, 2 Cancel,
    // 7 No, 0 nothing).
    virtual int ShowMessageBox(const char* /*text*/, const char* /*caption*/, int /*type*/)
    {
        return 0;
    }
    virtual bool GetTextFromClipboard(WDL_String* /*text*/) { return false; }
    virtual void SetCursorHidden(bool /*hidden*/) {}
    virtual void GetScreenDimensions(int* width, int* height)
    {
        *width = 0;
        *height = 0;
    }
    // The view's size changed with the editor's.
    virtual void Resize(int /*width*/, int /*height*/) {}
};

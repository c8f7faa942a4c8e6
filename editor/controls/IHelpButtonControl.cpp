#include "editor/controls/IHelpButtonControl.h"

#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"

#include <cstdio>

IHelpButtonControl::IHelpButtonControl(IPlugBase* plug, int x, int y, const BitmapRef& bitmap,
                                       const char* documentPath)
    : IBitmapControl(plug, x, y, -1, bitmap)
{
    std::snprintf(mPath, sizeof(mPath), "%s", documentPath ? documentPath : "");
}

void IHelpButtonControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
    IGraphics* graphics = mPlug ? GetGUI(*mPlug) : nullptr;
    // Without a viewer for the document the press would seem to do nothing: say where it is.
    if (graphics && mPath[0] && !graphics->OpenURL(mPath))
    {
        WDL_String notice("No viewer opened the manual. It is here:\n");
        notice.Append(mPath);
        graphics->ShowNotice(notice.Get());
    }
    IControl::OnMouseDown(x, y, mod);
}

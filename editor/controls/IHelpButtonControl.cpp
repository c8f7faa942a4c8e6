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
    if (graphics && mPath[0])
        graphics->OpenURL(mPath);
    IControl::OnMouseDown(x, y, mod);
}

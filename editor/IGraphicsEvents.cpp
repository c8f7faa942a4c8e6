#include "editor/IGraphics.h"

#include "editor/IGraphicsView.h"
#include "editor/IPromptOverlay.h"
#include "editor/controls/IControl.h"
#include "framework/IPlugBase.h"

IKeyDescription IKeyDescription::Named(ENamedKey key, int character)
{
    IKeyDescription k;
    k.named = key;
    k.character = character;
    k.characterCount = character ? 1 : 0;
    return k;
}

// ---- Events ----

void IGraphics::HandleMouseDown(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    if (mPrompt)
    {
        const bool consumed = mPrompt->OnMouseDown(x, y, mod);
        if (mPrompt->GetState() != IPromptOverlay::State::Open)
            ClosePrompt();
        // A menu swallows the click that dismisses it; an entry ends and lets it through.
        if (consumed)
            return;
    }
    ReleaseMouseCapture();
    const int c = ControlAtPoint(x, y);
    if (c < 0)
        return;
    mMouseCapture = c;
    mMouseX = x;
    mMouseY = y;
    IControl* control = mControls.Get(c);
    const int paramIdx = control->ParamIdx();
    if (paramIdx >= 0 && mPlug)
        mPlug->BeginInformHostOfParamChange(paramIdx);
    control->OnMouseDown(x, y, mod);
}

void IGraphics::HandleMouseUp(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    const int c = ControlAtPoint(x, y);
    ReleaseMouseCapture();
    if (c < 0)
        return;
    IControl* control = mControls.Get(c);
    control->OnMouseUp(x, y, mod);
    const int paramIdx = control->ParamIdx();
    if (paramIdx >= 0 && mPlug)
        mPlug->EndInformHostOfParamChange(paramIdx);
}

void IGraphics::HandleMouseDrag(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    // A drag while an entry is open goes nowhere.
    if (mPrompt || mMouseCapture < 0 || (x == mMouseX && y == mMouseY))
        return;
    const int dX = x - mMouseX;
    const int dY = y - mMouseY;
    mMouseX = x;
    mMouseY = y;
    if (IControl* control = mControls.Get(mMouseCapture))
        control->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::HandleMouseDoubleClick(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    if (mPrompt)
    {
        HandleMouseDown(x, y, mod);
        return false;
    }
    ReleaseMouseCapture();
    const int c = ControlAtPoint(x, y);
    if (c < 0)
        return false;
    IControl* control = mControls.Get(c);
    if (control->DoubleClickAsSingle())
    {
        mMouseCapture = c;
        mMouseX = x;
        mMouseY = y;
        control->OnMouseDown(x, y, mod);
        return true;
    }
    control->OnMouseDoubleClick(x, y, mod);
    return false;
}

void IGraphics::HandleMouseWheel(int x, int y, const IMouseMod& mod, double delta)
{
    SetLastMousePosition(x, y);
    // The wheel ends an open entry first.
    if (mPrompt)
    {
        ForceEndUserEdit();
    }
    const int c = ControlAtPoint(x, y);
    if (c >= 0)
        mControls.Get(c)->OnMouseWheel(x, y, mod, delta);
}

void IGraphics::HandleMouseOver(int x, int y, const IMouseMod& mod)
{
    SetLastMousePosition(x, y);
    if (mPrompt)
    {
        mPrompt->OnMouseOver(x, y);
        if (mView)
            mView->Invalidate(mPrompt->Area());
    }
    if (!mHandleMouseOver)
        return;
    const int c = ControlAtPoint(x, y, true);
    if (c < 0)
        return;
    mMouseX = x;
    mMouseY = y;
    mControls.Get(c)->OnMouseOver(x, y, mod);
    if (mMouseOver >= 0 && mMouseOver != c)
        if (IControl* previous = mControls.Get(mMouseOver))
            previous->OnMouseOut();
    mMouseOver = c;
}

bool IGraphics::HandleKeyDown(int x, int y, int key, const IMouseMod& /*mod*/)
{
    const int c = ControlAtPoint(x, y);
    // The background never takes keys.
    return c > 0 && mControls.Get(c)->OnKeyDown(x, y, key);
}

bool IGraphics::HandleKey(const IKeyDescription& key, const IMouseMod& mod)
{
    if (mPrompt)
    {
        const bool taken = mPrompt->OnKey(key);
        if (mPrompt->GetState() != IPromptOverlay::State::Open)
            ClosePrompt();
        else if (taken && mView)
            mView->Invalidate(mPrompt->Area());
        if (taken)
            return true;
    }
    const int number = KeyNumber(key);
    if (number == kKeyPassOn || number == kKeyDropped)
        return false;
    return HandleKeyDown(mPrevX, mPrevY, number, mod);
}

int IGraphics::KeyNumber(const IKeyDescription& key)
{
    switch (key.named)
    {
    case IKeyDescription::kSpace:
        return 0;
    case IKeyDescription::kUp:
        return 1;
    case IKeyDescription::kDown:
        return 2;
    case IKeyDescription::kLeft:
        return 3;
    case IKeyDescription::kRight:
        return 4;
    default:
        break;
    }
    if (key.characterCount != 1)
        return kKeyDropped;
    const int ch = key.character;
    if (ch == ' ')
        return 0;
    if (ch < 13)
        return kKeyPassOn;
    if (ch >= '0' && ch <= '9')
        return 5 + (ch - '0');
    if (ch >= 'a' && ch <= 'z')
        return 15 + (ch - 'a');
    if (ch >= 'A' && ch <= 'Z')
        return 15 + (ch - 'A');
    return 41;
}

void IGraphics::ReleaseMouseCapture()
{
    mMouseCapture = -1;
    mMouseX = mMouseY = -1;
}

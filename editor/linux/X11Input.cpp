#include "editor/linux/X11Input.h"

#include <X11/X.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdlib>

IMouseMod X11MouseMod(unsigned state, int button)
{
    IMouseMod mod;
    const bool right = button == kX11ButtonRight || (button == 0 && (state & Button3Mask));
    mod.L = !right;
    mod.R = right || (state & Mod4Mask) != 0;
    mod.S = (state & ShiftMask) != 0;
    mod.C = (state & ControlMask) != 0;
    mod.A = (state & Mod1Mask) != 0;
    return mod;
}

IKeyDescription X11KeyDescription(unsigned long keysym, const char* text, int textLength)
{
    using K = IKeyDescription;
    switch (keysym)
    {
    case XK_space:
        return K::Named(K::kSpace, ' ');
    case XK_Up:
    case XK_KP_Up:
        return K::Named(K::kUp);
    case XK_Down:
    case XK_KP_Down:
        return K::Named(K::kDown);
    case XK_Left:
    case XK_KP_Left:
        return K::Named(K::kLeft);
    case XK_Right:
    case XK_KP_Right:
        return K::Named(K::kRight);
    case XK_Return:
    case XK_KP_Enter:
        return K::Named(K::kReturn, '\r');
    case XK_Escape:
        return K::Named(K::kEscape, 27);
    case XK_BackSpace:
        return K::Named(K::kBackspace, 8);
    case XK_Delete:
    case XK_KP_Delete:
        return K::Named(K::kDelete, 127);
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return K::Named(K::kTab, '\t');
    default:
        break;
    }
    K key;
    if (text && textLength == 1)
    {
        key.character = static_cast<unsigned char>(text[0]);
        key.characterCount = 1;
    }
    else
    {
        // Multi-byte or no text: not a single character the editor numbers.
        key.characterCount = textLength > 0 ? textLength : 0;
    }
    return key;
}

int ClickCounter::Press(int button, int x, int y, uint64_t timeMs)
{
    const bool continues = button == mButton && timeMs - mTimeMs <= kIntervalMs &&
                           std::abs(x - mX) <= kDistance && std::abs(y - mY) <= kDistance;
    mCount = continues ? mCount + 1 : 1;
    mButton = button;
    mX = x;
    mY = y;
    mTimeMs = timeMs;
    return mCount;
}

void TakeMotionBurst(Display* display, unsigned long window, XEvent& event)
{
    XEvent next;
    while (XEventsQueued(display, QueuedAlready) > 0)
    {
        XPeekEvent(display, &next);
        if (next.type != MotionNotify || next.xmotion.window != window)
            return;
        XNextEvent(display, &event);
    }
}

#pragma once
// Turning X11 input into the editor's terms: modifier records, key descriptions and the click
// count that tells a double click from two single ones, and the motion burst. Small functions, so
// the rules are testable without a window.

#include "editor/IControlTypes.h"
#include "editor/IGraphics.h"

#include <cstdint>

// Xlib's own names for Display and XEvent; Xlib.h itself would bring its macros (None, Bool).
struct _XDisplay;
union _XEvent;

// X11 buttons, as numbered in button events.
enum X11Button
{
    kX11ButtonLeft = 1,
    kX11ButtonMiddle = 2,
    kX11ButtonRight = 3,
    kX11WheelUp = 4,
    kX11WheelDown = 5
};

// The modifier record of a mouse event. Left-button events carry the Super ("command") key as
// the right flag; right-button events are right only. state is the event's modifier mask.
IMouseMod X11MouseMod(unsigned state, int button);

// A key from its keysym and the text XLookupString produced.
IKeyDescription X11KeyDescription(unsigned long keysym, const char* text, int textLength);

// Counts presses: a press of the same button within the interval and distance of the previous
// one continues the count (2 = double click), anything else starts at 1.
class ClickCounter
{
public:
    static constexpr uint64_t kIntervalMs = 400;
    static constexpr int kDistance = 4;

    int Press(int button, int x, int y, uint64_t timeMs);

private:
    int mButton = -1;
    int mX = 0;
    int mY = 0;
    uint64_t mTimeMs = 0;
    int mCount = 0;
};

// Replaces event, a motion on window, with the last of the motions on window that directly follow
// it in display's queue. The burst ends at an event of another kind: a press or release is never
// moved past the motion around it, or a slow editor would see a drag as a click.
void TakeMotionBurst(_XDisplay* display, unsigned long window, _XEvent& event);

#pragma once
// X protocol errors on the editor's own connections: counted, never fatal. Xlib's default
// handler ends the whole process on any error, and some are a normal part of a window's life:
// the window destroyed from outside (a host closing its own window first, `xdotool
// windowclose`), focus handed to a window that is being unmapped. Errors on connections that
// are not the editor's go to the handler that was there before, so a host keeps its own rules.
//
// Threads: any; the handler and the counts share one mutex, never held across an Xlib call.

#include <X11/Xlib.h>

namespace X11Errors
{
// Starts counting the errors of display; the first display watched installs the handler.
void Watch(Display* display);
// Stops counting them (call after XCloseDisplay); the last one puts the previous handler back,
// so that no handler of a plug-in that is unloaded stays behind.
void Unwatch(Display* display);
// Errors seen on display since Watch; compare counts around a round trip (XSync).
int Count(Display* display);
} // namespace X11Errors

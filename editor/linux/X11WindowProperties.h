#pragma once
// What window managers, task bars and tools such as `xdotool search --pid` know a top-level
// window by: its class (WM_CLASS), its title in UTF-8 (_NET_WM_NAME) beside the legacy one,
// the process and machine that own it (_NET_WM_PID, WM_CLIENT_MACHINE) and its icon
// (_NET_WM_ICON, from the bundle's icon.png, drawn by the art tool).

#include <X11/Xlib.h>

#include <string>

// The class hint's two names: the instance (the program) and the class.
constexpr const char* kX11InstanceName = "parandel";
constexpr const char* kX11ClassName = "Parandel";

void SetTopLevelProperties(Display* display, Window window, const std::string& title);

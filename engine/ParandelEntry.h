#pragma once
// The plug-in's exported entries: the Audio Unit component (Parandel_Entry), the Carbon view
// component (Parandel_ViewEntry) and the view factory (Parandel_View), plus the component
// description under which hosts on this platform register and find the unit.

#include "hosts/au/AUPlatform.h"

#include <memory>

class IGraphicsLinux;
class IPlugAU;

extern "C"
{
    // Forwards to IPlugAUEntry with the plug-in's factory.
    ComponentResult Parandel_Entry(ComponentParameters* params, void* storage);
    // Forwards to IPlugAUCarbonViewEntry.
    ComponentResult Parandel_ViewEntry(ComponentParameters* params, void* storage);
}

// Type 'aufx', subtype 'rkjs', manufacturer 'TwNl'.
ComponentDescription ParandelComponentDescription();
// Registers Parandel_Entry under that description (once; later calls return the same
// component), as the system does for an installed bundle.
Component ParandelRegisterComponent();

// The view factory a host asks for the editor view.
class Parandel_View
{
public:
    Parandel_View();
    ~Parandel_View();
    // Forgets any plug-in.
    void Init() { mPlug = nullptr; }
    // The editor's view for the unit, or null when the unit has no plug-in or no editor. The
    // size is ignored.
    void* UiViewForAudioUnit(AudioUnit unit, Float32Point size);
    // This platform's counterpart: the editor in a window of its own inside the host's X11
    // window parentWindow (0: a top-level window). Returns the X11 id of the editor's window,
    // or 0 when the unit has no plug-in or no editor, or the display cannot host it (no OpenGL
    // 2). One window at a time per factory: opening again closes the previous one.
    unsigned long UiViewForAudioUnitInParent(AudioUnit unit, unsigned long parentWindow);
    // Closes the window UiViewForAudioUnitInParent made; the editor stays for the next open.
    void CloseView();
    // Why the last window could not be made.
    const char* LastError() const;
    unsigned InterfaceVersion() const { return 0; }
    const char* Description() const { return "TW Parandel View"; }

private:
    IPlugAU* mPlug = nullptr;
    std::unique_ptr<IGraphicsLinux> mView;
};

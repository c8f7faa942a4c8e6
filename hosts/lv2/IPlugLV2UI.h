#pragma once
// The LV2 UI over IPlugLV2: an X11 UI that reaches the plug-in object through instance-access
// (as the Audio Unit view reaches it through the unit) and opens the editor in the host's
// ui:parent window. Host port events update the controls; the editor's gestures go back through
// the touch extension (when offered) and the write function, from the host's idle call.
//
// Threads: every call comes from the host's UI thread. The editor's window keeps its own
// thread and 25 fps tick, so a host that never calls idle still sees a live editor; idle only
// forwards the queued gestures.

#include <lv2/ui/ui.h>

class IGraphicsLinux;
class IPlugLV2;

class IPlugLV2UI
{
public:
    IPlugLV2UI(IPlugLV2* plug, LV2UI_Write_Function write, LV2UI_Controller controller,
               const LV2_Feature* const* features);
    ~IPlugLV2UI();
    IPlugLV2UI(const IPlugLV2UI&) = delete;
    IPlugLV2UI& operator=(const IPlugLV2UI&) = delete;

    // Opens the editor; its X11 window, or 0 (LastError says why).
    unsigned long Open();
    void PortEvent(unsigned port, unsigned bufferSize, unsigned format, const void* buffer);
    // Forwards the gestures; 0 while the window lives.
    int Idle();
    const char* LastError() const;

private:
    IPlugLV2* mPlug;
    LV2UI_Write_Function mWrite;
    LV2UI_Controller mController;
    unsigned long mParent = 0;
    const LV2UI_Resize* mResize = nullptr;
    const LV2UI_Touch* mTouch = nullptr;
    IGraphicsLinux* mView = nullptr;
    double mHostScale = 0.0; // the host's ui:scaleFactor, 0 when not given
};

// The UI descriptor for uri (index 0), or null.
const LV2UI_Descriptor* IPlugLV2UIGetDescriptor(const char* uri, uint32_t index);

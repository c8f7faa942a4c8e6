#include "hosts/lv2/IPlugLV2UI.h"

#include "editor/IGraphics.h"
#include "editor/linux/DisplayScale.h"
#include "editor/linux/IGraphicsLinux.h"
#include "hosts/lv2/IPlugLV2.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2_util.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>

namespace
{
// The host's ui:scaleFactor option, or 0 when it gives none.
double HostScaleFactor(const LV2_Feature* const* features)
{
    const auto* map = static_cast<const LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map));
    const auto* options =
        static_cast<const LV2_Options_Option*>(lv2_features_data(features, LV2_OPTIONS__options));
    if (!map || !options)
        return 0.0;
    const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID type = map->map(map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* o = options; o->key != 0; ++o)
        if (o->key == key && o->type == type && o->size == sizeof(float) && o->value)
            return *static_cast<const float*>(o->value);
    return 0.0;
}
} // namespace

IPlugLV2UI::IPlugLV2UI(IPlugLV2* plug, LV2UI_Write_Function write, LV2UI_Controller controller,
                       const LV2_Feature* const* features)
    : mPlug(plug), mWrite(write), mController(controller)
{
    mParent = static_cast<unsigned long>(
        reinterpret_cast<uintptr_t>(lv2_features_data(features, LV2_UI__parent)));
    mResize = static_cast<const LV2UI_Resize*>(lv2_features_data(features, LV2_UI__resize));
    mTouch = static_cast<const LV2UI_Touch*>(lv2_features_data(features, LV2_UI__touch));
    mHostScale = HostScaleFactor(features);
}

IPlugLV2UI::~IPlugLV2UI()
{
    if (!mView)
        return;
    IGraphics* gui = GetGUI(*mPlug);
    if (gui && gui->GetView() == mView)
        gui->CloseWindow();
    mView->Close();
    delete mView;
}

unsigned long IPlugLV2UI::Open()
{
    IGraphics* gui = GetGUI(*mPlug);
    if (!gui)
        return 0;
    gui->SetScale(ChooseDisplayScale(mHostScale));
    mView = new IGraphicsLinux();
    void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(mParent));
    void* window = gui->OpenWindow(mView, parent);
    if (!window)
        return 0;
    mPlug->OnEditorOpen();
    if (mResize)
        mResize->ui_resize(mResize->handle, gui->PixelWidth(), gui->PixelHeight());
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
}

const char* IPlugLV2UI::LastError() const
{
    return mView ? mView->LastError().c_str() : "";
}

void IPlugLV2UI::PortEvent(unsigned port, unsigned bufferSize, unsigned format, const void* buffer)
{
    IGraphics* gui = GetGUI(*mPlug);
    if (format != 0 || bufferSize != sizeof(float) || !buffer || !gui)
        return;
    const LV2PortMap& ports = mPlug->Ports();
    if (static_cast<int>(port) >= ports.Count())
        return;
    const LV2Port& info = ports.Port(static_cast<int>(port));
    const float value = *static_cast<const float*>(buffer);
    if (info.kind != LV2Port::Kind::ControlIn && info.kind != LV2Port::Kind::RadioIn)
        return;
    {
        // Under the plug-in mutex, as the host's parameter path tells the editor.
        WDL_MutexLock lock(mPlug->GetMutex());
        if (info.kind == LV2Port::Kind::ControlIn)
            gui->SetParameterFromPlug(info.paramIdx, value, false);
        else
            for (int k = 0; k < ports.Description().radioCount; ++k)
                gui->SetParameterFromPlug(info.paramIdx + k, k == static_cast<int>(value) ? 1 : 0,
                                          false);
    }
    // A quiet editor looks only five times a second: the host's change is shown at once.
    if (mView)
        mView->RequestTick();
}

int IPlugLV2UI::Idle()
{
    if (!mView)
        return 1;
    for (int i = 0; i < mPlug->ParamCount(); ++i)
    {
        const int gesture = mPlug->TakeGesture(i);
        const int port = gesture ? mPlug->PortForParam(i) : -1;
        if (port < 0)
            continue;
        if ((gesture & IPlugLV2::kGestureBegin) && mTouch)
            mTouch->touch(mTouch->handle, port, true);
        if (gesture & (IPlugLV2::kGestureChange | IPlugLV2::kGestureBegin | IPlugLV2::kGestureEnd))
        {
            float value;
            {
                WDL_MutexLock lock(mPlug->GetMutex());
                value = mPlug->PortValue(port);
            }
            mWrite(mController, port, sizeof(float), 0, &value);
        }
        if ((gesture & IPlugLV2::kGestureEnd) && mTouch)
            mTouch->touch(mTouch->handle, port, false);
    }
    return 0;
}

namespace
{
LV2UI_Handle Instantiate(const LV2UI_Descriptor* /*descriptor*/, const char* /*pluginUri*/,
                         const char* /*bundlePath*/, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
    auto* plug = static_cast<IPlugLV2*>(lv2_features_data(features, LV2_INSTANCE_ACCESS_URI));
    if (!plug || !write)
        return nullptr;
    auto* ui = new IPlugLV2UI(plug, write, controller, features);
    const unsigned long window = ui->Open();
    if (!window)
    {
        delete ui;
        return nullptr;
    }
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(window));
    return ui;
}

void Cleanup(LV2UI_Handle handle)
{
    delete static_cast<IPlugLV2UI*>(handle);
}

void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t bufferSize, uint32_t format,
               const void* buffer)
{
    static_cast<IPlugLV2UI*>(handle)->PortEvent(port, bufferSize, format, buffer);
}

int Idle(LV2UI_Handle handle)
{
    return static_cast<IPlugLV2UI*>(handle)->Idle();
}

const void* ExtensionData(const char* uri)
{
    static const LV2UI_Idle_Interface idle = {Idle};
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &idle;
    return nullptr;
}
} // namespace

const LV2UI_Descriptor* IPlugLV2UIGetDescriptor(const char* uri, uint32_t index)
{
    static const LV2UI_Descriptor descriptor = {uri, Instantiate, Cleanup, PortEvent,
                                                ExtensionData};
    return index == 0 ? &descriptor : nullptr;
}

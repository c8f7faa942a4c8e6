#include "engine/ParandelEntry.h"

#include "editor/IGraphics.h"
#include "editor/linux/IGraphicsLinux.h"
#include "engine/Parandel.h"
#include "hosts/au/IPlugAU.h"

namespace
{
IPlugAU* MakeParandel(IPlugInstanceInfo instanceInfo)
{
    return new Parandel(instanceInfo);
}

const IPlugAUFactory kFactory = {Parandel::kBundleID, Parandel::kViewFactoryClassName,
                                 MakeParandel};
} // namespace

extern "C" ComponentResult Parandel_Entry(ComponentParameters* params, void* storage)
{
    return IPlugAUEntry(params, storage, kFactory);
}

extern "C" ComponentResult Parandel_ViewEntry(ComponentParameters* params, void* storage)
{
    return IPlugAUCarbonViewEntry(params, storage);
}

ComponentDescription ParandelComponentDescription()
{
    ComponentDescription cd{};
    cd.componentType = kAudioUnitType_Effect;
    cd.componentSubType = static_cast<OSType>(Parandel::kUniqueID);
    cd.componentManufacturer = static_cast<OSType>(Parandel::kManufacturerID);
    return cd;
}

Component ParandelRegisterComponent()
{
    ComponentDescription cd = ParandelComponentDescription();
    return RegisterComponent(&cd, Parandel_Entry, 0, nullptr, nullptr, nullptr);
}

void* Parandel_View::UiViewForAudioUnit(AudioUnit unit, Float32Point /*size*/)
{
    mPlug = IPlugAU::FromStorage(GetComponentInstanceStorage(unit));
    if (!mPlug || !GetGUI(*mPlug))
        return nullptr;
    // On this platform the editor itself is the view the host embeds.
    IGraphics* view = GetGUI(*mPlug);
    mPlug->OnEditorOpen();
    return view;
}

Parandel_View::Parandel_View()
{
    Init();
}

Parandel_View::~Parandel_View()
{
    CloseView();
}

unsigned long Parandel_View::UiViewForAudioUnitInParent(AudioUnit unit, unsigned long parentWindow)
{
    CloseView();
    mPlug = IPlugAU::FromStorage(GetComponentInstanceStorage(unit));
    if (!mPlug || !GetGUI(*mPlug))
        return 0;
    mView = std::make_unique<IGraphicsLinux>();
    void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(parentWindow));
    void* window = GetGUI(*mPlug)->OpenWindow(mView.get(), parent);
    if (!window)
        return 0;
    mPlug->OnEditorOpen();
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
}

void Parandel_View::CloseView()
{
    if (!mView)
        return;
    IGraphics* gui = mPlug ? GetGUI(*mPlug) : nullptr;
    if (gui && gui->GetView() == mView.get())
        gui->CloseWindow();
    mView->Close();
}

const char* Parandel_View::LastError() const
{
    return mView ? mView->LastError().c_str() : "";
}

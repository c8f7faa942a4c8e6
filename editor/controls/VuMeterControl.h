#pragma once
// A meter: one frame of a vertical strip chosen by its normalised value, as IBitmapControl
// draws it. The plug-in pushes values with SetValueFromPlugin, the correlation meter from the
// audio thread: that path only stores the value and sets flags (no allocation, no lock) and is
// ignored while the meter is locked.
//
// Options run on the editor's idle tick: decay lowers the bound parameter by 1.2 dB per tick
// (down to -60 dB) and shows it; notify host reports the parameter's value to the host and the
// editor as a complete begin/change/end gesture.

#include "editor/controls/IBitmapControl.h"
#include "framework/ParamSmoother.h"

#include <atomic>

class VuMeterControl : public IBitmapControl
{
public:
    static constexpr double kDecayStepDb = 1.2;
    static constexpr double kFloorDb = -60.0;

    VuMeterControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapRef& bitmap,
                   int blendMethod = IChannelBlend::kBlendNone, bool decay = false,
                   bool notifyHost = false);
    ~VuMeterControl() override;

    void SetValueFromPlugin(double value) override;
    void OnEditorIdle() override;

    void SetLocked(bool locked) { mLocked.store(locked, std::memory_order_relaxed); }
    bool IsLocked() const { return mLocked.load(std::memory_order_relaxed); }

private:
    void NotifyHost();
    void Decay();

    ParamSmoother mLevelSmoother;
    bool mDecay;
    bool mNotifyHost;
    // Set on the editor thread, read by the thread that pushes values.
    std::atomic<bool> mLocked{false};
};

#include "editor/controls/VuMeterControl.h"

#include "editor/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"

namespace
{
constexpr int kSmootherPrecision = 10;
constexpr double kSmootherCoefficient = 0.9;
} // namespace

VuMeterControl::VuMeterControl(IPlugBase* plug, int x, int y, int paramIdx, const BitmapRef& bitmap,
                               int blendMethod, bool decay, bool notifyHost)
    : IBitmapControl(plug, x, y, paramIdx, bitmap, IChannelBlend(blendMethod, 1.0f)),
      mLevelSmoother(kSmootherPrecision, kFloorDb, kSmootherCoefficient), mDecay(decay),
      mNotifyHost(notifyHost)
{
}

VuMeterControl::~VuMeterControl() = default;

void VuMeterControl::SetValueFromPlugin(double value)
{
    if (IsLocked())
        return;
    IControl::SetValueFromPlugin(value);
}

void VuMeterControl::OnEditorIdle()
{
    if (!(mNotifyHost || mDecay) || !mPlug || !mPlug->Param(mParamIdx))
        return;
    // The parameter is read and written under the plug-in mutex, as every other writer does;
    // the editor may take it here (the editor mutex, if held, comes first).
    WDL_MutexLock lock(mPlug->GetMutex());
    if (mNotifyHost)
        NotifyHost();
    if (mDecay)
        Decay();
}

void VuMeterControl::NotifyHost()
{
    const double normalized = mPlug->Param(mParamIdx)->ToNormalized();
    mPlug->BeginInformHostOfParamChange(mParamIdx);
    if (IGraphics* graphics = GetGUI(*mPlug))
        graphics->SetParameterFromPlug(mParamIdx, normalized, true);
    mPlug->InformHostOfParamChange(mParamIdx, normalized);
    mPlug->EndInformHostOfParamChange(mParamIdx);
}

void VuMeterControl::Decay()
{
    IParam* param = mPlug->Param(mParamIdx);
    double v = param->Value() - kDecayStepDb;
    if (v < kFloorDb)
    {
        mLevelSmoother.ResetTo(kFloorDb);
        v = kFloorDb;
    }
    double lo = 0.0, hi = 0.0;
    param->Bounds(lo, hi);
    v = v < lo ? lo : (v < hi ? v : hi);
    param->SetValue(v);
    SetValueFromPlugin(param->ToNormalized());
}

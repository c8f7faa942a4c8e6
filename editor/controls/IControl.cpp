#include "editor/controls/IControl.h"

#include "editor/IGraphics.h"
#include "editor/controls/ITextControl.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"

#include <atomic>
#include <chrono>

IControl::IControl(IPlugBase* plug, const IRECT& rect, int paramIdx, IChannelBlend blend)
    : mPlug(plug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blend)
{
}

IControl::~IControl() = default;

namespace
{
std::atomic<bool> sClockFrozen{false};
std::atomic<uint64_t> sFrozenMs{0};
} // namespace

IControl::FrozenClock::FrozenClock(uint64_t ms)
{
    sFrozenMs = ms;
    sClockFrozen = true;
}

IControl::FrozenClock::~FrozenClock()
{
    sClockFrozen = false;
}

uint64_t IControl::NowMs()
{
    if (sClockFrozen)
        return sFrozenMs;
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void IControl::OnMouseDown(int /*x*/, int /*y*/, const IMouseMod& mod)
{
    mLastPressMs = CurrentTimeMs();
    if (mod.A && mDefaultValue >= 0.0)
    {
        mValue = mDefaultValue;
        SetDirty(true);
    }
    if (mod.R)
        PromptUserInput();
}

bool IControl::OnMouseDoubleClick(int x, int y, const IMouseMod& mod)
{
    const uint64_t now = CurrentTimeMs();
    const uint64_t previous = mLastPressMs;
    mLastPressMs = now;
    if (now - previous > kDoubleClickMs)
    {
        // Too slow for a double click: an ordinary press, which stores the time again.
        OnMouseDown(x, y, mod);
        return false;
    }
    if (mDefaultValue >= 0.0)
    {
        mValue = mDefaultValue;
        SetDirty(true);
    }
    return true;
}

void IControl::SetValueFromPlugin(double value)
{
    if (mDefaultValue < 0.0)
    {
        // The first value from the plug-in is the one an alt-click restores.
        mValue = mDefaultValue = value;
        return;
    }
    if (value != mValue)
    {
        mValue = value;
        SetDirty(false);
        mRedraw = true;
    }
}

void IControl::SetValueFromUser(double value)
{
    if (value != mValue)
    {
        mValue = value;
        SetDirty(true);
        mRedraw = true;
    }
}

void IControl::SetHidden(bool hidden)
{
    mHidden = hidden;
    mRedraw = true;
    SetDirty(false);
}

void IControl::SetGrayed(bool grayed)
{
    mGrayed = grayed;
    mBlend.weight = grayed ? 0.25f : 1.0f;
    SetDirty(false);
}

void IControl::SetDirty(bool pushToPlugin)
{
    mValue = mValue < mClampLo ? mClampLo : (mValue < mClampHi ? mValue : mClampHi);
    mDirty = true;
    if (pushToPlugin && mPlug && mParamIdx >= 0)
        mPlug->SetParameterFromGUI(mParamIdx, mValue);
    if (mValDisplayControl || mNameDisplayControl)
        UpdateDisplayControls();
}

void IControl::UpdateDisplayControls()
{
    const IParam* param = mPlug ? mPlug->Param(mParamIdx) : nullptr;
    if (!param)
        return;
    if (mValDisplayControl)
    {
        WDL_String text;
        ICaptionControl::FormatParamValue(*param, mValue, true, true, &text);
        mValDisplayControl->SetTextFromPlugin(text.Get());
    }
    if (mNameDisplayControl)
        mNameDisplayControl->SetTextFromPlugin(param->GetName());
}

void IControl::SetClean()
{
    mDirty = mRedraw;
    mRedraw = false;
}

void IControl::PromptUserInput()
{
    if (mParamIdx < 0 || mDisablePrompt)
        return;
    IParam* param = mPlug ? mPlug->Param(mParamIdx) : nullptr;
    IGraphics* graphics = mPlug ? GetGUI(*mPlug) : nullptr;
    if (param && graphics)
    {
        if (param->DisplayTextCount() > 0)
        {
            graphics->PromptUserInput(this, param, &mRECT);
        }
        else
        {
            const int cx = static_cast<int>((mRECT.L + mRECT.R) * 0.5);
            const int cy = static_cast<int>((mRECT.T + mRECT.B) * 0.5);
            IRECT entry(cx - 45, cy - 8, cx + 45, cy + 8);
            graphics->PromptUserInput(this, param, &entry);
        }
    }
    mRedraw = true;
}

#include "editor/controls/ITextControl.h"

#include "editor/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"

#include <cstring>

ITextControl::ITextControl(IPlugBase* plug, const IRECT& rect, const IText& text, const char* str)
    : IControl(plug, rect), mStr(str ? str : "")
{
    mText = text;
}

bool ITextControl::Draw(IGraphics* graphics)
{
    if (mStr.GetLength() == 0)
        return true;
    return graphics->DrawIText(&mText, mStr.Get(), &mRECT);
}

void ITextControl::SetTextFromPlugin(const char* str)
{
    if (!str)
        str = "";
    if (std::strcmp(mStr.Get(), str) != 0)
    {
        mStr.Set(str);
        SetDirty(false);
    }
}

ICaptionControl::ICaptionControl(IPlugBase* plug, const IRECT& rect, int paramIdx,
                                 const IText& text, bool showParamLabel)
    : ITextControl(plug, rect, text), mShowParamLabel(showParamLabel)
{
    mParamIdx = paramIdx;
}

void ICaptionControl::FormatParamValue(const IParam& param, double value, bool isNormalized,
                                       bool withLabel, WDL_String* out)
{
    char text[IParam::kTextSize];
    param.FormatValue(value, isNormalized, text, true);
    out->Set(text);
    if (withLabel)
    {
        out->Append(" ");
        out->Append(param.GetLabel());
    }
}

bool ICaptionControl::Draw(IGraphics* graphics)
{
    if (const IParam* param = mPlug ? mPlug->Param(mParamIdx) : nullptr)
    {
        // The value is read under the plug-in mutex, which the editor may take inside a draw.
        double value = 0.0;
        {
            WDL_MutexLock lock(mPlug->GetMutex());
            value = param->Value();
        }
        WDL_String text;
        FormatParamValue(*param, value, false, mShowParamLabel, &text);
        SetTextFromPlugin(text.Get());
    }
    return ITextControl::Draw(graphics);
}

void ICaptionControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
    // The base would prompt on a right press too; the prompt opens here, once, for either.
    IMouseMod withoutRight = mod;
    withoutRight.R = false;
    IControl::OnMouseDown(x, y, withoutRight);
    if (mod.L || mod.R)
        PromptUserInput();
}

bool ICaptionControl::OnMouseDoubleClick(int /*x*/, int /*y*/, const IMouseMod& /*mod*/)
{
    PromptUserInput();
    return true;
}

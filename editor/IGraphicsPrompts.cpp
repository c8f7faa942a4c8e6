#include "editor/IGraphics.h"

#include "editor/IGraphicsView.h"
#include "editor/IPromptOverlay.h"
#include "editor/controls/IControl.h"
#include "framework/IParam.h"

#include <cstdlib>
#include <string_view>

// ---- Prompts ----

void IGraphics::PromptUserInput(IControl* control, IParam* param, const IRECT* rect)
{
    if (!control || !param || !rect)
        return;
    const IParam::ParamType type = param->Type();
    const int n = param->DisplayTextCount();
    if (type == IParam::ParamType::Enum || (type == IParam::ParamType::Bool && n > 0))
    {
        char current[IParam::kTextSize];
        param->FormatValue(param->Value(), false, current, sizeof(current), true);
        IPopupMenu* menu = new IPopupMenu;
        for (int i = 0; i < n; ++i)
        {
            const char* text = param->DisplayTextForValue(i);
            const bool checked = std::string_view(text) == current;
            menu->AddItem(text, checked ? IPopupMenu::Item::kChecked : IPopupMenu::Item::kNoFlags);
        }
        if (!CreatePopupMenu(menu, *rect, control, param))
            delete menu;
        return;
    }
    char text[IParam::kTextSize];
    param->FormatValue(param->Value(), false, text, sizeof(text), false);
    CreateTextEntry(control, *control->GetText(), *rect, text, param);
}

bool IGraphics::CreateTextEntry(IControl* control, const IText& text, const IRECT& rect,
                                const char* str, IParam* param)
{
    if (!control || mPrompt)
        return false;
    ReleaseMouseCapture();
    mPrompt = new ITextEntryOverlay(control, param, text, rect, str, control->GetTextEntryLength());
    if (mView)
        mView->Invalidate(rect);
    return true;
}

bool IGraphics::CreatePopupMenu(IPopupMenu* menu, const IRECT& rect, IControl* control,
                                IParam* param)
{
    if (!menu || mPrompt)
        return false;
    ReleaseMouseCapture();
    mPrompt = new IPopupMenuOverlay(control, param, menu, rect, mWidth, mHeight);
    if (mView)
        mView->Invalidate(mPrompt->Area());
    return true;
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text)
{
    if (!control)
        return;
    if (!param)
    {
        // A control without a parameter receives the text itself.
        control->SetTextFromPrompt(text);
        return;
    }
    double value = 0.0;
    const IParam::ParamType type = param->Type();
    if (type == IParam::ParamType::Bool || type == IParam::ParamType::Enum)
    {
        if (!param->ValueForDisplayText(text, &value))
            value = 0.0;
    }
    else
    {
        value = std::atof(text);
        if (param->negateDisplay)
            value = -value;
    }
    control->SetValueFromUser(param->ToNormalized(value));
}

void IGraphics::SetFromMenuAfterPrompt(IControl* control, IParam* param, int chosenIdx)
{
    if (!control || !param || chosenIdx < 0)
        return;
    control->SetValueFromUser(param->ToNormalized(static_cast<double>(chosenIdx)));
}

void IGraphics::ClosePrompt()
{
    IPromptOverlay* prompt = mPrompt;
    if (!prompt)
        return;
    mPrompt = nullptr;
    if (prompt->GetState() == IPromptOverlay::State::Committed)
    {
        if (auto* entry = dynamic_cast<ITextEntryOverlay*>(prompt))
            SetFromStringAfterPrompt(entry->GetControl(), entry->GetParam(), entry->GetString());
        else if (auto* menu = dynamic_cast<IPopupMenuOverlay*>(prompt))
            SetFromMenuAfterPrompt(menu->GetControl(), menu->GetParam(),
                                   menu->GetMenu()->GetChosenItemIdx());
    }
    delete prompt;
    // The area under the prompt and the control it edited are drawn again in full.
    for (int i = 0; i < mControls.GetSize(); ++i)
        mControls.Get(i)->SetDirty(false);
    if (mView)
        mView->Invalidate(IRECT(0, 0, mWidth, mHeight));
}

bool IGraphics::ShowNotice(const char* text)
{
    if (mPrompt)
        return false;
    mPrompt = new INoticeOverlay(text, mWidth, mHeight);
    // The box takes its height from its text when drawn: everything is drawn again.
    if (mView)
        mView->Invalidate(IRECT(0, 0, mWidth, mHeight));
    return true;
}

void IGraphics::ForceEndUserEdit()
{
    if (!mPrompt)
        return;
    if (auto* entry = dynamic_cast<ITextEntryOverlay*>(mPrompt))
        entry->OnKey(IKeyDescription::Named(IKeyDescription::kReturn, '\r'));
    else
        mPrompt->OnKey(IKeyDescription::Named(IKeyDescription::kEscape, 27));
    ClosePrompt();
}

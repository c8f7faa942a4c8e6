#include "editor/IPromptOverlay.h"

#include "framework/IParam.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr const char* kIntegerChars = "0123456789-+";
constexpr const char* kRealChars = "0123456789.-+";

// The menu's palette: a dark panel in the editor's colours with a blue highlight.
const IColor kMenuBackground(255, 30, 33, 42);
const IColor kMenuBorder(255, 70, 76, 94);
const IColor kMenuHighlight(255, 48, 104, 170);
const IColor kMenuText(255, 230, 232, 240);
const IColor kMenuDisabledText(255, 110, 110, 110);
constexpr int kMenuTextSize = 12;
constexpr int kPadding = 4;

const char* AcceptedCharacters(const IParam* param)
{
    if (!param)
        return nullptr;
    return param->Type() == IParam::ParamType::Double ? kRealChars : kIntegerChars;
}

void DrawFrame(IGraphics* graphics, const IRECT& r, const IColor& color)
{
    const float l = static_cast<float>(r.L);
    const float t = static_cast<float>(r.T);
    const float rr = static_cast<float>(r.R - 1);
    const float b = static_cast<float>(r.B - 1);
    graphics->DrawLine(&color, l, t, rr, t);
    graphics->DrawLine(&color, rr, t, rr, b);
    graphics->DrawLine(&color, rr, b, l, b);
    graphics->DrawLine(&color, l, b, l, t);
}
} // namespace

// ---- Text entry ----

ITextEntryOverlay::ITextEntryOverlay(IControl* control, IParam* param, const IText& style,
                                     const IRECT& rect, const char* text, int maxLength)
    : IPromptOverlay(control, param), mStyle(style), mRect(rect), mMaxLength(maxLength),
      mAccepted(AcceptedCharacters(param))
{
    // The field's font is the style's in bold at nine tenths of its size.
    mStyle.mStyle = IText::kStyleBold;
    mStyle.mSize = static_cast<int>(style.mSize * 0.9);
    mStyle.mColor = style.mTextEntryFGColor;
    mStyle.mCached = nullptr;
    mString.Set(text ? text : "", mMaxLength > 0 ? mMaxLength : -1);
}

bool ITextEntryOverlay::Accepts(int character) const
{
    if (character < 32 || character > 126)
        return false;
    if (mAccepted && !std::strchr(mAccepted, character))
        return false;
    return mSelected || mMaxLength <= 0 || mString.GetLength() < mMaxLength;
}

bool ITextEntryOverlay::Type(int character)
{
    if (!Accepts(character))
        return false;
    if (mSelected)
        mString.Set("");
    mSelected = false;
    const char c[2] = {static_cast<char>(character), '\0'};
    mString.Append(c);
    return true;
}

bool ITextEntryOverlay::OnKey(const IKeyDescription& key)
{
    switch (key.named)
    {
    case IKeyDescription::kReturn:
        mState = State::Committed;
        return true;
    case IKeyDescription::kEscape:
        mState = State::Cancelled;
        return true;
    case IKeyDescription::kBackspace:
    case IKeyDescription::kDelete:
        if (mSelected)
            mString.Set("");
        else if (mString.GetLength() > 0)
            mString.SetLength(mString.GetLength() - 1);
        mSelected = false;
        return true;
    case IKeyDescription::kTab:
        // Tab leaves the field as a click elsewhere does.
        mState = State::Committed;
        return true;
    default:
        break;
    }
    if (key.characterCount == 1)
    {
        if (key.character == '\r' || key.character == '\n')
            mState = State::Committed;
        else if (key.character == 27)
            mState = State::Cancelled;
        else if (key.character == 8 || key.character == 127)
            return OnKey(IKeyDescription::Named(IKeyDescription::kBackspace));
        else
            Type(key.character);
    }
    // The field has the keyboard focus: every key is its own, refused ones included.
    return true;
}

bool ITextEntryOverlay::OnMouseDown(int x, int y, const IMouseMod& /*mod*/)
{
    if (mRect.Contains(x, y))
        return true;
    // Clicking elsewhere ends the entry with what was typed, as leaving a field does.
    mState = State::Committed;
    return false;
}

void ITextEntryOverlay::Draw(IGraphics* graphics)
{
    const IColor bg = mStyle.mTextEntryBGColor;
    graphics->FillIRect(&bg, &mRect);
    DrawFrame(graphics, mRect, mStyle.mTextEntryFGColor);
    IRECT text = mRect;
    IRECT measured = mRect;
    graphics->MeasureIText(&mStyle, "0", &measured);
    const int textHeight = measured.H() > 0 ? measured.H() : mStyle.mSize;
    text.T = mRect.T + (mRect.H() - textHeight) / 2;
    text.B = text.T + textHeight;
    if (mSelected && mString.GetLength() > 0)
    {
        // The selected text shows inverted, as a field that has just taken focus does.
        IRECT sel = text;
        graphics->MeasureIText(&mStyle, mString.Get(), &sel);
        if (mStyle.mAlign == IText::kAlignNear)
        {
            sel.L = text.L;
            sel.R = text.L + sel.R;
        }
        IRECT highlight(sel.L - 1, text.T, sel.R + 1, text.B);
        graphics->FillIRect(&mStyle.mTextEntryFGColor, &highlight);
        IText inverted = mStyle;
        inverted.mColor = mStyle.mTextEntryBGColor;
        graphics->DrawIText(&inverted, mString.Get(), &text);
        return;
    }
    graphics->DrawIText(&mStyle, mString.Get(), &text);

    // The caret after the text, placed as the alignment puts the text.
    IRECT extent = text;
    int caretX = text.L + 2;
    if (mString.GetLength() > 0)
    {
        graphics->MeasureIText(&mStyle, mString.Get(), &extent);
        caretX = mStyle.mAlign == IText::kAlignNear ? text.L + extent.R + 1 : extent.R + 1;
    }
    else if (mStyle.mAlign == IText::kAlignCenter)
    {
        caretX = (mRect.L + mRect.R) / 2;
    }
    else if (mStyle.mAlign == IText::kAlignFar)
    {
        caretX = mRect.R - 3;
    }
    graphics->DrawLine(&mStyle.mTextEntryFGColor, static_cast<float>(caretX),
                       static_cast<float>(text.T), static_cast<float>(caretX),
                       static_cast<float>(text.B - 1));
}

// ---- Popup menu ----

IPopupMenuOverlay::IPopupMenuOverlay(IControl* control, IParam* param, IPopupMenu* menu,
                                     const IRECT& rect, int editorWidth, int editorHeight)
    : IPromptOverlay(control, param), mMenu(menu), mHighlighted(-1)
{
    const int n = mMenu->NItems();
    const int w = std::max(kMinWidth, rect.W());
    const int h = n * kRowHeight + 2;
    // Below the control, moved up or left to stay inside the editor.
    int l = std::min(rect.L, editorWidth - w);
    int t = rect.B + 4;
    if (t + h > editorHeight)
        t = std::max(0, rect.T - h);
    l = std::max(0, l);
    mArea = IRECT(l, t, l + w, t + h);
    for (int i = 0; i < n; ++i)
        if (mMenu->GetItem(i)->Checked())
            mHighlighted = i;
}

IPopupMenuOverlay::~IPopupMenuOverlay()
{
    delete mMenu;
}

IRECT IPopupMenuOverlay::ItemRect(int idx) const
{
    const int t = mArea.T + 1 + idx * kRowHeight;
    return IRECT(mArea.L + 1, t, mArea.R - 1, t + kRowHeight);
}

int IPopupMenuOverlay::ItemAt(int x, int y) const
{
    for (int i = 0; i < mMenu->NItems(); ++i)
        if (ItemRect(i).Contains(x, y))
            return i;
    return -1;
}

void IPopupMenuOverlay::Step(int direction)
{
    const int n = mMenu->NItems();
    int i = mHighlighted;
    for (int tries = 0; tries < n; ++tries)
    {
        i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
        if (mMenu->GetItem(i)->Enabled())
        {
            mHighlighted = i;
            return;
        }
    }
}

bool IPopupMenuOverlay::OnMouseDown(int x, int y, const IMouseMod& /*mod*/)
{
    const int i = ItemAt(x, y);
    if (i >= 0)
    {
        if (mMenu->GetItem(i)->Enabled())
        {
            mMenu->SetChosenItemIdx(i);
            mState = State::Committed;
        }
        return true;
    }
    // A click outside dismisses the menu and goes no further, as a context menu does.
    mState = State::Cancelled;
    return true;
}

void IPopupMenuOverlay::OnMouseOver(int x, int y)
{
    const int i = ItemAt(x, y);
    if (i >= 0 && mMenu->GetItem(i)->Enabled())
        mHighlighted = i;
}

bool IPopupMenuOverlay::OnKey(const IKeyDescription& key)
{
    switch (key.named)
    {
    case IKeyDescription::kUp:
        Step(-1);
        return true;
    case IKeyDescription::kDown:
        Step(1);
        return true;
    case IKeyDescription::kReturn:
    case IKeyDescription::kSpace:
        if (mHighlighted >= 0)
        {
            mMenu->SetChosenItemIdx(mHighlighted);
            mState = State::Committed;
        }
        return true;
    case IKeyDescription::kEscape:
        mState = State::Cancelled;
        return true;
    default:
        break;
    }
    if (key.characterCount == 1 && (key.character == '\r' || key.character == '\n'))
        return OnKey(IKeyDescription::Named(IKeyDescription::kReturn));
    if (key.characterCount == 1 && key.character == 27)
        return OnKey(IKeyDescription::Named(IKeyDescription::kEscape));
    return true;
}

void IPopupMenuOverlay::Draw(IGraphics* graphics)
{
    graphics->FillIRect(&kMenuBackground, &mArea);
    DrawFrame(graphics, mArea, kMenuBorder);
    IText style(kMenuTextSize, kMenuText, "Tahoma", IText::kStyleNormal, IText::kAlignNear);
    IText disabled = style;
    disabled.mColor = kMenuDisabledText;
    for (int i = 0; i < mMenu->NItems(); ++i)
    {
        const IRECT row = ItemRect(i);
        const IPopupMenu::Item* item = mMenu->GetItem(i);
        if (item->flags & IPopupMenu::Item::kSeparator)
        {
            const IColor line = kMenuBorder;
            const float y = static_cast<float>((row.T + row.B) / 2);
            graphics->DrawLine(&line, static_cast<float>(row.L + 2), y,
                               static_cast<float>(row.R - 3), y);
            continue;
        }
        if (i == mHighlighted)
            graphics->FillIRect(&kMenuHighlight, &row);
        WDL_String label;
        mMenu->ItemLabel(i, &label);
        const int indent = (item->flags & IPopupMenu::Item::kTitle) ? 0 : 16;
        IRECT text(row.L + kPadding + indent, row.T + 2, row.R - kPadding, row.B - 1);
        graphics->DrawIText(item->Enabled() ? &style : &disabled, label.Get(), &text);
        if (item->Checked())
        {
            // A check mark in the left margin.
            const float x = static_cast<float>(row.L + kPadding + 2);
            const float y = static_cast<float>(row.T + kRowHeight / 2);
            graphics->DrawLine(&kMenuText, x, y, x + 3, y + 3, nullptr, true);
            graphics->DrawLine(&kMenuText, x + 3, y + 3, x + 9, y - 4, nullptr, true);
        }
    }
}

// ---- Menu model ----

void IPopupMenu::ItemLabel(int idx, WDL_String* out) const
{
    const Item* item = GetItem(idx);
    if (!out || !item)
        return;
    static const char* const kPrefixFormats[] = {"", "%1d: ", "%02d: ", "%03d: "};
    if (mPrefix >= 1 && mPrefix <= 3)
        out->SetFormatted(kPrefixFormats[mPrefix], idx + 1);
    else
        out->Set("");
    out->Append(item->text.Get());
}

// ---- Notice ----

INoticeOverlay::INoticeOverlay(const char* text, int editorWidth, int editorHeight)
    : IPromptOverlay(nullptr, nullptr), mText(text ? text : ""), mEditorHeight(editorHeight)
{
    // Laid out on the first Draw, when text can be measured; until then a box of two lines.
    mArea = IRECT(kMargin, editorHeight / 2 - kLineHeight - kMargin, editorWidth - kMargin,
                  editorHeight / 2 + kLineHeight + kMargin);
}

void INoticeOverlay::Draw(IGraphics* graphics)
{
    IText style(kMenuTextSize, kMenuText, "Tahoma", IText::kStyleNormal, IText::kAlignNear);
    const int width = mArea.W() - 2 * kPadding;
    // Lines as given, each broken after the last '/' that lets it fit.
    std::vector<std::string> lines;
    std::string rest = mText.Get();
    while (!rest.empty() || lines.empty())
    {
        const size_t newline = rest.find('\n');
        std::string line = rest.substr(0, newline);
        rest = newline == std::string::npos ? "" : rest.substr(newline + 1);
        for (;;)
        {
            IRECT measured(0, 0, width, kLineHeight);
            graphics->MeasureIText(&style, line.c_str(), &measured);
            const size_t slash = line.rfind('/', line.size() - 2);
            if (measured.W() <= width || slash == std::string::npos || slash == 0)
                break;
            rest = line.substr(slash + 1) + (rest.empty() ? "" : "\n" + rest);
            line.resize(slash + 1);
        }
        lines.push_back(line);
    }
    const int height = static_cast<int>(lines.size()) * kLineHeight + 2 * kPadding;
    mArea.T = (mEditorHeight - height) / 2;
    mArea.B = mArea.T + height;
    graphics->FillIRect(&kMenuBackground, &mArea);
    DrawFrame(graphics, mArea, kMenuBorder);
    for (size_t i = 0; i < lines.size(); ++i)
    {
        const int top = mArea.T + kPadding + static_cast<int>(i) * kLineHeight;
        IRECT row(mArea.L + kPadding, top + 2, mArea.R - kPadding, top + kLineHeight - 1);
        graphics->DrawIText(&style, lines[i].c_str(), &row);
    }
}

bool INoticeOverlay::OnMouseDown(int, int, const IMouseMod&)
{
    mState = State::Cancelled;
    return true;
}

bool INoticeOverlay::OnKey(const IKeyDescription&)
{
    mState = State::Cancelled;
    return true;
}

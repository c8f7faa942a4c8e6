#pragma once
// The editor's own value prompts, drawn over the controls so that they work in any view, with
// or without a toolkit: a one-line text entry and a popup menu. The editor owns at most one,
// gives it mouse and key events first and asks it whether it has finished.
//
// Threads: the editor's thread only.

#include "editor/IControlTypes.h"
#include "editor/IGraphics.h"
#include "framework/WDL_String.h"

class IControl;
class IParam;

class IPromptOverlay
{
public:
    enum class State
    {
        Open,
        Committed,
        Cancelled
    };

    IPromptOverlay(IControl* control, IParam* param) : mControl(control), mParam(param) {}
    virtual ~IPromptOverlay() = default;
    IPromptOverlay(const IPromptOverlay&) = delete;
    IPromptOverlay& operator=(const IPromptOverlay&) = delete;

    // The editor area the prompt covers.
    virtual IRECT Area() const = 0;
    virtual void Draw(IGraphics* graphics) = 0;
    // A press at (x, y); true when the prompt consumed it. A press outside ends the prompt
    // (an entry commits, a menu is dismissed).
    virtual bool OnMouseDown(int x, int y, const IMouseMod& mod) = 0;
    virtual void OnMouseOver(int /*x*/, int /*y*/) {}
    // True when the key was the prompt's.
    virtual bool OnKey(const IKeyDescription& key) = 0;

    State GetState() const { return mState; }
    IControl* GetControl() const { return mControl; }
    IParam* GetParam() const { return mParam; }

protected:
    State mState = State::Open;
    IControl* mControl;
    IParam* mParam;
};

// A text field over the prompt rectangle in the style's entry colours. It opens with its text
// selected, so typing replaces it; it accepts digits and "-+" (and "." for real parameters) up
// to the control's entry length; Enter commits, Escape cancels, Backspace deletes the last
// character (the whole text while it is selected).
class ITextEntryOverlay : public IPromptOverlay
{
public:
    ITextEntryOverlay(IControl* control, IParam* param, const IText& style, const IRECT& rect,
                      const char* text, int maxLength);

    IRECT Area() const override { return mRect; }
    void Draw(IGraphics* graphics) override;
    bool OnMouseDown(int x, int y, const IMouseMod& mod) override;
    bool OnKey(const IKeyDescription& key) override;

    const char* GetString() const { return mString.Get(); }
    // Appends the character when the field accepts it; false otherwise.
    bool Type(int character);
    bool Accepts(int character) const;

private:
    IText mStyle;
    IRECT mRect;
    WDL_String mString;
    int mMaxLength;
    const char* mAccepted; // null accepts any printable character
    bool mSelected = true;
};

// A short message in a box across the editor, a line for each '\n' (a line too wide for the box
// breaks after a '/', as a path does), until a click or a key dismisses it. It edits nothing.
class INoticeOverlay : public IPromptOverlay
{
public:
    static constexpr int kLineHeight = 16;
    static constexpr int kMargin = 12;

    INoticeOverlay(const char* text, int editorWidth, int editorHeight);

    IRECT Area() const override { return mArea; }
    void Draw(IGraphics* graphics) override;
    bool OnMouseDown(int x, int y, const IMouseMod& mod) override;
    bool OnKey(const IKeyDescription& key) override;

    const char* GetText() const { return mText.Get(); }

private:
    WDL_String mText;
    int mEditorHeight;
    IRECT mArea;
};

// A menu below the prompt rectangle listing the items, the checked one marked; chosen by a
// click or by the arrow keys and Enter; Escape or a click outside dismisses it.
class IPopupMenuOverlay : public IPromptOverlay
{
public:
    static constexpr int kRowHeight = 16;
    static constexpr int kMinWidth = 90;

    // Takes the menu. The editor's size keeps the menu inside it.
    IPopupMenuOverlay(IControl* control, IParam* param, IPopupMenu* menu, const IRECT& rect,
                      int editorWidth, int editorHeight);
    ~IPopupMenuOverlay() override;

    IRECT Area() const override { return mArea; }
    void Draw(IGraphics* graphics) override;
    bool OnMouseDown(int x, int y, const IMouseMod& mod) override;
    void OnMouseOver(int x, int y) override;
    bool OnKey(const IKeyDescription& key) override;

    IPopupMenu* GetMenu() const { return mMenu; }
    // The rectangle of item idx.
    IRECT ItemRect(int idx) const;

private:
    int ItemAt(int x, int y) const;
    void Step(int direction);

    IPopupMenu* mMenu;
    IRECT mArea;
    int mHighlighted;
};

#pragma once
// Base of every editor element: a rectangle of the editor, optionally bound to one plug-in
// parameter whose normalised value (0 … 1) it keeps, drawn into the editor bitmap and driven by
// the mouse. The editor owns its controls and calls these operations on its own thread;
// SetValueFromPlugin may also come from the plug-in's parameter path and only stores and flags.

#include "editor/IControlTypes.h"
#include "framework/WDL_String.h"

#include <cstdint>

class IPlugBase;
class IGraphics;
class LICE_IBitmap;
class ITextControl;

class IControl
{
public:
    // A second press within this time of the first counts as a double click.
    static constexpr uint64_t kDoubleClickMs = 250;

    IControl(IPlugBase* plug, const IRECT& rect, int paramIdx = -1,
             IChannelBlend blend = IChannelBlend());
    virtual ~IControl();

    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // ---- Operations the editor calls, in slot order ----
    virtual void OnMouseDown(int x, int y, const IMouseMod& mod);
    virtual void OnMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
    virtual void OnMouseDrag(int /*x*/, int /*y*/, int /*dX*/, int /*dY*/, const IMouseMod& /*mod*/)
    {
    }
    // True when it acted as a double click.
    virtual bool OnMouseDoubleClick(int x, int y, const IMouseMod& mod);
    virtual void OnMouseWheel(int /*x*/, int /*y*/, const IMouseMod& /*mod*/, double /*delta*/) {}
    virtual bool OnKeyDown(int /*x*/, int /*y*/, int /*key*/) { return false; }
    virtual void OnMouseOver(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}
    virtual void OnMouseOut() {}
    virtual bool Draw(IGraphics* graphics) = 0;
    // A control that renders itself off the editor bitmap returns its frame; others none.
    virtual LICE_IBitmap* RenderGL(bool /*render*/) { return nullptr; }
    // Whether RenderGL(true) has something new to draw (new data, a changed look); the editor's
    // tick asks under the plug-in mutex, so an unchanged editor presents nothing.
    virtual bool NeedsRenderGL() { return false; }
    // How many images RenderGL has drawn: a count that moved means the image is new and must be
    // shown again; an unchanged one is still on the screen.
    virtual unsigned RenderGLCount() const { return 0; }
    // The editor's rendering resources are going away.
    virtual void ReleaseGL() {}
    virtual void SetValueFromPlugin(double value);
    virtual void SetValueFromUser(double value);
    virtual void SetHidden(bool hidden);
    virtual void SetGrayed(bool grayed);
    virtual void SetMouseTransparent(bool transparent) { mMouseTransparent = transparent; }
    virtual bool HitTest(int x, int y) { return mTargetRECT.Contains(x, y); }
    // Clamps the value, marks the control dirty and, with push, hands the value to the plug-in;
    // then brings the value and name display controls up to date.
    virtual void SetDirty(bool pushToPlugin = true);
    virtual void SetClean();
    virtual bool IsDirty() { return mDirty; }
    virtual void OnEditorIdle() {}

    // The text a finished entry produced, for a control without a parameter; text controls
    // show it.
    virtual void SetTextFromPrompt(const char* /*text*/) {}

    // Asks the editor for a value menu or entry: over the control when the parameter has
    // display texts, else over a 90 × 16 rectangle centred on it. Nothing without a parameter
    // or while prompting is disabled.
    void PromptUserInput();

    // ---- Accessors ----
    IText* GetText() { return &mText; }
    void SetText(const IText& text) { mText = text; }
    int GetTextEntryLength() const { return mTextEntryLength; }
    void SetTextEntryLength(int length) { mTextEntryLength = length; }
    // Text controls that show this control's value (display text and unit) and its
    // parameter's name; not owned.
    void SetValDisplayControl(ITextControl* control) { mValDisplayControl = control; }
    void SetNameDisplayControl(ITextControl* control) { mNameDisplayControl = control; }
    const char* GetTooltip() const { return mTooltip.Get(); }
    void SetTooltip(const char* tooltip) { mTooltip.Set(tooltip); }
    IPlugBase* GetPlug() const { return mPlug; }
    const IRECT& GetRECT() const { return mRECT; }
    void SetTargetArea(const IRECT& rect) { mTargetRECT = rect; }
    int ParamIdx() const { return mParamIdx; }
    double GetValue() const { return mValue; }
    double GetDefaultValue() const { return mDefaultValue; }
    void SetDefaultValue(double value) { mDefaultValue = value; }
    void SetClamp(double lo, double hi)
    {
        mClampLo = lo;
        mClampHi = hi;
    }
    bool IsHidden() const { return mHidden; }
    bool IsGrayed() const { return mGrayed; }
    bool IsMouseTransparent() const { return mMouseTransparent; }
    bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
    void SetMOWhenGrayed(bool enable) { mMOWhenGrayed = enable; }
    void SetPromptDisabled(bool disabled) { mDisablePrompt = disabled; }
    bool IsPromptDisabled() const { return mDisablePrompt; }
    bool DoubleClickAsSingle() const { return mDblAsSingleClick; }
    void SetDoubleClickAsSingle(bool enable) { mDblAsSingleClick = enable; }
    const IChannelBlend& GetBlend() const { return mBlend; }
    // Milliseconds of a monotonic clock; the double-click timing compares two of them.
    static uint64_t NowMs();
    // While it lives, the clock of every control stands at the given time (pictures of the
    // editor show animations at a fixed frame); it runs again when the freeze ends.
    class FrozenClock
    {
    public:
        explicit FrozenClock(uint64_t ms);
        ~FrozenClock();
        FrozenClock(const FrozenClock&) = delete;
        FrozenClock& operator=(const FrozenClock&) = delete;
    };

protected:
    // The value and name display controls show the value's display text with its unit and the
    // parameter's name.
    void UpdateDisplayControls();

    // The time source of the double-click timing; tests replace it.
    virtual uint64_t CurrentTimeMs() const { return NowMs(); }

    int mTextEntryLength = 8;
    IText mText;
    IPlugBase* mPlug;
    IRECT mRECT;
    IRECT mTargetRECT;
    int mParamIdx;
    double mValue = 0.0;
    double mDefaultValue = -1.0;
    double mClampLo = 0.0;
    double mClampHi = 1.0;
    bool mDirty = true;
    bool mHidden = false;
    bool mGrayed = false;
    bool mRedraw = false;
    bool mDisablePrompt = true;
    bool mDblAsSingleClick = false;
    bool mMOWhenGrayed = false;
    bool mMouseTransparent = false;
    IChannelBlend mBlend;
    ITextControl* mValDisplayControl = nullptr;
    ITextControl* mNameDisplayControl = nullptr;
    WDL_String mTooltip;
    uint64_t mLastPressMs = 0;
};

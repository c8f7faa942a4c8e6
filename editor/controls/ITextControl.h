#pragma once
// Texts of the editor: a plain text in a style (captions, the version), and a caption that shows
// its parameter's value (the knobs' read-outs), which opens the value prompt when clicked.

#include "editor/controls/IControl.h"
#include "framework/WDL_String.h"

class IParam;

class ITextControl : public IControl
{
public:
    ITextControl(IPlugBase* plug, const IRECT& rect, const IText& text, const char* str = "");

    // Draws the text in the rectangle; an empty text draws nothing and still succeeds.
    bool Draw(IGraphics* graphics) override;
    // A finished entry without a parameter shows its text here.
    void SetTextFromPrompt(const char* text) override { SetTextFromPlugin(text); }

    // Replaces the text and marks the control for redrawing, only when the text differs, so a
    // value pushed again and again costs no redraw.
    void SetTextFromPlugin(const char* str);
    const char* GetString() const { return mStr.Get(); }

protected:
    WDL_String mStr;
};

class ICaptionControl : public ITextControl
{
public:
    ICaptionControl(IPlugBase* plug, const IRECT& rect, int paramIdx, const IText& text,
                    bool showParamLabel = true);

    // Shows the parameter's display text for its current value (and the unit after a blank).
    bool Draw(IGraphics* graphics) override;
    // Any left or right press opens the prompt, once.
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    bool OnMouseDoubleClick(int x, int y, const IMouseMod& mod) override;

    // The display text of a value (display texts included), then a blank and the unit label
    // when withLabel is set: "12.50 %".
    static void FormatParamValue(const IParam& param, double value, bool isNormalized,
                                 bool withLabel, WDL_String* out);

private:
    bool mShowParamLabel;
};

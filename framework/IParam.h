#pragma once
// One host-visible parameter: its kind, range, normalisation curve and display texts, with the
// conversions between the real value, the normalised value (0 … 1) and the display text.
// No lock of its own: the plug-in base holds its mutex while values change.

#include "framework/WDL_TypedBuf.h"

#include <cstdint>

class IParam
{
public:
    // Kinds of parameter; the integer values are part of what the host adapter reports.
    enum class ParamType : int32_t
    {
        None = 0,
        Bool = 1,
        Int = 2,
        Enum = 3,
        Double = 4
    };

    // Fixed text fields hold at most this many characters plus the terminator; longer texts are
    // cut, never copied past the field.
    static constexpr int kTextSize = 32;
    static constexpr int kMaxTextLength = kTextSize - 1;
    // Decimals shown for a step that never becomes integral.
    static constexpr int kMaxDisplayPrecision = 6;

    struct DisplayText
    {
        int32_t value;
        char text[kTextSize];
    };

    IParam();

    // Definition. The outermost Define call fixes the kind: the others only set it while it is
    // still None. Null texts count as empty.
    void DefineDouble(const char* name, double defaultValue, double minValue, double maxValue,
                      double step, const char* label = "", const char* group = "",
                      double shape = 1.0);
    void DefineInt(const char* name, int defaultValue, int minValue, int maxValue,
                   const char* label = "", const char* group = "");
    void DefineEnum(const char* name, int defaultValue, int count, const char* label = "",
                    const char* group = "");
    void DefineBool(const char* name, bool defaultValue, const char* label = "",
                    const char* group = "");
    // Appends one text for an integer value; no duplicate check, first match wins on lookup.
    void AddDisplayText(int value, const char* text);
    // A shape of exactly 0 keeps the previous one.
    void SetShape(double shape);

    // Values and conversions.
    void SetValue(double value) { mValue = value; } // no clamping, no step rounding
    double Value() const { return mValue; }
    double DBToAmp() const;
    // min + n^shape × (max − min); n is not clamped and nothing is stored.
    double FromNormalized(double normalized) const;
    // Stores the de-normalised value, snapped to the step for non-real kinds, never above max.
    // A non-finite normalised value is refused: the value stays as it was.
    void SetFromNormalized(double normalized);
    double ToNormalized() const { return ToNormalized(mValue); }
    // Clamps to [min, max] first, so the result is always within 0 … 1.
    double ToNormalized(double value) const;
    // value limited to [min, max]; NaN has no place in the range and becomes the default (itself
    // limited), so a clamped value is always finite.
    double Clamp(double value) const;
    void Bounds(double& minValue, double& maxValue) const
    {
        minValue = mMin;
        maxValue = mMax;
    }

    // Writes the display text of value (a normalised value when isNormalized) into out, at most
    // outSize − 1 characters plus the terminator; a longer text is cut. Nothing is written when
    // out is null or outSize is below 1. For a char array the size may be left out; pass
    // useDisplayTexts as a bool there, since an int in that place is taken as the size.
    void FormatValue(double value, bool isNormalized, char* out, int outSize,
                     bool useDisplayTexts = true) const;
    template <int N>
    void FormatValue(double value, bool isNormalized, char (&out)[N],
                     bool useDisplayTexts = true) const
    {
        FormatValue(value, isNormalized, out, N, useDisplayTexts);
    }

    // Texts.
    const char* GetName() const { return mName; }
    const char* GetLabel() const { return mLabel; }
    const char* GetGroup() const { return mGroup; }
    // Empty when the current value has a non-empty display text (the text replaces the number).
    const char* LabelForHost() const;
    int DisplayTextCount() const { return mDisplayTexts.GetSize(); }
    // Text of the first entry for value, or "" when there is none.
    const char* DisplayTextForValue(int value) const;
    // Text of the entry at index (its value into *value when given); "" outside the list.
    const char* DisplayTextAt(int index, int* value = nullptr) const;
    // Value of the first entry whose text equals text exactly; false (value untouched) otherwise.
    bool ValueForDisplayText(const char* text, double* value) const;

    // Definition data.
    ParamType Type() const { return mType; }
    double GetMin() const { return mMin; }
    double GetMax() const { return mMax; }
    double GetStep() const { return mStep; }
    double GetShape() const { return mShape; }
    double GetDefault() const { return mDefault; }
    int GetDisplayPrecision() const { return mDisplayPrecision; }

    // Flags without setters: the plug-in assigns them right after defining the parameter.
    bool negateDisplay = false; // show and parse the value with its sign flipped
    bool canAutomate = true;    // the host may write the parameter
    bool isMeta = false;        // changing it may change others; only reported to the host

private:
    ParamType mType = ParamType::None;
    double mValue = 0.0;
    double mMin = 0.0;
    double mMax = 1.0;
    double mStep = 1.0;
    double mShape = 1.0;
    double mDefault = 0.0;
    int mDisplayPrecision = 0;
    char mName[kTextSize];
    char mLabel[kTextSize];
    char mGroup[kTextSize];
    WDL_TypedBuf<DisplayText> mDisplayTexts;
};

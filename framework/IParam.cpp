#include "framework/IParam.h"

#include "framework/Decibels.h"

#include "framework/BoundedText.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
// ln(10) / 20: decibels to the natural exponent of an amplitude ratio.

// Truncates toward zero; values outside the int range saturate and NaN gives 0, so a lookup by
// integer value never relies on an undefined conversion.
int TruncateToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(v);
}
} // namespace

IParam::IParam()
{
    mName[0] = '\0';
    mLabel[0] = '\0';
    mGroup[0] = '\0';
}

void IParam::DefineDouble(const char* name, double defaultValue, double minValue, double maxValue,
                          double step, const char* label, const char* group, double shape)
{
    if (mType == ParamType::None)
        mType = ParamType::Double;

    CopyBoundedText(mName, kTextSize, name);
    CopyBoundedText(mLabel, kTextSize, label);
    CopyBoundedText(mGroup, kTextSize, group);

    mValue = defaultValue;
    mDefault = defaultValue;
    mMin = minValue;
    mStep = step;
    // A range narrower than one step is widened upward.
    mMax = std::fmax(maxValue, minValue + step);

    // Decimals: as many as it takes for the step to become integral, at most six.
    mDisplayPrecision = 0;
    double s = step;
    while (mDisplayPrecision < kMaxDisplayPrecision && s != std::floor(s))
    {
        ++mDisplayPrecision;
        s *= 10.0;
    }

    SetShape(shape);
}

void IParam::DefineInt(const char* name, int defaultValue, int minValue, int maxValue,
                       const char* label, const char* group)
{
    if (mType == ParamType::None)
        mType = ParamType::Int;
    DefineDouble(name, defaultValue, minValue, maxValue, 1.0, label, group, 1.0);
}

void IParam::DefineEnum(const char* name, int defaultValue, int count, const char* label,
                        const char* group)
{
    if (mType == ParamType::None)
        mType = ParamType::Enum;
    DefineInt(name, defaultValue, 0, count - 1, label, group);
}

void IParam::DefineBool(const char* name, bool defaultValue, const char* label, const char* group)
{
    if (mType == ParamType::None)
        mType = ParamType::Bool;
    DefineInt(name, defaultValue ? 1 : 0, 0, 1, label, group);
    AddDisplayText(0, "off");
    AddDisplayText(1, "on");
}

void IParam::AddDisplayText(int value, const char* text)
{
    DisplayText entry;
    entry.value = value;
    CopyBoundedText(entry.text, kTextSize, text);
    mDisplayTexts.Add(entry);
}

void IParam::SetShape(double shape)
{
    if (shape != 0.0)
        mShape = shape;
}

double IParam::DBToAmp() const
{
    return ::DBToAmp(mValue);
}

double IParam::FromNormalized(double normalized) const
{
    return mMin + std::pow(normalized, mShape) * (mMax - mMin);
}

void IParam::SetFromNormalized(double normalized)
{
    if (!std::isfinite(normalized))
        return;
    double v = FromNormalized(normalized);
    if (mType != ParamType::Double)
        v = std::floor(v / mStep + 0.5) * mStep; // round half up to the step grid
    mValue = std::fmin(v, mMax);
}

double IParam::ToNormalized(double value) const
{
    return std::pow((Clamp(value) - mMin) / (mMax - mMin), 1.0 / mShape);
}

double IParam::Clamp(double value) const
{
    if (std::isnan(value))
        value = mDefault;
    return value < mMin ? mMin : std::fmin(value, mMax);
}

void IParam::FormatValue(double value, bool isNormalized, char* out, int outSize,
                         bool useDisplayTexts) const
{
    if (!out || outSize < 1)
        return;

    if (isNormalized)
        value = FromNormalized(value);

    if (useDisplayTexts && DisplayTextCount() > 0)
    {
        const char* text = DisplayTextForValue(TruncateToInt(value));
        if (text[0] != '\0')
        {
            CopyBoundedText(out, outSize, text);
            return;
        }
    }

    if (negateDisplay)
        value = -value;

    if (mDisplayPrecision == 0)
    {
        // Printed as an integer, truncated toward zero (−0.7 shows 0). Values beyond the int
        // range keep the same truncation without going through an int.
        if (std::fabs(value) < 2147483648.0)
            std::snprintf(out, outSize, "%d", static_cast<int>(value));
        else
            std::snprintf(out, outSize, "%.0f", std::trunc(value));
    }
    else
    {
        std::snprintf(out, outSize, "%.*f", mDisplayPrecision, value);
    }
}

const char* IParam::LabelForHost() const
{
    const char* text = DisplayTextForValue(TruncateToInt(mValue));
    return text[0] != '\0' ? "" : mLabel;
}

const char* IParam::DisplayTextForValue(int value) const
{
    const int n = mDisplayTexts.GetSize();
    const DisplayText* entries = mDisplayTexts.Get();
    for (int i = 0; i < n; ++i)
        if (entries[i].value == value)
            return entries[i].text;
    return "";
}

const char* IParam::DisplayTextAt(int index, int* value) const
{
    if (index < 0 || index >= mDisplayTexts.GetSize())
        return "";
    const DisplayText& entry = mDisplayTexts.Get()[index];
    if (value)
        *value = entry.value;
    return entry.text;
}

bool IParam::ValueForDisplayText(const char* text, double* value) const
{
    if (!text)
        return false;
    const int n = mDisplayTexts.GetSize();
    const DisplayText* entries = mDisplayTexts.Get();
    for (int i = 0; i < n; ++i)
    {
        if (std::strcmp(entries[i].text, text) == 0)
        {
            if (value)
                *value = entries[i].value;
            return true;
        }
    }
    return false;
}

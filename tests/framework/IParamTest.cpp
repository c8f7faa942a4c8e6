#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace
{
using Type = IParam::ParamType;

std::string Format(const IParam& p, double v, bool isNormalized = false, bool useTexts = true)
{
    char text[IParam::kTextSize];
    p.FormatValue(v, isNormalized, text, useTexts);
    return text;
}

IParam MakeWidth()
{
    IParam p;
    p.DefineDouble("Width", 0.0, -100.0, 100.0, 0.01, "%", "", 1.0);
    return p;
}

IParam MakeSwitch()
{
    IParam p;
    p.DefineInt("MonoToStereo", 0, 0, 1, "", "");
    return p;
}

IParam MakeBool(const char* label = "")
{
    IParam p;
    p.DefineBool("Switch", false, label, "");
    return p;
}
} // namespace

TEST(IParamDefine, WidthIsRealWithTwoDecimals)
{
    IParam p = MakeWidth();
    EXPECT_EQ(p.Type(), Type::Double);
    EXPECT_STREQ(p.GetName(), "Width");
    EXPECT_STREQ(p.GetLabel(), "%");
    EXPECT_STREQ(p.GetGroup(), "");
    EXPECT_EQ(p.GetDisplayPrecision(), 2);
    EXPECT_EQ(p.Value(), 0.0);
    EXPECT_EQ(p.GetDefault(), 0.0);
    EXPECT_EQ(Format(p, 12.34), "12.34");
    EXPECT_EQ(Format(p, 33.333), "33.33");
    EXPECT_EQ(Format(p, 0.5, true), "0.00");
}

TEST(IParamDefine, IntSwitchRoundsHalfUpAndShowsIntegers)
{
    IParam p = MakeSwitch();
    EXPECT_EQ(p.Type(), Type::Int);
    EXPECT_EQ(p.GetStep(), 1.0);
    EXPECT_EQ(p.GetMin(), 0.0);
    EXPECT_EQ(p.GetMax(), 1.0);
    EXPECT_EQ(p.GetDisplayPrecision(), 0);
    EXPECT_EQ(p.DisplayTextCount(), 0) << "an Int over 0..1 is not a Bool";

    p.SetFromNormalized(0.49);
    EXPECT_EQ(p.Value(), 0.0);
    EXPECT_EQ(Format(p, p.Value()), "0");
    p.SetFromNormalized(0.5);
    EXPECT_EQ(p.Value(), 1.0);
    EXPECT_EQ(Format(p, p.Value()), "1");
}

TEST(IParamDefine, PrecisionFollowsTheStep)
{
    struct Case
    {
        double step;
        int precision;
    };
    const Case cases[] = {{1.0, 0}, {0.1, 1}, {0.01, 2}, {0.25, 2}, {0.001, 3}, {1.0 / 3.0, 6}};
    for (const Case& c : cases)
    {
        IParam p;
        p.DefineDouble("p", 0.0, 0.0, 10.0, c.step);
        EXPECT_EQ(p.GetDisplayPrecision(), c.precision) << "step=" << c.step;
    }
}

TEST(IParamDefine, BassFocusTruncatesInsteadOfRounding)
{
    IParam p;
    p.DefineDouble("BassFocus", 100.0, 0.0, 500.0, 1.0, "Hz");
    EXPECT_EQ(p.GetDisplayPrecision(), 0);
    EXPECT_EQ(Format(p, 250.9), "250");
}

TEST(IParamDefine, OutGainDecibelsToAmplitude)
{
    IParam p;
    p.DefineDouble("OutGain", 0.0, -12.0, 12.0, 0.1, "dB");
    EXPECT_EQ(p.GetDisplayPrecision(), 1);
    p.SetValue(6.0);
    EXPECT_NEAR(p.DBToAmp(), std::pow(10.0, 6.0 / 20.0), 1e-9);
    EXPECT_NEAR(p.DBToAmp(), 1.995, 1e-3);
    p.SetValue(-12.0);
    EXPECT_NEAR(p.DBToAmp(), std::pow(10.0, -12.0 / 20.0), 1e-9);
}

TEST(IParamDefine, EmptyRangeIsWidenedByOneStep)
{
    IParam p;
    p.DefineDouble("p", 0.0, 0.0, 0.0, 1.0);
    EXPECT_EQ(p.GetMin(), 0.0);
    EXPECT_EQ(p.GetMax(), 1.0);
}

TEST(IParamDefine, ShapeZeroKeepsThePreviousShape)
{
    IParam p;
    p.DefineDouble("p", 0.0, 0.0, 1.0, 0.01, "", "", 0.0);
    EXPECT_EQ(p.GetShape(), 1.0);
    p.SetShape(2.0);
    p.SetShape(0.0);
    EXPECT_EQ(p.GetShape(), 2.0);
}

TEST(IParamDefine, UndefinedParameterKeepsItsInitialState)
{
    IParam p;
    EXPECT_EQ(p.Type(), Type::None);
    EXPECT_STREQ(p.GetName(), "");
    EXPECT_STREQ(p.GetLabel(), "");
    EXPECT_EQ(p.GetMin(), 0.0);
    EXPECT_EQ(p.GetMax(), 1.0);
    EXPECT_EQ(p.GetStep(), 1.0);
    EXPECT_EQ(p.GetShape(), 1.0);
    EXPECT_EQ(p.Value(), 0.0);
    EXPECT_TRUE(p.canAutomate);
    EXPECT_FALSE(p.isMeta);
    EXPECT_FALSE(p.negateDisplay);
}

TEST(IParamDefine, OutermostDefineDecidesTheKind)
{
    IParam b = MakeBool();
    EXPECT_EQ(b.Type(), Type::Bool);
    EXPECT_EQ(b.GetMax(), 1.0);

    IParam e;
    e.DefineEnum("Mode", 1, 3);
    EXPECT_EQ(e.Type(), Type::Enum);
    EXPECT_EQ(e.GetMin(), 0.0);
    EXPECT_EQ(e.GetMax(), 2.0);
    EXPECT_EQ(e.Value(), 1.0);

    // A second definition does not change the kind.
    IParam d = MakeWidth();
    d.DefineInt("Again", 0, 0, 4);
    EXPECT_EQ(d.Type(), Type::Double);
    EXPECT_STREQ(d.GetName(), "Again");
}

TEST(IParamValues, RealParameterIsNotSnappedToItsStep)
{
    IParam p = MakeWidth();
    p.SetFromNormalized(0.333);
    EXPECT_NEAR(p.Value(), -100.0 + 0.333 * 200.0, 1e-12);
    EXPECT_NEAR(p.Value(), -33.4, 1e-9);
}

TEST(IParamValues, SetValueDoesNotClampButNormalisingDoes)
{
    IParam p = MakeWidth();
    p.SetValue(150.0);
    EXPECT_EQ(p.Value(), 150.0);
    EXPECT_EQ(p.ToNormalized(), 1.0);
    p.SetValue(-400.0);
    EXPECT_EQ(p.ToNormalized(), 0.0);
}

TEST(IParamValues, SetFromNormalizedHasAnUpperClampOnly)
{
    IParam p = MakeSwitch();
    p.SetFromNormalized(1.7);
    EXPECT_EQ(p.Value(), 1.0);

    IParam w = MakeWidth();
    w.SetFromNormalized(-0.1);
    EXPECT_NEAR(w.Value(), -120.0, 1e-9) << "no lower clamp";
    const double before = w.Value();
    EXPECT_EQ(w.FromNormalized(0.25), -50.0);
    EXPECT_EQ(w.Value(), before) << "FromNormalized stores nothing";
}

TEST(IParamValues, NothingNonFiniteGetsIn)
{
    IParam w;
    w.DefineDouble("Width", 20.0, -100.0, 100.0, 0.01);
    EXPECT_EQ(w.Clamp(std::nan("")), 20.0) << "NaN becomes the default";
    EXPECT_EQ(w.Clamp(HUGE_VAL), 100.0);
    EXPECT_EQ(w.Clamp(-HUGE_VAL), -100.0);
    EXPECT_EQ(w.Clamp(-37.5), -37.5);
    EXPECT_DOUBLE_EQ(w.ToNormalized(std::nan("")), 0.6);

    // A non-finite normalised value is refused: the value stays.
    w.SetValue(12.0);
    for (double n : {std::nan(""), HUGE_VAL, -HUGE_VAL})
    {
        w.SetFromNormalized(n);
        EXPECT_EQ(w.Value(), 12.0) << n;
    }
}

TEST(IParamValues, IntStepGridRoundsHalfUp)
{
    IParam p;
    p.DefineInt("Steps", 0, -3, 3);
    // Normalised 0.25 over −3..3 is −1.5, which rounds up to −1.
    p.SetFromNormalized(0.25);
    EXPECT_EQ(p.Value(), -1.0);
    p.SetFromNormalized(0.75);
    EXPECT_EQ(p.Value(), 2.0);
}

TEST(IParamValues, ShapeGivesFinerResolutionNearTheBottom)
{
    IParam p;
    p.DefineDouble("Curve", 0.0, 10.0, 110.0, 0.01, "", "", 2.0);
    EXPECT_NEAR(p.FromNormalized(0.5), 10.0 + 0.25 * 100.0, 1e-12);
    for (int i = 0; i <= 20; ++i)
    {
        const double n = i / 20.0;
        EXPECT_NEAR(p.ToNormalized(p.FromNormalized(n)), n, 1e-12) << "n=" << n;
    }
    double lo = 0.0, hi = 0.0;
    p.Bounds(lo, hi);
    EXPECT_EQ(lo, 10.0);
    EXPECT_EQ(hi, 110.0);
}

TEST(IParamText, TruncationAndNegation)
{
    IParam p;
    p.DefineDouble("p", 0.0, -10.0, 10.0, 1.0);
    EXPECT_EQ(Format(p, -0.7), "0");
    EXPECT_EQ(Format(p, -3.9), "-3");

    IParam q;
    q.DefineDouble("q", 0.0, -10.0, 10.0, 0.1);
    q.negateDisplay = true;
    EXPECT_EQ(Format(q, 5.0), "-5.0");
    EXPECT_EQ(Format(q, 0.0), "-0.0") << "a negative zero keeps its sign";
}

TEST(IParamText, ValuesBeyondTheIntRangeStillTruncate)
{
    IParam p;
    p.DefineDouble("Big", 0.0, 0.0, 1e13, 1.0);
    EXPECT_EQ(Format(p, 1e12 + 0.9), "1000000000000");
    EXPECT_EQ(Format(p, -3e9 - 0.5), "-3000000000");
}

TEST(IParamText, BoolShowsOffAndOnWithoutALabel)
{
    IParam p = MakeBool("x");
    EXPECT_EQ(p.DisplayTextCount(), 2);
    p.SetValue(0.0);
    EXPECT_STREQ(p.LabelForHost(), "");
    EXPECT_EQ(Format(p, 0.0), "off");
    p.SetValue(1.0);
    EXPECT_STREQ(p.LabelForHost(), "");
    EXPECT_EQ(Format(p, 1.0), "on");
    EXPECT_EQ(Format(p, 1.0, false, false), "1") << "texts can be bypassed";
    // A value without a text keeps the label and the number.
    p.SetValue(2.0);
    EXPECT_STREQ(p.LabelForHost(), "x");
    EXPECT_EQ(Format(p, 2.0), "2");
}

TEST(IParamText, DisplayTextLookups)
{
    IParam p = MakeBool();
    double v = -5.0;
    EXPECT_TRUE(p.ValueForDisplayText("on", &v));
    EXPECT_EQ(v, 1.0);
    v = -5.0;
    EXPECT_FALSE(p.ValueForDisplayText("On", &v)) << "byte comparison";
    EXPECT_FALSE(p.ValueForDisplayText("", &v));
    EXPECT_FALSE(p.ValueForDisplayText(nullptr, &v));
    EXPECT_EQ(v, -5.0) << "no match leaves the value alone";

    int value = -1;
    EXPECT_STREQ(p.DisplayTextAt(1, &value), "on");
    EXPECT_EQ(value, 1);
    EXPECT_STREQ(p.DisplayTextAt(0), "off");
    EXPECT_STREQ(p.DisplayTextAt(2, &value), "") << "outside the list";
    EXPECT_EQ(value, 1);
    EXPECT_STREQ(p.DisplayTextForValue(7), "");
}

TEST(IParamText, FirstMatchWinsAndEmptyTextFallsBackToTheNumber)
{
    IParam p;
    p.DefineInt("Mode", 0, 0, 3);
    p.AddDisplayText(1, "first");
    p.AddDisplayText(1, "second");
    p.AddDisplayText(2, "");
    EXPECT_EQ(Format(p, 1.0), "first");
    EXPECT_EQ(Format(p, 1.9), "first") << "lookup truncates toward zero";
    EXPECT_EQ(Format(p, 2.0), "2");
    double v = 0.0;
    EXPECT_TRUE(p.ValueForDisplayText("second", &v));
    EXPECT_EQ(v, 1.0);
}

TEST(IParamBounds, FormatValueNeverOverrunsASmallBuffer)
{
    IParam p;
    p.DefineDouble("Huge", 0.0, 0.0, 1.0, 0.01);
    constexpr int kSize = 8;
    char buf[kSize + 8];
    std::memset(buf, '#', sizeof(buf));
    p.FormatValue(1e300, false, buf, kSize);
    EXPECT_EQ(std::strlen(buf), static_cast<size_t>(kSize - 1));
    EXPECT_EQ(std::string(buf), "1000000");
    for (int i = kSize; i < static_cast<int>(sizeof(buf)); ++i)
        EXPECT_EQ(buf[i], '#') << "byte " << i << " past the buffer was written";

    // A display text longer than the buffer is cut the same way.
    IParam t;
    t.DefineInt("Texts", 0, 0, 1);
    t.AddDisplayText(0, "a rather long text");
    std::memset(buf, '#', sizeof(buf));
    t.FormatValue(0.0, false, buf, 5);
    EXPECT_STREQ(buf, "a ra");
    EXPECT_EQ(buf[5], '#');

    // No room at all: nothing is written.
    std::memset(buf, '#', sizeof(buf));
    t.FormatValue(0.0, false, buf, 0);
    EXPECT_EQ(buf[0], '#');
}

TEST(IParamBounds, TextsAreCutTo31Characters)
{
    const std::string longText(100, 'n');
    IParam p;
    p.DefineDouble(longText.c_str(), 0.0, 0.0, 1.0, 0.1, longText.c_str(), longText.c_str());
    p.AddDisplayText(0, longText.c_str());
    const std::string cut(IParam::kMaxTextLength, 'n');
    EXPECT_EQ(std::string(p.GetName()), cut);
    EXPECT_EQ(std::string(p.GetLabel()), cut);
    EXPECT_EQ(std::string(p.GetGroup()), cut);
    EXPECT_EQ(std::string(p.DisplayTextAt(0)), cut);
    EXPECT_EQ(cut.size(), 31u);

    // Null texts count as empty.
    IParam q;
    q.DefineDouble(nullptr, 0.0, 0.0, 1.0, 0.1, nullptr, nullptr);
    EXPECT_STREQ(q.GetName(), "");
    EXPECT_STREQ(q.GetLabel(), "");
}

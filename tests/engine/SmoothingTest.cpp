#include "framework/CParamSmooth.h"
#include "framework/ParamSmoother.h"
#include "engine/SecureRestarter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

TEST(ParamSmoother, TargetsBeforeTheFirstStepAreTakenAtOnce)
{
    ParamSmoother s(10, 0.0, 0.999);
    s.SetTarget(0.5);
    EXPECT_EQ(s.Current(), 0.5);
    s.Step();
    EXPECT_EQ(s.Current(), 0.5);
    // Once stepped, a new target glides: 0.001 of the jump per sample, 1 − 0.999^n after n.
    s.ResetTo(0.0);
    s.Step();
    s.SetTarget(1.0);
    s.Step();
    EXPECT_NEAR(s.Current(), 0.001, 1e-15);
    for (int i = 1; i < 1000; ++i)
        s.Step();
    EXPECT_NEAR(s.Current(), 1.0 - std::pow(0.999, 1000), 1e-12);
    EXPECT_NEAR(s.Current(), 0.632, 0.001);
}

TEST(ParamSmoother, DefaultConstructedJumpsAtTheFirstStep)
{
    ParamSmoother s;
    s.SetTarget(3.0); // jump state: current follows at once
    EXPECT_EQ(s.Current(), 3.0);
    ParamSmoother t;
    t.Step();
    t.SetTarget(7.0);
    EXPECT_EQ(t.Current(), 0.0);
    // Not gliding at construction, but the first Step has already set gliding.
    t.Step();
    EXPECT_NEAR(t.Current(), 0.7, 1e-12);
}

TEST(ParamSmoother, SnapsExactlyOnceAStepIsBelowThePrecision)
{
    ParamSmoother s(10, 0.0, 0.999);
    s.Step();
    s.SetTarget(1e-3);
    s.Step();
    int steps = 1;
    while (!s.IsConverged() && steps < 100000)
    {
        s.Step();
        ++steps;
    }
    ASSERT_TRUE(s.IsConverged());
    EXPECT_EQ(s.Current(), 1e-3);
    // The snap happens when the step (0.001 × distance) drops below 1e-10: distance ≈ 1e-7.
    const double expectedSteps = std::log(1e-10 / (1e-3 * 1e-3)) / std::log(0.999);
    EXPECT_NEAR(steps, expectedSteps, 2.0);
}

TEST(CParamSmooth, CoefficientFromTimeConstant)
{
    CParamSmooth s(500.0, 44100.0);
    EXPECT_DOUBLE_EQ(s.FeedbackCoefficient(), std::exp(-6.283185307179586 / 22050.0));
    // A step input reaches 1 − 1/e after time/2π: 79.6 ms at any rate.
    for (double rate : {44100.0, 96000.0})
    {
        s.Setup(500.0, rate);
        const int n = static_cast<int>(std::lround(0.5 / 6.283185307179586 * rate));
        double y = 0;
        for (int i = 0; i < n; ++i)
            y = s.Process(1.0);
        EXPECT_NEAR(y, 1.0 - std::exp(-1.0), 1e-3) << "rate=" << rate;
    }
}

TEST(SecureRestarter, FadesInTheFirstHalfOfTheFirstBlockOnly)
{
    const int n = 512;
    SecureRestarter r;
    ChannelList ch;
    ch.Add(nullptr, n);
    ch.Add(nullptr, n);
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < n; ++k)
            ch[c][k] = 1.0;
    r.Process(ch);
    for (int c = 0; c < 2; ++c)
    {
        for (int k = 0; k < n / 2; ++k)
        {
            const double w = 0.5 * (1.0 - std::cos(2.0 * M_PI * k / (n - 1)));
            ASSERT_NEAR(ch[c][k], w, 1e-15) << "c=" << c << " k=" << k;
        }
        EXPECT_EQ(ch[c][0], 0.0);
        for (int k = n / 2; k < n; ++k)
            ASSERT_EQ(ch[c][k], 1.0) << "k=" << k;
    }
    // Disarmed: a second block passes unchanged.
    for (int k = 0; k < n; ++k)
        ch[0][k] = 1.0;
    r.Process(ch);
    EXPECT_EQ(ch[0][0], 1.0);
    EXPECT_FALSE(r.IsArmed());
}

TEST(SecureRestarter, EmptyListKeepsItArmedAndOtherLengthsAreLeftAlone)
{
    SecureRestarter r;
    ChannelList empty;
    r.Process(empty);
    EXPECT_TRUE(r.IsArmed());

    ChannelList ch;
    ch.Add(nullptr, 8);
    ch.Add(nullptr, 5);
    for (int k = 0; k < 8; ++k)
        ch[0][k] = 1.0;
    for (int k = 0; k < 5; ++k)
        ch[1][k] = 1.0;
    r.Process(ch);
    EXPECT_EQ(ch[0][0], 0.0);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(ch[1][k], 1.0);

    // A one-sample block changes nothing but still disarms.
    SecureRestarter one;
    ChannelList single;
    single.Add(nullptr, 1);
    single[0][0] = 0.75;
    one.Process(single);
    EXPECT_EQ(single[0][0], 0.75);
    EXPECT_FALSE(one.IsArmed());
}

TEST(ParamSmoother, SettledStepsChangeNothingAndGlidesSettle)
{
    // Whenever IsSettled holds, a Step leaves the value, the converged flag and the settled state
    // as they are, whatever the targets (a huge one never settles: its own step rounds by more
    // than the precision).
    const double targets[] = {0.0, -1.0, 0.37, 1.0, 3.981071705534972, 1e-300, -12345.678, 1e300};
    std::mt19937 rng(7);
    ParamSmoother s(10, 0.0, 0.999);
    int settledSteps = 0;
    for (int i = 0; i < 400000; ++i)
    {
        if (rng() % 20000 == 0)
            s.SetTarget(targets[rng() % 8]);
        const bool settled = s.IsSettled();
        const double before = s.Current();
        s.Step();
        if (!settled)
            continue;
        ++settledSteps;
        ASSERT_EQ(s.Current(), before) << "step " << i;
        ASSERT_TRUE(s.IsConverged()) << "step " << i;
        ASSERT_TRUE(s.IsSettled()) << "step " << i;
    }
    EXPECT_GT(settledSteps, 10000);

    // A jump of the full width range settles once its steps fall below 1e-10.
    ParamSmoother width(10, 0.0, 0.999);
    EXPECT_FALSE(width.IsSettled()); // the first step still has to leave the jump state
    width.Step();
    EXPECT_TRUE(width.IsSettled());
    width.SetTarget(-1.0);
    int steps = 0;
    while (!width.IsSettled() && steps < 100000)
    {
        width.Step();
        ++steps;
    }
    EXPECT_EQ(width.Current(), -1.0);
    EXPECT_NEAR(steps, std::log(1e-10 / 1e-3) / std::log(0.999), 2.0);
}

// Where the master stands during a crossfade, and where it is aimed.

#include <gtest/gtest.h>

#include <limits>

#include "mixing/crossfade_math.h"

namespace {

CrossfadeState Fade(int masterLevel, double duration)
{
    CrossfadeState fade;
    fade.duration = duration;
    AimCrossfade(fade, 100.0, masterLevel);
    return fade;
}

TEST(AimCrossfade, FromTheUpperHalfDownFromTheLowerHalfUp)
{
    const struct {
        int master, target, delta;
    } cases[] = {{0, 255, 255}, {127, 255, 128}, {128, 0, -128}, {255, 0, -255}, {63, 255, 192}};
    for (const auto& c : cases) {
        const CrossfadeState fade = Fade(c.master, 2);
        EXPECT_EQ(fade.target, c.target) << c.master;
        EXPECT_EQ(fade.delta, c.delta) << c.master;
        EXPECT_EQ(fade.startLevel, c.master);
        EXPECT_EQ(fade.startTime, 100.0);
    }
}

struct StepCase {
    int master;
    double p;
    int level;
    bool finished;
};

TEST(StepCrossfade, LevelFollowsTheElapsedTime)
{
    const StepCase cases[] = {
        // Fading up from 0 (delta 255).
        {0, 0.0, 0, false}, {0, 0.5, 127, false}, {0, 0.999, 254, false}, {0, 1.0, 255, false},
        {0, 1.001, 255, true}, {0, 7.0, 255, true},
        // Fading down from 128 (delta -128).
        {128, 0.0, 128, false}, {128, 0.5, 64, false}, {128, 0.999, 0, false}, {128, 1.0, 0, false},
        {128, 1.5, 0, true},
        // Fading up from 127 (delta 128).
        {127, 0.5, 191, false}, {127, 2.0, 255, true},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "master " << c.master << ", p " << c.p);
        const CrossfadeState fade = Fade(c.master, 4.0);
        const CrossfadeStep step = StepCrossfade(fade, 100.0 + 4.0 * c.p);
        EXPECT_EQ(step.level, c.level);
        EXPECT_EQ(step.finished, c.finished);
    }
}

TEST(StepCrossfade, FadeTimeTwoIsHalfWayAfterOneSecond)
{
    const CrossfadeState fade = Fade(0, 2.0);
    EXPECT_EQ(StepCrossfade(fade, 101.0).level, 127);
    EXPECT_FALSE(StepCrossfade(fade, 102.0).finished) << "exactly at the end the timer runs one more tick";
    EXPECT_TRUE(StepCrossfade(fade, 102.055).finished);
}

TEST(StepCrossfade, NeverLeavesTheRangeBetweenStartAndTarget)
{
    // A time before GO must not wrap the master round to the far scene.
    const CrossfadeState up = Fade(0, 2.0);
    EXPECT_EQ(StepCrossfade(up, 100.0 - 0.002).level, 0);
    EXPECT_EQ(StepCrossfade(up, 100.0 - 1000.0).level, 0);
    const CrossfadeState down = Fade(200, 2.0);
    EXPECT_EQ(StepCrossfade(down, 99.0).level, 200);
    for (double t = 99.0; t < 103.0; t += 0.01) {
        const int upLevel = StepCrossfade(up, t).level;
        const int downLevel = StepCrossfade(down, t).level;
        ASSERT_GE(upLevel, 0);
        ASSERT_LE(upLevel, 255);
        ASSERT_GE(downLevel, 0);
        ASSERT_LE(downLevel, 200);
    }
}

TEST(StepCrossfade, LevelNeverGoesBackwards)
{
    const CrossfadeState up = Fade(31, 0.3);
    int previous = up.startLevel;
    for (double t = 100.0; t < 100.4; t += 0.001) {
        const int level = StepCrossfade(up, t).level;
        ASSERT_GE(level, previous) << t;
        previous = level;
    }
}

TEST(StepCrossfade, AnInfiniteFadeStaysAtItsStartLevel)
{
    const CrossfadeState fade = Fade(40, std::numeric_limits<double>::infinity());
    for (double t : {100.0, 101.0, 1e9}) {
        const CrossfadeStep step = StepCrossfade(fade, t);
        EXPECT_EQ(step.level, 40) << t;
        EXPECT_FALSE(step.finished) << t;
    }
}

TEST(SwitchesAtOnce, BelowHalfAMillisecond)
{
    EXPECT_TRUE(SwitchesAtOnce(0.0));
    EXPECT_TRUE(SwitchesAtOnce(0.0004));
    EXPECT_TRUE(SwitchesAtOnce(0.000499));
    EXPECT_TRUE(SwitchesAtOnce(-2.0));
    EXPECT_TRUE(SwitchesAtOnce(-std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(SwitchesAtOnce(0.0005));
    EXPECT_FALSE(SwitchesAtOnce(0.001));
    EXPECT_FALSE(SwitchesAtOnce(std::numeric_limits<double>::infinity()));
}

}  // namespace

// The channel mix and which channels a fader movement sends.

#include <gtest/gtest.h>

#include "mixing/channel_mix.h"

namespace {

struct MixCase {
    int a, b, master, out;
};

TEST(MixLevel, Table)
{
    const MixCase cases[] = {
        {255, 0, 255, 255}, {255, 0, 128, 128}, {255, 0, 0, 0},   // scene A up, scene B down
        {0, 255, 128, 127}, {0, 255, 255, 0},   {0, 255, 0, 255}, // the other way round
        {0, 100, 128, 50},  {100, 0, 128, 50},                    // truncation toward zero, both ways
        {77, 77, 0, 77},    {77, 77, 200, 77},  {77, 77, 255, 77},
        {200, 10, 1, 10},   {10, 200, 254, 11},
    };
    for (const MixCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "A " << c.a << ", B " << c.b << ", master " << c.master);
        EXPECT_EQ(MixLevel(c.a, c.b, c.master), c.out);
    }
}

TEST(MixLevel, AlwaysLiesBetweenTheScenes)
{
    for (int a = 0; a <= 255; a += 15) {
        for (int b = 0; b <= 255; b += 17) {
            for (int m = 0; m <= 255; ++m) {
                const int out = MixLevel(a, b, m);
                ASSERT_GE(out, std::min(a, b)) << a << " " << b << " " << m;
                ASSERT_LE(out, std::max(a, b)) << a << " " << b << " " << m;
            }
        }
    }
}

}  // namespace

// Which channels a fader movement sends: by its scroll code and the control that moved.

#include <gtest/gtest.h>

#include "console/fader_routing.h"

namespace {

TEST(FaderScroll, OnlyMovingCodesSend)
{
    for (int code : {0, 1, 2, 3, 5}) {
        EXPECT_TRUE(ScrollCodeSends(code)) << code;
    }
    for (int code : {4, 6, 7, 8, 9, -1, 0x10000}) {
        EXPECT_FALSE(ScrollCodeSends(code)) << code;
        const ScrollOutput output = OutputForScroll(code, 2003);
        EXPECT_FALSE(output.allChannels) << code;
        EXPECT_FALSE(output.channel.has_value()) << code;
    }
}

TEST(FaderScroll, TheControlDecidesTheChannels)
{
    EXPECT_TRUE(OutputForScroll(SCROLL_THUMB_TRACK, 2000).allChannels);
    EXPECT_FALSE(OutputForScroll(SCROLL_THUMB_TRACK, 2000).channel.has_value());

    const struct {
        int id;
        int channel;
    } faders[] = {{2001, 0}, {2003, 2}, {2012, 11}, {3001, 0}, {3012, 11}};
    for (const auto& f : faders) {
        const ScrollOutput output = OutputForScroll(SCROLL_LINE_DOWN, f.id);
        EXPECT_FALSE(output.allChannels) << f.id;
        ASSERT_TRUE(output.channel.has_value()) << f.id;
        EXPECT_EQ(*output.channel, f.channel) << f.id;
    }
    for (int id : {0, -1, 1000, 1003, 1999, 2013, 3000, 3013, 4000}) {
        const ScrollOutput output = OutputForScroll(SCROLL_THUMB_TRACK, id);
        EXPECT_FALSE(output.allChannels) << id;
        EXPECT_FALSE(output.channel.has_value()) << id;
    }
}

}  // namespace

// The panel's decisions: which preset texts are good and which preset they name, how the boxes'
// texts are recorded, and the fader's level scale.

#include <gtest/gtest.h>

#include <string>

#include "console/box_rules.h"
#include "panel/fader_scale.h"
#include "console/recorded_text.h"

namespace {

TEST(PresetText, Verdicts)
{
    const struct {
        const char* text;
        PresetVerdict verdict;
    } cases[] = {
        {"", PresetVerdict::Empty},         {"1", PresetVerdict::Accepted},     {"007", PresetVerdict::Accepted},
        {"12", PresetVerdict::Accepted},    {"127", PresetVerdict::Accepted},   {"0000127", PresetVerdict::Accepted},
        {"0", PresetVerdict::Rejected},     {"000", PresetVerdict::Rejected},   {"128", PresetVerdict::Rejected},
        {"9999999", PresetVerdict::Rejected}, {"12a", PresetVerdict::Rejected}, {"-5", PresetVerdict::Rejected},
        {"+5", PresetVerdict::Rejected},    {" 5", PresetVerdict::Rejected},    {"5 ", PresetVerdict::Rejected},
        {"5\r\n", PresetVerdict::Rejected}, {"1.0", PresetVerdict::Rejected},   {"x", PresetVerdict::Rejected},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckPresetText(c.text), c.verdict) << '"' << c.text << '"';
    }
}

// What SAVE stores; the store command's text is tested with the other command texts.
TEST(PresetText, NamesThePresetItsDigitsRead)
{
    EXPECT_EQ(PresetNumber("1"), 1);
    EXPECT_EQ(PresetNumber("007"), 7);
    EXPECT_EQ(PresetNumber("12"), 12);
    EXPECT_EQ(PresetNumber("127"), 127);
}

TEST(RecordedText, KeepsSevenCharacters)
{
    RecordedText recorded{};
    Record(recorded, "0.0");
    EXPECT_STREQ(recorded.data(), "0.0");
    Record(recorded, "123456789");
    EXPECT_STREQ(recorded.data(), "1234567");
    Record(recorded, "");
    EXPECT_STREQ(recorded.data(), "");
}

TEST(RecordedText, ComparesByteForByte)
{
    RecordedText recorded{};
    Record(recorded, "2.5");
    EXPECT_TRUE(SameText("2.5", recorded));
    EXPECT_FALSE(SameText("2.50", recorded));
    EXPECT_FALSE(SameText("2.", recorded));
    EXPECT_FALSE(SameText("2,5", recorded));
    Record(recorded, "1234567");
    EXPECT_TRUE(SameText("1234567", recorded));
}

TEST(FaderScale, TopIsLevel255)
{
    EXPECT_EQ(TrackPositionForLevel(0), 255);
    EXPECT_EQ(TrackPositionForLevel(200), 55);
    EXPECT_EQ(TrackPositionForLevel(255), 0);
    EXPECT_EQ(TrackPositionForLevel(300), 211) << "only the low 8 bits count";
    EXPECT_EQ(LevelForTrackPosition(55), 200);
    EXPECT_EQ(LevelForTrackPosition(0), 255);
    EXPECT_EQ(LevelForTrackPosition(255), 0);
    for (int level = 0; level <= 255; ++level) {
        ASSERT_EQ(LevelForTrackPosition(TrackPositionForLevel(level)), level);
    }
}

TEST(FaderScale, Heights)
{
    const FaderHeights panel = FaderHeightsFor(240, true);
    EXPECT_EQ(panel.frameHeight, 240);
    EXPECT_EQ(panel.trackHeight, 222);
    EXPECT_EQ(panel.captionY, 220);
    const FaderHeights bare = FaderHeightsFor(240, false);
    EXPECT_EQ(bare.frameHeight, 240);
    EXPECT_EQ(bare.trackHeight, 240);
    const FaderHeights defaultLabelled = FaderHeightsFor(0, true);
    EXPECT_EQ(defaultLabelled.trackHeight, 298);
    EXPECT_EQ(defaultLabelled.frameHeight, 316);
    EXPECT_EQ(defaultLabelled.captionY, 296);
    const FaderHeights defaultBare = FaderHeightsFor(0, false);
    EXPECT_EQ(defaultBare.trackHeight, 298);
    EXPECT_EQ(defaultBare.frameHeight, 298);
}

}  // namespace

// The console's rules on its model, over the simulated converter: what fader movements send, the
// crossfade, the boxes' rules, SAVE, and what the console does on the converter's news.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "console_on_simulator.h"
#include "console/fader_routing.h"
#include "converter/converter_commands.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class ConsoleModelTest : public ::testing::Test, protected ConsoleOnSimulator {
protected:
    void SetUp() override
    {
        model.OpenConverter();
        ASSERT_TRUE(model.ConverterInUse());
        converter->ClearHistory();
    }

    std::vector<std::string> Commands() const
    {
        std::vector<std::string> commands;
        for (const ConverterExchange& e : converter->History()) {
            commands.push_back(e.command);
        }
        return commands;
    }

    // A fader set as a drag would, and the console told of it.
    void MoveFader(int id, int level)
    {
        view.levels[id] = level;
        model.OnFaderScroll(SCROLL_THUMB_TRACK, id);
    }

    void Type(int boxId, const std::string& text)
    {
        view.Text(boxId) = text;
        model.OnBoxUpdate(boxId);
    }

    std::string Save()
    {
        converter->ClearHistory();
        model.Save();
        return converter->History().empty() ? "" : converter->History().back().command;
    }

    void TickAfter(Duration elapsed)
    {
        clock.Advance(elapsed);
        model.OnFadeTick();
    }

    int Master() { return view.levels[ID_MASTER]; }
};

TEST_F(ConsoleModelTest, GoWithFadeTimeZeroEndsARunningFadeAtOnce)
{
    view.fadeText = "5";
    model.Go();
    TickAfter(seconds(1));
    ASSERT_TRUE(fadeTimer.Running());
    EXPECT_EQ(Master(), 51) << "a fifth of the way up";
    view.fadeText = "0";
    model.Go();
    EXPECT_FALSE(fadeTimer.Running());
    EXPECT_EQ(Master(), 255) << "from the lower half the fade goes up";
}

TEST_F(ConsoleModelTest, AcceptedPresetsAreStoredInHexadecimal)
{
    for (const auto& [typed, stored] : {std::pair{"007", "c0 7\r"}, std::pair{"127", "c0 7f\r"}, std::pair{"12", "c0 c\r"}}) {
        Type(ID_PRESET, typed);
        EXPECT_EQ(Save(), stored) << typed;
    }
    EXPECT_EQ(converter->Presets().count(127), 1u);
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(ConsoleModelTest, WhileInvalidPresetIsOpenTheBoxesKeepTheirTexts)
{
    Type(ID_PRESET, "12");
    Type(ID_FADE_TIME, "2.5");
    view.whileOpen = [this](const FakeView::BoxShown&) {
        EXPECT_FALSE(model.BoxesTakeText());
        Type(ID_PRESET, "99");
        Type(ID_PRESET, "abc");
        Type(ID_FADE_TIME, "9");
    };
    Type(ID_PRESET, "200");
    EXPECT_EQ(view.boxes.size(), 1u) << "one box at a time";
    EXPECT_EQ(view.presetText, "12");
    EXPECT_EQ(view.fadeText, "2.5");
    EXPECT_EQ(view.refusals, 3);
    EXPECT_TRUE(model.BoxesTakeText());
    EXPECT_EQ(Save(), "c0 c\r");
}

// A converter announced before it can be opened is found by a retry of the search, 300 ms and
// then 2 s after the arrival, and the stage is brought to what the faders show.
TEST_F(ConsoleModelTest, AnArrivalTooEarlyIsSearchedAgainAfter300MsAnd2s)
{
    bus.Unplug(*converter);
    model.OnDeviceRemoval();
    EXPECT_FALSE(model.ConverterInUse());
    EXPECT_EQ(view.notice, ConverterNotice::NotFound) << "the notice, no box";
    model.OnDeviceArrival();
    ASSERT_EQ(retryTimer.Period(), milliseconds(300));
    clock.Advance(milliseconds(300));
    model.OnRetryTimer();
    ASSERT_EQ(retryTimer.Period(), milliseconds(1700)) << "2 s after the arrival";

    view.levels[ID_SCENE_A_FIRST + 2] = 0x40;
    converter->PlugIn();  // in, but not announced
    converter->ClearHistory();
    model.OnRetryTimer();
    EXPECT_TRUE(model.ConverterInUse());
    EXPECT_FALSE(retryTimer.Running()) << "found: no more retries";
    EXPECT_EQ(view.notice, ConverterNotice::None);
    ASSERT_EQ(Commands().size(), 1u + CHANNEL_COUNT);
    EXPECT_EQ(Commands()[0], "I");
    EXPECT_EQ(converter->Levels(), (ChannelLevels{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})) << "master at B";
    EXPECT_EQ(Commands()[3], "W 2 0");
}

TEST_F(ConsoleModelTest, ClosingStopsOutputAtOnceAlsoInsideABox)
{
    view.fadeText = "2";
    model.Go();
    converter->faults.silent = true;
    view.whileOpen = [this](const FakeView::BoxShown&) { model.Close(); };
    const std::uint64_t before = converter->ExchangeCount();
    TickAfter(milliseconds(55));
    EXPECT_EQ(converter->ExchangeCount(), before + 1) << "the box of the first exchange ends the tick";
    EXPECT_FALSE(fadeTimer.Running());
    converter->faults.silent = false;
    model.Go();
    model.Save();
    MoveFader(ID_MASTER, 9);
    model.OnDeviceArrival();
    EXPECT_EQ(converter->ExchangeCount(), before + 1);
    EXPECT_FALSE(retryTimer.Running());
}

}  // namespace

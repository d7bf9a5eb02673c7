// The console's rules on its model, over the simulated converter: what fader movements send, the
// crossfade, the boxes' rules, SAVE, and what the console does on the converter's news.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
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

    // Scene levels that tell the two scenes apart on every channel.
    void SetScenes()
    {
        for (int i = 0; i < CHANNEL_COUNT; ++i) {
            view.levels[ID_SCENE_A_FIRST + i] = 200 + i;
            view.levels[ID_SCENE_B_FIRST + i] = 10 * i;
        }
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

TEST_F(ConsoleModelTest, ASceneFaderSendsItsOneChannelMixed)
{
    view.levels[ID_SCENE_A_FIRST + 2] = 200;
    view.levels[ID_SCENE_B_FIRST + 2] = 40;
    view.levels[ID_MASTER] = 128;
    model.OnFaderScroll(SCROLL_THUMB_TRACK, ID_SCENE_B_FIRST + 2);
    model.OnFaderScroll(SCROLL_TOP, ID_SCENE_A_FIRST + 2);
    // 40 + (200 - 40) * 128 / 255 = 40 + 80 = 120.
    EXPECT_EQ(Commands(), (std::vector<std::string>{"W 2 78"}));
    EXPECT_EQ(converter->Levels()[2], 120);
}

TEST_F(ConsoleModelTest, TheMasterSendsAllTwelveInChannelOrder)
{
    SetScenes();
    MoveFader(ID_MASTER, 255);
    std::vector<std::string> expected;
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        char text[16];
        std::snprintf(text, sizeof(text), "W %X %X", i, 200 + i);
        expected.push_back(text);
    }
    EXPECT_EQ(Commands(), expected);
}

TEST_F(ConsoleModelTest, GoWithNoFadeTimeSwitchesAtOnce)
{
    SetScenes();
    model.Go();
    const std::vector<std::string> commands = Commands();
    ASSERT_EQ(commands.size(), 24u);
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        char atB[16];
        char atA[16];
        std::snprintf(atB, sizeof(atB), "W %X %X", i, 10 * i);
        std::snprintf(atA, sizeof(atA), "W %X %X", i, 200 + i);
        EXPECT_EQ(commands[static_cast<std::size_t>(i)], atB) << "first the scenes as they stand";
        EXPECT_EQ(commands[static_cast<std::size_t>(12 + i)], atA) << "then with the master at the top";
    }
    EXPECT_EQ(Master(), 255);
    EXPECT_FALSE(fadeTimer.Running());
}

TEST_F(ConsoleModelTest, ATimedFadeFollowsTheClockToItsTargetAndStops)
{
    view.levels[ID_SCENE_A_FIRST] = 255;  // channel 0 shows the master itself
    view.fadeText = "2";
    model.Go();
    ASSERT_TRUE(fadeTimer.Running());
    EXPECT_EQ(fadeTimer.Period(), milliseconds(55));
    TickAfter(seconds(1));
    EXPECT_EQ(Master(), 127) << "floor(127.5) after 1 of 2 s";
    EXPECT_EQ(converter->Levels()[0], 127);
    TickAfter(milliseconds(1001));
    EXPECT_EQ(Master(), 255);
    EXPECT_FALSE(fadeTimer.Running());
    const std::uint64_t exchanges = converter->ExchangeCount();
    TickAfter(milliseconds(55));  // a tick already queued when the fade ended
    EXPECT_EQ(converter->ExchangeCount(), exchanges) << "no tick sends after the end";
}

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

TEST_F(ConsoleModelTest, GoDuringAFadeRestartsFromWhereTheMasterStands)
{
    view.fadeText = "4";
    model.Go();
    TickAfter(seconds(1));
    ASSERT_EQ(Master(), 63);
    model.Go();
    EXPECT_TRUE(fadeTimer.Running());
    TickAfter(seconds(2));
    EXPECT_EQ(Master(), 63 + 96) << "half of the way from 63 to 255";
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

TEST_F(ConsoleModelTest, BadPresetsAreRefusedWithTheBoxAndTheGoodTextComesBackFirst)
{
    Type(ID_PRESET, "12");
    for (const char* bad : {"0", "128", "12a", "-5", "+5", "1 2", "1\r\n"}) {
        SCOPED_TRACE(bad);
        view.boxes.clear();
        Type(ID_PRESET, bad);
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, "Value must be in the range of 1 to 127");
        EXPECT_EQ(view.boxes[0].caption, "Invalid Preset");
        EXPECT_TRUE(view.boxes[0].ownedByTheConsole);
        EXPECT_EQ(view.boxes[0].presetWhileOpen, "12") << "restored before the box opened";
        EXPECT_EQ(view.presetText, "12");
        EXPECT_EQ(Save(), "c0 c\r");
    }
}

TEST_F(ConsoleModelTest, AnEmptyPresetBoxIsToleratedUntilTheFocusLeaves)
{
    Type(ID_PRESET, "12");
    Type(ID_PRESET, "");
    EXPECT_TRUE(view.boxes.empty()) << "no message for an empty box";
    EXPECT_EQ(Save(), "c0 c\r") << "SAVE sends the last good preset";
    model.OnPresetBoxLeft();
    EXPECT_EQ(view.presetText, "12") << "leaving the box restores it";
}

// While "Invalid Preset" was open, a text set from outside was refused, but one typed or put in
// by another program in any other way went into the preset box, was kept, and SAVE stored it.
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

TEST_F(ConsoleModelTest, PulledOutWhileAnotherIsPluggedInTheOtherTakesOver)
{
    auto spare = std::make_shared<SimulatedConverter>(clock);
    bus.interfaces.push_back({{CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID}, spare, SearchFault::None, 0, {}});
    view.levels[ID_SCENE_A_FIRST + 4] = 0x60;
    view.levels[ID_MASTER] = 255;
    model.OnDeviceArrival();  // the spare, while the first is in use
    ASSERT_EQ(spare->ExchangeCount(), 0u);

    bus.Unplug(*converter);
    MoveFader(ID_MASTER, 255);  // an exchange sees the loss first
    model.OnDeviceRemoval();
    ASSERT_TRUE(model.ConverterInUse());
    ASSERT_FALSE(spare->History().empty());
    EXPECT_EQ(spare->History().front().command, "I");
    EXPECT_EQ(spare->Levels()[4], 0x60);

    bus.PlugIn(*converter);
    model.OnDeviceArrival();
    view.levels[ID_SCENE_A_FIRST + 4] = 0x70;
    bus.Unplug(*spare);
    model.OnDeviceRemoval();  // the removal before any exchange
    ASSERT_TRUE(model.ConverterInUse());
    EXPECT_EQ(converter->Levels()[4], 0x70);
    EXPECT_TRUE(view.boxes.empty()) << "no box for a converter pulled out";
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

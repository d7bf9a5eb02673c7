// Fader movements and the timed crossfade on the real window, over the simulated converter.

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_fixture.h"
#include "keyboard.h"

namespace {

class ConsoleMixing : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        Start();
    }

    std::vector<std::string> Commands()
    {
        std::vector<std::string> commands;
        for (const ConverterExchange& e : Converter().History()) {
            commands.push_back(e.command);
        }
        return commands;
    }

    void Scroll(Fader& fader, int code)
    {
        SendMessageA(Main(), WM_VSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(fader.Track()));
    }

    // Scene levels that tell the two scenes apart on every channel.
    void SetScenes()
    {
        for (std::size_t i = 0; i < 12; ++i) {
            Panel().sceneA[i]->SetLevel(static_cast<int>(200 + i));
            Panel().sceneB[i]->SetLevel(static_cast<int>(10 * i));
        }
    }

    void SetFadeTime(const char* text)
    {
        PasteOver(Panel().fadeEdit, text);
        ASSERT_STREQ(Panel().recordedFadeText.data(), text);
    }

    bool TimerRunning() { return Fading(); }
};

TEST_F(ConsoleMixing, SceneFaderSendsItsOneChannelMixed)
{
    Panel().sceneA[2]->SetLevel(200);
    Panel().sceneB[2]->SetLevel(40);
    Panel().master->SetLevel(128);
    Scroll(*Panel().sceneA[2], 5);
    // 40 + (200 - 40) * 128 / 255 = 40 + 80 = 120.
    EXPECT_EQ(Commands(), (std::vector<std::string>{"W 2 78"}));
    EXPECT_EQ(Converter().Levels()[2], 120);
}

TEST_F(ConsoleMixing, OnlyMovingScrollCodesSend)
{
    Panel().sceneA[0]->SetLevel(99);
    for (int code : {4, 6, 7, 8}) {
        Scroll(*Panel().sceneA[0], code);
        Scroll(*Panel().master, code);
    }
    EXPECT_TRUE(Commands().empty());
    for (int code : {0, 1, 2, 3, 5}) {
        Scroll(*Panel().sceneB[0], code);
    }
    EXPECT_EQ(Commands().size(), 5u);
}

TEST_F(ConsoleMixing, TheLastSceneBFaderSendsChannelB)
{
    Panel().sceneB[11]->SetLevel(0x42);
    Scroll(*Panel().sceneB[11], 1);
    EXPECT_EQ(Commands(), (std::vector<std::string>{"W B 42"}));
}

TEST_F(ConsoleMixing, TheMasterSendsAllTwelveInChannelOrder)
{
    SetScenes();
    Panel().master->SetLevel(255);
    Scroll(*Panel().master, 5);
    std::vector<std::string> expected;
    for (int i = 0; i < 12; ++i) {
        char text[16];
        std::snprintf(text, sizeof(text), "W %X %X", i, 200 + i);
        expected.push_back(text);
    }
    EXPECT_EQ(Commands(), expected);
}

TEST_F(ConsoleMixing, GoWithNoFadeTimeSwitchesAtOnce)
{
    SetScenes();
    ASSERT_STREQ(Panel().recordedFadeText.data(), "0.0");
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), reinterpret_cast<LPARAM>(Panel().goButton));
    const std::vector<std::string> commands = Commands();
    ASSERT_EQ(commands.size(), 24u);
    for (int i = 0; i < 12; ++i) {
        char atB[16];
        char atA[16];
        std::snprintf(atB, sizeof(atB), "W %X %X", i, 10 * i);
        std::snprintf(atA, sizeof(atA), "W %X %X", i, 200 + i);
        EXPECT_EQ(commands[static_cast<std::size_t>(i)], atB) << "first the scenes as they stand";
        EXPECT_EQ(commands[static_cast<std::size_t>(12 + i)], atA) << "then with the master at the top";
    }
    EXPECT_EQ(Panel().master->GetLevel(), 255);
    EXPECT_FALSE(TimerRunning());
}

TEST_F(ConsoleMixing, ATimedFadeClimbsToItsTargetAndStops)
{
    // Channel 0 with scene A at the top and scene B at the bottom shows the master itself.
    Panel().sceneA[0]->SetLevel(255);
    Panel().sceneB[0]->SetLevel(0);
    SetFadeTime("0.3");
    const auto start = std::chrono::steady_clock::now();
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), 0);
    EXPECT_TRUE(TimerRunning());
    ASSERT_TRUE(PumpUntil([&] { return !TimerRunning(); }, std::chrono::milliseconds(3000)));
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(took, 0.3);

    std::vector<int> master;
    for (const ConverterExchange& e : Converter().History()) {
        if (e.command.rfind("W 0 ", 0) == 0) {
            master.push_back(std::stoi(e.command.substr(4), nullptr, 16));
        }
    }
    ASSERT_GE(master.size(), 4u) << "the start, some ticks and the end";
    for (std::size_t i = 1; i < master.size(); ++i) {
        EXPECT_GE(master[i], master[i - 1]) << "never backwards, step " << i;
    }
    EXPECT_EQ(master.front(), 0);
    EXPECT_EQ(master.back(), 255);
    EXPECT_EQ(Panel().master->GetLevel(), 255);
    EXPECT_FALSE(KillTimer(Main(), FADE_TIMER_ID)) << "the timer is gone";

    // No tick comes after the end.
    const std::uint64_t exchanges = Converter().ExchangeCount();
    PumpUntil([] { return false; }, std::chrono::milliseconds(150));
    EXPECT_EQ(Converter().ExchangeCount(), exchanges);
}

TEST_F(ConsoleMixing, GoWithFadeTimeZeroEndsARunningFadeAtOnce)
{
    SetFadeTime("5");
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), 0);
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));
    ASSERT_TRUE(TimerRunning());
    const int climbing = Panel().master->GetLevel();
    EXPECT_GT(climbing, 0);
    EXPECT_LT(climbing, 128);

    SetFadeTime("0");
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), 0);
    EXPECT_FALSE(TimerRunning());
    EXPECT_EQ(Panel().master->GetLevel(), 255) << "from the lower half the fade goes up";
    const std::uint64_t exchanges = Converter().ExchangeCount();
    PumpUntil([] { return false; }, std::chrono::milliseconds(150));
    EXPECT_EQ(Converter().ExchangeCount(), exchanges) << "no tick follows";
}

TEST_F(ConsoleMixing, GoDuringAFadeRestartsFromWhereTheMasterStands)
{
    SetFadeTime("4");
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), 0);
    PumpUntil([] { return false; }, std::chrono::milliseconds(300));
    const int reached = Panel().master->GetLevel();
    ASSERT_GT(reached, 0);
    ASSERT_LT(reached, 128);
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), 0);
    EXPECT_EQ(Fade().startLevel, reached);
    EXPECT_EQ(Fade().target, 255);
    EXPECT_TRUE(TimerRunning());
    PumpUntil([] { return false; }, std::chrono::milliseconds(120));
    EXPECT_GE(Panel().master->GetLevel(), reached);
}

}  // namespace

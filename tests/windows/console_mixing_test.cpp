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

    void Scroll(int faderId, int code)
    {
        SendMessageA(Main(), WM_VSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(Track(faderId)));
    }

    // Scene levels that tell the two scenes apart on every channel.
    void SetScenes()
    {
        for (int i = 0; i < 12; ++i) {
            SetFader(ID_SCENE_A_FIRST + i, 200 + i);
            SetFader(ID_SCENE_B_FIRST + i, 10 * i);
        }
    }

    void SetFadeTime(const char* text)
    {
        PasteOver(Control(ID_FADE_TIME), text);
        ASSERT_EQ(WindowText(Control(ID_FADE_TIME)), text);
    }
};

TEST_F(ConsoleMixing, SceneFaderSendsItsOneChannelMixed)
{
    SetFader(ID_SCENE_A_FIRST + 2, 200);
    SetFader(ID_SCENE_B_FIRST + 2, 40);
    SetFader(ID_MASTER, 128);
    Scroll(ID_SCENE_A_FIRST + 2, 5);
    // 40 + (200 - 40) * 128 / 255 = 40 + 80 = 120.
    EXPECT_EQ(Commands(), (std::vector<std::string>{"W 2 78"}));
    EXPECT_EQ(Converter().Levels()[2], 120);
}

TEST_F(ConsoleMixing, ATimedFadeClimbsToItsTargetAndStops)
{
    // Channel 0 with scene A at the top and scene B at the bottom shows the master itself.
    SetFader(ID_SCENE_A_FIRST, 255);
    SetFader(ID_SCENE_B_FIRST, 0);
    SetFadeTime("0.3");
    const auto start = std::chrono::steady_clock::now();
    Click(ID_GO);
    EXPECT_TRUE(FadeTimerRunning());
    ASSERT_TRUE(PumpUntil([&] { return !FadeTimerRunning(); }, std::chrono::milliseconds(3000)));
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
    EXPECT_EQ(FaderLevel(ID_MASTER), 255);
    EXPECT_FALSE(KillTimer(Main(), FADE_TIMER_ID)) << "the timer is gone";

    // No tick comes after the end.
    const std::uint64_t exchanges = Converter().ExchangeCount();
    PumpUntil([] { return false; }, std::chrono::milliseconds(150));
    EXPECT_EQ(Converter().ExchangeCount(), exchanges);
}

}  // namespace

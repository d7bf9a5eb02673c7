// A converter that stops answering in the middle of a fade, on the real window over the simulated
// converter: one "USB Comm error" box, a console that keeps repainting and taking input between
// its bounded waits, and a fade that finishes once the converter answers again.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "console_fixture.h"
#include "keyboard.h"

namespace {

class ConverterSilence : public ConsoleTest {};

TEST_F(ConverterSilence, InTheMiddleOfAFade)
{
    Start();
    for (int i = 0; i < 12; ++i) {
        SetFader(ID_SCENE_A_FIRST + i, 180);
    }
    PasteOver(Control(ID_FADE_TIME), "1.5");
    SendMessageA(Control(ID_GO), BM_CLICK, 0, 0);
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));
    ASSERT_TRUE(FadeTimerRunning());

    Converter().faults.silent = true;
    int boxes = 0;
    bool repainted = false;
    bool tookInput = false;
    int masterWhileSilent = -1;
    const bool opened = WhileModalBoxIsOpen(
        "Error", [] { PumpUntil([] { return false; }, std::chrono::milliseconds(1500)); },
        [&](HWND box) {
            ++boxes;
            EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), "USB Comm error");
            // The box's own loop keeps the console going: paint, input, and the fade's ticks.
            InvalidateRect(Main(), nullptr, FALSE);
            repainted = PumpUntil([&] { return GetUpdateRect(Main(), nullptr, FALSE) == 0; },
                                  std::chrono::milliseconds(1000));
            SetFocus(Track(ID_SCENE_B_FIRST + 3));
            PressKey(VK_PRIOR);
            // The key may wait behind a tick that is running into the short budgets.
            tookInput = PumpUntil([&] { return FaderLevel(ID_SCENE_B_FIRST + 3) == 16; }, std::chrono::milliseconds(2000));
            const auto start = std::chrono::steady_clock::now();
            PumpUntil([] { return false; }, std::chrono::milliseconds(400));
            masterWhileSilent = FaderLevel(ID_MASTER);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
            // It answers again before the box is closed.
            Converter().faults.silent = false;
            SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
    ASSERT_TRUE(opened);
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(repainted);
    EXPECT_TRUE(tookInput);
    EXPECT_GT(masterWhileSilent, 0);

    ASSERT_TRUE(PumpUntil([this] { return !FadeTimerRunning(); }, std::chrono::milliseconds(3000)));
    EXPECT_EQ(FaderLevel(ID_MASTER), 255);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(Converter().Levels()[i], 180) << i;
    }
    EXPECT_EQ(FindThreadWindow("#32770", "Error"), nullptr);
}

}  // namespace

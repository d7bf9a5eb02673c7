// The demo build: the console on the simulated converter, with the output monitor beside it.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "console_fixture.h"
#include "keyboard.h"
#include "mixing/crossfade.h"
#include "simulator/demo_converter.h"
#include "simulator/monitor_view.h"
#include "simulator/output_monitor.h"

namespace {

class Demo : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        LoadApplicationStrings(instance);
        RegisterMainWindowClass(instance);
        ChooseConverterPlatform();
    }

    void SetUp() override
    {
        ResetDiscoveryLog();
        // A fresh start of the console on the demo's converter.
        TheConverter() = ConverterState{};
        TheCrossfade() = Crossfade{};
        UseConverterPlatform(DemoBus(), MonotonicClock(), ShowCommErrorBox);
        ASSERT_TRUE(StartApplication(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
        SetForegroundWindow(Main());
        PumpMessages();
    }

    void TearDown() override
    {
        if (IsWindow(Main())) {
            SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(105, 0), 0);
            PumpMessages();
        }
        TheConverter() = ConverterState{};
        ResetDiscoveryLog();
    }

    HWND Main() { return TheApplication().mainWindow; }
    void Scroll(Fader& fader)
    {
        SendMessageA(Main(), WM_VSCROLL, MAKEWPARAM(5, 0), reinterpret_cast<LPARAM>(fader.Track()));
    }
    MonitorView View() { return BuildMonitorView(DemoConverter()); }
    // True when the monitor has a repaint pending.
    bool MonitorPending() { return GetUpdateRect(DemoMonitorWindow(), nullptr, FALSE) != 0; }

    TempFolder temp;
};

TEST_F(Demo, FindsItsConverterBehindAnotherDevice)
{
    EXPECT_TRUE(TheConverter().present);
    EXPECT_EQ(TheConverter().inReportLength, 65);
    EXPECT_EQ(TheConverter().outReportLength, 65u);
    EXPECT_EQ(DemoConverter().faults.latency, DEMO_EXCHANGE_LATENCY);
    EXPECT_EQ(temp.Log(), LogText({
                              "Index=0, VendorID=$46d, ProductID=$c077  Device successfully opened for ID checking",
                              "Index=0, Not the device we want",
                              "Index=1, VendorID=$6a5b, ProductID=$e42  Device successfully opened for ID checking",
                              "Index=1, Valid Device found",
                          }));
    ASSERT_FALSE(View().commands.empty());
    EXPECT_EQ(View().commands.back().rfind("I   -> I<CR><LF>", 0), 0u) << View().commands.back();
}

TEST_F(Demo, TheMonitorSitsBesideTheConsoleWithoutTakingTheFocus)
{
    HWND monitor = DemoMonitorWindow();
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(IsWindowVisible(monitor));
    EXPECT_EQ(WindowText(monitor), MONITOR_TITLE);
    RECT console;
    RECT beside;
    GetWindowRect(Main(), &console);
    GetWindowRect(monitor, &beside);
    RECT overlap;
    EXPECT_FALSE(IntersectRect(&overlap, &console, &beside)) << "the monitor must not cover the console";
    EXPECT_GE(beside.left, 810);

    Scroll(*ThePanel().master);
    PumpMessages();
    EXPECT_EQ(GetActiveWindow(), Main());
    EXPECT_EQ(GetForegroundWindow(), Main());
    EXPECT_EQ(GetWindowLongA(monitor, GWL_EXSTYLE) & WS_EX_NOACTIVATE, WS_EX_NOACTIVATE);
}

TEST_F(Demo, TheMonitorFollowsASceneFader)
{
    PumpMessages();
    ThePanel().sceneB[4]->SetLevel(0x99);
    Scroll(*ThePanel().sceneB[4]);
    EXPECT_EQ(DemoConverter().Levels()[4], 0x99);
    EXPECT_EQ(View().levels[4], 0x99);
    EXPECT_EQ(View().commands.back(), "W 4 99   -> W 4 99<CR><LF>>");
    EXPECT_TRUE(MonitorPending()) << "a repaint is asked for";
    PumpMessages();
    EXPECT_FALSE(MonitorPending()) << "and done once the console is idle";
}

TEST_F(Demo, TheMonitorFollowsTheMasterAndACrossfade)
{
    for (std::size_t i = 0; i < 12; ++i) {
        ThePanel().sceneA[i]->SetLevel(static_cast<int>(100 + i));
        ThePanel().sceneB[i]->SetLevel(static_cast<int>(i));
    }
    ThePanel().master->SetLevel(0);
    Scroll(*ThePanel().master);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(View().levels[i], i) << "scene B on stage";
    }

    PasteOver(ThePanel().fadeEdit, "0.3");
    SendMessageA(ThePanel().goButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([] { return !TheCrossfade().fading; }, std::chrono::milliseconds(3000)));
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(View().levels[i], 100 + i) << "scene A on stage after the crossfade";
    }
}

TEST_F(Demo, TheMonitorListsStoredPresets)
{
    ThePanel().sceneA[0]->SetLevel(255);
    ThePanel().master->SetLevel(255);
    Scroll(*ThePanel().master);
    PasteOver(ThePanel().presetEdit, "99");
    SendMessageA(ThePanel().saveButton, BM_CLICK, 0, 0);
    ASSERT_EQ(DemoConverter().Presets().count(99), 1u);
    bool listed = false;
    for (const std::string& line : View().presets) {
        listed = listed || line.rfind("Preset 99: 255 ", 0) == 0;
    }
    EXPECT_TRUE(listed);
    EXPECT_EQ(View().commands.back(), "c0 63<CR>   -> c0 63<CR><LF>>");
}

}  // namespace

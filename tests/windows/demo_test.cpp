// The demo build: the console on the simulated converter, with the output monitor beside it.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "console_fixture.h"
#include "keyboard.h"
#include "demo/demo_platform.h"
#include "panel/fader_scale.h"
#include "simulator/monitor_view.h"

namespace {

// The demo's platform and console, as VeltranoDemo.exe's entry point builds them.
class Demo : public ::testing::Test {
protected:
    void SetUp() override
    {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        demo = std::make_unique<DemoPlatform>(instance, clock);
        console = std::make_unique<ConsoleWindow>(instance, RegisteredApplicationStrings(), demo->Bus(), clock,
                                            DiscoveryLogPath(FindEnvironmentValue("TEMP")));
        ASSERT_TRUE(console->StartApplication(SW_SHOWNORMAL));
        SetForegroundWindow(Main());
        PumpMessages();
    }

    void TearDown() override
    {
        if (IsWindow(Main())) {
            CloseConsoleWindow(Main());
        }
        console.reset();
        demo.reset();
    }

    HWND Main() { return console->MainWindow(); }
    HWND Control(int id) { return GetDlgItem(Main(), id); }
    HWND Track(int id) { return ChildControl(Main(), TRACKBAR_CLASSA, id); }
    void SetFader(int id, int level) { SendMessageA(Track(id), TBM_SETPOS, TRUE, TrackPositionForLevel(level)); }
    SimulatedConverter& DemoConverter() { return demo->Converter(); }
    void Scroll(int faderId)
    {
        SendMessageA(Main(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(Track(faderId)));
    }
    MonitorView View() { return BuildMonitorView(DemoConverter()); }
    // Clicks a control of the monitor with the mouse, through the system's input queue as the
    // operator's click comes, and waits until what the control does has changed.
    bool ClickControl(OutputMonitor::Control which = OutputMonitor::Control::Plug)
    {
        const MonitorView before = View();
        const RECT control = demo->Monitor().ControlRect(which);
        POINT centre{(control.left + control.right) / 2, (control.top + control.bottom) / 2};
        ClientToScreen(demo->MonitorWindow(), &centre);
        SetCursorPos(centre.x, centre.y);
        INPUT events[2]{};
        events[0].type = INPUT_MOUSE;
        events[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        events[1].type = INPUT_MOUSE;
        events[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, events, sizeof(INPUT));
        const auto changed = [&] {
            return View().plugAction != before.plugAction || View().silenceAction != before.silenceAction;
        };
        return PumpUntil(changed, std::chrono::milliseconds(3000));
    }
    // The strip above the panel where the console says the converter is not found, as painted.
    Pixels NoticeStrip()
    {
        PumpMessages();
        return Crop(CaptureClient(Main()), 300, 0, 220, 20);
    }
    // True when the monitor has a repaint pending.
    bool MonitorPending() { return GetUpdateRect(demo->MonitorWindow(), nullptr, FALSE) != 0; }

    TempFolder temp;
    SteadyClock clock;
    std::unique_ptr<DemoPlatform> demo;
    std::unique_ptr<ConsoleWindow> console;
};

TEST_F(Demo, FindsItsConverterBehindAnotherDevice)
{
    EXPECT_EQ(NoticeStrip().data, NotFoundStrip(false).data) << "no notice: the converter is in use";
    EXPECT_EQ(DemoConverter().FramingErrors(), 0) << "reports of the converter's own length";
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
    HWND monitor = demo->MonitorWindow();
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(IsWindowVisible(monitor));
    EXPECT_EQ(WindowText(monitor), MONITOR_TITLE);
    RECT consoleRect;
    RECT beside;
    GetWindowRect(Main(), &consoleRect);
    GetWindowRect(monitor, &beside);
    RECT overlap;
    EXPECT_FALSE(IntersectRect(&overlap, &consoleRect, &beside)) << "the monitor must not cover the console";
    EXPECT_GE(beside.left, 810);

    Scroll(ID_MASTER);
    PumpMessages();
    EXPECT_EQ(GetActiveWindow(), Main());
    EXPECT_EQ(GetForegroundWindow(), Main());
    EXPECT_EQ(GetWindowLongA(monitor, GWL_EXSTYLE) & WS_EX_NOACTIVATE, WS_EX_NOACTIVATE);
}

TEST_F(Demo, TheMonitorFollowsASceneFader)
{
    PumpMessages();
    SetFader(ID_SCENE_B_FIRST + 4, 0x99);
    Scroll(ID_SCENE_B_FIRST + 4);
    EXPECT_EQ(DemoConverter().Levels()[4], 0x99);
    EXPECT_EQ(View().levels[4], 0x99);
    EXPECT_EQ(View().commands.back(), "W 4 99   -> W 4 99<CR><LF>>");
    EXPECT_TRUE(MonitorPending()) << "a repaint is asked for";
    PumpMessages();
    EXPECT_FALSE(MonitorPending()) << "and done once the console is idle";
}

TEST_F(Demo, TheMonitorFollowsTheMasterAndACrossfade)
{
    for (int i = 0; i < 12; ++i) {
        SetFader(ID_SCENE_A_FIRST + i, 100 + i);
        SetFader(ID_SCENE_B_FIRST + i, i);
    }
    SetFader(ID_MASTER, 0);
    Scroll(ID_MASTER);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(View().levels[i], i) << "scene B on stage";
    }

    PasteOver(Control(ID_FADE_TIME), "0.3");
    SendMessageA(Control(ID_GO), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([this] { return View().levels[11] == 111; }, std::chrono::milliseconds(3000)));
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(View().levels[i], 100 + i) << "scene A on stage after the crossfade";
    }
}

TEST_F(Demo, TheMonitorListsStoredPresets)
{
    SetFader(ID_SCENE_A_FIRST, 255);
    SetFader(ID_MASTER, 255);
    Scroll(ID_MASTER);
    PasteOver(Control(ID_PRESET), "99");
    SendMessageA(Control(ID_SAVE), BM_CLICK, 0, 0);
    ASSERT_EQ(DemoConverter().Presets().count(99), 1u);
    bool listed = false;
    for (const std::string& line : View().presets) {
        listed = listed || line.rfind("Preset 99: 255 ", 0) == 0;
    }
    EXPECT_TRUE(listed);
    EXPECT_EQ(View().commands.back(), "c0 63<CR>   -> c0 63<CR><LF>>");
}

TEST_F(Demo, UnpluggedFromTheMonitorTheConsoleShowsTheNoticeAndKeepsTheFocus)
{
    HWND focused = Track(ID_MASTER);
    SetFocus(focused);
    PumpMessages();
    ASSERT_EQ(GetForegroundWindow(), Main());
    ASSERT_EQ(NoticeStrip().data, NotFoundStrip(false).data);

    ASSERT_TRUE(ClickControl());
    EXPECT_FALSE(DemoConverter().Connected());
    EXPECT_EQ(NoticeStrip().data, NotFoundStrip(true).data) << "the removal was announced: the notice is painted";
    EXPECT_EQ(GetActiveWindow(), Main());
    EXPECT_EQ(GetForegroundWindow(), Main());
    EXPECT_EQ(GetFocus(), focused);
}

TEST_F(Demo, PluggedInAgainFromTheMonitorTheStageFollowsTheFadersAsTheyStand)
{
    for (int i = 0; i < 12; ++i) {
        SetFader(ID_SCENE_A_FIRST + i, 0x20);
        SetFader(ID_SCENE_B_FIRST + i, 0x05);
    }
    SetFader(ID_MASTER, 255);
    Scroll(ID_MASTER);
    ASSERT_TRUE(ClickControl());
    ASSERT_EQ(NoticeStrip().data, NotFoundStrip(true).data);

    // Moved while the converter is away: on screen only.
    const int levels[12] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xFF};
    for (int i = 0; i < 12; ++i) {
        SetFader(ID_SCENE_A_FIRST + i, levels[i]);
        Scroll(ID_SCENE_A_FIRST + i);
    }
    DemoConverter().ClearHistory();

    ASSERT_TRUE(ClickControl());
    // Found in answer to the arrival itself, not by a later retry of the search.
    ASSERT_EQ(DemoConverter().History().size(), 13u) << "I, then all twelve channels";
    EXPECT_EQ(DemoConverter().History()[0].command, "I");
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(DemoConverter().Levels()[i], levels[i]) << "channel " << i + 1;
    }
    EXPECT_EQ(NoticeStrip().data, NotFoundStrip(false).data) << "the notice is gone";
    EXPECT_EQ(GetForegroundWindow(), Main());
}

// Made silent from the monitor, the converter gets its one box; then the notice says so until it
// answers again, let answer from the monitor.
TEST_F(Demo, SilencedFromTheMonitorTheConsoleShowsItUntilTheConverterAnswers)
{
    ASSERT_TRUE(ClickControl(OutputMonitor::Control::Silence));
    EXPECT_TRUE(DemoConverter().faults.silent);
    SetFader(ID_SCENE_B_FIRST, 0x60);
    EXPECT_TRUE(WhileModalBoxIsOpen(
        "Error", [&] { Scroll(ID_SCENE_B_FIRST); }, [](HWND box) { SendMessageA(box, WM_COMMAND, IDOK, 0); }));
    EXPECT_EQ(NoticeStrip().data, DrawnNotice("DMX Converter not answering!").data);
    EXPECT_EQ(GetForegroundWindow(), Main());

    ASSERT_TRUE(ClickControl(OutputMonitor::Control::Silence));
    Scroll(ID_SCENE_B_FIRST);
    EXPECT_EQ(DemoConverter().Levels()[0], 0x60);
    EXPECT_EQ(NoticeStrip().data, NotFoundStrip(false).data) << "the notice is gone";
    EXPECT_EQ(FindThreadWindow("#32770", "Error"), nullptr);
}

// The monitor's close button closed the monitor alone: the demo ran on without its plug control,
// so a converter unplugged then stayed unplugged until the demo was started again. Closing the
// monitor closes the demo, as closing the console does.
TEST_F(Demo, ClosingTheMonitorClosesTheDemo)
{
    int quitCode = -1;
    SendMessageA(demo->MonitorWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpMessages(&quitCode);
    EXPECT_FALSE(IsWindow(Main())) << "the console is closed";
    EXPECT_EQ(quitCode, 0) << "and its message loop ends";
}

}  // namespace

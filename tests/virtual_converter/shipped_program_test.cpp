// The shipped Veltrano.exe, unchanged, on the virtual converter: it finds the device among Wine's
// own, talks to it through the platform's HID stack, and survives its faults.

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "shipped_console.h"
#include "temp_folder.h"

using namespace std::chrono_literals;

namespace {

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

class ShippedProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(control.Open()) << "no virtual converter: the virtual_converter fixture installs it";
        ASSERT_TRUE(control.Reset());
        ASSERT_TRUE(console.Start());
    }

    ConverterSnapshot Snapshot(int preset = 0)
    {
        auto snapshot = control.Read(preset);
        EXPECT_TRUE(snapshot.has_value());
        return snapshot.value_or(ConverterSnapshot{});
    }

    TempFolder temp;
    VirtualConverterControl control;
    ShippedConsole console;
};

TEST_F(ShippedProgram, FindsTheConverterBehindWinesDevicesAndSendsIdentify)
{
    const std::string log = temp.Log();
    const std::size_t found = log.find(", Valid Device found\r\n");
    ASSERT_NE(found, std::string::npos) << log;
    EXPECT_EQ(found + std::string(", Valid Device found\r\n").size(), log.size()) << "the search ends there";
    EXPECT_NE(log.find("VendorID=$6a5b, ProductID=$e42  Device successfully opened for ID checking\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("VendorID=$845e"), std::string::npos) << "Wine's own devices come first";
    EXPECT_NE(log.find("Not the device we want\r\n"), std::string::npos);

    ASSERT_EQ(control.RecentCommands(16), (std::vector<std::string>{"I"}));

    // No notice above the panel.
    RedrawWindow(console.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(console.NoticeStrip(), Strip::Empty);
}

TEST_F(ShippedProgram, FadersGoAndSaveReachTheConverter)
{
    for (int i = 0; i < 12; ++i) {
        console.MoveFader(ID_SCENE_A_FIRST + i, 0x80 + i);
        console.MoveFader(ID_SCENE_B_FIRST + i, i);
    }
    ConverterSnapshot snapshot = Snapshot();
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(snapshot.levels[i], i) << "the master is down: scene B";
    }
    // Scene A's fader sent the mix, still scene B's level then; scene B's its own.
    EXPECT_EQ(control.RecentCommands(2), (std::vector<std::string>{"W B 0", "W B B"}));

    console.MoveFader(ID_MASTER, 255);
    snapshot = Snapshot();
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(snapshot.levels[i], 0x80 + i) << "the master is up: scene A";
    }

    // A crossfade of a quarter second back to scene B.
    console.PasteOver(ID_FADE_TIME, "0.25");
    console.Click(ID_GO);
    std::this_thread::sleep_for(300ms);
    ASSERT_LT(console.ResponseSeconds(), 1.0);
    std::this_thread::sleep_for(400ms);
    snapshot = Snapshot();
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(snapshot.levels[i], i) << "after the crossfade: scene B";
    }
    EXPECT_GT(snapshot.commandsReceived, 1u + 24 + 12 + 24) << "the fade sent its ticks";

    console.PasteOver(ID_PRESET, "77");
    console.Click(ID_SAVE);
    EXPECT_EQ(control.RecentCommands(1), (std::vector<std::string>{"c0 4d\r"}));
    snapshot = Snapshot(77);
    EXPECT_TRUE(snapshot.presetStored);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(snapshot.presetLevels[i], i);
    }
    EXPECT_EQ(snapshot.framingErrors, 0);
    EXPECT_EQ(snapshot.rejectedCommands, 0);
    EXPECT_TRUE(console.ErrorBoxes().empty());

    EXPECT_EQ(console.Exit(), 0u);
}

TEST_F(ShippedProgram, ASilentConverterShowsOneErrorAndTheConsoleStaysResponsive)
{
    ASSERT_TRUE(control.SetFault({ReplyShape::Silent, 0, 0, 1}));
    // The first exchange waits its full second, then the box opens inside it.
    PostMessageA(console.Window(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0),
                 reinterpret_cast<LPARAM>(console.Track(ID_SCENE_A_FIRST)));
    std::vector<HWND> boxes;
    for (int i = 0; i < 300 && boxes.empty(); ++i) {
        std::this_thread::sleep_for(10ms);
        boxes = console.ErrorBoxes();
    }
    ASSERT_EQ(boxes.size(), 1u) << "USB Comm error";
    HWND box = boxes.front();
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the box has no owner";
    EXPECT_TRUE(IsWindowEnabled(console.Window())) << "so the console stays usable";

    // With the box open the console goes on: master movements, each twelve bounded exchanges.
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        console.MoveFader(ID_MASTER, 100 + round);
        EXPECT_LT(Seconds(std::chrono::steady_clock::now() - start), 0.6) << "round " << round;
        EXPECT_LT(console.ResponseSeconds(), 0.5);
    }
    EXPECT_EQ(console.ErrorBoxes().size(), 1u) << "no box on top of the box";

    // The converter answers again: the console's commands get through at once.
    ASSERT_TRUE(control.SetFault({ReplyShape::Normal, 0, 0, 1}));
    console.MoveFader(ID_MASTER, 255);
    console.MoveFader(ID_SCENE_A_FIRST + 5, 0x42);
    EXPECT_EQ(Snapshot().levels[5], 0x42);

    SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(console.ErrorBoxes().empty()) << "once it answers, no further box";
    console.MoveFader(ID_SCENE_B_FIRST + 5, 0x11);
    EXPECT_TRUE(console.ErrorBoxes().empty());
    EXPECT_EQ(console.Exit(), 0u);
}

// Closing the console while the error box is open, in the middle of a master movement, once put
// the stage to full: the rest of the movement read the levels of destroyed faders (255) and sent
// them. The stage keeps what it had, and the program ends at once.
TEST_F(ShippedProgram, ClosingWhileTheErrorBoxIsOpenLeavesTheStageAsItWas)
{
    console.MoveFader(ID_SCENE_B_FIRST + 3, 0x30);  // the master stands at scene B
    const ConverterSnapshot before = Snapshot();
    ASSERT_EQ(before.levels[3], 0x30);

    ASSERT_TRUE(control.SetFault({ReplyShape::Silent, 0, 0, 1}));
    PostMessageA(console.Window(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0),
                 reinterpret_cast<LPARAM>(console.Track(ID_MASTER)));
    std::vector<HWND> boxes;
    for (int i = 0; i < 300 && boxes.empty(); ++i) {
        std::this_thread::sleep_for(10ms);
        boxes = console.ErrorBoxes();
    }
    ASSERT_EQ(boxes.size(), 1u) << "the first exchange of the movement failed";
    // The converter answers again, so whatever the console still sent would reach the stage.
    ASSERT_TRUE(control.SetFault({ReplyShape::Normal, 0, 0, 1}));
    const auto closed = std::chrono::steady_clock::now();
    PostMessageA(console.Window(), WM_CLOSE, 0, 0);
    const bool ended = WaitForSingleObject(console.Process(), 5000) == WAIT_OBJECT_0;
    const double took = Seconds(std::chrono::steady_clock::now() - closed);
    ASSERT_TRUE(ended) << "the program lingered after its window closed";
    EXPECT_LT(took, 1.0);
    EXPECT_EQ(console.Exit(), 0u);

    const ConverterSnapshot after = Snapshot();
    for (std::size_t i = 0; i < before.levels.size(); ++i) {
        EXPECT_EQ(after.levels[i], before.levels[i]) << "channel " << i;
    }
}

TEST_F(ShippedProgram, AConverterFallingSilentInAFadeLeavesTheConsoleWorkingUntilItAnswersAgain)
{
    for (int i = 0; i < 12; ++i) {
        console.MoveFader(ID_SCENE_A_FIRST + i, 200);
    }
    console.PasteOver(ID_FADE_TIME, "2");
    console.Click(ID_GO);
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(control.SetFault({ReplyShape::Silent, 0, 0, 1}));
    std::vector<HWND> boxes;
    for (int i = 0; i < 300 && boxes.empty(); ++i) {
        std::this_thread::sleep_for(10ms);
        boxes = console.ErrorBoxes();
    }
    ASSERT_EQ(boxes.size(), 1u);

    // Between its bounded waits the console repaints, takes input, and the fade goes on.
    HWND master = console.Track(ID_MASTER);
    const LRESULT before = SendMessageA(master, TBM_GETPOS, 0, 0);
    InvalidateRect(console.Window(), nullptr, FALSE);
    bool repainted = false;
    for (int i = 0; i < 100 && !repainted; ++i) {
        std::this_thread::sleep_for(10ms);
        repainted = GetUpdateRect(console.Window(), nullptr, FALSE) == 0;
    }
    EXPECT_TRUE(repainted);
    EXPECT_LT(console.ResponseSeconds(), 0.5);
    std::this_thread::sleep_for(400ms);
    EXPECT_LT(SendMessageA(master, TBM_GETPOS, 0, 0), before) << "the master moves on towards scene A";

    // Answering again, the converter gets the rest of the fade; it ends at scene A.
    ASSERT_TRUE(control.SetFault({ReplyShape::Normal, 0, 0, 1}));
    SendMessageA(boxes.front(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(SendMessageA(master, TBM_GETPOS, 0, 0), 0) << "the fade reached its end";
    const ConverterSnapshot snapshot = Snapshot();
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(snapshot.levels[i], 200) << i;
    }
    EXPECT_TRUE(console.ErrorBoxes().empty());
}

// Told that the session ends, the console faded on until the system killed it; a call-off changes nothing.
TEST_F(ShippedProgram, TheSessionEndingStopsAFadeAtOnceAndTheProgramEndsWithZero)
{
    console.PasteOver(ID_FADE_TIME, "2");
    console.Click(ID_GO);
    std::this_thread::sleep_for(300ms);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(console.Window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &answer);
    SendMessageTimeoutA(console.Window(), WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, 5000, &answer);
    EXPECT_EQ(WaitForSingleObject(console.Process(), 200), static_cast<DWORD>(WAIT_TIMEOUT));
    SendMessageTimeoutA(console.Window(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 5000, &answer);
    const std::uint32_t received = Snapshot().commandsReceived;
    EXPECT_EQ(console.Exit(), 0u);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Snapshot().commandsReceived, received) << "nothing after the answer";
}

TEST_F(ShippedProgram, TheConverterUnpluggedWhileRunningMakesNoHangAndTheProgramEndsWithZero)
{
    console.MoveFader(ID_SCENE_B_FIRST, 0x33);
    ASSERT_EQ(Snapshot().levels[0], 0x33);
    control.Close();
    std::string error;
    ASSERT_TRUE(RemoveVirtualConverter(error)) << error;

    const auto start = std::chrono::steady_clock::now();
    console.MoveFader(ID_MASTER, 255);
    console.Click(ID_GO);
    EXPECT_LT(Seconds(std::chrono::steady_clock::now() - start), 1.0) << "the writes failed at once";
    EXPECT_TRUE(console.ErrorBoxes().empty()) << "a failed write is silent";

    EXPECT_EQ(console.Exit(), 0u);
    ASSERT_TRUE(InstallVirtualConverter(DriverBesideThisProgram(), error)) << error;
}

}  // namespace

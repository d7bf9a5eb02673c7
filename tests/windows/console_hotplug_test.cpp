// The console's side of a converter that comes and goes, over the simulated converter: the
// platform's device notifications sent to the real main window.

#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "console_fixture.h"
#include "converter/converter_commands.h"
#include "mixing/channel_mix.h"

namespace {

class ConsoleHotplug : public ConsoleTest {
protected:
    // What the platform sends a window that registered for HID interface notifications.
    void Announce(WPARAM event, const GUID& interfaceClass = HID_INTERFACE_CLASS)
    {
        DEV_BROADCAST_DEVICEINTERFACE_A broadcast{};
        broadcast.dbcc_size = sizeof(broadcast);
        broadcast.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        broadcast.dbcc_classguid = interfaceClass;
        SendMessageA(Main(), WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&broadcast));
    }
    // The platform's own record (Wine keeps one per process; a call without ES_CONTINUOUS keeps it).
    static bool KeptAwake()
    {
        return SetThreadExecutionState(0) == (ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
    }
};

// A device announced before it can be opened is found by a later try of the search, and the
// stage is brought to what the faders show.
TEST_F(ConsoleHotplug, AConverterAnnouncedBeforeItOpensIsFoundByTheRetryAndGetsTheFaders)
{
    PopulateTypicalBus(bus, converter);
    converter->Unplug();
    ASSERT_TRUE(StartOn(bus));
    ASSERT_TRUE(NoticeShown());
    SetFader(ID_SCENE_A_FIRST + 2, 0x40);
    SetFader(ID_SCENE_B_FIRST + 2, 0x90);
    SetFader(ID_MASTER, 0x80);

    Announce(DBT_DEVICEARRIVAL, GUID{});  // not a HID interface: nothing happens
    Announce(DBT_DEVICEARRIVAL);          // too early: the converter is not there yet
    EXPECT_TRUE(NoticeShown());
    converter->PlugIn();
    ASSERT_TRUE(PumpUntil([this] { return !Converter().History().empty(); }, std::chrono::milliseconds(1500)));
    EXPECT_FALSE(NoticeShown()) << "the notice went";
    EXPECT_TRUE(KeptAwake()) << "the stage is live";

    const auto& history = Converter().History();
    ASSERT_EQ(history.size(), 1u + CHANNEL_COUNT);
    EXPECT_EQ(history[0].command, "I");
    EXPECT_EQ(history[3].command, LevelCommand(2, MixLevel(0x40, 0x90, 0x80)));
    EXPECT_EQ(Converter().Levels()[2], MixLevel(0x40, 0x90, 0x80));
    // Found once: the later retry searches no more.
    PumpUntil([] { return false; }, std::chrono::milliseconds(2200));
    EXPECT_EQ(history.size(), 1u + CHANNEL_COUNT);
    Close();
    EXPECT_FALSE(KeptAwake());
}

// Unplugged, the console says so with its notice, not a box, sends nothing, and works on.
TEST_F(ConsoleHotplug, UnpluggedTheNoticeComesBackAndTheConsoleWorksOn)
{
    Start();
    ASSERT_FALSE(NoticeShown());
    EXPECT_TRUE(KeptAwake());
    const std::uint64_t exchanges = Converter().ExchangeCount();
    Announce(DBT_DEVICEREMOVECOMPLETE);  // another HID device went
    EXPECT_FALSE(NoticeShown());

    converter->Unplug();
    Announce(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_TRUE(NoticeShown()) << "the notice is back";
    EXPECT_FALSE(KeptAwake()) << "the machine may sleep again";
    EXPECT_EQ(FindThreadWindow("#32770", "Error"), nullptr);

    SendMessageA(Control(ID_GO), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(FaderLevel(ID_MASTER), 255) << "GO still moves the master on screen";
    EXPECT_EQ(Converter().ExchangeCount(), exchanges) << "nothing is sent while it is away";
}

// After a sleep the converter may have lost its levels, or its connection: it gets the faders, once.
TEST_F(ConsoleHotplug, AfterAResumeTheConverterGetsTheFadersOnce)
{
    Start();
    SendMessageA(Main(), WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);  // beside it after a wake by hand
    SendMessageA(Main(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_EQ(Commands().size(), CHANNEL_COUNT);
    converter->Unplug();  // and in again while asleep: the old handle reaches nothing
    converter->PlugIn();
    converter->ClearHistory();
    SendMessageA(Main(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_EQ(Commands().size(), 1u + CHANNEL_COUNT) << "\"I\", then the faders";
}

}  // namespace

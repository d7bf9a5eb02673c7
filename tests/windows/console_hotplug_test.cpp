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

    const auto& history = Converter().History();
    ASSERT_EQ(history.size(), 1u + CHANNEL_COUNT);
    EXPECT_EQ(history[0].command, "I");
    EXPECT_EQ(history[3].command, LevelCommand(2, MixLevel(0x40, 0x90, 0x80)));
    EXPECT_EQ(Converter().Levels()[2], MixLevel(0x40, 0x90, 0x80));
    // Found once: the later retry searches no more.
    PumpUntil([] { return false; }, std::chrono::milliseconds(2200));
    EXPECT_EQ(history.size(), 1u + CHANNEL_COUNT);
}

// Unplugged, the console says so with its notice, not a box, sends nothing, and works on.
TEST_F(ConsoleHotplug, UnpluggedTheNoticeComesBackAndTheConsoleWorksOn)
{
    Start();
    ASSERT_FALSE(NoticeShown());
    const std::uint64_t exchanges = Converter().ExchangeCount();
    Announce(DBT_DEVICEREMOVECOMPLETE);  // another HID device went
    EXPECT_FALSE(NoticeShown());

    converter->Unplug();
    Announce(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_TRUE(NoticeShown()) << "the notice is back";
    EXPECT_EQ(FindThreadWindow("#32770", "Error"), nullptr);

    SendMessageA(Control(ID_GO), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(FaderLevel(ID_MASTER), 255) << "GO still moves the master on screen";
    EXPECT_EQ(Converter().ExchangeCount(), exchanges) << "nothing is sent while it is away";
}

// Swapping converters during a show: the spare is plugged in, then the one in use is pulled out.
// The console kept to the one it had lost and showed "DMX Converter not found!" with a converter
// plugged in. It takes the other one, whether an exchange or the removal told it of the loss.
TEST_F(ConsoleHotplug, PulledOutWhileAnotherIsPluggedInTheOtherTakesOver)
{
    auto spare = std::make_shared<SimulatedConverter>(clock);
    PopulateTypicalBus(bus, converter);
    bus.interfaces.push_back({{CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID}, spare, SearchFault::None, 0, {}});
    ASSERT_TRUE(StartOn(bus));
    SetFader(ID_SCENE_A_FIRST + 4, 0x60);
    SetFader(ID_MASTER, 255);
    Announce(DBT_DEVICEARRIVAL);  // the spare, while the first is in use
    ASSERT_EQ(spare->ExchangeCount(), 0u);

    // An exchange sees the loss first, then the removal is announced.
    converter->Unplug();
    MoveFader(ID_MASTER, 255);
    Announce(DBT_DEVICEREMOVECOMPLETE);
    ASSERT_FALSE(NoticeShown());
    ASSERT_FALSE(spare->History().empty());
    EXPECT_EQ(spare->History().front().command, "I");
    EXPECT_EQ(spare->Levels()[4], 0x60);

    // The first one back as the spare; the removal of the one in use is announced before any
    // exchange.
    converter->PlugIn();
    Announce(DBT_DEVICEARRIVAL);
    SetFader(ID_SCENE_A_FIRST + 4, 0x70);
    spare->Unplug();
    Announce(DBT_DEVICEREMOVECOMPLETE);
    ASSERT_FALSE(NoticeShown());
    EXPECT_EQ(converter->Levels()[4], 0x70);
}

}  // namespace

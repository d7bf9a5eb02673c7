// The converter coming and going on the simulated bus: lost when unplugged, found again when
// plugged in, found after start-up; a silent converter is not a lost one.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "converter/converter_commands.h"
#include "converter/converter_link.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_hid_bus.h"
#include "noted_link.h"
#include "temp_folder.h"

namespace {

class ConverterLifecycle : public ::testing::Test {
protected:
    void SetUp() override { PopulateTypicalBus(bus, converter); }

    TempFolder temp;
    ManualClock clock;
    SimulatedHidBus bus;
    std::shared_ptr<SimulatedConverter> converter = std::make_shared<SimulatedConverter>(clock);
    NewsLog listener;
    NotedLink link{bus, clock, listener, temp.LogPath()};
};

TEST_F(ConverterLifecycle, UnpluggedInAnExchangeItIsLostWithoutABoxAndFoundAgainWhenPluggedIn)
{
    link.OpenConverter();
    ASSERT_TRUE(link.Present());
    converter->Unplug();
    EXPECT_EQ(link.SendConverterCommand(LevelCommand(0, 0x10)), CommandResult::Lost);
    EXPECT_FALSE(link.Present());
    EXPECT_EQ(listener.lostCount, 1);
    EXPECT_TRUE(listener.readFailures.empty()) << "a loss, not a failed read";
    EXPECT_EQ(bus.HandlesOpen(), 0) << "the lost converter's handle is closed";
    EXPECT_EQ(link.SendConverterCommand(LevelCommand(0, 0x11)), CommandResult::NotPresent);

    // Plugged in again: a new search finds it, opens it afresh and sends I first.
    converter->PlugIn();
    converter->ClearHistory();
    link.OpenConverter();
    ASSERT_TRUE(link.Present());
    ASSERT_EQ(converter->History().size(), 1u);
    EXPECT_EQ(converter->History()[0].command, "I");
    EXPECT_EQ(link.SendConverterCommand(LevelCommand(0, 0x12)), CommandResult::Answered);
    EXPECT_EQ(converter->Levels()[0], 0x12);
    EXPECT_EQ(bus.HandlesOpen(), 1);
}

TEST_F(ConverterLifecycle, ARemovalNoticeLosesTheConverterOnlyWhenItIsGone)
{
    link.OpenConverter();
    ASSERT_TRUE(link.Present());
    EXPECT_FALSE(link.OnDeviceRemoval()) << "another HID device went";
    EXPECT_TRUE(link.Present());
    converter->Unplug();
    EXPECT_TRUE(link.OnDeviceRemoval());
    EXPECT_FALSE(link.Present());
    EXPECT_EQ(listener.lostCount, 1);
    EXPECT_FALSE(link.OnDeviceRemoval()) << "lost once";
    EXPECT_EQ(listener.lostCount, 1);
}

TEST_F(ConverterLifecycle, AConverterPluggedInAfterStartUpIsFoundAndTheLogShowsTheLatestSearch)
{
    converter->Unplug();
    link.OpenConverter();
    EXPECT_FALSE(link.Present());
    EXPECT_NE(temp.Log().find("Valid Device was not found"), std::string::npos);

    converter->PlugIn();
    link.OpenConverter();
    EXPECT_TRUE(link.Present());
    EXPECT_EQ(temp.Log(), LogText({
                              "Index=0, VendorID=$46d, ProductID=$c077  Device successfully opened for ID checking",
                              "Index=0, Not the device we want",
                              "Index=1, VendorID=$6a5b, ProductID=$e42  Device successfully opened for ID checking",
                              "Index=1, Valid Device found",
                          }));
    // A converter in use is kept: no second search, no second I.
    converter->ClearHistory();
    link.OpenConverter();
    EXPECT_TRUE(converter->History().empty());
}

TEST_F(ConverterLifecycle, ASilentConverterIsNotALostOne)
{
    link.OpenConverter();
    converter->faults.silent = true;
    for (int channel = 0; channel < CONVERTER_CHANNEL_COUNT; ++channel) {
        EXPECT_EQ(link.SendConverterCommand(LevelCommand(channel, 1)), CommandResult::ReadFailed);
    }
    EXPECT_FALSE(link.OnDeviceRemoval());
    EXPECT_TRUE(link.Present());
    EXPECT_EQ(listener.lostCount, 0);
    EXPECT_EQ(listener.silences, 1) << "one silence";

    // Unplugged while silent, it is lost at the next exchange, and no failed read comes of it.
    converter->Unplug();
    const std::size_t failures = listener.readFailures.size();
    EXPECT_EQ(link.SendConverterCommand(LevelCommand(0, 2)), CommandResult::Lost);
    EXPECT_EQ(listener.lostCount, 1);
    EXPECT_EQ(listener.readFailures.size(), failures);
}

}  // namespace

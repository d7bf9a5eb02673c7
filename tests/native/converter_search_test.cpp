// The converter search over a simulated HID bus, with the discovery log it writes.

#include <gtest/gtest.h>

#include "converter/converter_link.h"
#include "converter/converter_search.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_hid_bus.h"
#include "temp_folder.h"

namespace {

class ConverterSearch : public ::testing::Test {
protected:
    SimulatedInterface Other(std::uint16_t vendor = 0x46d, std::uint16_t product = 0xc077)
    {
        return {{vendor, product}, nullptr, SearchFault::None, 0, {9, 9}};
    }
    SimulatedInterface Converter()
    {
        return {{CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID}, std::make_shared<SimulatedConverter>(clock), SearchFault::None,
                0, {}};
    }
    SimulatedInterface Failing(SearchFault fault, std::uint32_t error)
    {
        SimulatedInterface device = Other();
        device.fault = fault;
        device.error = error;
        return device;
    }
    // Each search writes a log of its own, where TEMP says, as the console's does.
    bool Search()
    {
        DiscoveryLog log(DiscoveryLogPath(FindEnvironmentValue("TEMP")));
        return FindConverter(bus, log, slot, CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID);
    }

    TempFolder temp;
    ManualClock clock;
    SimulatedHidBus bus;
    std::unique_ptr<HidDevice> slot;
};

TEST_F(ConverterSearch, NoInterfacesAtAll)
{
    EXPECT_FALSE(Search());
    EXPECT_FALSE(slot);
    EXPECT_EQ(temp.Log(), LogText({"No more devices in list", "Valid Device was not found"}));
}

TEST_F(ConverterSearch, ConverterBehindAnotherDevice)
{
    bus.interfaces = {Other(), Converter()};
    EXPECT_TRUE(Search());
    ASSERT_TRUE(slot);
    HidAttributes attributes;
    ASSERT_TRUE(slot->GetAttributes(attributes));
    EXPECT_EQ(attributes.productId, CONVERTER_PRODUCT_ID);
    EXPECT_EQ(temp.Log(), LogText({
                              "Index=0, VendorID=$46d, ProductID=$c077  Device successfully opened for ID checking",
                              "Index=0, Not the device we want",
                              "Index=1, VendorID=$6a5b, ProductID=$e42  Device successfully opened for ID checking",
                              "Index=1, Valid Device found",
                          }));
    EXPECT_EQ(bus.HandlesOpen(), 1) << "only the converter stays open";
    EXPECT_EQ(bus.ListsOpen(), 0);
}

TEST_F(ConverterSearch, AnotherDeviceAndNoConverter)
{
    bus.interfaces = {Other()};
    EXPECT_FALSE(Search());
    EXPECT_EQ(temp.Log(), LogText({
                              "Index=0, VendorID=$46d, ProductID=$c077  Device successfully opened for ID checking",
                              "Index=0, Not the device we want",
                              "No more devices in list",
                              "Valid Device was not found",
                          }));
    EXPECT_EQ(bus.HandlesOpen(), 0);
    EXPECT_EQ(bus.ListsOpen(), 0);
}

TEST_F(ConverterSearch, EveryFailingStepIsLoggedAndSkipped)
{
    bus.interfaces = {
        Failing(SearchFault::Enumerate, 1784),
        Failing(SearchFault::DetailSizeSucceeds, 0),
        Failing(SearchFault::DetailSize, 87),
        Failing(SearchFault::DetailAllocation, 0),
        Failing(SearchFault::Detail, 31),
        Failing(SearchFault::Open, 32),
        Converter(),
    };
    EXPECT_TRUE(Search());
    EXPECT_EQ(temp.Log(),
              LogText({
                  "Index=0, Error=1784, Problem retrieving Device Info Data",
                  "Index=1, Problem retrieving the required buffer size for Device Interface Details (no lastError)",
                  "Index=2, Error=87, Problem retrieving the required buffer size for Device Interface Details",
                  "Index=4, Error=31, Problem retrieving the Device Interface Details",
                  "Index=5, Error=32 Problem opening the device",
                  "Index=6, VendorID=$6a5b, ProductID=$e42  Device successfully opened for ID checking",
                  "Index=6, Valid Device found",
              }));
    EXPECT_EQ(bus.DevicesOpened(), 1);
}

TEST_F(ConverterSearch, NoMoreItemsFromAnyStepEndsTheSearch)
{
    for (SearchFault fault : {SearchFault::DetailSize, SearchFault::Detail, SearchFault::Open}) {
        SCOPED_TRACE(static_cast<int>(fault));
        bus.interfaces = {Failing(fault, ERROR_CODE_NO_MORE_ITEMS), Converter()};
        EXPECT_FALSE(Search());
        EXPECT_EQ(bus.DevicesOpened(), 0) << "the converter behind it is never reached";
        EXPECT_NE(temp.Log().find("Error=259"), std::string::npos);
        EXPECT_EQ(temp.Log().find("Index=1"), std::string::npos);
    }
}

TEST_F(ConverterSearch, UnreadableAttributesNeverMatch)
{
    SimulatedInterface unreadable = Converter();
    unreadable.fault = SearchFault::Attributes;
    bus.interfaces = {unreadable};
    EXPECT_FALSE(Search());
    EXPECT_EQ(temp.Log(), LogText({
                              "Index=0, VendorID=$0, ProductID=$0  Device successfully opened for ID checking",
                              "Index=0, Not the device we want",
                              "No more devices in list",
                              "Valid Device was not found",
                          }));
    EXPECT_EQ(bus.HandlesOpen(), 0);
}

TEST_F(ConverterSearch, BothIdsMustMatch)
{
    bus.interfaces = {Other(CONVERTER_VENDOR_ID, 0x0E43), Other(0x6A5C, CONVERTER_PRODUCT_ID)};
    EXPECT_FALSE(Search());
    EXPECT_EQ(temp.Log(), LogText({
                              "Index=0, VendorID=$6a5b, ProductID=$e43  Device successfully opened for ID checking",
                              "Index=0, Not the device we want",
                              "Index=1, VendorID=$6a5c, ProductID=$e42  Device successfully opened for ID checking",
                              "Index=1, Not the device we want",
                              "No more devices in list",
                              "Valid Device was not found",
                          }));
}

TEST_F(ConverterSearch, TheLowerOfTwoConvertersIsTakenAndTheRestNotExamined)
{
    bus.interfaces = {Converter(), Converter(), Other()};
    EXPECT_TRUE(Search());
    EXPECT_EQ(bus.DevicesOpened(), 1);
    EXPECT_EQ(temp.Log(), LogText({
                              "Index=0, VendorID=$6a5b, ProductID=$e42  Device successfully opened for ID checking",
                              "Index=0, Valid Device found",
                          }));
}

TEST_F(ConverterSearch, WithoutAnInterfaceListTheSearchEndsWithoutAMatch)
{
    bus.listFails = true;
    bus.interfaces = {Converter()};
    EXPECT_FALSE(Search());
    EXPECT_EQ(bus.DevicesOpened(), 0);
    EXPECT_EQ(temp.Log(), LogText({"Valid Device was not found"}));
}

TEST_F(ConverterSearch, EachRunTruncatesTheLog)
{
    {
        std::ofstream stale(temp.LogPath());
        stale << "a line from an earlier run that is much longer than anything this run writes\n";
    }
    EXPECT_FALSE(Search());
    EXPECT_EQ(temp.Log(), LogText({"No more devices in list", "Valid Device was not found"}));
}

TEST_F(ConverterSearch, WithoutTempTheSearchRunsAndNoLogIsWritten)
{
    SetEnvironment("TEMP", std::nullopt);
    bus.interfaces = {Other(), Converter()};
    EXPECT_TRUE(Search());
    EXPECT_FALSE(temp.LogExists());
}

TEST_F(ConverterSearch, ALogThatCannotBeOpenedIsNotRetried)
{
    const std::string missing = temp.Subfolder("missing-folder");
    DiscoveryLog log(DiscoveryLogPath(missing.c_str()));
    bus.interfaces = {Other()};
    EXPECT_FALSE(FindConverter(bus, log, slot, CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID));
    // The folder appears later in the search's life: its log is still not opened.
    std::filesystem::create_directories(missing);
    log.LogDiscovery("late line");
    log.CloseDiscoveryLog();
    EXPECT_FALSE(std::filesystem::exists(missing + DISCOVERY_LOG_FILE_NAME));
}

}  // namespace

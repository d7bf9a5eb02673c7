// The converter search on the platform's own SetupAPI and HID.DLL. Wine presents HID devices of
// its own; the search must walk exactly those the system presents, and find no converter.

#include <windows.h>

#include <setupapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <hidsdi.h>
}

#include "converter/converter_link.h"
#include "converter/converter_search.h"
#include "win32/win32_hid_bus.h"
#include "../native/noted_link.h"
#include "../native/temp_folder.h"

namespace {

// Lists the IDs of the present HID devices the way an operator's tool would, without the code
// under test.
struct PresentDevice {
    bool opened = false;
    DWORD openError = 0;
    USHORT vendorId = 0;
    USHORT productId = 0;
};

std::vector<PresentDevice> PresentHidDevices()
{
    GUID guid;
    HidD_GetHidGuid(&guid);
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    std::vector<PresentDevice> devices;
    if (set == INVALID_HANDLE_VALUE) {
        return devices;
    }
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data); ++index) {
        std::vector<char> buffer(1024);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        PresentDevice device;
        if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, static_cast<DWORD>(buffer.size()), nullptr,
                                             nullptr)) {
            HANDLE handle = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                HIDD_ATTRIBUTES attributes{};
                attributes.Size = sizeof(attributes);
                HidD_GetAttributes(handle, &attributes);
                device = {true, 0, attributes.VendorID, attributes.ProductID};
                CloseHandle(handle);
            } else {
                device.openError = GetLastError();
            }
        }
        devices.push_back(device);
    }
    SetupDiDestroyDeviceInfoList(set);
    return devices;
}

std::string Line(const char* format, int index, unsigned a = 0, unsigned b = 0)
{
    char text[160];
    std::snprintf(text, sizeof(text), format, index, a, b);
    return std::string(text) + "\r\n";
}

class PlatformHidSearch : public ::testing::Test {
protected:
    // A search as the console starts it: its log goes where TEMP says.
    bool Search(std::unique_ptr<HidDevice>& slot)
    {
        DiscoveryLog log(DiscoveryLogPath(FindEnvironmentValue("TEMP")));
        return FindConverter(*bus, log, slot, CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID);
    }

    SteadyClock clock;
    std::unique_ptr<HidBus> bus = MakeWin32HidBus(clock);
};

TEST_F(PlatformHidSearch, WalksEveryPresentDeviceAndFindsNoConverter)
{
    TempFolder temp;
    const std::vector<PresentDevice> present = PresentHidDevices();
    ASSERT_FALSE(present.empty()) << "Wine presents HID devices of its own";

    std::string expected;
    for (std::size_t i = 0; i < present.size(); ++i) {
        const int index = static_cast<int>(i);
        if (present[i].opened) {
            expected += Line("Index=%d, VendorID=$%x, ProductID=$%x  Device successfully opened for ID checking", index,
                             present[i].vendorId, present[i].productId);
            expected += Line("Index=%d, Not the device we want", index);
        } else {
            expected += Line("Index=%d, Error=%d Problem opening the device", index, present[i].openError);
        }
    }
    expected += "No more devices in list\r\nValid Device was not found\r\n";

    std::unique_ptr<HidDevice> slot;
    EXPECT_FALSE(Search(slot));
    EXPECT_FALSE(slot);
    EXPECT_EQ(temp.Log(), expected);
}

TEST_F(PlatformHidSearch, WithoutAConverterTheLinkReportsItAbsent)
{
    TempFolder temp;
    NewsLog listener;
    NotedLink link(*bus, clock, listener, DiscoveryLogPath(FindEnvironmentValue("TEMP")));
    link.OpenConverter();
    EXPECT_FALSE(link.Present());
    EXPECT_EQ(link.SendConverterCommand("W 0 FF"), CommandResult::NotPresent);
    EXPECT_NE(temp.Log().find("Valid Device was not found\r\n"), std::string::npos);
}

TEST_F(PlatformHidSearch, WithoutTempTheSearchCompletesAndWritesNoLog)
{
    TempFolder temp;
    SetEnvironment("TEMP", std::nullopt);
    ASSERT_EQ(std::getenv("TEMP"), nullptr);
    std::unique_ptr<HidDevice> slot;
    EXPECT_FALSE(Search(slot));
    EXPECT_FALSE(temp.LogExists());
}

}  // namespace

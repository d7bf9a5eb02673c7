#include "demo/demo_platform.h"

#include <dbt.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "app/run_console.h"
#include "win32/hid_interface_class.h"
#include "win32/top_level_windows.h"

namespace {

// The consoles to tell: the top-level windows of the console's class on this thread.
std::vector<HWND> ThreadWindowsOfClass(const std::string& className)
{
    return TopLevelWindows(className.c_str(), GetCurrentThreadId());
}

}  // namespace

DemoPlatform::DemoPlatform(HINSTANCE instance, Clock& clock)
    : consoleClass_(LoadApplicationStrings(instance).className),
      converter_(std::make_shared<SimulatedConverter>(clock)),
      monitor_(instance, bus_, *converter_, DEMO_MONITOR_X, DEMO_MONITOR_Y)
{
    converter_->faults.latency = DEMO_EXCHANGE_LATENCY;
    PopulateTypicalBus(bus_, converter_);
    bus_.onDeviceChange = [this](bool arrived, const std::string& devicePath) {
        AnnounceDeviceChange(arrived, devicePath);
    };
    // Alone, the monitor would go and take its plug control with it: closing it closes the demo.
    monitor_.onClose = [this] {
        for (HWND console : ThreadWindowsOfClass(consoleClass_)) {
            SendMessageA(console, WM_CLOSE, 0, 0);
        }
    };
}

void DemoPlatform::AnnounceDeviceChange(bool arrived, const std::string& devicePath) const
{
    // The record ends in the device path; the platform sizes it to hold the whole of it.
    const std::size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + devicePath.size() + 1;
    std::vector<std::byte> storage(std::max(size, sizeof(DEV_BROADCAST_DEVICEINTERFACE_A)));
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(storage.data());
    record->dbcc_size = static_cast<DWORD>(size);
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = HID_INTERFACE_CLASS;
    std::memcpy(storage.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name), devicePath.c_str(),
                devicePath.size() + 1);

    // Sent, not posted: the record lives only as long as the call, as with the platform's own.
    const WPARAM event = arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    for (HWND console : ThreadWindowsOfClass(consoleClass_)) {
        SendMessageA(console, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record));
    }
}

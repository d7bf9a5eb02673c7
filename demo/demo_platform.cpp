#include "demo/demo_platform.h"

#include <dbt.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "app/console.h"

namespace {

// The top-level windows of this thread of a class.
std::vector<HWND> ThreadWindowsOfClass(const std::string& className)
{
    struct Search {
        const std::string& className;
        std::vector<HWND> found;
    } search{className, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);  // NOLINT(performance-no-int-to-ptr)
            char name[TEXT_BUFFER_SIZE] = {};
            GetClassNameA(window, name, sizeof(name));
            if (s->className == name) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
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

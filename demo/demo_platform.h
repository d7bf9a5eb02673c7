#pragma once

// VeltranoDemo.exe's platform: a simulated converter instead of the platform's HID stack, on a
// bus with one other HID device at index 0 and the converter at index 1, and the output monitor
// beside the console. The monitor can unplug the converter and plug it in again; the bus then
// announces the removal or arrival to the console as the platform announces a HID interface.

#include <windows.h>

#include <memory>
#include <string>

#include "demo/output_monitor.h"
#include "simulator/simulated_converter.h"
#include "simulator/simulated_hid_bus.h"

// A full-speed HID round trip.
inline constexpr Duration DEMO_EXCHANGE_LATENCY = std::chrono::milliseconds(2);
// The console takes (10, 10) to (810, 610); the monitor opens to its right.
inline constexpr int DEMO_MONITOR_X = 820;
inline constexpr int DEMO_MONITOR_Y = 10;

class DemoPlatform {
public:
    // Built before the console: the console's window is looked up when there is news for it.
    DemoPlatform(HINSTANCE instance, Clock& clock);

    SimulatedConverter& Converter() { return *converter_; }
    SimulatedHidBus& Bus() { return bus_; }
    HWND MonitorWindow() const { return monitor_.Window(); }
    const OutputMonitor& Monitor() const { return monitor_; }

private:
    // Does for the console what the platform does for a window registered for HID interface
    // notifications: sends WM_DEVICECHANGE with the interface's broadcast record to each
    // top-level window of this thread that is of the console's class.
    void AnnounceDeviceChange(bool arrived, const std::string& devicePath) const;

    std::string consoleClass_;
    std::shared_ptr<SimulatedConverter> converter_;
    SimulatedHidBus bus_;
    OutputMonitor monitor_;
};

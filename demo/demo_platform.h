#pragma once

// VeltranoDemo.exe's platform: a simulated converter instead of the platform's HID stack, on a
// bus with one other HID device at index 0 and the converter at index 1, and the output monitor
// beside the console.

#include <windows.h>

#include <memory>

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
    DemoPlatform(HINSTANCE instance, Clock& clock);

    SimulatedConverter& Converter() { return *converter_; }
    SimulatedHidBus& Bus() { return bus_; }
    HWND MonitorWindow() const { return monitor_.Window(); }

private:
    std::shared_ptr<SimulatedConverter> converter_;
    SimulatedHidBus bus_;
    OutputMonitor monitor_;
};

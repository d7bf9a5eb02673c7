#pragma once

// The demo's simulated converter, for the tests that drive the demo.

#include <windows.h>

#include "simulator/simulated_converter.h"
#include "simulator/simulated_hid_bus.h"

// A full-speed HID round trip.
inline constexpr Duration DEMO_EXCHANGE_LATENCY = std::chrono::milliseconds(2);
// The console takes (10, 10) to (810, 610); the monitor opens to its right.
inline constexpr int DEMO_MONITOR_X = 820;
inline constexpr int DEMO_MONITOR_Y = 10;

SimulatedConverter& DemoConverter();
SimulatedHidBus& DemoBus();
HWND DemoMonitorWindow();

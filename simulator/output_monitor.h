#pragma once

// The simulated converter's output monitor: a window beside the console that shows what the
// converter holds and what it was last told. It repaints as commands arrive and never takes the
// focus from the console.

#include <windows.h>

#include "simulator/simulated_converter.h"

inline constexpr const char* MONITOR_TITLE = "Simulated DMX Converter - Output Monitor";

// Opens the monitor at (x, y) and hooks it to the converter.
HWND OpenOutputMonitor(HINSTANCE instance, SimulatedConverter& converter, int x, int y);

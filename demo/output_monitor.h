#pragma once

// The simulated converter's output monitor: a window beside the console that shows what the
// converter holds and what it was last told. It repaints as commands arrive and never takes the
// focus from the console.

#include <windows.h>

#include "simulator/simulated_converter.h"

inline constexpr const char* MONITOR_TITLE = "Simulated DMX Converter - Output Monitor";

class OutputMonitor {
public:
    // Opens the monitor at (x, y) and hooks it to the converter.
    OutputMonitor(HINSTANCE instance, SimulatedConverter& converter, int x, int y);
    ~OutputMonitor();
    OutputMonitor(const OutputMonitor&) = delete;
    OutputMonitor& operator=(const OutputMonitor&) = delete;

    // None when the window could not be created, or after it was closed.
    HWND Window() const { return window_; }

private:
    static LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void Refresh();

    SimulatedConverter& converter_;
    HWND window_ = nullptr;
};

// VeltranoDemo.exe: the console on a simulated converter, with its output monitor.

#include <windows.h>

#include "app/run_console.h"
#include "win32/dll_search.h"
#include "demo/demo_platform.h"

// The platform declares the entry point with parameter names of its own.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)  // NOLINT(readability-inconsistent-declaration-parameter-name)
{
    RestrictDllSearchToSystemFolder();
    SteadyClock clock;
    DemoPlatform demo(instance, clock);
    // A simulated converter lights no stage: nothing is kept awake.
    return RunConsole(instance, showCommand, demo.Bus(), clock, nullptr);
}

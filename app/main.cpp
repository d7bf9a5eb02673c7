// Veltrano.exe: the console on the platform's HID stack.

#include <windows.h>

#include "app/run_console.h"
#include "win32/dll_search.h"
#include "app/single_instance.h"
#include "win32/thread_execution_state.h"
#include "win32/win32_hid_bus.h"

// The platform declares the entry point with parameter names of its own.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)  // NOLINT(readability-inconsistent-declaration-parameter-name)
{
    RestrictDllSearchToSystemFolder();
    const SingleInstance console;
    if (!console.First()) {
        BringRunningConsoleToFront(LoadApplicationStrings(instance).className);
        return 0;
    }
    SteadyClock clock;
    const auto bus = MakeWin32HidBus(clock);
    // The stage is live while a converter is in use: the machine stays awake.
    ThreadExecutionState awake;
    return RunConsole(instance, showCommand, *bus, clock, &awake);
}

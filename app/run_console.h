#pragma once

// What both executables do once they have chosen their platform.

#include <windows.h>

#include "converter/clock.h"
#include "converter/hid_access.h"
#include "view/console_window.h"

ApplicationStrings LoadApplicationStrings(HINSTANCE instance);

// Runs until WM_QUIT and returns its exit code. Accelerators go to `mainWindow` whichever of its
// controls has the focus.
int RunMessageLoop(HWND mainWindow, HACCEL accelerators);

// Loads the strings, registers the class, builds the console on `bus` and `clock` (`awake` as for
// the ConsoleWindow), and runs its message loop. Returns the exit code.
int RunConsole(HINSTANCE instance, int showCommand, HidBus& bus, Clock& clock, KeepAwake* awake);

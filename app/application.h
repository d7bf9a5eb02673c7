#pragma once

// The application shell: start-up, the main window and its message loop.

#include <windows.h>

inline constexpr int TEXT_BUFFER_SIZE = 100;

struct Application {
    HINSTANCE instance = nullptr;
    char title[TEXT_BUFFER_SIZE] = {};
    char className[TEXT_BUFFER_SIZE] = {};
    HWND mainWindow = nullptr;
};

// The run's one application record.
Application& TheApplication();

// Loads the window title and class name from the string table.
void LoadApplicationStrings(HINSTANCE instance);
ATOM RegisterMainWindowClass(HINSTANCE instance);
// Creates the main window hidden, builds the panel, opens the converter, then places and shows
// the window. False when the window (or the panel) cannot be created.
bool StartApplication(HINSTANCE instance, int showCommand);
// Runs until WM_QUIT and returns its exit code.
int RunMessageLoop(HACCEL accelerators);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Where the converter is met: the platform's HID stack in Veltrano.exe, the simulated converter
// in the demo. Each executable links exactly one definition.
void ChooseConverterPlatform();

// The read-error box of the converter link: modal, no owner, OK only.
void ShowCommErrorBox(const char* text, const char* caption);

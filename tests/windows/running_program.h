#pragma once

// One of the shipped executables running as a process of its own, seen from a test: its windows,
// its modal boxes, and its end.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/top_level_windows.h"

struct RunningProgram {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;  // the console's main window once it shows
};

// The visible top-level windows of a process with this class (and caption, when given).
inline std::vector<HWND> ProcessWindows(DWORD processId, const char* className, const char* caption = nullptr)
{
    std::vector<HWND> found;
    for (HWND window : TopLevelWindows(className)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char text[128] = {};
        GetWindowTextA(window, text, sizeof(text));
        if (owner == processId && IsWindowVisible(window) && (caption == nullptr || std::string(text) == caption)) {
            found.push_back(window);
        }
    }
    return found;
}

// Waits for the console's window, unless the program shows none (an installer).
inline RunningProgram Launch(const std::string& path, const std::string& arguments = "", bool console = true)
{
    RunningProgram running;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + path + "\"" + arguments;
    // Wine's process creation fails now and then with ERROR_INTERNAL_ERROR before the program
    // runs at all (seen once in many runs, on a busy machine): tried again a little later.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &running.process)) {
            error = ERROR_SUCCESS;
            break;
        }
        error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR) {
            break;
        }
        Sleep(200);
    }
    if (error != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot start " << path << ": error " << error;
        return running;
    }
    for (int i = 0; console && i < 1000 && running.window == nullptr; ++i) {
        const std::vector<HWND> windows = ProcessWindows(running.process.dwProcessId, "VELTRANO");
        if (windows.empty()) {
            Sleep(10);
        } else {
            running.window = windows.front();
        }
    }
    return running;
}

// Waits for the program to end and returns its exit code; ends it by force after ten seconds.
inline DWORD WaitForExit(RunningProgram& running)
{
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(running.process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(running.process.hProcess, 0xDEAD);
        ADD_FAILURE() << "the program did not end";
    }
    GetExitCodeProcess(running.process.hProcess, &code);
    CloseHandle(running.process.hProcess);
    CloseHandle(running.process.hThread);
    running.process = {};
    return code;
}

// The child of `parent` with this class and control ID (a fader's frame and trackbar share theirs).
inline HWND ChildControl(HWND parent, const char* className, int id)
{
    for (HWND child = FindWindowExA(parent, nullptr, className, nullptr); child != nullptr;
         child = FindWindowExA(parent, child, className, nullptr)) {
        if (GetDlgCtrlID(child) == id) {
            return child;
        }
    }
    return nullptr;
}

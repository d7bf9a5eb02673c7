#pragma once

// One of the shipped executables running as a process of its own, seen from a test: its windows,
// its modal boxes, and its end.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct RunningProgram {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;  // the console's main window once it shows
};

// The visible top-level windows of a process with this class (and caption, when given).
inline std::vector<HWND> ProcessWindows(DWORD processId, const char* className, const char* caption = nullptr)
{
    struct Search {
        DWORD processId;
        const char* className;
        const char* caption;
        std::vector<HWND> found;
    } search{processId, className, caption, {}};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char name[64] = {};
            char text[128] = {};
            GetClassNameA(window, name, sizeof(name));
            GetWindowTextA(window, text, sizeof(text));
            if (owner == s->processId && std::string(name) == s->className && IsWindowVisible(window) &&
                (s->caption == nullptr || std::string(text) == s->caption)) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Starts the program and waits until its main window shows.
inline RunningProgram Launch(const std::string& path)
{
    RunningProgram running;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &running.process)) {
        ADD_FAILURE() << "cannot start " << path << ": error " << GetLastError();
        return running;
    }
    for (int i = 0; i < 1000 && running.window == nullptr; ++i) {
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

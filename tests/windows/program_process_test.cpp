// The shipped executables as processes: they start, show their window and end with code 0.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../native/temp_folder.h"
#include "program_path.h"

namespace {

struct Running {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

HWND FindProcessWindow(DWORD processId, const char* className)
{
    struct Search {
        DWORD processId;
        const char* className;
        HWND found;
    } search{processId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char name[64] = {};
            GetClassNameA(window, name, sizeof(name));
            if (owner == s->processId && std::string(name) == s->className && IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Starts the program and waits until its main window shows.
Running Launch(const std::string& path)
{
    Running running;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &running.process)) {
        ADD_FAILURE() << "cannot start " << path << ": error " << GetLastError();
        return running;
    }
    for (int i = 0; i < 1000 && running.window == nullptr; ++i) {
        running.window = FindProcessWindow(running.process.dwProcessId, "VELTRANO");
        if (running.window == nullptr) {
            Sleep(10);
        }
    }
    return running;
}

DWORD WaitForExit(Running& running)
{
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(running.process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(running.process.hProcess, 0xDEAD);
        ADD_FAILURE() << "the program did not end";
    }
    GetExitCodeProcess(running.process.hProcess, &code);
    CloseHandle(running.process.hProcess);
    CloseHandle(running.process.hThread);
    return code;
}

TEST(ShippedProgram, ExitFromTheMenuEndsWithCodeZero)
{
    TempFolder temp;
    Running running = Launch(ProgramPath("VELTRANO_EXE"));
    ASSERT_NE(running.window, nullptr);
    RECT r;
    GetWindowRect(running.window, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 600);
    PostMessageA(running.window, WM_COMMAND, MAKEWPARAM(105, 0), 0);
    EXPECT_EQ(WaitForExit(running), 0u);
    // The search ran on the platform's devices and found no converter.
    const std::string log = temp.Log();
    const std::string last = "Valid Device was not found\r\n";
    ASSERT_GE(log.size(), last.size());
    EXPECT_EQ(log.substr(log.size() - last.size()), last);
}

TEST(ShippedProgram, ClosingTheWindowEndsWithCodeZero)
{
    TempFolder temp;
    Running running = Launch(ProgramPath("VELTRANO_EXE"));
    ASSERT_NE(running.window, nullptr);
    PostMessageA(running.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(running), 0u);
}

}  // namespace

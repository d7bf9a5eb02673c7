// The shipped executables as processes: they start, show their window and end with code 0.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../native/temp_folder.h"
#include "win32/resource_ids.h"
#include "program_path.h"
#include "running_program.h"

namespace {

TEST(ShippedProgram, ExitFromTheMenuEndsWithCodeZero)
{
    TempFolder temp;
    RunningProgram running = Launch(ProgramPath("VELTRANO_EXE"));
    ASSERT_NE(running.window, nullptr);
    RECT r;
    GetWindowRect(running.window, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 600);
    PostMessageA(running.window, WM_COMMAND, MAKEWPARAM(ID_MENU_EXIT, 0), 0);
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
    RunningProgram running = Launch(ProgramPath("VELTRANO_EXE"));
    ASSERT_NE(running.window, nullptr);
    PostMessageA(running.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(running), 0u);
}

}  // namespace

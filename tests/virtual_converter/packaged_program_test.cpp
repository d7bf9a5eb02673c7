// Veltrano.exe from the release package, unpacked beside planted copies of HID.DLL, SETUPAPI.DLL
// and COMCTL32.DLL: it takes the system's own, finds the converter among Wine's devices and
// drives it.

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/resource_ids.h"
#include "control/virtual_converter_control.h"
#include "console/control_ids.h"
#include "running_program.h"
#include "temp_folder.h"
#include "unpacked_package.h"

namespace {

TEST(PackagedProgram, DrivesTheConverterWithoutLoadingThePlantedDlls)
{
    VirtualConverterControl control;
    ASSERT_TRUE(control.Open()) << "no virtual converter: the virtual_converter fixture installs it";
    ASSERT_TRUE(control.Reset());
    TempFolder temp;
    PreferTheDllsTheSearchFinds overrides;
    ASSERT_TRUE(SetCurrentDirectoryA(PackageFolder().c_str())) << PackageFolder();
    ASSERT_EQ(PlantedDllMarks(), std::vector<std::string>{});

    RunningProgram program = Launch(PackagedProgram("Veltrano.exe"));
    if (program.window == nullptr) {
        if (program.process.hProcess != nullptr) {
            TerminateProcess(program.process.hProcess, 0xDEAD);
            WaitForExit(program);
        }
        const std::vector<std::string> marks = PlantedDllMarks();
        RemovePlantedDllMarks();
        FAIL() << "no window; marks: " << testing::PrintToString(marks);
    }
    const std::string log = temp.Log();
    EXPECT_NE(log.find("VendorID=$6a5b, ProductID=$e42  Device successfully opened for ID checking\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(", Valid Device found\r\n"), std::string::npos) << log;
    EXPECT_EQ(control.RecentCommands(16), (std::vector<std::string>{"I"}));

    // A scene-B fader with the master at the bottom: its level goes out as it is.
    HWND track = ChildControl(program.window, TRACKBAR_CLASSA, ID_SCENE_B_FIRST + 3);
    ASSERT_NE(track, nullptr);
    SendMessageA(track, TBM_SETPOS, TRUE, 255 - 0x42);
    SendMessageA(program.window, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(track));
    EXPECT_EQ(control.RecentCommands(1), (std::vector<std::string>{"W 3 42"}));
    const auto snapshot = control.Read();
    ASSERT_TRUE(snapshot.has_value());
    EXPECT_EQ(snapshot->levels[3], 0x42);

    PostMessageA(program.window, WM_COMMAND, MAKEWPARAM(ID_MENU_EXIT, 0), 0);
    EXPECT_EQ(WaitForExit(program), 0u);
    EXPECT_EQ(PlantedDllMarks(), std::vector<std::string>{}) << "a planted DLL was loaded";
    RemovePlantedDllMarks();
}

}  // namespace

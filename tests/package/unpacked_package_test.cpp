// The release package as a user unpacks it: both programs start from the unpacked folder and work,
// and neither loads the copies of HID.DLL, SETUPAPI.DLL and COMCTL32.DLL planted beside them.

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../native/temp_folder.h"
#include "win32/resource_ids.h"
#include "console/control_ids.h"
#include "running_program.h"
#include "screen_pixels.h"
#include "unpacked_package.h"

namespace {

class UnpackedPackage : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Started from Explorer, a program's current folder is its own.
        ASSERT_TRUE(SetCurrentDirectoryA(PackageFolder().c_str())) << PackageFolder();
        ASSERT_EQ(PlantedDllMarks(), std::vector<std::string>{});
    }

    void TearDown() override
    {
        // A program that never showed its window is not left behind.
        if (program.process.hProcess != nullptr) {
            TerminateProcess(program.process.hProcess, 0xDEAD);
            WaitForExit(program);
        }
        RemovePlantedDllMarks();
    }

    // Ends the program from its menu; it ends with code 0 and has loaded no planted DLL.
    void Exit()
    {
        PostMessageA(program.window, WM_COMMAND, MAKEWPARAM(ID_MENU_EXIT, 0), 0);
        EXPECT_EQ(WaitForExit(program), 0u);
        EXPECT_EQ(PlantedDllMarks(), std::vector<std::string>{}) << "a planted DLL was loaded";
    }

    TempFolder temp;
    PreferTheDllsTheSearchFinds overrides;
    RunningProgram program;
};

TEST_F(UnpackedPackage, APlantedDllLeavesItsMarkWhenLoaded)
{
    const std::string planted = PackagedProgram("hid.dll");
    HMODULE module = LoadLibraryA(planted.c_str());
    ASSERT_NE(module, nullptr) << planted;
    FreeLibrary(module);
    EXPECT_EQ(PlantedDllMarks(), std::vector<std::string>{"hid.dll.loaded"});
}

TEST_F(UnpackedPackage, TheDemoShowsTheConsoleAndItsMonitorAndLogsItsSearch)
{
    program = Launch(PackagedProgram("VeltranoDemo.exe"));
    ASSERT_NE(program.window, nullptr) << "marks: " << testing::PrintToString(PlantedDllMarks());
    EXPECT_NE(ChildControl(program.window, TRACKBAR_CLASSA, ID_MASTER), nullptr) << "the common controls are there";
    EXPECT_EQ(ProcessWindows(program.process.dwProcessId, "VeltranoOutputMonitor",
                             "Simulated DMX Converter - Output Monitor")
                  .size(),
              1u);
    EXPECT_EQ(temp.Log(), LogText({
                              "Index=0, VendorID=$46d, ProductID=$c077  Device successfully opened for ID checking",
                              "Index=0, Not the device we want",
                              "Index=1, VendorID=$6a5b, ProductID=$e42  Device successfully opened for ID checking",
                              "Index=1, Valid Device found",
                          }));
    Exit();
}

TEST_F(UnpackedPackage, VeltranoWithoutAConverterSearchesWinesDevicesAndShowsTheNotice)
{
    program = Launch(PackagedProgram("Veltrano.exe"));
    ASSERT_NE(program.window, nullptr) << "marks: " << testing::PrintToString(PlantedDllMarks());
    EXPECT_NE(ChildControl(program.window, TRACKBAR_CLASSA, ID_MASTER), nullptr) << "the common controls are there";

    RedrawWindow(program.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const Pixels strip = Crop(CaptureClient(program.window), 300, 0, 220, 20);
    const Pixels notice = Render(220, 20, [](HDC dc) {
        RECT r{0, 0, 220, 20};
        DrawTextA(dc, "DMX Converter not found!", -1, &r, DT_CENTER);
    });
    EXPECT_EQ(strip.data, notice.data) << "DMX Converter not found!";

    // The search went through SetupAPI and HID.DLL: it opened Wine's own devices.
    const std::string log = temp.Log();
    EXPECT_NE(log.find("VendorID=$845e"), std::string::npos) << log;
    const std::string last = "Valid Device was not found\r\n";
    ASSERT_GE(log.size(), last.size());
    EXPECT_EQ(log.substr(log.size() - last.size()), last);
    Exit();
}

}  // namespace

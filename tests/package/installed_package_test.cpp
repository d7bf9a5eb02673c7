// The installer run silently as a venue's IT runs it (/S): into the user's programs folder, then
// into new folders (/D=), which replaces the first install, never while Veltrano runs. The installed
// Veltrano.exe keeps a planted HID.DLL out; the uninstaller removes what the installer added.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "../native/temp_folder.h"
#include "win32/resource_ids.h"
#include "running_program.h"
#include "unpacked_package.h"

namespace {

constexpr const char* UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrano";

std::string Registered(const char* name)
{
    char value[MAX_PATH] = "<missing>";
    DWORD size = sizeof(value);
    RegGetValueA(HKEY_CURRENT_USER, UNINSTALL_KEY, name, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

std::set<std::string> Files(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

DWORD RunToItsEnd(const std::string& path, const std::string& arguments)
{
    RunningProgram program = Launch(path, arguments, false);
    return WaitForExit(program);
}

// Installed in `folder`, whole: its files, its uninstaller, its shortcuts and its Apps & features entry.
void ExpectInstalledIn(const std::string& folder, const std::string& menu)
{
    EXPECT_EQ(Files(folder), (std::set<std::string>{"70-veltrano-converter.rules", "LICENSE", "README.txt",
                                                     "THIRD-PARTY-NOTICES.txt", "Uninstall.exe", "Veltrano.exe",
                                                     "VeltranoDemo.exe"}));
    EXPECT_NE(ReadWholeFile(menu + "Veltrano.lnk").find(folder + "\\Veltrano.exe"), std::string::npos);
    EXPECT_NE(ReadWholeFile(menu + "Veltrano Demo.lnk").find(folder + "\\VeltranoDemo.exe"), std::string::npos);
    EXPECT_EQ(Registered("InstallLocation"), folder);
    EXPECT_EQ(Registered("DisplayVersion"), VELTRANO_PACKAGE_VERSION);
    EXPECT_EQ(Registered("DisplayIcon"), folder + "\\Veltrano.exe,0");
    EXPECT_EQ(Registered("UninstallString"), "\"" + folder + "\\Uninstall.exe\"");
}

// As from Apps & features: the uninstaller hands over to a copy of itself in TEMP, which removes
// the entry last, and ends.
void Uninstall(const std::string& folder)
{
    ASSERT_EQ(RunToItsEnd(folder + "\\Uninstall.exe", " /S"), 0u);
    HKEY key = nullptr;
    for (int i = 0; i < 300 && RegOpenKeyExA(HKEY_CURRENT_USER, UNINSTALL_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS; ++i) {
        RegCloseKey(key);
        Sleep(100);
    }
}

TEST(InstalledPackage, InstallsForTheUserReplacesAnEarlierInstallAndUninstallsWhatItAdded)
{
    const std::string installer = ProgramPath("VELTRANO_INSTALLER"), local = std::getenv("LOCALAPPDATA");
    const std::string first = local + "\\Programs\\Veltrano", folder = local + "\\Show Tools\\Lights\\Veltrano";
    const std::string menu = std::getenv("APPDATA") + std::string("\\Microsoft\\Windows\\Start Menu\\Programs\\");
    std::filesystem::remove_all(local + "\\Show Tools");  // what a failed run left
    RegDeleteTreeA(HKEY_CURRENT_USER, UNINSTALL_KEY);

    ASSERT_EQ(RunToItsEnd(installer, " /S"), 0u);
    ExpectInstalledIn(first, menu);

    // While Veltrano runs, neither changes anything, and a rollout learns so from the exit code.
    {
        RunningProgram program = Launch(first + "\\Veltrano.exe");
        EXPECT_NE(program.window, nullptr);
        EXPECT_NE(RunToItsEnd(installer, " /S /D=" + folder), 0u);
        ExpectInstalledIn(first, menu);
        EXPECT_FALSE(std::filesystem::exists(local + "\\Show Tools"));
        EXPECT_NE(RunToItsEnd(first + "\\Uninstall.exe", " /S"), 0u);
        ExpectInstalledIn(first, menu);
        PostMessageA(program.window, WM_COMMAND, MAKEWPARAM(ID_MENU_EXIT, 0), 0);
        EXPECT_EQ(WaitForExit(program), 0u);
    }

    ASSERT_EQ(RunToItsEnd(installer, " /S /D=" + folder), 0u);
    EXPECT_FALSE(std::filesystem::exists(first)) << "the first install is left";
    ExpectInstalledIn(folder, menu);

    // Beside a planted HID.DLL, which is also a file of the user's that the uninstaller must keep.
    ASSERT_TRUE(CopyFileA(PackagedProgram("hid.dll").c_str(), (folder + "\\hid.dll").c_str(), FALSE));
    {
        const PreferTheDllsTheSearchFinds overrides;
        RunningProgram program = Launch(folder + "\\Veltrano.exe");
        EXPECT_NE(program.window, nullptr);
        PostMessageA(program.window, WM_COMMAND, MAKEWPARAM(ID_MENU_EXIT, 0), 0);
        EXPECT_EQ(WaitForExit(program), 0u);
    }

    Uninstall(folder);
    EXPECT_EQ(Files(folder), std::set<std::string>{"hid.dll"}) << "no mark either: the planted DLL was not loaded";
    EXPECT_FALSE(std::filesystem::exists(menu + "Veltrano.lnk") || std::filesystem::exists(menu + "Veltrano Demo.lnk"));
    EXPECT_EQ(Registered("InstallLocation"), "<missing>");

    // Without a file of the user's in it, the folders the install created go with it.
    std::filesystem::remove_all(local + "\\Show Tools");
    ASSERT_EQ(RunToItsEnd(installer, " /S /D=" + folder), 0u);
    Uninstall(folder);
    EXPECT_FALSE(std::filesystem::exists(local + "\\Show Tools"));
}

}  // namespace

#pragma once

// The release package unpacked into a fresh folder (the unpacked_package fixture), with DLLs
// planted beside its executables under the names of the system DLLs they delay-load. A planted
// DLL that gets loaded leaves a mark beside itself: "hid.dll.loaded" for hid.dll.

#include <windows.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "program_path.h"

inline constexpr std::array<const char*, 3> PLANTED_DLLS{"hid.dll", "setupapi.dll", "comctl32.dll"};

// The unpacked folder, as a path of this (Windows) process.
inline std::string PackageFolder()
{
    return ProgramPath("VELTRANO_PACKAGE_DIR");
}

inline std::string PackagedProgram(const char* name)
{
    return PackageFolder() + "\\" + name;
}

// The marks in the unpacked folder.
inline std::vector<std::string> PlantedDllMarks()
{
    std::vector<std::string> marks;
    for (const auto& entry : std::filesystem::directory_iterator(PackageFolder())) {
        if (entry.path().extension() == ".loaded") {
            marks.push_back(entry.path().filename().string());
        }
    }
    return marks;
}

inline void RemovePlantedDllMarks()
{
    for (const std::string& mark : PlantedDllMarks()) {
        std::filesystem::remove(PackageFolder() + "\\" + mark);
    }
}

// While it lives, Veltrano.exe and VeltranoDemo.exe search for the planted DLLs' names as Windows
// does for a DLL that is not one of its known DLLs, and take the first copy they find. Left to
// itself, Wine takes its own COMCTL32.DLL and SETUPAPI.DLL whatever lies beside a program (not its
// own HID.DLL): told to prefer a copy it finds (Wine's per-program DLL overrides), it loads a
// planted one wherever the search reaches the program's folder.
class PreferTheDllsTheSearchFinds {
public:
    PreferTheDllsTheSearchFinds()
    {
        for (const char* program : PROGRAMS) {
            HKEY key = nullptr;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, OverridesKey(program).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &key, nullptr) != ERROR_SUCCESS) {
                continue;
            }
            for (const char* dll : PLANTED_DLLS) {
                const std::string name = std::filesystem::path(dll).stem().string();
                RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                               sizeof("native,builtin"));
            }
            RegCloseKey(key);
        }
    }
    ~PreferTheDllsTheSearchFinds()
    {
        for (const char* program : PROGRAMS) {
            RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Wine\\AppDefaults\\" + std::string(program)).c_str());
        }
    }
    PreferTheDllsTheSearchFinds(const PreferTheDllsTheSearchFinds&) = delete;
    PreferTheDllsTheSearchFinds& operator=(const PreferTheDllsTheSearchFinds&) = delete;

private:
    static constexpr std::array<const char*, 2> PROGRAMS{"Veltrano.exe", "VeltranoDemo.exe"};
    static std::string OverridesKey(const char* program)
    {
        return "Software\\Wine\\AppDefaults\\" + std::string(program) + "\\DllOverrides";
    }
};

// Start-up to the window shown: the console against the smallest program that opens a window,
// started alternately in one run. Prints the medians and their ratio, and writes them to the file
// named by the first argument. Arguments: output file, console executable, baseline executable.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "program_path.h"

namespace {

constexpr int ROUNDS = 15;

HWND VisibleWindowOf(DWORD processId)
{
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Seconds from the start of the process to its first visible window; negative on failure.
double TimeToWindow(const std::string& program)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\"";
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return -1;
    }
    HWND window = nullptr;
    while ((window = VisibleWindowOf(process.dwProcessId)) == nullptr &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        Sleep(1);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (window != nullptr) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return window != nullptr ? seconds : -1;
}

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_timing OUTPUT CONSOLE_EXE BASELINE_EXE\n");
        return 2;
    }
    const std::string console = WindowsPath(argv[2]);
    const std::string baseline = WindowsPath(argv[3]);
    std::vector<double> consoleTimes;
    std::vector<double> baselineTimes;
    TimeToWindow(console);  // the first start of each warms the file cache
    TimeToWindow(baseline);
    for (int round = 0; round < ROUNDS; ++round) {
        const double c = TimeToWindow(console);
        const double b = TimeToWindow(baseline);
        if (c < 0 || b < 0) {
            std::fprintf(stderr, "a program did not show its window\n");
            return 1;
        }
        consoleTimes.push_back(c);
        baselineTimes.push_back(b);
    }
    char report[512];
    std::snprintf(report, sizeof(report),
                  "Under Wine, start-up to the window shown, median of %d alternating starts:\n"
                  "  Veltrano.exe (no converter, Wine's own HID devices searched): %.1f ms\n"
                  "  minimal Win32 window program:                                %.1f ms\n"
                  "  ratio: %.2f\n",
                  ROUNDS, Median(consoleTimes) * 1e3, Median(baselineTimes) * 1e3,
                  Median(consoleTimes) / Median(baselineTimes));
    std::fputs(report, stdout);
    if (FILE* out = std::fopen(argv[1], "w")) {
        std::fputs(report, out);
        std::fclose(out);
    }
    return 0;
}

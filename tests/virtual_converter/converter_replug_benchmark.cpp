// Twenty times in a row the virtual converter is pulled out from under the shipped Veltrano.exe
// and plugged in again, with a fader changed while it is away. After each return the device must
// hold what the faders show, having received "I" and the twelve channels and nothing else, and
// what the process holds (kernel handles, GDI objects, windows, working set) must stay where it
// was. Prints, and writes to the file named by the first argument, how long the console took to
// paint the notice after each removal began, and to put all twelve levels on the device after its
// interface could be opened. Fails when a cycle goes wrong, when the process grows, or when a
// cycle's figure is above its bound (0.5 s to the notice, 1 s to the levels).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "shipped_console.h"

using namespace std::chrono_literals;

namespace {

constexpr int WARM_UP_CYCLES = 2;
constexpr int CYCLES = 20;
constexpr std::uint32_t GREETING_COMMANDS = 1 + VC_CHANNELS;
constexpr double NOTICE_BOUND_SECONDS = 0.5;
constexpr double LEVELS_BOUND_SECONDS = 1.0;
constexpr double WORKING_SET_GROWTH_BOUND_MIB = 1.0;

int failures = 0;

void Fail(const std::string& what)
{
    std::printf("FAILED: %s\n", what.c_str());
    ++failures;
}

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

std::string Describe(const ProcessMarks& marks)
{
    char text[160];
    std::snprintf(text, sizeof(text), "working set %zu KiB, %d kernel handles, %d GDI objects, %d windows",
                  static_cast<std::size_t>(marks.workingSet / 1024), marks.kernelHandles, marks.gdiObjects,
                  marks.windows);
    return text;
}

// The measures must see what they are there to see: one more handle in the console's process, and
// (read the same way, in this process) one more GDI object and one more window.
void CheckTheMeasures(const ShippedConsole& console)
{
    const ProcessMarks before = MeasureProcess(console.Process(), console.ProcessId());
    if (before.gdiObjects <= 0 || before.windows <= 0 || before.kernelHandles <= 0 || before.workingSet == 0) {
        Fail("the console's process cannot be measured: " + Describe(before));
    }
    // Wine's own threads in a fresh process still open a few handles of their own meanwhile: what
    // counts is that the planted one is among those counted, and gone once closed.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE planted = nullptr;
    DuplicateHandle(GetCurrentProcess(), event, console.Process(), &planted, 0, FALSE, DUPLICATE_SAME_ACCESS);
    const auto plantedSlot = reinterpret_cast<std::uintptr_t>(planted);
    const std::vector<std::uintptr_t> withPlanted = KernelHandleSlots(console.Process());
    // Closed there by taking it back: Wine leaves it open when no process is named to take it.
    HANDLE back = nullptr;
    DuplicateHandle(console.Process(), planted, GetCurrentProcess(), &back, 0, FALSE,
                    DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS);
    CloseHandle(back);
    CloseHandle(event);
    const std::vector<std::uintptr_t> withoutPlanted = KernelHandleSlots(console.Process());
    if (planted == nullptr || std::count(withPlanted.begin(), withPlanted.end(), plantedSlot) != 1 ||
        std::count(withoutPlanted.begin(), withoutPlanted.end(), plantedSlot) != 0) {
        Fail("a handle added to the console's process and closed again is not seen so");
    }

    const int gdiBefore = CountGdiObjects(GetCurrentProcess());
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    const int gdiWith = CountGdiObjects(GetCurrentProcess());
    DeleteObject(brush);
    // A thread's first window brings a window of the input method's along: the leak is a child.
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    const int windowsBefore = CountWindows(GetCurrentProcessId());
    CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr);
    const int windowsWith = CountWindows(GetCurrentProcessId());
    DestroyWindow(parent);
    if (gdiWith != gdiBefore + 1 || windowsWith != windowsBefore + 1) {
        Fail("a GDI object or a window made here is not counted: GDI " + std::to_string(gdiBefore) + " -> " +
             std::to_string(gdiWith) + ", windows " + std::to_string(windowsBefore) + " -> " +
             std::to_string(windowsWith));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    VirtualConverterControl control;
    ShippedConsole console;
    if (!control.Open() || !control.Reset() || !console.Start()) {
        std::printf("FAILED: no virtual converter, or Veltrano.exe did not start\n");
        return 1;
    }
    CheckTheMeasures(console);

    for (int i = 0; i < VC_CHANNELS; ++i) {
        console.MoveFader(ID_SCENE_A_FIRST + i, 0x80 + i);
        console.MoveFader(ID_SCENE_B_FIRST + i, 0x20 + i);
    }
    console.MoveFader(ID_MASTER, 255);

    std::vector<double> noticeSeconds;
    std::vector<double> levelsSeconds;
    std::vector<ProcessMarks> marks;
    for (int cycle = 0; cycle < WARM_UP_CYCLES + CYCLES && failures == 0; ++cycle) {
        const Unplugged unplugged = Unplug(control, console, 5s);
        if (!unplugged.removed || !unplugged.notice) {
            Fail("cycle " + std::to_string(cycle) + ": " +
                 (unplugged.removed ? "no notice after the removal" : "removal failed: " + unplugged.error));
            break;
        }
        if (unplugged.boxSeen || !console.ErrorBoxes().empty()) {
            Fail("cycle " + std::to_string(cycle) + ": a box was shown for the loss");
        }

        // A fader changed while the converter is away; now and then the master too.
        const int channel = cycle % VC_CHANNELS;
        const int scene = cycle % 2 == 0 ? ID_SCENE_A_FIRST : ID_SCENE_B_FIRST;
        console.MoveFader(scene + channel, (cycle * 53 + 17) & 0xFF);
        if (cycle % 4 == 3) {
            console.MoveFader(ID_MASTER, (cycle * 41) & 0xFF);
        }
        const Levels expected = console.StageLevels();

        std::string error;
        const auto openable = PlugIn(control, error);
        if (!openable) {
            Fail("cycle " + std::to_string(cycle) + ": install failed: " + error);
            break;
        }
        const auto levelsIn = WaitFor(
            [&] {
                const auto snapshot = control.Read();
                return snapshot && snapshot->commandsReceived >= GREETING_COMMANDS && snapshot->levels == expected;
            },
            5s);
        if (!levelsIn) {
            Fail("cycle " + std::to_string(cycle) + ": the device does not hold the faders' levels");
            break;
        }
        const auto snapshot = control.Read();
        if (!snapshot || snapshot->commandsReceived != GREETING_COMMANDS ||
            control.RecentCommands(16) != ShippedConsole::Greeting(expected)) {
            Fail("cycle " + std::to_string(cycle) + ": the device got more than \"I\" and the twelve channels");
        }
        if (!WaitFor([&] { return console.NoticeStrip() == Strip::Empty; }, 2s)) {
            Fail("cycle " + std::to_string(cycle) + ": the notice stays");
        }

        const double notice = SecondsBetween(unplugged.started, *unplugged.notice);
        const double levels = SecondsBetween(*openable, *levelsIn);
        Sleep(100);
        const ProcessMarks now = MeasureProcess(console.Process(), console.ProcessId());
        std::printf("cycle %2d%s: notice %3.0f ms after the removal began, levels %3.0f ms after the interface "
                    "could be opened; %s\n",
                    cycle, cycle < WARM_UP_CYCLES ? " (warm-up)" : "", notice * 1000, levels * 1000,
                    Describe(now).c_str());
        std::fflush(stdout);
        if (cycle >= WARM_UP_CYCLES) {
            noticeSeconds.push_back(notice);
            levelsSeconds.push_back(levels);
        }
        if (cycle >= WARM_UP_CYCLES - 1) {
            marks.push_back(now);  // the first: after the warm-up
        }
    }
    const DWORD exitCode = console.Exit();
    if (exitCode != 0) {
        Fail("Veltrano.exe ended with " + std::to_string(exitCode));
    }
    if (failures != 0 || noticeSeconds.size() != CYCLES) {
        std::string error;
        if (!FindVirtualConverterPath()) {
            InstallVirtualConverter(DriverBesideThisProgram(), error);
        }
        return 1;
    }

    const ProcessMarks& before = marks.front();
    const ProcessMarks& after = marks.back();
    const double grownMiB =
        (static_cast<double>(after.workingSet) - static_cast<double>(before.workingSet)) / 1048576.0;
    if (after.kernelHandles > before.kernelHandles || after.gdiObjects > before.gdiObjects ||
        after.windows != before.windows || grownMiB >= WORKING_SET_GROWTH_BOUND_MIB) {
        Fail("the process grew over the cycles");
    }
    const auto [noticeLow, noticeHigh] = std::minmax_element(noticeSeconds.begin(), noticeSeconds.end());
    const auto [levelsLow, levelsHigh] = std::minmax_element(levelsSeconds.begin(), levelsSeconds.end());
    char summary[1024];
    std::snprintf(summary, sizeof(summary),
                  "Veltrano.exe, virtual converter pulled out and plugged in %d times (after %d warm-up cycles)\n"
                  "  removal began -> notice painted:             median %3.0f ms, %3.0f to %3.0f ms (bound %.0f ms)\n"
                  "  interface openable -> levels on the device:  median %3.0f ms, %3.0f to %3.0f ms (bound %.0f ms)\n"
                  "  before the cycles: %s\n"
                  "  after the cycles:  %s\n",
                  CYCLES, WARM_UP_CYCLES, Median(noticeSeconds) * 1000, *noticeLow * 1000, *noticeHigh * 1000,
                  NOTICE_BOUND_SECONDS * 1000, Median(levelsSeconds) * 1000, *levelsLow * 1000, *levelsHigh * 1000,
                  LEVELS_BOUND_SECONDS * 1000, Describe(before).c_str(), Describe(after).c_str());
    std::printf("%s", summary);
    if (*noticeHigh >= NOTICE_BOUND_SECONDS) {
        Fail("the notice came too late");
    }
    if (*levelsHigh >= LEVELS_BOUND_SECONDS) {
        Fail("the levels came too late");
    }
    if (argc > 1) {
        if (std::FILE* out = std::fopen(argv[1], "w")) {
            std::fputs(summary, out);
            std::fclose(out);
        }
    }
    return failures == 0 ? 0 : 1;
}

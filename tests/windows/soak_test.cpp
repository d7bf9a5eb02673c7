// A long session on the real window over the simulated converter at zero latency: 10,000
// crossfade ticks and 100,000 fader notifications must leave memory, kernel handles and GDI and
// USER objects where they were.
//
// Wine reports no GDI/USER counts, handle counts or private bytes, so the measures are the working
// set, the windows of the thread (the USER objects the console makes), and for kernel handles and
// GDI objects the highest slot that a batch of fresh ones occupies: freed slots are reused first,
// so an object that leaks pushes the next batch one slot further.

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "console_fixture.h"
#include "keyboard.h"
#include "panel/fader_scale.h"

namespace {

struct ResourceMarks {
    SIZE_T workingSet = 0;
    std::uintptr_t kernelSlot = 0;
    std::uintptr_t gdiSlot = 0;
    std::uintptr_t userWindows = 0;
};

template <typename Handle, typename Create, typename Release>
std::uintptr_t HighestFreshSlot(int batch, std::uintptr_t slotMask, Create create, Release release)
{
    std::vector<Handle> handles;
    std::uintptr_t highest = 0;
    for (int i = 0; i < batch; ++i) {
        Handle handle = create();
        highest = std::max(highest, reinterpret_cast<std::uintptr_t>(handle) & slotMask);
        handles.push_back(handle);
    }
    for (Handle handle : handles) {
        release(handle);
    }
    return highest;
}

ResourceMarks Measure()
{
    ResourceMarks marks;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    marks.workingSet = memory.WorkingSetSize;

    // Batches larger than anything a test run frees, so the free slots never hold a whole batch.
    marks.kernelSlot = HighestFreshSlot<HANDLE>(
        3000, ~std::uintptr_t{0}, [] { return CreateEventA(nullptr, TRUE, FALSE, nullptr); },
        [](HANDLE h) { CloseHandle(h); });
    // GDI and USER handles carry a reuse count in their upper bits; the slot is the low 16.
    marks.gdiSlot = HighestFreshSlot<HBRUSH>(
        4000, 0xFFFF, [] { return CreateSolidBrush(RGB(1, 2, 3)); }, [](HBRUSH b) { DeleteObject(b); });
    // The USER objects the console makes are windows: count them all, children included.
    for (HWND window : TopLevelWindows(nullptr, GetCurrentThreadId())) {
        ++marks.userWindows;
        EnumChildWindows(
            window,
            [](HWND, LPARAM count) -> BOOL {
                ++*reinterpret_cast<std::uintptr_t*>(count);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&marks.userWindows));
    }
    return marks;
}

class Soak : public ConsoleTest {};

TEST_F(Soak, TicksAndFaderMovesLeaveNoTrace)
{
    Start();
    HWND main = Main();
    PasteOver(Control(ID_FADE_TIME), "1e9");
    SendMessageA(Control(ID_GO), BM_CLICK, 0, 0);
    KillTimer(main, FADE_TIMER_ID);  // ticks are delivered below, as fast as they run
    std::vector<HWND> sceneTracks;
    for (int firstId : {ID_SCENE_A_FIRST, ID_SCENE_B_FIRST}) {
        for (int i = 0; i < 12; ++i) {
            sceneTracks.push_back(Track(firstId + i));
        }
    }

    auto work = [&](int ticks, int moves) {
        for (int i = 0; i < ticks; ++i) {
            Tick();
            if (i % 500 == 0) {
                RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            }
        }
        for (int i = 0; i < moves; ++i) {
            HWND track = sceneTracks[static_cast<std::size_t>(((i / 12) % 2) * 12 + i % 12)];
            SendMessageA(track, TBM_SETPOS, TRUE, TrackPositionForLevel(i));
            SendMessageA(main, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(track));
            if (i % 5000 == 0) {
                SendMessageA(Control(ID_SAVE), BM_CLICK, 0, 0);
                RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                PumpMessages();
            }
        }
    };

    work(1000, 10000);  // the first runs grow the caches and pools to their working size
    Measure();
    const ResourceMarks before = Measure();
    const std::uint64_t exchangesBefore = Converter().ExchangeCount();
    work(10000, 100000);
    const ResourceMarks after = Measure();

    EXPECT_GE(Converter().ExchangeCount() - exchangesBefore, 10000u * 12 + 100000u);
    EXPECT_EQ(Converter().FramingErrors(), 0);
    EXPECT_LE(after.kernelSlot, before.kernelSlot) << "kernel handles";
    EXPECT_LE(after.gdiSlot, before.gdiSlot) << "GDI objects";
    EXPECT_EQ(after.userWindows, before.userWindows) << "USER objects";
    const double grownMiB = (static_cast<double>(after.workingSet) - static_cast<double>(before.workingSet)) / 1048576.0;
    EXPECT_LT(grownMiB, 1.0) << "working set grew from " << before.workingSet << " to " << after.workingSet;
    RecordProperty("working_set_before", static_cast<int>(before.workingSet));
    RecordProperty("working_set_after", static_cast<int>(after.workingSet));
    std::printf("working set %zu -> %zu bytes; highest fresh slots: kernel 0x%zx -> 0x%zx, GDI 0x%zx -> 0x%zx, "
                "windows %zu -> %zu\n",
                static_cast<std::size_t>(before.workingSet), static_cast<std::size_t>(after.workingSet),
                static_cast<std::size_t>(before.kernelSlot), static_cast<std::size_t>(after.kernelSlot),
                static_cast<std::size_t>(before.gdiSlot), static_cast<std::size_t>(after.gdiSlot),
                static_cast<std::size_t>(before.userWindows), static_cast<std::size_t>(after.userWindows));
}

TEST_F(Soak, TheMeasuresSeeALeak)
{
    // The measures themselves must notice what they are there to notice.
    Start();
    Measure();
    const ResourceMarks before = Measure();
    HANDLE leakedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HBRUSH leakedBrush = CreateSolidBrush(RGB(4, 5, 6));
    HWND leakedWindow = CreateWindowExA(0, "static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    const ResourceMarks after = Measure();
    EXPECT_GT(after.kernelSlot, before.kernelSlot);
    EXPECT_GT(after.gdiSlot, before.gdiSlot);
    EXPECT_EQ(after.userWindows, before.userWindows + 1);
    CloseHandle(leakedEvent);
    DeleteObject(leakedBrush);
    DestroyWindow(leakedWindow);
}

}  // namespace

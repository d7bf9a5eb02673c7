#pragma once

// The shipped Veltrano.exe as a process of its own on the virtual converter, seen from a test or a
// benchmark: its faders, buttons and boxes, the "DMX Converter not found!" notice on screen, the
// device plugged in and pulled out under it, and what the process holds.

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <winternl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "win32/resource_ids.h"
#include "control/virtual_converter_control.h"
#include "converter/converter_commands.h"
#include "device_setup.h"
#include "mixing/channel_mix.h"
#include "console/control_ids.h"
#include "panel/fader_scale.h"
#include "program_path.h"
#include "running_program.h"
#include "screen_pixels.h"

using SteadyTime = std::chrono::steady_clock::time_point;

inline SteadyTime Now()
{
    return std::chrono::steady_clock::now();
}

inline double SecondsBetween(SteadyTime from, SteadyTime to)
{
    return std::chrono::duration<double>(to - from).count();
}

// Checks `condition` about every millisecond until it holds or `limit` has passed: the moment it
// was seen to hold, or none.
template <typename Condition>
std::optional<SteadyTime> WaitFor(Condition condition, std::chrono::milliseconds limit)
{
    const SteadyTime end = Now() + limit;
    for (;;) {
        if (condition()) {
            return Now();
        }
        if (Now() >= end) {
            return std::nullopt;
        }
        Sleep(1);
    }
}

// The strip above the panel where the console centres its notice of the converter.
inline constexpr RECT NOTICE_STRIP{300, 0, 520, 20};

enum class Strip { Notice, Silence, Empty, Other };

// The console started as a process: its window and controls as the operator reaches them.
class ShippedConsole {
public:
    ShippedConsole()
        : notice_(DrawnNotice("DMX Converter not found!")), silence_(DrawnNotice("DMX Converter not answering!")),
          empty_(DrawnNotice(nullptr))
    {
    }
    ~ShippedConsole()
    {
        if (Running()) {
            Exit();
        }
    }
    ShippedConsole(const ShippedConsole&) = delete;
    ShippedConsole& operator=(const ShippedConsole&) = delete;

    // Starts VELTRANO_EXE and waits until its window shows.
    bool Start()
    {
        program_ = Launch(ProgramPath("VELTRANO_EXE"));
        return program_.window != nullptr;
    }

    // Closes any box, asks the console to exit and returns its exit code.
    DWORD Exit()
    {
        for (HWND box : ProcessWindows(program_.process.dwProcessId, "#32770")) {
            PostMessageA(box, WM_CLOSE, 0, 0);
        }
        PostMessageA(program_.window, WM_COMMAND, MAKEWPARAM(ID_MENU_EXIT, 0), 0);
        return WaitForExit(program_);
    }

    bool Running() const { return program_.process.hProcess != nullptr; }
    HWND Window() const { return program_.window; }
    HANDLE Process() const { return program_.process.hProcess; }
    DWORD ProcessId() const { return program_.process.dwProcessId; }

    HWND Track(int id) const { return ChildControl(program_.window, TRACKBAR_CLASSA, id); }

    // Sets a fader as a drag would and lets the console hear of it; returns once it is handled, or
    // after ten seconds of a console that holds it up.
    void MoveFader(int id, int level) const
    {
        HWND track = Track(id);
        SendMessageA(track, TBM_SETPOS, TRUE, TrackPositionForLevel(level));
        SendMessageTimeoutA(program_.window, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(track),
                            SMTO_NORMAL, 10000, nullptr);
    }

    int FaderLevel(int id) const
    {
        return LevelForTrackPosition(static_cast<int>(SendMessageA(Track(id), TBM_GETPOS, 0, 0)));
    }

    // The twelve levels the faders on screen stand for.
    Levels StageLevels() const
    {
        Levels levels{};
        const int master = FaderLevel(ID_MASTER);
        for (int i = 0; i < VC_CHANNELS; ++i) {
            levels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(
                MixLevel(FaderLevel(ID_SCENE_A_FIRST + i), FaderLevel(ID_SCENE_B_FIRST + i), master));
        }
        return levels;
    }

    // "I", then the twelve channels at these levels: what the console sends a converter it finds.
    static std::vector<std::string> Greeting(const Levels& levels)
    {
        std::vector<std::string> commands{IDENTIFY_COMMAND};
        for (int i = 0; i < VC_CHANNELS; ++i) {
            commands.push_back(LevelCommand(i, levels[static_cast<std::size_t>(i)]));
        }
        return commands;
    }

    // Replaces a box's text as a paste over a selection would.
    void PasteOver(int id, const char* text) const
    {
        HWND box = ChildControl(program_.window, "Edit", id);
        SendMessageA(box, EM_SETSEL, 0, -1);
        SendMessageA(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    }

    void Click(int id) const { SendMessageA(ChildControl(program_.window, "Button", id), BM_CLICK, 0, 0); }

    std::vector<HWND> Boxes(const char* caption) const { return ProcessWindows(ProcessId(), "#32770", caption); }
    std::vector<HWND> ErrorBoxes() const { return Boxes("Error"); }

    // How long the console takes to answer a message.
    double ResponseSeconds() const
    {
        const SteadyTime start = Now();
        DWORD_PTR ignored = 0;
        if (SendMessageTimeoutA(program_.window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored) == 0) {
            return 5.0;
        }
        return SecondsBetween(start, Now());
    }

    // What the strip above the panel shows on screen now.
    Strip NoticeStrip() const
    {
        const Pixels strip =
            CaptureClientPart(program_.window, NOTICE_STRIP.left, NOTICE_STRIP.top,
                              NOTICE_STRIP.right - NOTICE_STRIP.left, NOTICE_STRIP.bottom - NOTICE_STRIP.top);
        if (strip.data == notice_.data || strip.data == silence_.data) {
            return strip.data == notice_.data ? Strip::Notice : Strip::Silence;
        }
        return strip.data == empty_.data ? Strip::Empty : Strip::Other;
    }

private:
    RunningProgram program_;
    Pixels notice_;
    Pixels silence_;
    Pixels empty_;
};

// The thread of a window held still, as under a debugger or a stalled driver call: it answers no
// message until released, at the latest when this goes.
class HeldThread {
public:
    explicit HeldThread(HWND window)
        : thread_(OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr)))
    {
        held_ = thread_ != nullptr && SuspendThread(thread_) != static_cast<DWORD>(-1);
    }
    ~HeldThread()
    {
        Release();
        if (thread_ != nullptr) {
            CloseHandle(thread_);
        }
    }
    HeldThread(const HeldThread&) = delete;
    HeldThread& operator=(const HeldThread&) = delete;

    bool Held() const { return held_; }
    void Release()
    {
        if (held_) {
            ResumeThread(thread_);
            held_ = false;
        }
    }

private:
    HANDLE thread_;
    bool held_ = false;
};

// Installing or removing the virtual converter on a thread of its own, so that the caller can
// watch the console meanwhile.
class DeviceStep {
public:
    enum Kind { Install, Remove };
    explicit DeviceStep(Kind kind)
        : started_(Now()), thread_([this, kind] {
              ok_ = kind == Install ? InstallVirtualConverter(DriverBesideThisProgram(), error_)
                                    : RemoveVirtualConverter(error_);
              done_ = true;
          })
    {
    }
    ~DeviceStep()
    {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    DeviceStep(const DeviceStep&) = delete;
    DeviceStep& operator=(const DeviceStep&) = delete;

    bool Done() const { return done_; }
    SteadyTime Started() const { return started_; }
    // Waits for the step to end; false, with `error` telling why, when it failed.
    bool Finish(std::string& error)
    {
        if (thread_.joinable()) {
            thread_.join();
        }
        error = error_;
        return ok_;
    }

private:
    SteadyTime started_;
    std::atomic<bool> done_{false};
    bool ok_ = false;
    std::string error_;
    std::thread thread_;  // last: it starts once the rest is in place
};

// Plugs the virtual converter in and opens its control channel as soon as its HID interface can be
// opened: that moment, or none when the install failed (`error` tells why).
inline std::optional<SteadyTime> PlugIn(VirtualConverterControl& control, std::string& error)
{
    control.Close();
    DeviceStep install(DeviceStep::Install);
    std::optional<SteadyTime> openable;
    for (;;) {
        const bool finished = install.Done();
        if (control.Open()) {
            openable = Now();
            break;
        }
        if (finished) {
            break;
        }
        Sleep(1);
    }
    if (!install.Finish(error)) {
        return std::nullopt;
    }
    if (!openable) {
        error = "installed, but the control channel does not open";
    }
    return openable;
}

// Pulls the virtual converter out from under the console and watches the notice.
struct Unplugged {
    bool removed = false;
    std::string error;
    // The removal began: the device goes during the removal, so the time from here to the notice
    // is at most the time from the device's going to the notice.
    SteadyTime started{};
    std::optional<SteadyTime> notice;  // the notice was seen on screen
    bool boxSeen = false;              // an error box appeared meanwhile
};

inline Unplugged Unplug(VirtualConverterControl& control, const ShippedConsole& console,
                        std::chrono::milliseconds limit)
{
    control.Close();
    Unplugged result;
    DeviceStep remove(DeviceStep::Remove);
    result.started = remove.Started();
    const SteadyTime end = result.started + limit;
    while (Now() < end && !(result.notice && remove.Done())) {
        if (!result.notice && console.NoticeStrip() == Strip::Notice) {
            result.notice = Now();
        }
        result.boxSeen = result.boxSeen || !console.ErrorBoxes().empty();
        Sleep(1);
    }
    result.removed = remove.Finish(result.error);
    return result;
}

// What a process holds, measured from outside it. Wine answers GetGuiResources and
// GetProcessHandleCount with 0, so: its kernel handles are counted by duplicating each slot of its
// handle table; its GDI objects by reading its GDI handle table, which Wine keeps inside the
// process (as Windows did before version 10) and names in the PEB (GdiSharedHandleTable); its
// windows, children included, by enumeration; the working set as the system reports it.
struct ProcessMarks {
    SIZE_T workingSet = 0;
    int kernelHandles = 0;
    int gdiObjects = -1;  // -1: the table could not be read
    int windows = 0;
};

// Kernel handle values are multiples of four, the lowest free slot taken first; the console holds
// about forty.
inline constexpr std::uintptr_t HANDLE_SLOTS_SCANNED = 0x1000;
// Wine 8's GDI handle table, as read around a brush made for the purpose: 65,536 entries of 24
// bytes, the object's type in byte 14 of an entry, 0 when the entry is free. The PEB of a 64-bit
// process names it at 0xF8. The replug benchmark checks first that a new object is counted.
inline constexpr std::size_t GDI_TABLE_ENTRIES = 0x10000;
inline constexpr std::size_t GDI_ENTRY_SIZE = 24;
inline constexpr std::size_t GDI_ENTRY_TYPE_OFFSET = 14;
inline constexpr std::size_t PEB_GDI_TABLE_OFFSET = 0xF8;

// The handle values that are open in the process.
inline std::vector<std::uintptr_t> KernelHandleSlots(HANDLE process)
{
    std::vector<std::uintptr_t> slots;
    for (std::uintptr_t slot = 4; slot < HANDLE_SLOTS_SCANNED * 4; slot += 4) {
        HANDLE copy = nullptr;
        // Slot values are what the process itself holds as handles.
        if (DuplicateHandle(process, reinterpret_cast<HANDLE>(slot), GetCurrentProcess(), &copy, 0, FALSE,
                            DUPLICATE_SAME_ACCESS)) {
            slots.push_back(slot);
            CloseHandle(copy);
        }
    }
    return slots;
}

inline int CountKernelHandles(HANDLE process)
{
    return static_cast<int>(KernelHandleSlots(process).size());
}

inline int CountGdiObjects(HANDLE process)
{
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof(basic), &length) != 0) {
        return -1;
    }
    std::uintptr_t table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + PEB_GDI_TABLE_OFFSET, &table,
                           sizeof(table), &read) ||
        table == 0) {
        return -1;
    }
    std::vector<std::uint8_t> entries(GDI_TABLE_ENTRIES * GDI_ENTRY_SIZE);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(), entries.size(), &read) ||
        read != entries.size()) {
        return -1;
    }
    int count = 0;
    for (std::size_t entry = 0; entry < GDI_TABLE_ENTRIES; ++entry) {
        count += entries[entry * GDI_ENTRY_SIZE + GDI_ENTRY_TYPE_OFFSET] != 0 ? 1 : 0;
    }
    return count;
}

inline int CountWindows(DWORD processId)
{
    struct Count {
        DWORD processId;
        int windows;
    } count{processId, 0};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* c = reinterpret_cast<Count*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == c->processId) {
                ++c->windows;
                EnumChildWindows(
                    window,
                    [](HWND, LPARAM inner) -> BOOL {
                        ++reinterpret_cast<Count*>(inner)->windows;
                        return TRUE;
                    },
                    parameter);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

inline ProcessMarks MeasureProcess(HANDLE process, DWORD processId)
{
    ProcessMarks marks;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process, &memory, sizeof(memory))) {
        marks.workingSet = memory.WorkingSetSize;
    }
    marks.kernelHandles = CountKernelHandles(process);
    marks.gdiObjects = CountGdiObjects(process);
    marks.windows = CountWindows(processId);
    return marks;
}

#pragma once

// Runs the console's real main window inside a test, on the simulated converter or on a bus
// without one, and gives the tests what they need to drive it: message pumping, the windows of
// modal boxes, and the pixels of the client area.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/run_console.h"
#include "win32/hid_interface_class.h"
#include "win32/thread_execution_state.h"
#include "win32/resource_ids.h"
#include "win32/top_level_windows.h"
#include "simulator/simulated_hid_bus.h"
#include "running_program.h"
#include "screen_pixels.h"
#include "../native/temp_folder.h"

// Dispatches everything that is queued; a WM_QUIT is kept in `quitCode`.
inline void PumpMessages(int* quitCode = nullptr)
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            if (quitCode != nullptr) {
                *quitCode = static_cast<int>(message.wParam);
            }
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Pumps messages for a while, or until `done` says so.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

// The top-level window of this thread with the given class and caption, if it is open.
inline HWND FindThreadWindow(const char* className, const char* caption)
{
    for (HWND window : TopLevelWindows(className, GetCurrentThreadId())) {
        char text[256] = {};
        GetWindowTextA(window, text, sizeof(text));
        if (IsWindowVisible(window) && std::string(text) == caption) {
            return window;
        }
    }
    return nullptr;
}

// Runs `trigger`, which opens a modal box; once the box with this caption is up, `inside` runs
// with it from the box's own message loop, and must close it. False when the box never showed.
bool WhileModalBoxIsOpen(const char* caption, const std::function<void()>& trigger,
                         const std::function<void(HWND)>& inside,
                         std::chrono::milliseconds patience = std::chrono::milliseconds(3000));

inline std::string WindowText(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// A client-area rectangle of a child window.
inline RECT ClientRectOf(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The strings of the resources linked into the test, with the main window's class registered
// once per process.
const ApplicationStrings& RegisteredApplicationStrings();

// Sends the menu's Exit to the main window and returns the exit code the message loop would return.
int CloseConsoleWindow(HWND mainWindow);

// The machine's clock, which a test may stop and then move on by hand: the crossfade's progress at
// a tick is then exact.
class TestClock final : public Clock {
public:
    TimePoint Now() override { return held_ ? *held_ : steady_.Now(); }
    void WaitUntil(TimePoint t) override
    {
        if (!held_) {
            steady_.WaitUntil(t);
        } else if (t > *held_) {
            held_ = t;
        }
    }
    void Hold() { held_ = steady_.Now(); }
    void Advance(std::chrono::duration<double> d) { *held_ += std::chrono::duration_cast<Duration>(d); }

private:
    SteadyClock steady_;
    std::optional<TimePoint> held_;
};

class ConsoleTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Starts the console; with a converter, it is the simulated one at index 1 of the bus.
    void Start(bool withConverter = true);
    // Starts a console on `onBus` as it stands; false when the start failed.
    bool StartOn(HidBus& onBus);
    // Closes the main window and returns the exit code the message loop would return.
    int Close();

    HWND Main() const { return console ? console->MainWindow() : nullptr; }
    // A box or button of the panel.
    HWND Control(int id) const { return GetDlgItem(Main(), id); }
    HWND Track(int id) const { return ChildControl(Main(), TRACKBAR_CLASSA, id); }
    // Sets a fader without a word to the console, as the console's own moves of the master do.
    void SetFader(int id, int level);
    // Sets a fader as a drag would, and lets the console hear of it.
    void MoveFader(int id, int level);
    int FaderLevel(int id) const;
    // GO or SAVE as a click reports it, without taking the keyboard from the control that has it.
    void Click(int buttonId);
    // The fade timer's tick, now.
    void Tick();
    // Whether the fade timer runs: its tick comes due within a few periods. Nothing is dispatched.
    bool FadeTimerRunning() const;
    // Clicks SAVE and returns the command that reached the converter, or nothing.
    std::string Save();
    // Whether the strip of the "DMX Converter not found!" notice shows anything, as painted.
    bool NoticeShown();
    std::vector<std::string> Commands() const;
    SimulatedConverter& Converter() { return *converter; }

    TempFolder temp;
    TestClock clock;
    SimulatedHidBus bus;
    std::shared_ptr<SimulatedConverter> converter = std::make_shared<SimulatedConverter>(clock);
    ThreadExecutionState awake;  // Veltrano.exe's choice: awake while a converter is in use
    std::unique_ptr<ConsoleWindow> console;
};

#pragma once

// Runs the console's real main window inside a test, on the simulated converter or on a bus
// without one, and gives the tests what they need to drive it: message pumping, the windows of
// modal boxes, and the pixels of the client area.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/resources/resource_ids.h"
#include "converter/converter_link.h"
#include "panel/panel.h"
#include "simulator/simulated_hid_bus.h"
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
    struct Search {
        const char* className;
        const char* caption;
        HWND found;
    } search{className, caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            char cls[64] = {};
            char text[256] = {};
            GetClassNameA(window, cls, sizeof(cls));
            GetWindowTextA(window, text, sizeof(text));
            if (IsWindowVisible(window) && std::string(cls) == s->className && std::string(text) == s->caption) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
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
    PanelState& Panel() { return console->Panel(); }
    ConverterLink& Link() { return console->Link(); }
    bool Fading() const { return console->Fading(); }
    const CrossfadeState& Fade() const { return console->Fade(); }
    SimulatedConverter& Converter() { return *converter; }

    TempFolder temp;
    SteadyClock clock;
    SimulatedHidBus bus;
    std::shared_ptr<SimulatedConverter> converter = std::make_shared<SimulatedConverter>(clock);
    std::unique_ptr<Console> console;
};

#pragma once

// The console: the main window with its panel, the crossfade and the link to the converter. One
// object holds the run's whole state; the entry point builds it on the platform it chose, and the
// window procedure reaches it through the main window.

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "converter/clock.h"
#include "converter/converter_link.h"
#include "converter/hid_access.h"
#include "mixing/crossfade_math.h"
#include "app/window_object.h"
#include "app/window_owners.h"
#include "panel/panel.h"

inline constexpr int TEXT_BUFFER_SIZE = 100;

inline constexpr UINT_PTR FADE_TIMER_ID = 5000;
inline constexpr UINT FADE_TIMER_PERIOD_MS = 55;

// A device can be announced before it can be opened: after a HID arrival that did not bring the
// converter, the search is tried again this long after the arrival, once for each.
inline constexpr UINT_PTR SEARCH_RETRY_TIMER_ID = 5001;
inline constexpr UINT SEARCH_RETRY_DELAYS_MS[] = {300, 2000};

// The HID interface class, whose arrivals and removals the console is told of.
inline constexpr GUID HID_INTERFACE_CLASS{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// The window title and class name, from the string table.
struct ApplicationStrings {
    char title[TEXT_BUFFER_SIZE] = {};
    char className[TEXT_BUFFER_SIZE] = {};
};

ApplicationStrings LoadApplicationStrings(HINSTANCE instance);
ATOM RegisterMainWindowClass(HINSTANCE instance, const char* className);

class Console final : public WindowObject<Console>, private ConverterListener {
public:
    // `logPath` is where the converter search writes its discovery log; none when it cannot be
    // placed. The main window's class must be registered with `strings.className`.
    Console(HINSTANCE instance, const ApplicationStrings& strings, HidBus& bus, Clock& clock,
            std::optional<std::string> logPath);
    // A main window still open is destroyed first, without closing the run (a test's console, or
    // one whose start failed).
    ~Console() override;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Creates the main window hidden, builds the panel, opens the converter, then places and
    // shows the window. False when the window (or the panel) cannot be created.
    bool StartApplication(int showCommand);

    // The main window while it exists; null before StartApplication and once it is destroyed.
    HWND MainWindow() const { return Window(); }

private:
    friend class WindowObject<Console>;

    // The main window's procedure: one handler per message.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void OnDestroy();
    void OnDeviceChange(WPARAM event, LPARAM data);
    void OnTimer(UINT_PTR timer);
    // WM_ACTIVATE: true when the console gave the keyboard back to one of its controls.
    bool OnActivate(WPARAM wParam);
    // Called before a box owned by the main window opens: the control that has the keyboard gets
    // it back when the box is closed.
    void RememberFocus();

    // Channel output: the mix of channel i read fresh from the faders, and all twelve in order.
    CommandResult SendChannel(int channel);
    void SendAllChannels();
    // A fader's scroll notification: a scene fader sends its channel, the master all twelve.
    void OnFaderScroll(int scrollCode, HWND trackWindow);

    // GO: reads the fade time, sends the channels as they stand, and starts the fade, or switches
    // the master at once for fade times under half a millisecond. GO during a fade starts a new
    // one from where the master stands.
    void StartCrossfade();
    // The fade timer's tick: moves the master on and sends all channels.
    void StepCrossfade();
    void StopFadeTimer();

    // WM_COMMAND from the fade-time box, the preset box, SAVE or GO.
    void OnPanelCommand(int controlId, int notificationCode);
    void OnFadeTimeBox(int notificationCode);
    void OnPresetBox(int notificationCode);
    void RestorePresetBox();
    void OnSave();
    void PlaceAndShow();
    void RepaintNotice();
    void ScheduleSearchRetry();

    // The edit boxes' own window procedure in front of the system's: Enter in the fade-time box,
    // and pastes and texts set by other programs into either box.
    static LRESULT CALLBACK EditBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR boxId,
                                        DWORD_PTR owner);
    LRESULT OnLineBreakTyped(WPARAM character, int boxId);
    void OnPaste(HWND box, int boxId);
    LRESULT OnSetText(HWND box, int boxId, LPARAM lParam);
    bool PutWhole(HWND box, int boxId, const std::string& expected, UINT message, WPARAM wParam, LPARAM lParam);
    void ShowOwnText(HWND box, const char* text);

    // ConverterListener
    void ShowCommError(const char* text, const char* caption) override;
    void ConverterBack() override;
    void ConverterLost() override;
    void ConverterFound() override;

    HINSTANCE instance_;
    ApplicationStrings strings_;
    Clock& clock_;
    ConverterLink link_;
    PanelState panel_;
    // The edit boxes' subclassing, in the order fade-time box, preset box.
    std::array<WindowSubclass, 2> boxSubclasses_;
    DeviceNotification deviceNotifications_;
    CrossfadeState fade_;
    bool fading_ = false;  // the fade timer is running
    int showCommand_ = SW_SHOWDEFAULT;
    bool shown_ = false;
    // A paste, or a text set by another program, is going into a box: its updates wait until the
    // box shows the whole of it.
    bool pasting_ = false;
    // The console sets a box's text itself.
    bool ownText_ = false;
    // The "Invalid Preset" box is open: one at a time.
    bool presetBoxOpen_ = false;
    // The retries of the search after the last arrival: how many are done, and when it came.
    std::size_t searchRetriesDone_ = 0;
    TimePoint lastArrival_{};
    // The control that had the keyboard when the main window was last left.
    HWND focusToRestore_ = nullptr;
    // The main window is being destroyed: nothing more is read from its controls or sent.
    bool closing_ = false;
};

// The main window class's procedure.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs until WM_QUIT and returns its exit code. Accelerators go to `mainWindow` whichever of its
// controls has the focus.
int RunMessageLoop(HWND mainWindow, HACCEL accelerators);

// What both executables do once they have chosen their platform: load the strings, register the
// class, start the console and run its message loop. Returns the exit code.
int RunConsole(HINSTANCE instance, int showCommand, HidBus& bus, Clock& clock);

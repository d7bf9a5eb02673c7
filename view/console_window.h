#pragma once

// The console's main window: the view of the console's model. It creates the window and its
// panel, turns the window's messages into the model's operations, paints the notice and the
// boxes' frames, and gives the model its ports over the controls, the timers and the boxes. The
// entry point builds it on the platform it chose; the window procedure reaches it through the
// window.

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "console/console_model.h"
#include "console/console_ports.h"
#include "converter/clock.h"
#include "converter/hid_access.h"
#include "panel/panel.h"
#include "win32/window_object.h"
#include "win32/window_owners.h"

inline constexpr int TEXT_BUFFER_SIZE = 100;

inline constexpr UINT_PTR FADE_TIMER_ID = 5000;
inline constexpr UINT_PTR SEARCH_RETRY_TIMER_ID = 5001;

// The window title and class name, from the string table.
struct ApplicationStrings {
    char title[TEXT_BUFFER_SIZE] = {};
    char className[TEXT_BUFFER_SIZE] = {};
};

ATOM RegisterMainWindowClass(HINSTANCE instance, const char* className);

class ConsoleWindow;

// The owner of the run, told what only it decides: the end of the process.
class RunOwner {
public:
    virtual ~RunOwner() = default;
    // The session is ending, and the main window is gone as Exit takes it. Once the window has
    // answered, the system may end the process at any moment, mid-fade and with a code of its own.
    virtual void SessionEnded() = 0;
};

// A timer of the main window, behind the model's Timer port.
class WindowTimer final : public Timer {
public:
    WindowTimer(const ConsoleWindow& owner, UINT_PTR id) : owner_(owner), id_(id) {}
    void Start(Duration period) override;
    void Stop() override;

private:
    const ConsoleWindow& owner_;
    UINT_PTR id_;
};

class ConsoleWindow final : public WindowObject<ConsoleWindow>,
                            private Faders,
                            private BoxTexts,
                            private MessageBoxes,
                            private Notice {
public:
    // `logPath` is where the converter search writes its discovery log; none when it cannot be
    // placed. `awake` keeps the machine awake while a converter is in use; none keeps nothing
    // awake. `owner` is told when the session ends; with none, the window only closes. The main
    // window's class must be registered with `strings.className`.
    ConsoleWindow(HINSTANCE instance, const ApplicationStrings& strings, HidBus& bus, Clock& clock,
                  std::optional<std::string> logPath, KeepAwake* awake = nullptr, RunOwner* owner = nullptr);
    // A main window still open is destroyed first, without closing the run (a test's console, or
    // one whose start failed).
    ~ConsoleWindow() override;
    ConsoleWindow(const ConsoleWindow&) = delete;
    ConsoleWindow& operator=(const ConsoleWindow&) = delete;

    // Creates the main window hidden, builds the panel, opens the converter, then places and
    // shows the window. False when the window (or the panel) cannot be created.
    bool StartApplication(int showCommand);

    // The main window while it exists; null before StartApplication and once it is destroyed.
    HWND MainWindow() const { return Window(); }
    const ConsoleModel& Model() const { return model_; }

private:
    friend class WindowObject<ConsoleWindow>;

    // The main window's procedure: one handler per message.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs the handler of a message that may lead to a box, with the answer the procedure gives
    // that message if it does (see AnswerSender). Returns the handler's result, or `answer` for a
    // handler that returns none.
    template <typename Handler>
    LRESULT Answering(LRESULT answer, Handler&& handler);
    // Before a box opens: a message sent from another thread or program gets its answer now, so
    // that its sender (the system's device and power news among them) does not wait on the box.
    // Once answered, the message's data may be gone: nothing reads it after a box.
    void AnswerSender() const;
    int OpenMessageBox(HWND owner, const char* text, const char* caption, UINT type) const;
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    void OnBoxNotification(int boxId, int notificationCode);
    void OnPaint();
    void OnDestroy();
    void OnEndSession(bool ending);
    void OnDeviceChange(WPARAM event, LPARAM data);
    // WM_ACTIVATE: true when the console gave the keyboard back to one of its controls.
    bool OnActivate(WPARAM wParam);
    // Called before a box owned by the main window opens: the control that has the keyboard gets
    // it back when the box is closed.
    void RememberFocus();
    void PlaceAndShow();
    HWND Box(int boxId) const;
    Fader* FaderOf(int faderId) const;

    // The edit boxes' own window procedure in front of the system's: line breaks typed (Enter reported
    // to the model), and pastes and texts set by other programs into either box.
    static LRESULT CALLBACK EditBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR boxId,
                                        DWORD_PTR owner);
    LRESULT OnLineBreakTyped(WPARAM character, int boxId);
    void OnPaste(HWND box, int boxId);
    LRESULT OnSetText(HWND box, int boxId, LPARAM lParam);
    bool PutWhole(HWND box, int boxId, const std::string& expected, UINT message, WPARAM wParam, LPARAM lParam);
    void ShowOwnText(HWND box, const char* text);

    // Faders
    int Level(int faderId) override;
    void SetLevel(int faderId, int level) override;
    // BoxTexts
    RecordedText Read(int boxId) override;
    void Show(int boxId, const char* text) override;
    // MessageBoxes
    void ShowInvalidPreset(const char* text, const char* caption) override;
    void ShowCommError(const char* text, const char* caption) override;
    void Refuse() override;
    // Notice
    void Show(ConverterNotice shown) override;

    HINSTANCE instance_;
    RunOwner* owner_;
    ApplicationStrings strings_;
    PanelState panel_;
    // The edit boxes' subclassing, in the order fade-time box, preset box.
    std::array<WindowSubclass, 2> boxSubclasses_;
    DeviceNotification deviceNotifications_;
    WindowTimer fadeTimer_{*this, FADE_TIMER_ID};
    WindowTimer retryTimer_{*this, SEARCH_RETRY_TIMER_ID};
    ConsoleModel model_;
    ConverterNotice notice_ = ConverterNotice::None;
    int showCommand_ = SW_SHOWDEFAULT;
    bool shown_ = false;
    // A paste, or a text set by another program, is going into a box: its updates wait until the
    // box shows the whole of it.
    bool pasting_ = false;
    // The console sets a box's text itself.
    bool ownText_ = false;
    // The control that had the keyboard when the main window was last left.
    HWND focusToRestore_ = nullptr;
    // What the message being handled is answered if it leads to a box. A message sent to one of
    // the panel's controls (a click, a key) leads to a box through the notification the control
    // sends the main window, whose answer, 0, is the control's own for such messages.
    LRESULT answer_ = 0;
};

template <typename Handler>
LRESULT ConsoleWindow::Answering(LRESULT answer, Handler&& handler)
{
    const LRESULT outer = std::exchange(answer_, answer);
    LRESULT result = answer;
    if constexpr (std::is_void_v<std::invoke_result_t<Handler>>) {
        std::forward<Handler>(handler)();
    } else {
        result = std::forward<Handler>(handler)();
    }
    answer_ = outer;
    return result;
}

// The main window class's procedure.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

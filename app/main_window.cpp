#include <windows.h>

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "app/console.h"
#include "app/resources/resource_ids.h"
#include "converter/discovery_log.h"

namespace {

// Where "DMX Converter not found!" is centred when no converter is in use.
constexpr RECT NOT_FOUND_TEXT_RECT{300, 0, 520, 20};
constexpr int EDIT_FRAME_MARGIN = 3;

RECT ToRect(const PanelRect& r)
{
    return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

ApplicationStrings LoadApplicationStrings(HINSTANCE instance)
{
    ApplicationStrings strings;
    LoadStringA(instance, IDS_APP_TITLE, strings.title, TEXT_BUFFER_SIZE);
    LoadStringA(instance, IDS_WINDOW_CLASS, strings.className, TEXT_BUFFER_SIZE);
    return strings;
}

ATOM RegisterMainWindowClass(HINSTANCE instance, const char* className)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTRANO));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // A system colour index plus one stands for its brush.
    windowClass.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));  // NOLINT(performance-no-int-to-ptr)
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    windowClass.lpszClassName = className;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTRANO_SMALL));
    return RegisterClassExA(&windowClass);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Console::Procedure(window, message, wParam, lParam);
}

LRESULT Console::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_VSCROLL:
        // The notifying trackbar travels in lParam.
        OnFaderScroll(LOWORD(wParam), reinterpret_cast<HWND>(lParam));  // NOLINT(performance-no-int-to-ptr)
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam, lParam);
        return TRUE;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_ACTIVATE:
        if (OnActivate(wParam)) {
            return 0;
        }
        break;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        break;
    }
    return DefWindowProcA(Window(), message, wParam, lParam);
}

LRESULT Console::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    switch (id) {
    case ID_MENU_ABOUT:
        RememberFocus();
        DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_ABOUTBOX), Window(), AboutDialogProc, 0);
        return 0;
    case ID_MENU_EXIT:
        DestroyWindow(Window());
        return 0;
    case ID_FADE_TIME:
    case ID_PRESET:
    case ID_SAVE:
    case ID_GO:
        OnPanelCommand(id, HIWORD(wParam));
        return 0;
    default:
        return DefWindowProcA(Window(), WM_COMMAND, wParam, lParam);
    }
}

void Console::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Window(), &paint);
    if (!link_.Present()) {
        char text[TEXT_BUFFER_SIZE] = {};
        LoadStringA(instance_, IDS_CONVERTER_NOT_FOUND, text, sizeof(text));
        RECT where = NOT_FOUND_TEXT_RECT;
        DrawTextA(dc, text, -1, &where, DT_CENTER);
    }
    for (const PanelRect& box : {fadeEditRect, presetEditRect}) {
        RECT frame = ToRect(box);
        InflateRect(&frame, EDIT_FRAME_MARGIN, EDIT_FRAME_MARGIN);
        DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    }
    EndPaint(Window(), &paint);
}

void Console::OnDestroy()
{
    // The window may go from inside a box's message loop, in the middle of an exchange or of all
    // twelve: the stage keeps what it has, and nothing more is read from the dying controls.
    closing_ = true;
    StopFadeTimer();
    KillTimer(Window(), SEARCH_RETRY_TIMER_ID);
    deviceNotifications_.Release();
    link_.CloseConverter();
    PostQuitMessage(0);
}

void Console::RepaintNotice()
{
    RECT notice = NOT_FOUND_TEXT_RECT;
    InvalidateRect(Window(), &notice, TRUE);
}

// A HID interface came or went. The name in the broadcast is not relied on (some platforms hand
// an ANSI window the Unicode form); its class is where both forms agree.
void Console::OnDeviceChange(WPARAM event, LPARAM data)
{
    if (closing_ || (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)) {
        return;
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);  // NOLINT(performance-no-int-to-ptr)
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
        return;
    }
    const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(header);
    if (std::memcmp(&device->dbcc_classguid, &HID_INTERFACE_CLASS, sizeof(GUID)) != 0) {
        return;
    }
    if (event == DBT_DEVICEREMOVECOMPLETE) {
        link_.OnDeviceRemoval();
        return;
    }
    lastArrival_ = clock_.Now();
    searchRetriesDone_ = 0;
    KillTimer(Window(), SEARCH_RETRY_TIMER_ID);
    if (!link_.OnDeviceArrival()) {
        ScheduleSearchRetry();
    }
}

void Console::OnTimer(UINT_PTR timer)
{
    if (timer == FADE_TIMER_ID) {
        StepCrossfade();
        return;
    }
    if (timer != SEARCH_RETRY_TIMER_ID) {
        return;
    }
    KillTimer(Window(), SEARCH_RETRY_TIMER_ID);
    ++searchRetriesDone_;
    if (!closing_ && !link_.SearchAgain()) {
        ScheduleSearchRetry();
    }
}

void Console::ScheduleSearchRetry()
{
    // A box of the search may have closed the console: its window and timers are gone.
    if (closing_ || searchRetriesDone_ >= std::size(SEARCH_RETRY_DELAYS_MS)) {
        return;
    }
    const auto due = lastArrival_ + std::chrono::milliseconds(SEARCH_RETRY_DELAYS_MS[searchRetriesDone_]);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - clock_.Now()).count();
    SetTimer(Window(), SEARCH_RETRY_TIMER_ID, static_cast<UINT>(std::max<long long>(wait, USER_TIMER_MINIMUM)),
             nullptr);
}

// The main window is not a dialog: activated again it would take the keyboard itself, and the
// fader or box the operator was using would lose it. That control gets it back.
bool Console::OnActivate(WPARAM wParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        RememberFocus();
        return false;
    }
    const bool minimised = HIWORD(wParam) != 0;
    if (minimised || focusToRestore_ == nullptr || !IsChild(Window(), focusToRestore_)) {
        return false;
    }
    SetFocus(focusToRestore_);
    return true;
}

// A box owned by the main window disables it, which on some platforms takes the keyboard from its
// controls before the window is told that it is left: the box's opener remembers the control first.
void Console::RememberFocus()
{
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(Window(), focus)) {
        focusToRestore_ = focus;
    }
}

void Console::ConverterLost()
{
    // No box: the notice is the sign. The console works on, on screen.
    if (!closing_) {
        RepaintNotice();
    }
}

// A converter found after start-up has been sent "I": it gets all twelve channels as the faders
// stand, so that the stage matches the console.
void Console::ConverterFound()
{
    KillTimer(Window(), SEARCH_RETRY_TIMER_ID);
    RepaintNotice();
    SendAllChannels();
}

bool Console::StartApplication(int showCommand)
{
    // The window carries this console from its creation on, and the console the window (see
    // WindowObject).
    HWND window = CreateWindowExA(0, strings_.className, strings_.title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance_, this);
    if (window == nullptr) {
        return false;
    }

    InitCommonControls();
    if (!BuildPanel(panel_, window)) {
        DestroyWindow(window);
        return false;
    }
    boxSubclasses_ = {
        WindowSubclass(panel_.fadeEdit, EditBoxProc, ID_FADE_TIME, reinterpret_cast<DWORD_PTR>(this)),
        WindowSubclass(panel_.presetEdit, EditBoxProc, ID_PRESET, reinterpret_cast<DWORD_PTR>(this)),
    };
    showCommand_ = showCommand;
    // Told of every HID interface that comes or goes, so that a converter plugged in later is
    // found, and one unplugged is noticed.
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = HID_INTERFACE_CLASS;
    deviceNotifications_ = DeviceNotification(RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    link_.OpenConverter();
    PlaceAndShow();
    return true;
}

void Console::PlaceAndShow()
{
    if (shown_) {
        return;
    }
    shown_ = true;
    // Whatever placement the system would choose, the console starts at (10, 10), 800 x 600.
    SetWindowPos(Window(), HWND_TOP, 10, 10, 800, 600, SWP_NOACTIVATE);
    ShowWindow(Window(), showCommand_);
    UpdateWindow(Window());
}

void Console::ShowCommError(const char* text, const char* caption)
{
    // A converter silent from the start fails its first command while the console is still
    // hidden: the operator sees the console behind the box, not a box alone.
    if (Window() != nullptr && !closing_) {
        PlaceAndShow();
    }
    MessageBoxA(nullptr, text, caption, MB_OK);
}

int RunMessageLoop(HWND mainWindow, HACCEL accelerators)
{
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Accelerators are translated for the main window whichever of its controls has the
        // focus, so ALT+? works with a fader or a box focused too.
        if (!TranslateAcceleratorA(mainWindow, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

int RunConsole(HINSTANCE instance, int showCommand, HidBus& bus, Clock& clock)
{
    const ApplicationStrings strings = LoadApplicationStrings(instance);
    RegisterMainWindowClass(instance, strings.className);
    Console console(instance, strings, bus, clock, DiscoveryLogPath(FindEnvironmentValue("TEMP")));
    if (!console.StartApplication(showCommand)) {
        return 0;
    }
    return RunMessageLoop(console.MainWindow(), LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS)));
}

#include <windows.h>

#include <commctrl.h>

#include "app/application.h"
#include "app/panel_commands.h"
#include "app/resources/resource_ids.h"
#include "converter/converter_link.h"
#include "mixing/channel_output.h"
#include "panel/panel.h"

namespace {

// Where "DMX Converter not found!" is centred when no converter was found.
constexpr RECT NOT_FOUND_TEXT_RECT{300, 0, 520, 20};
constexpr int EDIT_FRAME_MARGIN = 3;

RECT ToRect(const PanelRect& r)
{
    return {r.left, r.top, r.right, r.bottom};
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    switch (id) {
    case ID_MENU_ABOUT:
        DialogBoxParamA(TheApplication().instance, MAKEINTRESOURCEA(IDD_ABOUTBOX), window, AboutDialogProc, 0);
        return 0;
    case ID_MENU_EXIT:
        DestroyWindow(window);
        return 0;
    case ID_FADE_TIME:
    case ID_PRESET:
    case ID_SAVE:
    case ID_GO:
        OnPanelCommand(window, id, HIWORD(wParam));
        return 0;
    default:
        return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    }
}

void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!TheConverter().present) {
        char text[TEXT_BUFFER_SIZE] = {};
        LoadStringA(TheApplication().instance, IDS_CONVERTER_NOT_FOUND, text, sizeof(text));
        RECT where = NOT_FOUND_TEXT_RECT;
        DrawTextA(dc, text, -1, &where, DT_CENTER);
    }
    for (const PanelRect& box : {fadeEditRect, presetEditRect}) {
        RECT frame = ToRect(box);
        InflateRect(&frame, EDIT_FRAME_MARGIN, EDIT_FRAME_MARGIN);
        DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    }
    EndPaint(window, &paint);
}

}  // namespace

Application& TheApplication()
{
    static Application application;
    return application;
}

void LoadApplicationStrings(HINSTANCE instance)
{
    Application& application = TheApplication();
    LoadStringA(instance, IDS_APP_TITLE, application.title, TEXT_BUFFER_SIZE);
    LoadStringA(instance, IDS_WINDOW_CLASS, application.className, TEXT_BUFFER_SIZE);
}

ATOM RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTRANO));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    // A system colour index plus one stands for its brush.
    windowClass.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));  // NOLINT(performance-no-int-to-ptr)
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    windowClass.lpszClassName = TheApplication().className;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTRANO_SMALL));
    return RegisterClassExA(&windowClass);
}

bool StartApplication(HINSTANCE instance, int showCommand)
{
    Application& application = TheApplication();
    application.instance = instance;
    HWND window = CreateWindowExA(0, application.className, application.title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return false;
    }
    application.mainWindow = window;

    InitCommonControls();
    if (!BuildPanel(window)) {
        DestroyWindow(window);
        return false;
    }
    TheConverter().answeringAgain = SendAllChannels;
    OpenConverter();

    // Whatever placement the system would choose, the console starts at (10, 10), 800 x 600.
    SetWindowPos(window, HWND_TOP, 10, 10, 800, 600, SWP_NOACTIVATE);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

int RunMessageLoop(HACCEL accelerators)
{
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Accelerators are translated for the main window whichever of its controls has the
        // focus, so ALT+? works with a fader or a box focused too.
        HWND mainWindow = TheApplication().mainWindow;
        if (!TranslateAcceleratorA(mainWindow, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    case WM_VSCROLL:
        // The notifying trackbar travels in lParam.
        OnPanelScroll(LOWORD(wParam), reinterpret_cast<HWND>(lParam));  // NOLINT(performance-no-int-to-ptr)
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void ShowCommErrorBox(const char* text, const char* caption)
{
    MessageBoxA(nullptr, text, caption, MB_OK);
}

#include "console_fixture.h"

#include "mixing/crossfade.h"

namespace {

struct ModalWatch {
    const char* caption = nullptr;
    const std::function<void(HWND)>* inside = nullptr;
    bool seen = false;
    int ticks = 0;
};
ModalWatch* activeWatch = nullptr;

void CALLBACK WatchForModalBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    ModalWatch* watch = activeWatch;
    if (watch == nullptr || watch->seen) {
        KillTimer(nullptr, timer);
        return;
    }
    if (HWND box = FindThreadWindow("#32770", watch->caption)) {
        watch->seen = true;
        KillTimer(nullptr, timer);
        (*watch->inside)(box);
        return;
    }
    // Never leave a test hanging on a box that did not open as expected.
    if (++watch->ticks > 400) {
        KillTimer(nullptr, timer);
        if (HWND other = GetActiveWindow(); other != nullptr && other != TheApplication().mainWindow) {
            PostMessageA(other, WM_CLOSE, 0, 0);
        }
    }
}

}  // namespace

bool WhileModalBoxIsOpen(const char* caption, const std::function<void()>& trigger,
                         const std::function<void(HWND)>& inside, std::chrono::milliseconds patience)
{
    ModalWatch watch;
    watch.caption = caption;
    watch.inside = &inside;
    activeWatch = &watch;
    SetTimer(nullptr, 0, 10, WatchForModalBox);
    trigger();
    // A box opened by a posted message needs the queue pumped.
    PumpUntil([&] { return watch.seen; }, patience);
    activeWatch = nullptr;
    return watch.seen;
}

Pixels CaptureClient(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    Pixels pixels;
    pixels.width = client.right;
    pixels.height = client.bottom;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* data = static_cast<const std::uint32_t*>(bits);
    pixels.data.assign(data, data + pixels.width * pixels.height);
    for (auto& p : pixels.data) {
        p &= 0x00FFFFFF;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return pixels;
}

Pixels Render(int width, int height, const std::function<void(HDC)>& draw)
{
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, width, height};
    FillRect(memory, &all, GetSysColorBrush(COLOR_WINDOW));
    draw(memory);
    GdiFlush();
    const auto* data = static_cast<const std::uint32_t*>(bits);
    pixels.data.assign(data, data + width * height);
    for (auto& p : pixels.data) {
        p &= 0x00FFFFFF;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

void ConsoleTest::SetUpTestSuite()
{
    static bool registered = false;
    if (!registered) {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        LoadApplicationStrings(instance);
        RegisterMainWindowClass(instance);
        registered = true;
    }
}

void ConsoleTest::SetUp()
{
    ResetDiscoveryLog();
    TheConverter() = ConverterState{};
    TheCrossfade() = Crossfade{};
}

void ConsoleTest::TearDown()
{
    if (IsWindow(Main())) {
        Close();
    }
    TheConverter() = ConverterState{};
    ResetDiscoveryLog();
}

void ConsoleTest::Start(bool withConverter)
{
    if (withConverter) {
        PopulateTypicalBus(bus, converter);
    } else {
        bus.interfaces = {{OTHER_DEVICE_ATTRIBUTES, nullptr, SearchFault::None, 0, {9, 9}}};
    }
    UseConverterPlatform(bus, MonotonicClock(), ShowCommErrorBox);
    ASSERT_TRUE(StartApplication(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    ASSERT_EQ(TheConverter().present, withConverter);
    SetForegroundWindow(Main());
    PumpMessages();
    converter->ClearHistory();
}

int ConsoleTest::Close()
{
    int quitCode = -1;
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(105, 0), 0);
    PumpMessages(&quitCode);
    return quitCode;
}

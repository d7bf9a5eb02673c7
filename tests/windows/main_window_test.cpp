// The main window and its panel, run for real: placement, every control, the faders, painting,
// the About box and the accelerators.

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "app/run_console.h"
#include "win32/hid_interface_class.h"
#include "win32/resource_ids.h"
#include "console_fixture.h"
#include "keyboard.h"

namespace {

using MainWindow = ConsoleTest;

struct ExpectedControl {
    const char* what;
    HWND window;
    const char* windowClass;
    int id;
    RECT rect;
    DWORD style;
    const char* text;
};

std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

void ExpectControl(HWND mainWindow, const ExpectedControl& c)
{
    SCOPED_TRACE(c.what);
    ASSERT_NE(c.window, nullptr);
    EXPECT_EQ(GetParent(c.window), mainWindow);
    EXPECT_STRCASEEQ(ClassOf(c.window).c_str(), c.windowClass);
    EXPECT_EQ(GetDlgCtrlID(c.window), c.id);
    const RECT r = ClientRectOf(c.window);
    EXPECT_EQ(r.left, c.rect.left);
    EXPECT_EQ(r.top, c.rect.top);
    EXPECT_EQ(r.right, c.rect.right);
    EXPECT_EQ(r.bottom, c.rect.bottom);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(c.window, GWL_STYLE)), c.style);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(c.window, GWL_EXSTYLE)), 0u);
    if (c.text != nullptr) {
        EXPECT_EQ(WindowText(c.window), c.text);
    }
}

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;
// Vertical, automatic ticks, ticks on both sides, and the left-tick bit as well.
constexpr DWORD TRACK_STYLE = CHILD | 0x0F;

// A fader's frame holds its caption.
HWND CaptionOf(HWND frame)
{
    return FindWindowExA(frame, nullptr, "static", nullptr);
}

void ExpectFader(HWND mainWindow, const char* label, int id, int x, int y, int width)
{
    const std::string what = std::string("fader ") + std::to_string(id);
    HWND frame = ChildControl(mainWindow, "static", id);
    HWND track = ChildControl(mainWindow, TRACKBAR_CLASSA, id);
    ExpectControl(mainWindow, {what.c_str(), frame, "static", id, {x, y, x + width, y + 240}, CHILD | SS_BLACKFRAME, ""});
    ExpectControl(mainWindow, {what.c_str(), track, "msctls_trackbar32", id, {x + 2, y + 2, x + width - 2, y + 220},
                   TRACK_STYLE, nullptr});
    SCOPED_TRACE(what);
    EXPECT_EQ(SendMessageA(track, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageA(track, TBM_GETRANGEMAX, 0, 0), 255);
    EXPECT_EQ(SendMessageA(track, TBM_GETPAGESIZE, 0, 0), 16);
    EXPECT_EQ(SendMessageA(track, TBM_GETLINESIZE, 0, 0), 1);
    // Ticks every 26 positions between the two ends.
    EXPECT_EQ(SendMessageA(track, TBM_GETNUMTICS, 0, 0), 11);
    EXPECT_EQ(SendMessageA(track, TBM_GETTIC, 0, 0), 26);
    EXPECT_EQ(SendMessageA(track, TBM_GETTIC, 8, 0), 234);
    EXPECT_EQ(SendMessageA(track, TBM_GETPOS, 0, 0), 255) << "starts at the bottom";

    HWND caption = CaptionOf(frame);
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(GetParent(caption), frame);
    EXPECT_EQ(WindowText(caption), label);
    EXPECT_EQ(GetDlgCtrlID(caption), -1);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(caption, GWL_STYLE)), CHILD | SS_CENTER);
    const RECT r = ClientRectOf(caption);
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.top, 220);
    EXPECT_EQ(r.right, width - 2);
    EXPECT_EQ(r.bottom, 238);
}

TEST_F(MainWindow, IsPlacedAt10By10With800By600)
{
    Start();
    RECT r;
    GetWindowRect(Main(), &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 600);
    EXPECT_TRUE(IsWindowVisible(Main()));
    EXPECT_EQ(WindowText(Main()), "Veltrano");
    char className[64] = {};
    GetClassNameA(Main(), className, sizeof(className));
    EXPECT_STREQ(className, "VELTRANO");
    EXPECT_NE(GetMenu(Main()), nullptr) << "the class menu applies";
}

TEST_F(MainWindow, PanelHoldsEveryControlWhereItBelongs)
{
    Start();
    for (int i = 0; i < 12; ++i) {
        const std::string label = std::to_string(i + 1);
        ExpectFader(Main(), label.c_str(), 2001 + i, 10 + 55 * i, 20, 50);
        ExpectFader(Main(), label.c_str(), 3001 + i, 10 + 55 * i, 280, 50);
    }
    ExpectFader(Main(), "Master", 2000, 711, 280, 60);

    auto label = [this](const char* text) { return FindWindowExA(Main(), nullptr, "static", text); };
    const ExpectedControl others[] = {
        {"A Faders", label("A Faders"), "static", -1, {10, 2, 80, 20}, CHILD | SS_LEFT, "A Faders"},
        {"B Faders", label("B Faders"), "static", -1, {10, 262, 80, 280}, CHILD | SS_LEFT, "B Faders"},
        {"A", label("A"), "static", -1, {693, 287, 708, 305}, CHILD | SS_CENTER, "A"},
        {"B", label("B"), "static", -1, {693, 478, 708, 496}, CHILD | SS_CENTER, "B"},
        {"fade label", label("Fade Time (sec)"), "static", -1, {688, 19, 788, 37}, CHILD | SS_CENTER, "Fade Time (sec)"},
        {"fade box", Control(1000), "edit", 1000, {720, 50, 760, 70}, CHILD | ES_MULTILINE | ES_WANTRETURN, "0.0"},
        {"preset label", label("Preset"), "static", -1, {688, 89, 788, 107}, CHILD | SS_CENTER, "Preset"},
        {"preset box", Control(1001), "edit", 1001, {720, 120, 760, 140}, CHILD | ES_MULTILINE | ES_WANTRETURN, "1"},
        {"SAVE", Control(1002), "button", 1002, {708, 150, 773, 185}, CHILD | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER,
         "SAVE"},
        {"GO", Control(1003), "button", 1003, {708, 225, 773, 260}, CHILD | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER,
         "GO"},
    };
    for (const ExpectedControl& c : others) {
        ExpectControl(Main(), c);
    }
    EXPECT_EQ(Save(), "c0 1\r") << "SAVE stores preset 1 until another is typed";

    // 25 frames, 25 trackbars, 6 labels, 2 boxes and 2 buttons: nothing else.
    int children = 0;
    for (HWND child = GetWindow(Main(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        ++children;
    }
    EXPECT_EQ(children, 60);
}

TEST_F(MainWindow, FaderLevelIsTheInvertedTrackPosition)
{
    Start();
    Fader fader(Main(), GetModuleHandleA(nullptr));
    fader.Create(4002, 300, 300, 40, 100);
    HWND track = ChildControl(Main(), TRACKBAR_CLASSA, 4002);
    fader.SetLevel(200);
    EXPECT_EQ(SendMessageA(track, TBM_GETPOS, 0, 0), 55);
    EXPECT_EQ(fader.GetLevel(), 200);
    fader.SetLevel(300);
    EXPECT_EQ(SendMessageA(track, TBM_GETPOS, 0, 0), 211);
    EXPECT_EQ(fader.GetLevel(), 44);
    fader.SetLevel(255);
    EXPECT_EQ(SendMessageA(track, TBM_GETPOS, 0, 0), 0);
}

TEST_F(MainWindow, KeysMoveAFocusedFaderByAPageOrALine)
{
    Start();
    constexpr int fader = ID_SCENE_B_FIRST + 11;
    SetFocus(Track(fader));
    SendMessageA(Track(fader), WM_KEYDOWN, VK_PRIOR, 0);
    EXPECT_EQ(FaderLevel(fader), 16);
    SendMessageA(Track(fader), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(FaderLevel(fader), 17);
    SendMessageA(Track(fader), WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(FaderLevel(fader), 1);
    SendMessageA(Track(fader), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(FaderLevel(fader), 0);
}

TEST_F(MainWindow, LabelsSetBeforeCreationGetACaptionAndAfterItOnlyTheText)
{
    Start();
    Fader labelled(Main(), GetModuleHandleA(nullptr));
    labelled.SetLabel("X");
    labelled.Create(4000, 300, 300, 40, 100);
    HWND caption = CaptionOf(ChildControl(Main(), "static", 4000));
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(WindowText(caption), "X");
    labelled.SetLabel("Y");
    EXPECT_EQ(WindowText(caption), "Y");

    Fader bare(Main(), GetModuleHandleA(nullptr));
    bare.Create(4001, 400, 300, 40, 0);
    HWND bareFrame = ChildControl(Main(), "static", 4001);
    EXPECT_EQ(CaptionOf(bareFrame), nullptr);
    bare.SetLabel("Z");
    EXPECT_EQ(CaptionOf(bareFrame), nullptr);
    const RECT frame = ClientRectOf(bareFrame);
    EXPECT_EQ(frame.bottom - frame.top, 298) << "the default height without a label";
}

TEST_F(MainWindow, WithoutAConverterTheNoticeIsPaintedCentredAboveThePanel)
{
    Start(false);
    RedrawWindow(Main(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const Pixels screen = CaptureClient(Main());
    const Pixels strip = Crop(screen, 300, 0, 220, 20);
    const Pixels expected = NotFoundStrip(true);
    EXPECT_EQ(strip.data, expected.data) << "the strip (300, 0)-(520, 20) shows the centred notice";
    EXPECT_NE(expected.data, NotFoundStrip(false).data) << "the notice has visible pixels";
}

TEST_F(MainWindow, WithAConverterTheStripStaysEmpty)
{
    Start(true);
    RedrawWindow(Main(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const Pixels strip = Crop(CaptureClient(Main()), 300, 0, 220, 20);
    EXPECT_EQ(strip.data, NotFoundStrip(false).data);
}

TEST_F(MainWindow, SunkenFramesLieThreePixelsOutsideEachEditBox)
{
    Start();
    RedrawWindow(Main(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const Pixels screen = CaptureClient(Main());
    for (const RECT& frame : {RECT{717, 47, 763, 73}, RECT{717, 117, 763, 143}}) {
        SCOPED_TRACE(frame.top);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        const Pixels expected = Render(width, height, [&](HDC dc) {
            RECT r{0, 0, width, height};
            DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
        });
        const Pixels actual = Crop(screen, frame.left, frame.top, width, height);
        // The two-pixel edge all round; inside it the edit box paints itself.
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const bool edge = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
                if (edge) {
                    ASSERT_EQ(actual.At(x, y), expected.At(x, y)) << x << ", " << y;
                }
            }
        }
        EXPECT_EQ(actual.At(0, 10), Rgb(GetSysColor(COLOR_BTNSHADOW))) << "dark outer edge on the left";
        EXPECT_EQ(actual.At(width - 1, 10), Rgb(GetSysColor(COLOR_BTNHIGHLIGHT))) << "light outer edge on the right";
    }
}

void CloseWith(HWND box, const std::function<void(HWND)>& how, bool& closed)
{
    how(box);
    closed = true;
}

TEST_F(MainWindow, AboutBoxOpensOnItsCommandAndClosesEveryWay)
{
    Start();
    const std::pair<const char*, std::function<void(HWND)>> ways[] = {
        {"OK button", [](HWND box) { SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0); }},
        {"Enter", [](HWND box) {
             PostMessageA(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_RETURN, 0);
         }},
        {"Escape", [](HWND box) { PostMessageA(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"close box", [](HWND box) { PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [what, how] : ways) {
        SCOPED_TRACE(what);
        bool closed = false;
        HWND seen = nullptr;
        const bool opened = WhileModalBoxIsOpen(
            "About", [&] { SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(ID_MENU_ABOUT, 0), 0); },
            [&](HWND box) {
                seen = box;
                EXPECT_EQ(GetWindow(box, GW_OWNER), Main()) << "owned by the main window";
                EXPECT_EQ(WindowText(GetDlgItem(box, IDOK)), "OK");
                EXPECT_NE(SendMessageA(GetDlgItem(box, IDC_ABOUT_ICON), STM_GETICON, 0, 0), 0) << "the icon shows";
                CloseWith(box, how, closed);
            });
        EXPECT_TRUE(opened);
        EXPECT_TRUE(closed);
        EXPECT_FALSE(IsWindow(seen)) << "the About box is gone";
    }
}

// Posts `keys` to the main window, runs the program's own message loop with its accelerator table,
// and tells whether the About box opened.
bool AboutOpensFrom(HWND mainWindow, const std::function<void()>& keys)
{
    HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    static bool opened;
    opened = false;
    // From inside the About box's loop: close it and end the program's loop.
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
        if (HWND box = FindThreadWindow("#32770", "About")) {
            opened = true;
            KillTimer(nullptr, timer);
            EndDialog(box, IDOK);
            PostQuitMessage(0);
        }
    });
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 600, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        PostQuitMessage(0);
    });
    keys();
    RunMessageLoop(mainWindow, accelerators);
    KillTimer(nullptr, watchdog);
    PumpMessages();
    return opened;
}

TEST_F(MainWindow, AltQuestionMarkAndAltSlashOpenTheAboutBox)
{
    Start();
    constexpr LPARAM ALT_DOWN = 1 << 29;
    for (WPARAM character : {WPARAM{'?'}, WPARAM{'/'}}) {
        SCOPED_TRACE(static_cast<char>(character));
        // Wine matches character accelerators on a key-down carrying the character code.
        EXPECT_TRUE(AboutOpensFrom(Main(), [&] { PostMessageA(Main(), WM_SYSKEYDOWN, character, ALT_DOWN); }));
        // With a fader focused, the accelerator still reaches the main window.
        SetFocus(Track(ID_SCENE_A_FIRST));
        EXPECT_TRUE(AboutOpensFrom(Main(), [&] { PostMessageA(Track(ID_SCENE_A_FIRST), WM_SYSKEYDOWN, character, ALT_DOWN); }));
        SetFocus(Main());
    }
    // Without ALT the keys do nothing.
    EXPECT_FALSE(AboutOpensFrom(Main(), [&] { PostMessageA(Main(), WM_KEYDOWN, '?', 0); }));
}

TEST_F(MainWindow, AltQuestionMarkAndAltSlashTypedOnTheKeyboardOpenTheAboutBox)
{
    Start();
    SetForegroundWindow(Main());
    SetFocus(Track(ID_SCENE_A_FIRST + 4));
    for (char character : {'?', '/'}) {
        SCOPED_TRACE(character);
        EXPECT_TRUE(AboutOpensFrom(Main(), [&] {
            std::vector<INPUT> events{KeyEvent(VK_MENU, false)};
            const std::vector<INPUT> keys = CharacterKeyEvents(character);
            events.insert(events.end(), keys.begin(), keys.end());
            events.push_back(KeyEvent(VK_MENU, true));
            SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
        }));
    }
}

TEST_F(MainWindow, ExitEndsTheLoopWithCodeZero)
{
    Start();
    EXPECT_EQ(Close(), 0);
    EXPECT_FALSE(IsWindow(Main()));
}

// Counts the child windows this thread creates, and refuses the creation of the n-th (none for 0).
struct ChildWindowRefusal {
    explicit ChildWindowRefusal(int n) : hook(SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId()))
    {
        refused = n;
        created = 0;
    }
    ~ChildWindowRefusal() { UnhookWindowsHookEx(hook); }
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        const bool child =
            code == HCBT_CREATEWND && (reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->style & WS_CHILD) != 0;
        return child && ++created == refused ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline int refused = 0;
    static inline int created = 0;
    HHOOK hook;
};

// Whichever window of the panel cannot be created, the start ends as when the main window cannot
// be: with code 0, no message loop run, and no window left.
TEST_F(MainWindow, APanelThatCannotBeBuiltEndsTheStartWithCodeZero)
{
    {
        const ChildWindowRefusal counting(0);
        Start(false);
    }
    Close();
    // 25 faders of a frame, a trackbar and a caption; 6 labels, 2 boxes and 2 buttons.
    ASSERT_EQ(ChildWindowRefusal::created, 85);
    for (int refused = 1; refused <= 85; ++refused) {
        SCOPED_TRACE(refused);
        const ChildWindowRefusal refusal(refused);
        PostQuitMessage(7);  // a console that started would end its loop with this code
        EXPECT_EQ(RunConsole(GetModuleHandleA(nullptr), SW_SHOWNORMAL, bus, clock, nullptr), 0);
        PumpMessages();
        EXPECT_TRUE(TopLevelWindows(RegisteredApplicationStrings().className, GetCurrentThreadId()).empty());
    }
}

}  // namespace

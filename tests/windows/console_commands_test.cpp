// The panel's boxes and buttons on the real window, typed into with the keyboard, over the
// simulated converter.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "console_fixture.h"
#include "keyboard.h"

namespace {

class ConsoleCommands : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        Start();
    }

    HWND FadeBox() { return Control(ID_FADE_TIME); }
    HWND PresetBox() { return Control(ID_PRESET); }
    void ClickSave() { SendMessageA(Control(ID_SAVE), BM_CLICK, 0, 0); }
    void ClickGo() { SendMessageA(Control(ID_GO), BM_CLICK, 0, 0); }

    enum class PasteBy { Message, CtrlV, ShiftInsert };

    // Puts `text` on the clipboard and pastes it into `box`: with the paste message, or with the
    // keys into the focused box.
    void PasteFromClipboard(HWND box, const std::string& text, PasteBy way = PasteBy::Message)
    {
        ASSERT_TRUE(OpenClipboard(Main()));
        EmptyClipboard();
        HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        std::memcpy(GlobalLock(data), text.c_str(), text.size() + 1);
        GlobalUnlock(data);
        SetClipboardData(CF_TEXT, data);
        CloseClipboard();
        switch (way) {
        case PasteBy::Message:
            SendMessageA(box, WM_PASTE, 0, 0);
            break;
        case PasteBy::CtrlV:
            SetFocus(box);
            SendKeyEvents({KeyEvent(VK_CONTROL, false), KeyEvent('V', false), KeyEvent('V', true),
                           KeyEvent(VK_CONTROL, true)});
            break;
        case PasteBy::ShiftInsert:
            SetFocus(box);
            SendKeyEvents({KeyEvent(VK_SHIFT, false), KeyEvent(VK_INSERT, false), KeyEvent(VK_INSERT, true),
                           KeyEvent(VK_SHIFT, true)});
            break;
        }
        PumpMessages();
    }
};

TEST_F(ConsoleCommands, TypingAFadeTimeRecordsItWithoutStartingAFade)
{
    FocusAndSelectAll(FadeBox());
    TypeText("2.5");
    EXPECT_EQ(WindowText(FadeBox()), "2.5");
    EXPECT_TRUE(Commands().empty());
    EXPECT_FALSE(FadeTimerRunning());
}

TEST_F(ConsoleCommands, EnterInTheFadeTimeBoxStartsTheFadeAsGoDoes)
{
    FocusAndSelectAll(FadeBox());
    TypeText("3");
    ASSERT_TRUE(Commands().empty());
    clock.Hold();
    PressKey(VK_RETURN);
    EXPECT_EQ(WindowText(FadeBox()), "3") << "the box refuses the new line";
    EXPECT_TRUE(FadeTimerRunning());
    ASSERT_GE(Commands().size(), 12u);
    EXPECT_EQ(Commands()[0], "W 0 0");
    clock.Advance(std::chrono::milliseconds(1500));
    Tick();
    EXPECT_EQ(FaderLevel(ID_MASTER), 127) << "half way up after half of 3 s";
}

// A key the full box refused, a paste, or a refused paste once raised an update with the text
// unchanged, and that started the fade: a cue fired unasked. Only Enter (or GO) starts it.
TEST_F(ConsoleCommands, OnlyEnterStartsTheFadeFromTheBoxNeverARefusedKeyOrAPaste)
{
    FocusAndSelectAll(FadeBox());
    TypeText("10.25");
    TypeText("9999999");  // into a full box
    PasteFromClipboard(FadeBox(), "\r\n\r\n");
    SendMessageA(FadeBox(), EM_SETSEL, 0, -1);
    PasteFromClipboard(FadeBox(), WindowText(FadeBox()));  // the same text over itself
    EXPECT_FALSE(FadeTimerRunning());
    EXPECT_TRUE(Commands().empty());

    PressKey(VK_RETURN);
    EXPECT_EQ(Commands().size(), 12u);
    EXPECT_TRUE(FadeTimerRunning());
}

// A paste of 5000 characters froze the console for seconds, and a paste wider than the preset box
// could leave a mixture of old and new digits that was accepted and stored ("00012" over "7" left
// "72"). A paste goes in whole or not at all, and what the box shows is what is recorded.
TEST_F(ConsoleCommands, APasteGoesInWholeOrNotAtAll)
{
    for (const PasteBy way : {PasteBy::Message, PasteBy::CtrlV, PasteBy::ShiftInsert}) {
        SCOPED_TRACE(static_cast<int>(way));
        const auto start = std::chrono::steady_clock::now();
        PasteFromClipboard(FadeBox(), std::string(5000, '7'), way);
        // A bound only the old freeze (some 20 s under Wine) crosses.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(WindowText(FadeBox()), "0.0");
    }

    // Over the selected text, and behind it (where "700012" is wider than the box).
    for (const int caret : {-1, 1}) {
        SCOPED_TRACE(caret);
        PasteOver(PresetBox(), "7");
        SendMessageA(PresetBox(), EM_SETSEL, static_cast<WPARAM>(caret < 0 ? 0 : caret), caret);
        PasteFromClipboard(PresetBox(), "00012");
        const std::string shown = WindowText(PresetBox());
        const std::string whole = caret < 0 ? "00012" : "700012";
        EXPECT_TRUE(shown == whole || shown == "7") << shown;
        EXPECT_EQ(Save(), shown == "7" ? "c0 7\r" : "c0 c\r") << "what the box shows is what is stored";
        if (HWND box = FindThreadWindow("#32770", "Invalid Preset")) {
            SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        }
    }

    PasteOver(PresetBox(), "12");
    SendMessageA(PresetBox(), EM_SETSEL, 0, -1);
    PasteFromClipboard(PresetBox(), "12345678");
    EXPECT_EQ(WindowText(PresetBox()), "12") << "eight characters do not go into a box that reads seven";
    EXPECT_EQ(Save(), "c0 c\r");
    SendMessageA(PresetBox(), EM_SETSEL, 0, -1);
    PasteFromClipboard(PresetBox(), "34");
    EXPECT_EQ(Save(), "c0 22\r") << "a paste the box shows whole goes in";
}

// Gives a box a text wider than it with the edit control's own procedure, past the console's,
// which refuses such a text; the update the box would raise is the test's to send.
void ShowPastTheConsole(HWND box, const char* text)
{
    CallWindowProcA(reinterpret_cast<WNDPROC>(GetClassLongPtrA(box, GCLP_WNDPROC)), box, WM_SETTEXT, 0,
                    reinterpret_cast<LPARAM>(text));
}

// Near its 7 characters a box would take a part of Enter's line break (a lone CR), which changed
// the fade time's text instead of starting the fade, and made a good preset invalid.
TEST_F(ConsoleCommands, EnterNeverGoesIntoABoxNearItsLimit)
{
    clock.Hold();
    for (HWND box : {PresetBox(), FadeBox()}) {
        ShowPastTheConsole(box, "000100");
        SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), EN_UPDATE), reinterpret_cast<LPARAM>(box));
        SetFocus(box);
        SendMessageA(box, EM_SETSEL, 6, 6);
        PressKey(VK_RETURN);
        EXPECT_EQ(WindowText(box), "000100");
        EXPECT_EQ(FindThreadWindow("#32770", "Invalid Preset"), nullptr);
    }
    EXPECT_EQ(Save(), "c0 64\r");
    EXPECT_TRUE(FadeTimerRunning()) << "Enter in the fade-time box starts the fade";
    clock.Advance(std::chrono::seconds(50));
    Tick();
    EXPECT_EQ(FaderLevel(ID_MASTER), 127) << "half way up after 50 of 100 s";
}

TEST_F(ConsoleCommands, OnlyTheFirstSevenCharactersOfTheFadeTimeCount)
{
    // Seven characters are wider than the box, which refuses to take them from the keyboard or
    // from another program; set them past the console, then raise the update the box would.
    FocusAndSelectAll(FadeBox());
    auto updateAfter = [&](const char* text) {
        ShowPastTheConsole(FadeBox(), text);
        SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(ID_FADE_TIME, EN_UPDATE), reinterpret_cast<LPARAM>(FadeBox()));
        EXPECT_EQ(WindowText(FadeBox()), text);
    };
    updateAfter("1.00000");
    updateAfter("1.00001");
    updateAfter("1.000019");
    ASSERT_TRUE(Commands().empty());
    ASSERT_FALSE(FadeTimerRunning()) << "an update that changes nothing starts nothing";
    SendMessageA(FadeBox(), EM_SETSEL, 0, 0);
    clock.Hold();
    PressKey(VK_RETURN);
    // The fade reads the first seven characters: it takes 1.00001 s, not 1.000019 s.
    clock.Advance(std::chrono::microseconds(1000005));
    Tick();
    EXPECT_EQ(FaderLevel(ID_MASTER), 254);
    clock.Advance(std::chrono::microseconds(10));
    Tick();
    EXPECT_EQ(FaderLevel(ID_MASTER), 255);
    EXPECT_FALSE(FadeTimerRunning()) << "the fade is over";
    EXPECT_EQ(WindowText(FadeBox()), "1.000019") << "Enter leaves the text as it was";
}

TEST_F(ConsoleCommands, Preset007IsStoredAsPreset7)
{
    FocusAndSelectAll(PresetBox());
    TypeText("7");
    PressKey(VK_HOME);
    TypeText("00");
    EXPECT_EQ(WindowText(PresetBox()), "007");
    ClickSave();
    // The store command carries its own CR; the converter saw "c0 7", CR, and the framing's CR.
    EXPECT_EQ(Commands(), (std::vector<std::string>{"c0 7\r"}));
    EXPECT_EQ(Converter().Presets().count(7), 1u);
    EXPECT_EQ(Converter().FramingErrors(), 0);
}

// What the "Invalid Preset" box showed.
struct InvalidPresetBox {
    bool opened = false;
    std::string text;
    HWND owner = nullptr;
    bool errorIcon = false;
    std::string presetWhileOpen;
};

InvalidPresetBox RejectedBy(HWND presetEdit, const std::function<void()>& action)
{
    InvalidPresetBox seen;
    seen.opened = WhileModalBoxIsOpen("Invalid Preset", action, [&](HWND box) {
        seen.owner = GetWindow(box, GW_OWNER);
        HICON error = LoadIconA(nullptr, IDI_HAND);
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            const LONG style = GetWindowLongA(child, GWL_STYLE);
            char cls[32] = {};
            GetClassNameA(child, cls, sizeof(cls));
            if (_stricmp(cls, "static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
                seen.errorIcon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)) == error;
            } else if (_stricmp(cls, "static") == 0 && !WindowText(child).empty()) {
                seen.text = WindowText(child);
            }
        }
        seen.presetWhileOpen = WindowText(presetEdit);
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    return seen;
}

TEST_F(ConsoleCommands, BadPresetsAreRejectedAndTheGoodTextComesBack)
{
    FocusAndSelectAll(PresetBox());
    TypeText("12");
    for (const char* bad : {"0", "128", "12a", "-5", "+5", "1 2"}) {
        SCOPED_TRACE(bad);
        const InvalidPresetBox box = RejectedBy(PresetBox(), [&] { PasteOver(PresetBox(), bad); });
        ASSERT_TRUE(box.opened);
        EXPECT_EQ(box.text, "Value must be in the range of 1 to 127");
        EXPECT_EQ(box.owner, Main());
        EXPECT_TRUE(box.errorIcon);
        EXPECT_EQ(box.presetWhileOpen, "12") << "restored before the box opened";
        EXPECT_EQ(WindowText(PresetBox()), "12");
        EXPECT_EQ(Save(), "c0 c\r");
    }
    EXPECT_EQ(Commands(), std::vector<std::string>(6, "c0 c\r"));
}

// Once a box was closed the keyboard went to the main window itself: the digits typed after the
// "Invalid Preset" box went nowhere, and the master's keys were dead after the "USB Comm error"
// box. The control the operator was using has the keyboard again.
TEST_F(ConsoleCommands, AfterABoxTheKeysGoWhereTheyWentBefore)
{
    FocusAndSelectAll(PresetBox());
    TypeText("12");
    ASSERT_TRUE(RejectedBy(PresetBox(), [] { TypeText("8"); }).opened);
    TypeText("5");
    EXPECT_EQ(WindowText(PresetBox()), "125");
    EXPECT_EQ(Save(), "c0 7d\r");

    HWND master = Track(ID_MASTER);
    SetFocus(master);
    Converter().faults.silent = true;
    ASSERT_TRUE(WhileModalBoxIsOpen("Error", [] { PressKey(VK_PRIOR); },
                                    [](HWND box) { SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0); }));
    ASSERT_EQ(FaderLevel(ID_MASTER), 16);
    Converter().faults.silent = false;
    PressKey(VK_PRIOR);
    EXPECT_EQ(GetFocus(), master);
    EXPECT_EQ(FaderLevel(ID_MASTER), 32);
}

TEST_F(ConsoleCommands, AnEmptyPresetBoxIsToleratedUntilTheFocusLeaves)
{
    FocusAndSelectAll(PresetBox());
    TypeText("12");
    FocusAndSelectAll(PresetBox());
    bool boxOpened = true;
    boxOpened = WhileModalBoxIsOpen(
        "Invalid Preset", [] { PressKey(VK_DELETE); },
        [](HWND box) { SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0); }, std::chrono::milliseconds(300));
    EXPECT_FALSE(boxOpened) << "no message for an empty box";
    EXPECT_EQ(WindowText(PresetBox()), "");
    ClickSave();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"c0 c\r"})) << "SAVE sends the last good preset";
    SetFocus(Track(ID_SCENE_A_FIRST));
    PumpMessages();
    EXPECT_EQ(WindowText(PresetBox()), "12") << "leaving the box restores it";
}

TEST_F(ConsoleCommands, TheFadeRunsOnWhileTheInvalidPresetBoxIsOpen)
{
    PasteOver(FadeBox(), "0.2");
    ClickGo();
    ASSERT_TRUE(FadeTimerRunning());
    int boxes = 0;
    bool fadeEndedInside = false;
    WhileModalBoxIsOpen("Invalid Preset", [&] { PasteOver(PresetBox(), "200"); }, [&](HWND box) {
        ++boxes;
        // The box's own message loop delivers the crossfade's ticks.
        fadeEndedInside = PumpUntil([this] { return !FadeTimerRunning(); }, std::chrono::milliseconds(2000));
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(fadeEndedInside);
    EXPECT_EQ(FaderLevel(ID_MASTER), 255);
    EXPECT_EQ(WindowText(PresetBox()), "1");
    EXPECT_EQ(FindThreadWindow("#32770", "Invalid Preset"), nullptr) << "no second box";
}

TEST_F(ConsoleCommands, AWholeShowOnTheSimulatedConverter)
{
    // Scene A: a warm wash; scene B: a single special on channel 7.
    for (int i = 0; i < 12; ++i) {
        MoveFader(ID_SCENE_A_FIRST + i, i < 6 ? 180 : 0);
    }
    MoveFader(ID_SCENE_B_FIRST + 6, 255);
    // The master is at the bottom: the stage shows scene B.
    EXPECT_EQ(Converter().Levels()[6], 255);
    EXPECT_EQ(Converter().Levels()[0], 0);

    FocusAndSelectAll(FadeBox());
    TypeText("0.25");
    ClickGo();
    ASSERT_TRUE(PumpUntil([this] { return !FadeTimerRunning(); }, std::chrono::milliseconds(3000)));
    FocusAndSelectAll(PresetBox());
    TypeText("42");
    ClickSave();

    const ChannelLevels sceneA{180, 180, 180, 180, 180, 180, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Converter().Levels(), sceneA);
    ASSERT_EQ(Converter().Presets().count(42), 1u);
    EXPECT_EQ(Converter().Presets().at(42), sceneA);
    EXPECT_EQ(Converter().FramingErrors(), 0);
}

class ConsoleWithoutConverter : public ConsoleTest {};

TEST_F(ConsoleWithoutConverter, SaveFadersAndGoSendNothing)
{
    // A converter is on the bus, but the search ends before it: the console runs without one.
    bus.interfaces = {{OTHER_DEVICE_ATTRIBUTES, nullptr, SearchFault::Open, ERROR_CODE_NO_MORE_ITEMS, {9, 9}},
                      {{CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID}, converter, SearchFault::None, 0, {}}};
    ASSERT_TRUE(StartOn(bus));
    ASSERT_TRUE(NoticeShown());
    SendMessageA(Control(ID_SAVE), BM_CLICK, 0, 0);
    MoveFader(ID_SCENE_A_FIRST, 100);
    MoveFader(ID_MASTER, 0);
    SendMessageA(Control(ID_GO), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(Converter().ExchangeCount(), 0u);
    EXPECT_EQ(bus.DevicesOpened(), 0);
    EXPECT_EQ(FaderLevel(ID_MASTER), 255) << "the console itself works on";
}

// A converter silent from the start raised its error box before the console was on screen, so
// the program seemed not to have started. The console shows, where it always does, behind the box.
TEST_F(ConsoleWithoutConverter, AConverterSilentAtStartUpShowsTheConsoleBehindTheBox)
{
    PopulateTypicalBus(bus, converter);
    converter->faults.silent = true;
    bool visible = false;
    RECT placed{};
    const bool boxSeen = WhileModalBoxIsOpen(
        "Error", [&] { ASSERT_TRUE(StartOn(bus)); },
        [&](HWND box) {
            visible = IsWindowVisible(Main()) != 0;
            GetWindowRect(Main(), &placed);
            EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the box still has no owner";
            SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        });
    ASSERT_TRUE(boxSeen);
    EXPECT_TRUE(visible);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.top, 10);
    EXPECT_EQ(placed.right - placed.left, 800);
    EXPECT_EQ(placed.bottom - placed.top, 600);
    ASSERT_FALSE(Converter().History().empty());
    EXPECT_EQ(Converter().History().front().command, "I") << "the first command is still I";
}

// Other programs set a box's text with WM_SETTEXT. A long text held the console for as long as
// the box took to wrap it (a minute for 10,000 characters), and a preset set so was neither
// recorded nor checked: SAVE stored the last one typed. Such a text is taken like a paste.
TEST_F(ConsoleCommands, TextSetByAnotherProgramIsTakenLikeAPaste)
{
    HWND fadeBox = GetDlgItem(Main(), ID_FADE_TIME);
    HWND presetBox = GetDlgItem(Main(), ID_PRESET);
    auto setText = [](HWND box, const std::string& text) {
        return SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(setText(fadeBox, std::string(5000, '7')));
    // A bound only a box wrapping the text (some 20 s under Wine) crosses.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "refused at once";
    EXPECT_EQ(WindowText(fadeBox), "0.0");

    EXPECT_TRUE(setText(presetBox, "50"));
    EXPECT_TRUE(RejectedBy(presetBox, [&] { EXPECT_FALSE(setText(presetBox, "abc")); }).opened);
    EXPECT_EQ(WindowText(presetBox), "50") << "the last good preset is back";
    // While the box of a bad preset typed by the operator is open, nothing from outside goes in,
    // whichever way it comes.
    EXPECT_TRUE(WhileModalBoxIsOpen(
        "Invalid Preset", [&] { SendMessageA(presetBox, WM_CHAR, 'x', 0); },
        [&](HWND box) {
            EXPECT_FALSE(setText(presetBox, "20"));
            SendMessageA(presetBox, WM_CHAR, '7', 0);
            SendMessageA(presetBox, EM_SETSEL, 0, -1);
            SendMessageA(presetBox, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("9"));
            EXPECT_EQ(WindowText(presetBox), "50");
            SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        }));
    // Another program that sets a bad preset gets its answer at once, while the operator still
    // sees the box.
    std::atomic<LRESULT> answer{-1};
    std::thread other;
    EXPECT_TRUE(WhileModalBoxIsOpen(
        "Invalid Preset",
        [&] { other = std::thread([&] { answer = setText(presetBox, "0"); }); },
        [&](HWND box) {
            EXPECT_TRUE(PumpUntil([&] { return answer != -1; }, std::chrono::milliseconds(2000)));
            EXPECT_EQ(answer, FALSE);
            SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        }));
    other.join();
    SendMessageA(GetDlgItem(Main(), ID_SAVE), BM_CLICK, 0, 0);
    EXPECT_EQ(Commands(), (std::vector<std::string>{"c0 32\r"})) << "preset 50, and nothing else";
}

}  // namespace

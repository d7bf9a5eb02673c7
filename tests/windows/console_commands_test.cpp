// The panel's boxes and buttons on the real window, typed into with the keyboard, over the
// simulated converter.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_fixture.h"
#include "keyboard.h"
#include "mixing/crossfade.h"

namespace {

class ConsoleCommands : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        Start();
    }

    HWND FadeBox() { return Panel().fadeEdit; }
    HWND PresetBox() { return Panel().presetEdit; }
    void ClickSave() { SendMessageA(Panel().saveButton, BM_CLICK, 0, 0); }
    void ClickGo() { SendMessageA(Panel().goButton, BM_CLICK, 0, 0); }

    std::vector<std::string> Commands()
    {
        std::vector<std::string> commands;
        for (const ConverterExchange& e : Converter().History()) {
            commands.push_back(e.command);
        }
        return commands;
    }
};

TEST_F(ConsoleCommands, TypingAFadeTimeRecordsItWithoutStartingAFade)
{
    FocusAndSelectAll(FadeBox());
    TypeText("2.5");
    EXPECT_EQ(WindowText(FadeBox()), "2.5");
    EXPECT_STREQ(Panel().recordedFadeText.data(), "2.5");
    EXPECT_TRUE(Commands().empty());
    EXPECT_FALSE(TheCrossfade().fading);
}

TEST_F(ConsoleCommands, EnterInTheFadeTimeBoxStartsTheFadeAsGoDoes)
{
    FocusAndSelectAll(FadeBox());
    TypeText("3");
    ASSERT_TRUE(Commands().empty());
    PressKey(VK_RETURN);
    EXPECT_EQ(WindowText(FadeBox()), "3") << "the box refuses the new line";
    EXPECT_TRUE(TheCrossfade().fading);
    EXPECT_EQ(TheCrossfade().state.duration, 3.0);
    EXPECT_EQ(TheCrossfade().state.target, 255);
    ASSERT_GE(Commands().size(), 12u);
    EXPECT_EQ(Commands()[0], "W 0 0");
}

TEST_F(ConsoleCommands, OnlyTheFirstSevenCharactersOfTheFadeTimeCount)
{
    // Seven characters are wider than the box, which refuses to take them from the keyboard; set
    // them directly (that notifies nobody), then let Enter raise the update.
    FocusAndSelectAll(FadeBox());
    auto enterAfter = [&](const char* text) {
        SetWindowTextA(FadeBox(), text);
        SendMessageA(FadeBox(), EM_SETSEL, 0, 0);
        PressKey(VK_RETURN);
        EXPECT_EQ(WindowText(FadeBox()), text);
    };
    enterAfter("1.00000");
    EXPECT_STREQ(Panel().recordedFadeText.data(), "1.00000");
    enterAfter("1.00001");
    EXPECT_STREQ(Panel().recordedFadeText.data(), "1.00001") << "a change in the seventh character counts";
    ASSERT_TRUE(Commands().empty());
    ASSERT_FALSE(TheCrossfade().fading);
    enterAfter("1.000019");
    EXPECT_TRUE(TheCrossfade().fading) << "a change behind the seventh character is no change";
    EXPECT_EQ(TheCrossfade().state.duration, 1.00001);
    EXPECT_STREQ(Panel().recordedFadeText.data(), "1.00001");
}

TEST_F(ConsoleCommands, Preset007IsStoredAsPreset7)
{
    FocusAndSelectAll(PresetBox());
    TypeText("7");
    PressKey(VK_HOME);
    TypeText("00");
    EXPECT_EQ(WindowText(PresetBox()), "007");
    EXPECT_STREQ(Panel().recordedPresetText.data(), "007");
    ClickSave();
    // The store command carries its own CR; the converter saw "c0 7", CR, and the framing's CR.
    EXPECT_EQ(Commands(), (std::vector<std::string>{"c0 7\r"}));
    EXPECT_EQ(Converter().Presets().count(7), 1u);
    EXPECT_EQ(Converter().FramingErrors(), 0);
}

TEST_F(ConsoleCommands, Preset127IsSentInHexadecimal)
{
    FocusAndSelectAll(PresetBox());
    TypeText("127");
    ClickSave();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"c0 7f\r"}));
    EXPECT_EQ(Converter().Presets().count(127), 1u);
}

// What the "Invalid Preset" box showed.
struct InvalidPresetBox {
    bool opened = false;
    std::string text;
    HWND owner = nullptr;
    bool errorIcon = false;
    std::string presetWhileOpen;
};

InvalidPresetBox RejectedBy(const std::function<void()>& action)
{
    InvalidPresetBox seen;
    seen.opened = WhileModalBoxIsOpen("Invalid Preset", action, [&](HWND box) {
        seen.owner = GetWindow(box, GW_OWNER);
        HICON error = LoadIconA(nullptr, MAKEINTRESOURCEA(32513));  // IDI_HAND
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
        seen.presetWhileOpen = WindowText(ThePanel().presetEdit);
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    return seen;
}

TEST_F(ConsoleCommands, BadPresetsAreRejectedAndTheGoodTextComesBack)
{
    FocusAndSelectAll(PresetBox());
    TypeText("12");
    ASSERT_STREQ(Panel().recordedPresetText.data(), "12");
    for (const char* bad : {"0", "128", "12a", "-5", "+5", "1 2"}) {
        SCOPED_TRACE(bad);
        const InvalidPresetBox box = RejectedBy([&] { PasteOver(PresetBox(), bad); });
        ASSERT_TRUE(box.opened);
        EXPECT_EQ(box.text, "Value must be in the range of 1 to 127");
        EXPECT_EQ(box.owner, Main());
        EXPECT_TRUE(box.errorIcon);
        EXPECT_EQ(box.presetWhileOpen, "12") << "restored before the box opened";
        EXPECT_EQ(WindowText(PresetBox()), "12");
        EXPECT_STREQ(Panel().recordedPresetText.data(), "12");
    }
    ClickSave();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"c0 c\r"}));
}

TEST_F(ConsoleCommands, TypingOneTwoEightStopsAtTwelve)
{
    FocusAndSelectAll(PresetBox());
    TypeText("1");
    EXPECT_STREQ(Panel().recordedPresetText.data(), "1");
    TypeText("2");
    EXPECT_STREQ(Panel().recordedPresetText.data(), "12");
    const InvalidPresetBox box = RejectedBy([] { TypeText("8"); });
    EXPECT_TRUE(box.opened);
    EXPECT_EQ(WindowText(PresetBox()), "12");
    EXPECT_STREQ(Panel().recordedPresetText.data(), "12");
}

TEST_F(ConsoleCommands, AZeroTypedIntoAnEmptyBoxIsRejectedAtOnce)
{
    FocusAndSelectAll(PresetBox());
    const InvalidPresetBox box = RejectedBy([] { TypeText("0"); });
    EXPECT_TRUE(box.opened);
    EXPECT_EQ(WindowText(PresetBox()), "1");
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
    SetFocus(Panel().sceneA[0]->Track());
    PumpMessages();
    EXPECT_EQ(WindowText(PresetBox()), "12") << "leaving the box restores it";
}

TEST_F(ConsoleCommands, TheFadeRunsOnWhileTheInvalidPresetBoxIsOpen)
{
    PasteOver(FadeBox(), "0.2");
    ClickGo();
    ASSERT_TRUE(TheCrossfade().fading);
    int boxes = 0;
    bool fadeEndedInside = false;
    WhileModalBoxIsOpen("Invalid Preset", [&] { PasteOver(PresetBox(), "200"); }, [&](HWND box) {
        ++boxes;
        // The box's own message loop delivers the crossfade's ticks.
        fadeEndedInside = PumpUntil([] { return !TheCrossfade().fading; }, std::chrono::milliseconds(2000));
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(fadeEndedInside);
    EXPECT_EQ(Panel().master->GetLevel(), 255);
    EXPECT_EQ(WindowText(PresetBox()), "1");
    EXPECT_EQ(FindThreadWindow("#32770", "Invalid Preset"), nullptr) << "no second box";
}

TEST_F(ConsoleCommands, GoAndTheFadeTimeBoxesShareOneFade)
{
    PasteOver(FadeBox(), "5");
    ClickGo();
    ASSERT_TRUE(TheCrossfade().fading);
    EXPECT_EQ(TheCrossfade().state.duration, 5.0);
    // The same text once more is an unchanged update: the fade restarts, just as GO would.
    const double started = TheCrossfade().state.startTime;
    Sleep(20);
    PasteOver(FadeBox(), "5");
    EXPECT_GT(TheCrossfade().state.startTime, started);
}

TEST_F(ConsoleCommands, AWholeShowOnTheSimulatedConverter)
{
    // Scene A: a warm wash; scene B: a single special on channel 7.
    for (std::size_t i = 0; i < 12; ++i) {
        Panel().sceneA[i]->SetLevel(i < 6 ? 180 : 0);
        SendMessageA(Main(), WM_VSCROLL, MAKEWPARAM(5, 0), reinterpret_cast<LPARAM>(Panel().sceneA[i]->Track()));
    }
    Panel().sceneB[6]->SetLevel(255);
    SendMessageA(Main(), WM_VSCROLL, MAKEWPARAM(5, 0), reinterpret_cast<LPARAM>(Panel().sceneB[6]->Track()));
    // The master is at the bottom: the stage shows scene B.
    EXPECT_EQ(Converter().Levels()[6], 255);
    EXPECT_EQ(Converter().Levels()[0], 0);

    FocusAndSelectAll(FadeBox());
    TypeText("0.25");
    ClickGo();
    ASSERT_TRUE(PumpUntil([] { return !TheCrossfade().fading; }, std::chrono::milliseconds(3000)));
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
    UseConverterPlatform(bus, MonotonicClock(), ShowCommErrorBox);
    ASSERT_TRUE(StartApplication(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    ASSERT_FALSE(TheConverter().present);
    SendMessageA(ThePanel().saveButton, BM_CLICK, 0, 0);
    ThePanel().sceneA[0]->SetLevel(100);
    SendMessageA(Main(), WM_VSCROLL, MAKEWPARAM(5, 0), reinterpret_cast<LPARAM>(ThePanel().sceneA[0]->Track()));
    SendMessageA(Main(), WM_VSCROLL, MAKEWPARAM(5, 0), reinterpret_cast<LPARAM>(ThePanel().master->Track()));
    SendMessageA(ThePanel().goButton, BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(Converter().ExchangeCount(), 0u);
    EXPECT_EQ(bus.DevicesOpened(), 0);
    EXPECT_EQ(ThePanel().master->GetLevel(), 255) << "the console itself works on";
}

}  // namespace

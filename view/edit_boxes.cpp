// The edit boxes: their texts read and set for the model, and what reaches them from the keyboard,
// the clipboard and other programs.

#include "view/console_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>

#include "console/box_rules.h"

namespace {

std::string WholeText(HWND box)
{
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(box)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(box, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The clipboard's text, or nothing when it holds none. A text longer than `limit` is not copied:
// it could not go into a box anyway, and reading megabytes of it would only stall the console.
std::optional<std::string> ClipboardText(HWND owner, std::size_t limit, bool& tooLong)
{
    tooLong = false;
    if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(owner)) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* chars = static_cast<const char*>(GlobalLock(data))) {
            const std::size_t size = GlobalSize(data);
            std::size_t length = 0;
            while (length < size && length <= limit && chars[length] != '\0') {
                ++length;
            }
            tooLong = length > limit;
            text = std::string(chars, tooLong ? 0 : length);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Whether the box can take `text` whole: as the console's rule says, and within the box's width
// (the boxes neither scroll nor wrap). Every text put into a box from the clipboard or from
// another program passes here.
bool ShowsWhole(HWND box, const std::string& text)
{
    if (!BoxCanHold(text)) {
        return false;
    }
    RECT room{};
    SendMessageA(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
    HDC dc = GetDC(box);
    HGDIOBJ previous = nullptr;
    if (auto font = reinterpret_cast<HFONT>(SendMessageA(box, WM_GETFONT, 0, 0))) {  // NOLINT(performance-no-int-to-ptr)
        previous = SelectObject(dc, font);
    }
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    if (previous != nullptr) {
        SelectObject(dc, previous);
    }
    ReleaseDC(box, dc);
    return extent.cx < room.right - room.left;
}

// A text handed to the box's subclass procedure, at most `limit` characters of it. Common Controls
// 6 edit boxes are Unicode windows, whichever call created them: their subclass procedures get
// texts in UTF-16. The older ones get 8-bit texts.
std::string MessageText(HWND box, LPARAM lParam, std::size_t limit)
{
    if (lParam == 0) {
        return {};
    }
    if (!IsWindowUnicode(box)) {
        const auto* text = reinterpret_cast<const char*>(lParam);  // NOLINT(performance-no-int-to-ptr)
        return {text, strnlen(text, limit)};
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(lParam);  // NOLINT(performance-no-int-to-ptr)
    const int length = static_cast<int>(wcsnlen(wide, limit));
    std::string text(static_cast<std::size_t>(length) * 2, '\0');  // a double-byte code page's worst
    text.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_ACP, 0, wide, length, text.data(), static_cast<int>(text.size()), nullptr, nullptr)));
    return text;
}

}  // namespace

LRESULT CALLBACK ConsoleWindow::EditBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR boxId,
                                      DWORD_PTR owner)
{
    auto* console = reinterpret_cast<ConsoleWindow*>(owner);  // NOLINT(performance-no-int-to-ptr)
    switch (message) {
    case WM_CHAR:
        if (wParam == '\r' || wParam == '\n') {
            return console->OnLineBreakTyped(wParam, static_cast<int>(boxId));
        }
        break;
    case WM_PASTE:
        console->OnPaste(box, static_cast<int>(boxId));
        return 0;
    case WM_KEYDOWN:
        // Shift+Insert pastes too, and some edit controls do it without a WM_PASTE.
        if (wParam == VK_INSERT && GetKeyState(VK_SHIFT) < 0 && GetKeyState(VK_CONTROL) >= 0) {
            console->OnPaste(box, static_cast<int>(boxId));
            return 0;
        }
        break;
    case WM_SETTEXT:
        // A text that leads to a box (a bad preset) is refused.
        return console->Answering(FALSE, [&] { return console->OnSetText(box, static_cast<int>(boxId), lParam); });
    case WM_NCDESTROY:
        console->boxSubclasses_[boxId == ID_FADE_TIME ? 0 : 1].Remove();
        break;
    default:
        break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

// Neither box takes a line break: each is one line high and does not scroll, and a box near its 7
// characters would take a part of one. Enter is the model's to act on.
LRESULT ConsoleWindow::OnLineBreakTyped(WPARAM character, int boxId)
{
    if (character == '\r') {
        model_.OnBoxEnter(boxId);
    }
    return 0;
}

// A paste goes into the box whole or not at all: a text the box cannot show whole (longer than
// the 7 characters the console reads, wider than the box, or with a line break) is refused, and
// the box keeps its text. What the box then shows is what is recorded and checked.
void ConsoleWindow::OnPaste(HWND box, int boxId)
{
    bool tooLong = false;
    const std::optional<std::string> pasted = ClipboardText(Window(), RECORDED_TEXT_SIZE - 1, tooLong);
    if (!pasted || pasted->empty()) {
        if (tooLong) {
            Refuse();
        }
        return;
    }
    const std::string previous = WholeText(box);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    start = std::min<DWORD>(start, static_cast<DWORD>(previous.size()));
    end = std::clamp<DWORD>(end, start, static_cast<DWORD>(previous.size()));
    const std::string expected = previous.substr(0, start) + *pasted + previous.substr(end);
    PutWhole(box, boxId, expected, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted->c_str()));
}

// Automation and accessibility tools set a box's text with WM_SETTEXT. It is taken like a paste
// of the whole text; a multi-line edit control raises no update for it, so the console records
// and checks it here. Only as many characters are read as a box can take: a longer text is
// refused unread, however long it is.
LRESULT ConsoleWindow::OnSetText(HWND box, int boxId, LPARAM lParam)
{
    if (ownText_) {
        return DefSubclassProc(box, WM_SETTEXT, 0, lParam);
    }
    if (!model_.BoxesTakeText()) {
        Refuse();
        return FALSE;
    }
    const std::string expected = MessageText(box, lParam, RECORDED_TEXT_SIZE);
    // A text the preset check refused is not there either: the last good preset is back.
    const bool shown = PutWhole(box, boxId, expected, WM_SETTEXT, 0, lParam) && WholeText(box) == expected;
    return shown ? TRUE : FALSE;
}

// The edit control's own procedure puts a text into the box with `message`, if the box can show
// the whole of what it is to hold then (`expected`). A text it cannot show is refused, and the
// box keeps its text; so it does if the control took only part of it. False when refused.
bool ConsoleWindow::PutWhole(HWND box, int boxId, const std::string& expected, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!ShowsWhole(box, expected)) {
        Refuse();
        return false;
    }
    const std::string previous = WholeText(box);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    pasting_ = true;
    if (message == EM_REPLACESEL) {
        // The paste's 8-bit text: the system hands it to a Unicode box (Common Controls 6) in UTF-16.
        SendMessageA(box, message, wParam, lParam);
    } else {
        // A text from outside, as it came: in the box's own character set.
        DefSubclassProc(box, message, wParam, lParam);
    }
    pasting_ = false;
    if (model_.Closing()) {
        return true;
    }
    if (WholeText(box) != expected) {
        // The box took only part of it after all: it gets its text back, and nothing counts.
        ShowOwnText(box, previous.c_str());
        SendMessageA(box, EM_SETSEL, start, end);
        Refuse();
        return false;
    }
    model_.OnBoxUpdate(boxId);
    return true;
}

// The console's own settings of a box's text go in as they are.
void ConsoleWindow::ShowOwnText(HWND box, const char* text)
{
    const bool outer = ownText_;
    ownText_ = true;
    SetWindowTextA(box, text);
    ownText_ = outer;
}

HWND ConsoleWindow::Box(int boxId) const
{
    return boxId == ID_FADE_TIME ? panel_.fadeEdit : panel_.presetEdit;
}

// The boxes are read as the console records them: at most 7 characters.
RecordedText ConsoleWindow::Read(int boxId)
{
    RecordedText text{};
    GetWindowTextA(Box(boxId), text.data(), static_cast<int>(text.size()));
    return text;
}

// The caret goes behind the text: typing goes on where it went before a refused key.
void ConsoleWindow::Show(int boxId, const char* text)
{
    HWND box = Box(boxId);
    ShowOwnText(box, text);
    const auto end = static_cast<WPARAM>(std::strlen(text));
    SendMessageA(box, EM_SETSEL, end, static_cast<LPARAM>(end));
}

#pragma once

// Typing on the real keyboard path: key events go through the system's input queue to the window
// that has the focus, and the message loop's translation turns them into characters.

#include <windows.h>

#include <string>
#include <vector>

#include "console_fixture.h"

inline void SendKeyEvents(std::vector<INPUT> events)
{
    SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
    // Input reaches the queue asynchronously; pump until it has been handled.
    PumpUntil([] { return false; }, std::chrono::milliseconds(40));
}

inline INPUT KeyEvent(WORD virtualKey, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Presses and releases one key.
inline void PressKey(WORD virtualKey)
{
    SendKeyEvents({KeyEvent(virtualKey, false), KeyEvent(virtualKey, true)});
}

// The key presses that make one character on this keyboard layout, Shift included where needed
// ("?" is Shift and the "/" key on US English).
inline std::vector<INPUT> CharacterKeyEvents(char c)
{
    const SHORT mapped = VkKeyScanA(c);
    const WORD key = LOBYTE(mapped);
    const bool shift = (HIBYTE(mapped) & 1) != 0;
    std::vector<INPUT> events;
    if (shift) {
        events.push_back(KeyEvent(VK_SHIFT, false));
    }
    events.push_back(KeyEvent(key, false));
    events.push_back(KeyEvent(key, true));
    if (shift) {
        events.push_back(KeyEvent(VK_SHIFT, true));
    }
    return events;
}

// Types text one character at a time.
inline void TypeText(const std::string& text)
{
    for (char c : text) {
        SendKeyEvents(CharacterKeyEvents(c));
    }
}

// Gives a box the focus with all its text selected, as a click and Ctrl+A would.
inline void FocusAndSelectAll(HWND box)
{
    SetForegroundWindow(GetAncestor(box, GA_ROOT));
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
    PumpMessages();
}

// Replaces a box's whole text as pasting over a selection does; unlike setting the window text,
// this notifies the panel.
inline void PasteOver(HWND box, const char* text)
{
    SendMessageA(box, EM_SETSEL, 0, -1);
    SendMessageA(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    PumpMessages();
}

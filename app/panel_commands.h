#pragma once

// What the panel's boxes, buttons and faders do: the rest of the main window procedure.

#include <windows.h>

// WM_COMMAND from the fade-time box, the preset box, SAVE or GO.
void OnPanelCommand(HWND mainWindow, int controlId, int notificationCode);
// WM_VSCROLL from a fader's trackbar.
void OnPanelScroll(int scrollCode, HWND track);

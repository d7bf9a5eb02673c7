#pragma once

#include <windows.h>

// The About box's procedure: OK, Enter, Escape and the caption's close box end it.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

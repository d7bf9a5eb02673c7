#pragma once

// Sends the channels' mixed levels to the converter, read fresh from the panel's faders.

#include <windows.h>

// Sends channel i's mix as "W <i> <level>"; the result of the exchange, which no caller needs.
bool SendChannel(int channel);
// Sends channels 0 to 11 in order.
void SendAllChannels();
// A fader's scroll notification: a scene fader sends its channel, the master all twelve.
void OnFaderScroll(int scrollCode, HWND trackWindow);

#pragma once

// The timed crossfade of the master: GO moves it from where it stands to the far scene over the
// fade time, on the main window's timer.

#include <windows.h>

#include "mixing/crossfade_math.h"

inline constexpr UINT_PTR FADE_TIMER_ID = 5000;
inline constexpr UINT FADE_TIMER_PERIOD_MS = 55;

struct Crossfade {
    CrossfadeState state;
    bool fading = false;  // the timer is running
};

// The run's one crossfade.
Crossfade& TheCrossfade();

// GO: reads the fade time, sends the channels as they stand, and starts the fade, or switches the
// master at once for fade times under half a millisecond. GO during a fade starts a new one from
// where the master stands.
void StartCrossfade(HWND mainWindow);

// The timer callback: moves the master on and sends all channels; ends the fade once its time has passed.
void CALLBACK CrossfadeTick(HWND window, UINT message, UINT_PTR timer, DWORD time);

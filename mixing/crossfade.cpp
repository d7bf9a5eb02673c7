#include "mixing/crossfade.h"

#include "converter/clock.h"
#include "mixing/channel_output.h"
#include "mixing/fade_time.h"
#include "panel/panel.h"

namespace {

double Now()
{
    return SecondsBetween(TimePoint{}, MonotonicClock().Now());
}

}  // namespace

Crossfade& TheCrossfade()
{
    static Crossfade crossfade;
    return crossfade;
}

void StartCrossfade(HWND mainWindow)
{
    Crossfade& crossfade = TheCrossfade();
    CrossfadeState& fade = crossfade.state;
    PanelState& panel = ThePanel();
    // The time of GO is taken first: reading the box and sending count toward the fade.
    const double now = Now();

    char text[RECORDED_TEXT_SIZE] = {};
    GetWindowTextA(panel.fadeEdit, text, sizeof(text));
    if (const auto seconds = ParseFadeTime(text)) {
        fade.duration = *seconds;
    }

    AimCrossfade(fade, now, panel.master->GetLevel());
    SendAllChannels();

    if (!SwitchesAtOnce(fade.duration)) {
        // A running fade's timer is replaced.
        SetTimer(mainWindow, FADE_TIMER_ID, FADE_TIMER_PERIOD_MS, CrossfadeTick);
        crossfade.fading = true;
        return;
    }
    if (crossfade.fading) {
        KillTimer(mainWindow, FADE_TIMER_ID);
        crossfade.fading = false;
    }
    panel.master->SetLevel(fade.target);
    SendAllChannels();
}

void CALLBACK CrossfadeTick(HWND window, UINT, UINT_PTR, DWORD)
{
    Crossfade& crossfade = TheCrossfade();
    const CrossfadeStep step = StepCrossfade(crossfade.state, Now());
    if (step.finished) {
        KillTimer(window, FADE_TIMER_ID);
        crossfade.fading = false;
    }
    ThePanel().master->SetLevel(step.level);
    SendAllChannels();
}

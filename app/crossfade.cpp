#include "app/console.h"
#include "mixing/fade_time.h"

void Console::StartCrossfade()
{
    if (closing_) {
        return;
    }
    // The time of GO is taken first: reading the box and sending count toward the fade.
    const double now = SecondsBetween(TimePoint{}, clock_.Now());

    char text[RECORDED_TEXT_SIZE] = {};
    GetWindowTextA(panel_.fadeEdit, text, sizeof(text));
    if (const auto seconds = ParseFadeTime(text)) {
        fade_.duration = *seconds;
    }

    AimCrossfade(fade_, now, panel_.master->GetLevel());
    SendAllChannels();
    if (closing_) {
        return;
    }

    if (!SwitchesAtOnce(fade_.duration)) {
        // A running fade's timer is replaced.
        SetTimer(Window(), FADE_TIMER_ID, FADE_TIMER_PERIOD_MS, nullptr);
        fading_ = true;
        return;
    }
    StopFadeTimer();
    panel_.master->SetLevel(fade_.target);
    SendAllChannels();
}

void Console::StepCrossfade()
{
    if (closing_ || !fading_) {
        return;
    }
    const CrossfadeStep step = ::StepCrossfade(fade_, SecondsBetween(TimePoint{}, clock_.Now()));
    if (step.finished) {
        StopFadeTimer();
    }
    panel_.master->SetLevel(step.level);
    SendAllChannels();
}

void Console::StopFadeTimer()
{
    if (fading_) {
        KillTimer(Window(), FADE_TIMER_ID);
        fading_ = false;
    }
}

#include "mixing/crossfade_math.h"

#include <algorithm>
#include <cmath>

void AimCrossfade(CrossfadeState& fade, double now, int masterLevel)
{
    fade.startTime = now;
    fade.startLevel = masterLevel;
    fade.target = masterLevel >= 128 ? 0 : 255;
    fade.delta = fade.target - masterLevel;
}

bool SwitchesAtOnce(double duration)
{
    return !(duration >= MINIMUM_FADE_SECONDS);
}

CrossfadeStep StepCrossfade(const CrossfadeState& fade, double now)
{
    const double p = (now - fade.startTime) / fade.duration;
    if (p > 1) {
        return {fade.target, true};
    }
    // A monotonic clock never runs backwards; the clamp keeps the level between start and
    // target even so.
    const double progress = p >= 0 ? std::min(p, 1.0) : 0.0;
    const int level = static_cast<int>(std::floor(fade.delta * progress + fade.startLevel));
    return {std::clamp(level, std::min(fade.startLevel, fade.target), std::max(fade.startLevel, fade.target)), false};
}

#pragma once

// The arithmetic of a timed crossfade: where the master goes and where it stands after a time.

inline constexpr double MINIMUM_FADE_SECONDS = 0.0005;  // shorter fade times switch at once

// One crossfade of the master, from GO on. Times are seconds on a monotonic clock.
struct CrossfadeState {
    double startTime = 0;
    double duration = 0;  // the last fade time parsed; kept when the box holds no number
    int startLevel = 0;
    int delta = 0;        // target - startLevel
    int target = 0;       // 0 (scene B) or 255 (scene A)
};

// From the upper half the master fades down to scene B, from the lower half up to scene A.
void AimCrossfade(CrossfadeState& fade, double now, int masterLevel);

bool SwitchesAtOnce(double duration);

struct CrossfadeStep {
    int level;
    bool finished;  // the fade time has passed: the master is at its target
};

// The master's level at `now`. It follows the elapsed time and always lies between the start
// level and the target; the first step past the fade time finishes at the target.
CrossfadeStep StepCrossfade(const CrossfadeState& fade, double now);

#pragma once

#include <chrono>

// Time on a monotonic scale. Deadlines of the converter link and the timing of a crossfade are
// taken from a Clock, so that tests can run them on a simulated clock without sleeping.
using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;

// A time point as seconds on its clock's scale: the crossfade's arithmetic runs on these.
inline double Seconds(TimePoint t)
{
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint Now() = 0;
    // Returns once the clock has reached t; a simulated clock jumps there.
    virtual void WaitUntil(TimePoint t) = 0;
};

// The machine's monotonic clock. Changes of the wall clock do not move it.
class SteadyClock final : public Clock {
public:
    TimePoint Now() override;
    void WaitUntil(TimePoint t) override;
};



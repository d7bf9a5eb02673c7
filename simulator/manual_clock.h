#pragma once

#include "converter/clock.h"

// A clock that moves only when it is waited on or advanced: the simulated converter's latencies
// and the converter link's deadlines then cost no real time.
class ManualClock final : public Clock {
public:
    TimePoint Now() override { return now_; }
    void WaitUntil(TimePoint t) override
    {
        if (t > now_) {
            now_ = t;
        }
    }
    void Advance(Duration d) { now_ += d; }

private:
    TimePoint now_ = TimePoint{} + std::chrono::hours(1);
};

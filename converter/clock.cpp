#include "converter/clock.h"

#include <thread>

TimePoint SteadyClock::Now()
{
    return std::chrono::steady_clock::now();
}

void SteadyClock::WaitUntil(TimePoint t)
{
    // The system's sleep is coarse (a scheduler tick on some systems), so sleep for all but the
    // last two milliseconds and spin through the rest: a simulated 2 ms exchange stays 2 ms.
    // Yielding instead could hand the processor away for a whole time slice.
    constexpr auto margin = std::chrono::milliseconds(2);
    const auto now = Now();
    if (t - now > margin) {
        std::this_thread::sleep_for(t - now - margin);
    }
    while (Now() < t) {
    }
}

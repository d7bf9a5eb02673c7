// The portable core over many runs and many exchanges with every fault; under the sanitizers'
// leak checker this shows that nothing it allocates is lost.

#include <gtest/gtest.h>

#include <string>

#include "converter/converter_commands.h"
#include "converter/converter_link.h"
#include "mixing/channel_mix.h"
#include "mixing/crossfade_math.h"
#include "mixing/fade_time.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_hid_bus.h"
#include "noted_link.h"
#include "temp_folder.h"

namespace {

ConverterFaults FaultFor(int round)
{
    ConverterFaults faults;
    switch (round % 9) {
    case 1: faults.shape = ReplyShape::SeveralReports; break;
    case 2: faults.shape = ReplyShape::SplitPrompt; break;
    case 3: faults.shape = ReplyShape::LengthTooLarge; break;
    case 4: faults.shape = ReplyShape::LengthNegative; break;
    case 5: faults.silent = true; break;
    case 6: faults.readFails = true; break;
    case 7: faults.writeFails = true; break;
    case 8: faults.latency = std::chrono::milliseconds(1500); break;
    default: break;
    }
    return faults;
}

TEST(CoreSoak, ManyRunsAndExchangesWithEveryFault)
{
    TempFolder temp;
    ManualClock clock;
    NewsLog listener;
    std::uint64_t exchanges = 0;
    for (int run = 0; run < 100; ++run) {
        SimulatedHidBus bus;
        auto converter = std::make_shared<SimulatedConverter>(clock);
        PopulateTypicalBus(bus, converter);
        bus.interfaces[0].fault = run % 2 == 0 ? SearchFault::None : SearchFault::Open;
        bus.interfaces[0].error = 5;
        auto link = std::make_unique<NotedLink>(bus, clock, listener, temp.LogPath());
        link->OpenConverter();
        ASSERT_TRUE(link->Present());

        CrossfadeState fade;
        fade.duration = ParseFadeTime("2.5").value_or(0);
        AimCrossfade(fade, 0, run);
        for (int i = 0; i < 1000; ++i) {
            if (i % 100 == 0) {
                converter->faults = FaultFor(run + i / 100);
            }
            const int channel = i % 12;
            const int level = MixLevel(i & 0xFF, 255 - (i & 0xFF), StepCrossfade(fade, i * 0.003).level);
            link->SendConverterCommand(LevelCommand(channel, level));
            if (i % 250 == 0) {
                link->SendConverterCommand(StorePresetCommand(1 + run % 127));
            }
        }
        exchanges += converter->ExchangeCount();
        EXPECT_LE(converter->History().size(), SimulatedConverter::HistoryLimit);
        link.reset();
        EXPECT_EQ(bus.HandlesOpen(), 0) << "the converter's handle goes with the link";
        EXPECT_EQ(bus.ListsOpen(), 0);
    }
    EXPECT_GT(exchanges, 50000u);
    EXPECT_GT(listener.readFailures.size(), 0u);
}

}  // namespace

// The console's own cost, without the converter's: one command (format, frame, write, read, prompt
// search) against a converter that answers at once, and the arithmetic of the mix and the fade.
//
// A full-speed HID exchange takes about 2 ms, so the program's share of one command must stay a
// rounding error on top of it: the run fails when a command costs more than 1 % of 2 ms.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "converter/converter_commands.h"
#include "converter/converter_link.h"
#include "converter/discovery_log.h"
#include "mixing/channel_mix.h"
#include "mixing/crossfade_math.h"
#include "mixing/fade_time.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_hid_bus.h"

namespace {

constexpr double USB_EXCHANGE_SECONDS = 0.002;
constexpr double COMMAND_BUDGET_SECONDS = USB_EXCHANGE_SECONDS * 0.01;
constexpr double ARITHMETIC_BUDGET_SECONDS = 1e-6;

struct OpenSimulatedConverter {
    OpenSimulatedConverter()
    {
        PopulateTypicalBus(bus, converter);
        link.OpenConverter();
    }
    ManualClock clock;
    SimulatedHidBus bus;
    std::shared_ptr<SimulatedConverter> converter = std::make_shared<SimulatedConverter>(clock);
    ConverterLink link{bus, clock, std::nullopt};  // no log file for the benchmark
};

void LevelCommandExchange(benchmark::State& state)
{
    OpenSimulatedConverter open;
    ConverterLink& link = open.link;
    if (!link.Present()) {
        state.SkipWithError("the simulated converter was not found");
        return;
    }
    int level = 0;
    for (auto _ : state) {
        const LinkNews sent = link.SendConverterCommand(LevelCommand(level % 12, level & 0xFF));
        benchmark::DoNotOptimize(sent);
        ++level;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LevelCommandExchange);

void MasterMovementExchanges(benchmark::State& state)
{
    OpenSimulatedConverter open;
    for (auto _ : state) {
        for (int channel = 0; channel < CONVERTER_CHANNEL_COUNT; ++channel) {
            open.link.SendConverterCommand(LevelCommand(channel, MixLevel(200, 30, 128)));
        }
    }
    state.SetItemsProcessed(state.iterations() * 12);
}
BENCHMARK(MasterMovementExchanges);

void Mix(benchmark::State& state)
{
    int m = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(MixLevel(200, 17, m & 0xFF));
        ++m;
    }
}
BENCHMARK(Mix);

void CrossfadeLevelForTime(benchmark::State& state)
{
    CrossfadeState fade;
    fade.duration = 2.0;
    AimCrossfade(fade, 100.0, 40);
    double t = 100.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(StepCrossfade(fade, t));
        t += 1e-6;
    }
}
BENCHMARK(CrossfadeLevelForTime);

void FadeTimeText(benchmark::State& state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseFadeTime("2.5\r\n"));
    }
}
BENCHMARK(FadeTimeText);

// Checks every run against its budget, and reports as the console reporter does.
class BudgetReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) {
                failed = true;
                continue;
            }
            const std::string name = run.benchmark_name();
            double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            double budget = ARITHMETIC_BUDGET_SECONDS;
            if (name.rfind("LevelCommandExchange", 0) == 0) {
                budget = COMMAND_BUDGET_SECONDS;
            } else if (name.rfind("MasterMovementExchanges", 0) == 0) {
                budget = 12 * COMMAND_BUDGET_SECONDS;
            }
            const bool within = seconds <= budget;
            std::printf("budget %-28s %10.3f us of %8.3f us  %s\n", name.c_str(), seconds * 1e6, budget * 1e6,
                        within ? "ok" : "OVER");
            failed = failed || !within;
        }
    }
    bool failed = false;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    BudgetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failed ? 1 : 0;
}

// The converter coming and going under the link, in any order and at any moment, with the
// platform's news of it delivered late, twice, out of order or not at all. Two converters on the
// simulated bus, each under a path of its own; the harness stands in for the console: it keeps
// the faders' twelve levels, sends a channel when a fader moves, and all twelve when the link
// reports a converter found or answering again. It opens a box when the link reports a silence
// begun, whose message loop delivers the news queued meanwhile, as the console's does.
//
// Oracle, all through the run: no failed read reported while the link holds a converter pulled
// out, never two boxes open, one silence reported per silence of a converter, a converter plugged
// in found inside the box that took in its arrival; a loss reported only of a converter in use,
// and every converter lost reported lost; at most one "found" for a converter per plug-in; a
// search only for an arrival or a converter in use since the last one (so one per news, and a
// second round only for a converter lost in its "I").
// Once the events have settled (every converter answering, the news queued so far delivered in
// order, a lost arrival told after all, then a fader moved): a converter is in use exactly when
// one is plugged in; since it was last plugged in, the one in use has received "I" and, after it,
// every channel at the faders' level (the one in at the start only "I", as it holds the faders'
// zeros); it holds the faders' levels; the link holds one handle, or none.
//
// Input: events, a byte each and the bytes it takes, until the input ends (at most MAX_EVENTS):
//   0  a fader moves: channel (byte % 12), level (byte)
//   1  a converter is pulled out (byte & 1: which)      2  plugged in again (same path)
//   3  a converter falls silent (byte & 1)               4  answers again
//   5  the oldest news is delivered                      6  the newest news is delivered first
//   7  the oldest news is delivered twice                8  the oldest news is lost
//   9  the next command a converter (byte & 1) takes pulls it out between the write and the
//      read, or with bit 2 of the same byte the next error box does; bit 1: plugged in again at
//      once, under the same path

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "converter/converter_commands.h"
#include "converter/converter_link.h"
#include "fuzz_support.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_converter.h"
#include "simulator/simulated_hid_bus.h"

namespace {

constexpr int MAX_EVENTS = 64;

struct News {
    bool arrived;
    std::size_t which;  // the converter it is about
};

// One converter on the bus, and what it took in since it was last plugged in.
struct Plugged {
    std::shared_ptr<SimulatedConverter> converter;
    std::vector<std::string> takenSincePlugIn;  // commands it acted on
    // Plugged in while the console ran; the one in at the start holds the faders' zeros already,
    // and the console sends it only "I".
    bool pluggedInSinceStart = false;
    bool dropOnNextCommand = false;
    bool comeBackAtOnce = false;
    bool replugInNextBox = false;
    // Its last arrival was never told: the platform's word is taken to come after all.
    bool arrivalLost = false;
    bool foundSincePlugIn = false;
    int boxesInSilence = 0;  // since it last answered
};

class ReplugRun final {
public:
    ReplugRun()
    {
        bus_.interfaces.push_back({OTHER_DEVICE_ATTRIBUTES, nullptr, SearchFault::None, 0, {9, 9}});
        for (std::size_t which = 0; which < converters_.size(); ++which) {
            Plugged& plugged = converters_[which];
            plugged.converter = std::make_shared<SimulatedConverter>(clock_);
            bus_.interfaces.push_back(
                {{CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID}, plugged.converter, SearchFault::None, 0, {}});
            plugged.converter->onExchange = [this, which] { Took(which); };
        }
        bus_.onDeviceChange = [this](bool arrived, const std::string& path) {
            news_.push_back({arrived, path == SimulatedHidBus::DevicePath(1) ? 0u : 1u});
        };
        bus_.onSearch = [this] {
            Require(std::exchange(searchOwed_, false), "a search only for an arrival or a converter in use since the last");
        };
        bus_.Unplug(*converters_[1].converter);  // the spare is not in at first
        news_.clear();
        Heard(link_.OpenConverter());
        Require(link_.Present(), "the converter plugged in at the start is found");
    }

    void Event(FuzzInput& input)
    {
        switch (input.Byte() % 10) {
        case 0: {
            const int channel = input.Byte() % CONVERTER_CHANNEL_COUNT;
            faders_[static_cast<std::size_t>(channel)] = input.Byte();
            SendChannel(channel);
            break;
        }
        case 1:
            bus_.Unplug(*Which(input).converter);
            break;
        case 2:
            PlugIn(Which(input));
            break;
        case 3:
            Which(input).converter->faults.silent = true;
            break;
        case 4:
            Which(input).converter->faults.silent = false;
            break;
        case 5:
            DeliverOldest();
            break;
        case 6:
            if (!news_.empty()) {
                const News newest = news_.back();
                news_.pop_back();
                Deliver(newest);
            }
            break;
        case 7:
            if (!news_.empty()) {
                const News oldest = news_.front();
                Deliver(oldest);
                DeliverOldest();
            }
            break;
        case 8:
            if (!news_.empty()) {
                converters_[news_.front().which].arrivalLost |= news_.front().arrived;
                news_.pop_front();
            }
            break;
        default: {
            const std::uint8_t how = input.Byte();
            Plugged& plugged = converters_[how & 1];
            plugged.replugInNextBox = (how & 4) != 0;
            plugged.dropOnNextCommand = !plugged.replugInNextBox;
            plugged.comeBackAtOnce = (how & 2) != 0;
            break;
        }
        }
        Observe();
    }

    void SettleAndCheck()
    {
        for (Plugged& plugged : converters_) {
            plugged.converter->faults.silent = false;
            plugged.dropOnNextCommand = false;
            plugged.replugInNextBox = false;
        }
        DeliverAll();
        for (std::size_t which = 0; which < converters_.size(); ++which) {
            if (converters_[which].arrivalLost && converters_[which].converter->Connected()) {
                Deliver({true, which});
            }
        }
        SendChannel(0);

        bool anyPluggedIn = false;
        bool oneHoldsTheStage = false;
        for (const Plugged& plugged : converters_) {
            anyPluggedIn = anyPluggedIn || plugged.converter->Connected();
            oneHoldsTheStage = oneHoldsTheStage || (plugged.converter->Connected() && HoldsTheStage(plugged));
        }
        Require(link_.Present() == anyPluggedIn, "a converter is in use exactly when one is plugged in");
        Require(!anyPluggedIn || oneHoldsTheStage,
                "the converter in use got \"I\" and then every channel at the faders' level since it was plugged in");
        Require(bus_.HandlesOpen() == (link_.Present() ? 1 : 0), "the link holds one handle, or none");
    }

private:
    Plugged& Which(FuzzInput& input) { return converters_[input.Byte() & 1]; }

    void PlugIn(Plugged& plugged)
    {
        if (!plugged.converter->Connected()) {
            plugged.takenSincePlugIn.clear();
            plugged.pluggedInSinceStart = true;
            plugged.foundSincePlugIn = false;
            plugged.boxesInSilence = 0;
            bus_.PlugIn(*plugged.converter);
        }
    }

    void Took(std::size_t which)
    {
        Plugged& plugged = converters_[which];
        const ConverterExchange& exchange = plugged.converter->History().back();
        if (!exchange.reply.empty()) {
            plugged.takenSincePlugIn.push_back(exchange.command);
            plugged.boxesInSilence = 0;
        }
        lastTaker_ = which;
        Observe();
        if (plugged.dropOnNextCommand) {
            plugged.dropOnNextCommand = false;
            bus_.Unplug(*plugged.converter);
            if (plugged.comeBackAtOnce) {
                PlugIn(plugged);
            }
        }
    }

    bool HoldsTheStage(const Plugged& plugged) const
    {
        const std::vector<std::string>& taken = plugged.takenSincePlugIn;
        const auto identify = std::find(taken.rbegin(), taken.rend(), IDENTIFY_COMMAND);
        if (identify == taken.rend()) {
            return false;
        }
        for (std::size_t channel = 0; channel < faders_.size(); ++channel) {
            const std::string level = LevelCommand(static_cast<int>(channel), faders_[channel]);
            const bool sent = std::find(taken.rbegin(), identify, level) != identify;
            if ((plugged.pluggedInSinceStart && !sent) || plugged.converter->Levels()[channel] != faders_[channel]) {
                return false;
            }
        }
        return true;
    }

    void DeliverAll()
    {
        while (!news_.empty()) {
            DeliverOldest();
        }
    }

    void DeliverOldest()
    {
        if (!news_.empty()) {
            const News oldest = news_.front();
            news_.pop_front();
            Deliver(oldest);
        }
    }

    void Deliver(const News& news)
    {
        if (news.arrived) {
            converters_[news.which].arrivalLost = false;
            searchOwed_ = true;
            Heard(link_.OnDeviceArrival());
        } else {
            Heard(link_.OnDeviceRemoval());
        }
    }

    // A converter in use may be lost, and searched for once; without one, the one seen before was
    // reported lost.
    void Observe()
    {
        if (link_.Present()) {
            inUseSeen_ = true;
            searchOwed_ = true;
        }
        Require(link_.Present() || !inUseSeen_, "a converter lost is reported lost");
    }

    void SendChannel(int channel)
    {
        Heard(link_.SendConverterCommand(LevelCommand(channel, faders_[static_cast<std::size_t>(channel)])));
    }

    void SendAllChannels()
    {
        for (int channel = 0; channel < CONVERTER_CHANNEL_COUNT; ++channel) {
            SendChannel(channel);
        }
    }

    // What the console does with the link's news: a box for a silence begun, all twelve channels
    // for a converter found or answering again.
    void Heard(const LinkNews& news)
    {
        Require(!news.readFailed || bus_.HandlesAstray() == 0, "no failed read for a converter pulled out");
        if (news.lost) {
            Require(std::exchange(inUseSeen_, false), "a loss is reported only of a converter in use");
        }
        Observe();
        if (news.silenceBegan && link_.Present()) {
            Require(++converters_[lastTaker_].boxesInSilence == 1, "one silence reported per silence");
            ShowBox();
        }
        if (news.found) {
            Require(!std::exchange(converters_[lastTaker_].foundSincePlugIn, true), "one \"found\" per plug-in");
        }
        if ((news.found || news.back) && link_.Present()) {
            SendAllChannels();
        }
    }

    void ShowBox()
    {
        Require(boxesOpen_ == 0, "never two boxes open");
        ++boxesOpen_;
        for (Plugged& plugged : converters_) {
            if (std::exchange(plugged.replugInNextBox, false)) {
                bus_.Unplug(*plugged.converter);
                if (plugged.comeBackAtOnce) {
                    PlugIn(plugged);
                }
            }
        }
        // The box's message loop takes in the news that came meanwhile, and serves it at once.
        DeliverAll();
        for (const Plugged& plugged : converters_) {
            Require(link_.Present() || !plugged.converter->Connected() || plugged.arrivalLost,
                    "a converter plugged in is found inside the box");
        }
        --boxesOpen_;
    }

    ManualClock clock_;
    SimulatedHidBus bus_;
    std::array<Plugged, 2> converters_;
    std::deque<News> news_;
    std::array<std::uint8_t, CONVERTER_CHANNEL_COUNT> faders_{};
    // The course so far.
    bool searchOwed_ = true;     // an arrival delivered or a converter in use, and no search since
    bool inUseSeen_ = false;     // a converter seen in use, and not told lost since
    int boxesOpen_ = 0;
    std::size_t lastTaker_ = 0;  // the converter that took the latest command
    ConverterLink link_{bus_, clock_, std::nullopt};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    ReplugRun run;
    for (int event = 0; event < MAX_EVENTS && !input.AtEnd(); ++event) {
        run.Event(input);
    }
    run.SettleAndCheck();
    return 0;
}

// The console's model driven as the operator and the platform drive it, on the simulated converter
// and bus through the fake view: faders moved with any scroll code and from any control, GO, texts
// typed, pasted and set into both boxes, SAVE, the timers' ticks, boxes closed at once or with
// events inside them, the converter's faults, the converter pulled out and plugged in (also
// announced before it can be opened), the news of it delivered late, twice, out of order or not
// at all, and the system resuming from a sleep. The model carries every rule; the
// run only says what must show.
//
// Oracle, after every event that ran no other event inside a box:
// - a scroll code that moves a fader step by step or by a drag sends its channel (the master all
//   twelve) mixed as the faders stand; any other code, and any control that is no fader, sends
//   nothing;
// - an event in which the converter took "I", or answered again, and a resume leave it holding the
//   mix on all twelve channels;
// - "Invalid Preset" opens exactly for a rejected preset, unless a box is open; the preset box,
//   once left, shows the last accepted preset;
// - a SAVE whose write found the converter replugged unnoticed stores the preset on the converter
//   found again, when it answers;
// - once the clock has passed a retry time after an arrival (300 ms, 2 s) by which the converter
//   could be opened, and the timers due have fired, it is in use;
// - GO aims the master at the far end from where it stands (down from 128 on, up below), over the
//   box's fade time or the last one, and switches at once or runs the fade timer; a tick sets the
//   master from the elapsed time, and once the fade time has passed puts it at the target and
//   stops; the fade timer runs exactly while the model is fading;
// and throughout: SAVE sends only the last accepted preset; one box at a time; no "USB Comm error"
// box for a converter that was pulled out; every silence of the converter has had its "USB Comm
// error" box once no other box is open; the notice says "not found" while no converter is in
// use, "not answering" while it is silent, nothing otherwise; the machine is kept awake exactly
// while a converter is in use; the preset box never keeps a rejected text, and while
// "Invalid Preset" is open both boxes keep their texts; nothing is sent after the console closed.
// Once settled (the converter answering, the news delivered, a lost arrival told after all, the
// master moved): a converter is in use exactly when it is plugged in, holds the mix on all twelve
// channels, and the link holds one handle, or none.
//
// Input: events, a byte each and the bytes it takes, until the input ends (at most MAX_EVENTS,
// those inside boxes included):
//   0  a scroll notification: code (byte % 10), control (byte: 0 the master, 1 to 12 scene A,
//      13 to 24 scene B, otherwise any ID in the next two bytes), the level it now stands at
//   1  GO
//   2  into the fade-time box, 3 into the preset box: how (byte % 3: the first character typed,
//      pasted at the end, set), length (byte % 9), the text; then the box's update
//   4  the preset box loses the keyboard      5  SAVE
//   6  the clock advances (byte * 16 ms), then a fade tick (also one queued before the fade ended)
//   7  the retry timer, if it runs, fires after its period
//   8  the converter falls silent            9  answers again, in one report at once
//   10 its replies take a shape (byte % 6, as ReplyShape) and a latency ((byte / 6) % 3: none,
//      5 ms, 1.5 s)
//   11 the converter is pulled out           12 plugged in again (the news of each is queued)
//   13 the news: (byte % 4) the oldest delivered, the newest first, the oldest twice, the oldest lost
//   14 the console closes
//   15 the converter is plugged in, and announced before it can be opened (byte % 125 * 16 ms)
//   16 the system resumes; with byte & 1 the converter lost its levels in the sleep
// A box that opens takes a byte: (byte % 4) events run inside it, at most MAX_DEPTH boxes deep.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/box_rules.h"
#include "console/fader_routing.h"
#include "console_on_simulator.h"
#include "converter/converter_commands.h"
#include "fuzz_support.h"
#include "mixing/channel_mix.h"
#include "mixing/fade_time.h"

namespace {

constexpr int MAX_EVENTS = 96;
constexpr int MAX_DEPTH = 2;

// The codes of a fader moved by a key step or a drag: the stage follows them. Thumb position,
// Home, End and the end of tracking leave it as it is.
constexpr std::array<int, 5> MOVING_CODES = {SCROLL_LINE_UP, SCROLL_LINE_DOWN, SCROLL_PAGE_UP, SCROLL_PAGE_DOWN,
                                             SCROLL_THUMB_TRACK};

class ConsoleRun {
public:
    explicit ConsoleRun(FuzzInput& input) : input_(input)
    {
        sim_.bus.onDeviceChange = [this](bool arrived, const std::string&) { news_.push_back(arrived); };
        sim_.converter->onExchange = [this] { Took(); };
        sim_.view.whileOpen = [this](const FakeView::BoxShown& box) { InsideBox(box); };
        model_.OpenConverter();
        Require(model_.ConverterInUse(), "the converter plugged in at the start is found");
    }

    bool More() const { return events_ < MAX_EVENTS && !input_.AtEnd(); }

    void Event()
    {
        ++events_;
        Checked([this] { Dispatch(input_.Byte() % 17); });
    }

    void SettleAndCheck()
    {
        settling_ = true;
        if (closed_) {
            return;
        }
        converter_.faults = {};
        while (!news_.empty()) {
            Checked([this] { Deliver(Next(true)); });
        }
        if (arrivalLost_ && converter_.Connected()) {
            Checked([this] { Deliver(true); });
        }
        while (sim_.retryTimer.Running()) {
            Checked([this] { Dispatch(7); });
        }
        Checked([this] { model_.OnFaderScroll(SCROLL_THUMB_TRACK, ID_MASTER); });
        Require(model_.ConverterInUse() == converter_.Connected(),
                "once the news is in, a converter is in use exactly when it is plugged in");
        if (model_.ConverterInUse()) {
            RequireMix(0, CHANNEL_COUNT, "once settled, the converter holds the console's mix on all twelve channels");
        }
        Require(sim_.bus.HandlesOpen() == (model_.ConverterInUse() ? 1 : 0), "the link holds one handle, or none");
    }

private:
    // Runs one event and the checks after it. `quiet`: no event ran inside a box meanwhile, so
    // what the event did alone is to be seen.
    template <typename Action>
    void Checked(Action action)
    {
        const int outerStart = std::exchange(start_, events_);
        const std::uint64_t identified = identified_;
        const bool wasSilent = model_.Link().Silent();
        action();
        const bool quiet = Quiet();
        start_ = outerStart;
        Require(sim_.fadeTimer.Running() == model_.Fading(), "the fade timer runs exactly while the model fades");
        Require(closed_ || CheckPresetText(view_.Read(ID_PRESET).data()) != PresetVerdict::Rejected,
                "the preset box never keeps a rejected text");
        if (!invalidOpen_.empty() && !closed_) {
            Require(view_.Read(ID_FADE_TIME) == invalidOpen_.back().first &&
                        view_.Read(ID_PRESET) == invalidOpen_.back().second && !model_.BoxesTakeText(),
                    "while \"Invalid Preset\" is open the boxes keep their texts");
        }
        if (closed_) {
            Require(!sim_.retryTimer.Running() && sim_.bus.HandlesOpen() == 0,
                    "a closed console has no timers and no converter open");
        }
        if (quiet && Answering() && (identified_ != identified || (wasSilent && !model_.Link().Silent()))) {
            RequireMix(0, CHANNEL_COUNT, "a converter found or answering again gets all twelve channels as they stand");
        }
        Require(view_.awake == model_.ConverterInUse(), "the machine is kept awake exactly while a converter is in use");
        if (closed_) {
            return;
        }
        const ConverterNotice notice = !model_.ConverterInUse() ? ConverterNotice::NotFound
                                       : model_.Link().Silent() ? ConverterNotice::NotAnswering
                                                                : ConverterNotice::None;
        Require(view_.notice == notice, "the notice: \"not found\" without a converter, \"not answering\" while it is silent");
        SampleSilence();
        Require(depth_ > 0 || !model_.Link().Silent() || silenceTold_,
                "a silence has its \"USB Comm error\" box once no other box is open");
    }

    // A silence begins where the link, seen at each exchange, box and event, turns silent.
    void SampleSilence()
    {
        const bool silent = model_.Link().Silent();
        silenceTold_ = silenceTold_ && !(silent && !linkSilent_);
        linkSilent_ = silent;
    }

    void Dispatch(int event)
    {
        switch (event) {
        case 0:
            return Scroll();
        case 1:
            return Go();
        case 2:
            return TypeInto(ID_FADE_TIME);
        case 3:
            return TypeInto(ID_PRESET);
        case 4:
            model_.OnPresetBoxLeft();
            return Require(closed_ || std::strtol(view_.Read(ID_PRESET).data(), nullptr, 10) == lastAccepted_,
                           "the preset box, once left, shows the last accepted preset");
        case 5:
            return Save();
        case 6:
            Tick();
            return FireDueRetries();
        case 7:
            if (sim_.retryTimer.Running()) {
                sim_.clock.Advance(*sim_.retryTimer.Period());
                model_.OnRetryTimer();
            }
            return;
        case 8:
            converter_.faults.silent = true;
            return;
        case 9:
            converter_.faults = {};
            return;
        case 10: {
            const std::uint8_t how = input_.Byte();
            constexpr std::array<Duration, 3> latencies = {Duration::zero(), std::chrono::milliseconds(5),
                                                           std::chrono::milliseconds(1500)};
            converter_.faults.shape = static_cast<ReplyShape>(how % 6);
            converter_.faults.latency = latencies[(how / 6) % 3];
            return;
        }
        case 11:
            arrivalAt_.reset();
            return sim_.bus.Unplug(converter_);
        case 12:
            return PlugIn(Duration::zero());
        case 13:
            return News(input_.Byte() % 4);
        case 15:
            return PlugIn(std::chrono::milliseconds(16 * (input_.Byte() % 125)));
        case 16:
            return Resume();
        default:
            model_.Close();
            closed_ = true;
            Require(!sim_.fadeTimer.Running(), "closing stops the fade");
            return;
        }
    }

    // The platform delivers a timer's tick once it is due.
    void FireDueRetries()
    {
        while (!closed_ && sim_.retryTimer.Due()) {
            model_.OnRetryTimer();
        }
        if (closed_ || !arrivalAt_ || !converter_.Connected()) {
            return;
        }
        for (const Duration delay : SEARCH_RETRY_DELAYS) {
            const TimePoint retry = *arrivalAt_ + delay;
            if (retry >= converter_.OpensFrom()) {
                Require(sim_.clock.Now() < retry || model_.ConverterInUse(),
                        "a converter announced before it could be opened is found by the retry after the arrival");
                return;
            }
        }
    }

    // An arrival delivered before the converter was plugged in again says nothing of when it opens.
    void PlugIn(Duration opensAfter)
    {
        if (!converter_.Connected()) {
            arrivalAt_.reset();
        }
        sim_.bus.PlugIn(converter_, opensAfter);
    }

    void Resume()
    {
        if ((input_.Byte() & 1) != 0) {
            converter_.LoseLevels();
        }
        model_.OnSystemResume();
        if (Quiet() && Answering()) {
            RequireMix(0, CHANNEL_COUNT, "after a resume the converter holds the mix");
        }
    }

    void Scroll()
    {
        const int code = input_.Byte() % 10;
        const std::uint8_t which = input_.Byte();
        const int id = which == 0    ? ID_MASTER
                       : which <= 12 ? ID_SCENE_A_FIRST + which - 1
                       : which <= 24 ? ID_SCENE_B_FIRST + which - 13
                                     : input_.Word();
        view_.levels[id] = input_.Byte();
        const std::uint64_t exchanges = converter_.ExchangeCount();
        model_.OnFaderScroll(code, id);
        const auto fader = FaderOfControl(id);
        if (!fader || std::find(MOVING_CODES.begin(), MOVING_CODES.end(), code) == MOVING_CODES.end()) {
            Require(converter_.ExchangeCount() == exchanges,
                    "thumb position, Home, End, the end of a drag and a control that is no fader send nothing");
        } else if (Quiet() && Answering()) {
            const bool master = fader->row == FaderRow::Master;
            RequireMix(master ? 0 : fader->channel, master ? CHANNEL_COUNT : fader->channel + 1,
                       "a moved fader sends its channel, the master all twelve, mixed as the faders stand");
        }
    }

    void Go()
    {
        const int master = view_.levels[ID_MASTER];
        const double now = Seconds(sim_.clock.Now());
        const std::optional<double> typed = ParseFadeTime(view_.Read(ID_FADE_TIME).data());
        const double duration = typed.value_or(model_.Crossfade().duration);
        const bool wasClosed = closed_;
        model_.Go();
        if (wasClosed || !Quiet()) {
            return;
        }
        const CrossfadeState& fade = model_.Crossfade();
        const int target = master >= 128 ? 0 : 255;
        Require(fade.target == target && fade.delta == target - master && fade.startLevel == master,
                "GO fades from the upper half down to scene B, from the lower half up to scene A");
        Require(fade.startTime == now && fade.duration == duration,
                "GO starts at its time, over the box's fade time or the last one");
        if (SwitchesAtOnce(duration)) {
            Require(view_.levels[ID_MASTER] == target && !model_.Fading(), "a fade time under 0.5 ms switches at once");
        } else {
            Require(view_.levels[ID_MASTER] == master && model_.Fading() && sim_.fadeTimer.Period() == FADE_TICK_PERIOD,
                    "a timed fade starts from where the master stands, its timer running");
        }
        if (Answering()) {
            RequireMix(0, CHANNEL_COUNT, "GO sends all twelve channels");
        }
    }

    void Tick()
    {
        sim_.clock.Advance(std::chrono::milliseconds(16 * input_.Byte()));
        const bool fading = model_.Fading();
        const CrossfadeState fade = model_.Crossfade();
        const int master = view_.levels[ID_MASTER];
        const double now = Seconds(sim_.clock.Now());
        const std::uint64_t exchanges = converter_.ExchangeCount();
        model_.OnFadeTick();
        if (!fading) {
            Require(view_.levels[ID_MASTER] == master && converter_.ExchangeCount() == exchanges,
                    "a tick without a fade changes nothing");
            return;
        }
        if (!Quiet()) {
            return;
        }
        const int level = view_.levels[ID_MASTER];
        Require(level == StepCrossfade(fade, now).level && level >= std::min(fade.startLevel, fade.target) &&
                    level <= std::max(fade.startLevel, fade.target),
                "a tick sets the master from the elapsed time, between where it started and the far end");
        if (now - fade.startTime >= fade.duration + 0.001) {
            Require(level == fade.target && !model_.Fading(), "once the fade time has passed the master is at the far end");
        }
        if (Answering()) {
            RequireMix(0, CHANNEL_COUNT, "a tick sends all twelve channels");
        }
    }

    void TypeInto(int boxId)
    {
        const int how = input_.Byte() % 3;
        std::string text;
        for (int length = input_.Byte() % 9; length > 0; --length) {
            text += static_cast<char>(input_.Byte());
        }
        std::string& shown = view_.Text(boxId);
        shown = how == 2 ? text : shown + (how == 0 ? text.substr(0, 1) : text);
        const RecordedText read = view_.Read(boxId);
        const bool taken = !closed_ && invalidOpen_.empty();
        const bool opens = boxId == ID_PRESET && taken && view_.openBoxes == 0 &&
                           CheckPresetText(read.data()) == PresetVerdict::Rejected;
        const std::size_t boxes = view_.boxes.size();
        model_.OnBoxUpdate(boxId);
        Require((view_.boxes.size() > boxes) == opens, "\"Invalid Preset\" opens exactly for a rejected preset, unless a box is open");
        if (boxId == ID_PRESET && taken && CheckPresetText(read.data()) == PresetVerdict::Accepted) {
            lastAccepted_ = static_cast<int>(std::strtol(read.data(), nullptr, 10));
        }
    }

    void Save()
    {
        const bool sends = Answering();
        const bool replugged = !closed_ && model_.ConverterInUse() && converter_.Connected() &&
                               converter_.Connection() != connection_ && converter_.CanBeOpened() && Prompts();
        const std::uint64_t stored = stored_;
        const std::uint64_t identified = identified_;
        saving_ = true;
        model_.Save();
        saving_ = false;
        // Sent to a converter replugged unnoticed, the command finds it lost; the one found then
        // gets "I" and the channels, not the store.
        if (Quiet() && sends && Answering() && identified_ == identified) {
            Require(stored_ == stored + 1, "SAVE stores the last accepted preset");
        }
        // The converter found again may have replies of its last connection still on their way, and
        // miss its "I": silent, it is not sent the store.
        if (Quiet() && replugged && !model_.Link().Silent()) {
            Require(stored_ == stored + 1, "a SAVE whose converter was replugged unnoticed reaches it once found again");
        }
    }

    bool Next(bool oldest)
    {
        const bool arrived = oldest ? news_.front() : news_.back();
        oldest ? news_.pop_front() : news_.pop_back();
        return arrived;
    }

    void News(int how)
    {
        if (news_.empty()) {
            return;
        }
        if (how == 3) {
            arrivalLost_ = arrivalLost_ || Next(true);
        } else if (how == 2) {
            const bool arrived = Next(true);
            Deliver(arrived);
            Deliver(arrived);
        } else {
            Deliver(Next(how == 0));
        }
    }

    void Deliver(bool arrived)
    {
        if (arrived) {
            arrivalLost_ = false;
            arrivalAt_ = sim_.clock.Now();
            model_.OnDeviceArrival();
        } else {
            model_.OnDeviceRemoval();
        }
    }

    void Took()
    {
        Require(!closed_, "nothing is sent after the console closed");
        SampleSilence();
        connection_ = converter_.Connection();
        const ConverterExchange& exchange = converter_.History().back();
        if (exchange.command.rfind("c0 ", 0) == 0) {
            Require(saving_ && exchange.command == StorePresetCommand(lastAccepted_),
                    "SAVE sends only the last accepted preset");
            stored_ += exchange.reply.empty() ? 0 : 1;
        }
        identified_ += exchange.command == IDENTIFY_COMMAND && !exchange.reply.empty() ? 1 : 0;
    }

    void InsideBox(const FakeView::BoxShown& box)
    {
        Require(box.openBefore == 0, "one box at a time");
        if (box.ownedByTheConsole) {
            Require(CheckPresetText(box.presetWhileOpen.c_str()) != PresetVerdict::Rejected,
                    "the good preset is back before \"Invalid Preset\" opens");
            invalidOpen_.emplace_back(view_.Read(ID_FADE_TIME), view_.Read(ID_PRESET));
        } else {
            Require(converter_.Connected(), "no \"USB Comm error\" box for a converter that was pulled out");
            SampleSilence();
            silenceTold_ = silenceTold_ || model_.Link().Silent();
        }
        const bool saving = std::exchange(saving_, false);
        if (!settling_ && depth_ < MAX_DEPTH) {
            ++depth_;
            for (int count = input_.Byte() % 4; count > 0 && More(); --count) {
                Event();
            }
            --depth_;
        }
        saving_ = saving;
        if (box.ownedByTheConsole) {
            invalidOpen_.pop_back();
        }
    }

    // The event under way ran no other event inside a box.
    bool Quiet() const { return events_ == start_; }

    // The link's handle reaches the converter (it was not replugged since the last command), and
    // the converter acts on what it is sent.
    bool Answering() const
    {
        return !closed_ && model_.ConverterInUse() && converter_.Connected() &&
               converter_.Connection() == connection_ && !converter_.faults.silent;
    }

    // The converter answers every command with its prompt, in time.
    bool Prompts() const
    {
        const ReplyShape shape = converter_.faults.shape;
        return !converter_.faults.silent && shape != ReplyShape::SplitPrompt && shape != ReplyShape::NoPrompt &&
               converter_.faults.latency < REPLY_TIMEOUT;
    }

    void RequireMix(int from, int to, const char* fact)
    {
        for (int channel = from; channel < to; ++channel) {
            const int level = MixLevel(view_.levels[ID_SCENE_A_FIRST + channel], view_.levels[ID_SCENE_B_FIRST + channel],
                                       view_.levels[ID_MASTER]);
            Require(converter_.Levels()[static_cast<std::size_t>(channel)] == level, fact);
        }
    }

    FuzzInput& input_;
    ConsoleOnSimulator sim_;
    ConsoleModel& model_ = sim_.model;
    FakeView& view_ = sim_.view;
    SimulatedConverter& converter_ = *sim_.converter;
    std::deque<bool> news_;  // true: an arrival
    bool arrivalLost_ = false;
    int events_ = 0;
    int start_ = 0;  // events_ as the event under way began
    int depth_ = 0;
    bool closed_ = false;
    bool settling_ = false;
    bool saving_ = false;
    int lastAccepted_ = 1;  // INITIAL_PRESET_TEXT
    std::uint64_t stored_ = 0;
    std::uint64_t identified_ = 0;
    std::uint32_t connection_ = 0;  // the converter's plugging-in that took the last command
    std::optional<TimePoint> arrivalAt_;  // the last arrival delivered
    bool linkSilent_ = false;             // the link's silence as last seen
    bool silenceTold_ = false;            // the silence under way has had its box
    // The boxes' texts as each open "Invalid Preset" found them.
    std::vector<std::pair<RecordedText, RecordedText>> invalidOpen_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    ConsoleRun run(input);
    while (run.More()) {
        run.Event();
    }
    run.SettleAndCheck();
    return 0;
}

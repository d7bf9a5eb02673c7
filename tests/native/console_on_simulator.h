#pragma once

// The console's model on the simulated converter, with a view that keeps what the model told it:
// the faders' levels, the boxes' texts, the timers, the boxes shown, the notice and the keep-awake.
// A box's message loop is a callback, so that a test or a fuzz target decides what happens while
// the box is open.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/console_model.h"
#include "console/control_ids.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_converter.h"
#include "simulator/simulated_hid_bus.h"

class FakeTimer final : public Timer {
public:
    explicit FakeTimer(Clock& clock) : clock_(clock) {}
    void Start(Duration period) override
    {
        period_ = period;
        due_ = clock_.Now() + period;
    }
    void Stop() override { period_.reset(); }
    bool Running() const { return period_.has_value(); }
    const std::optional<Duration>& Period() const { return period_; }
    // Running and its period has passed since it was started.
    bool Due() { return Running() && clock_.Now() >= due_; }

private:
    Clock& clock_;
    std::optional<Duration> period_;
    TimePoint due_{};
};

class FakeView final : public Faders, public BoxTexts, public MessageBoxes, public Notice, public KeepAwake {
public:
    // Faders: a level as the trackbar keeps it, its low 8 bits.
    int Level(int faderId) override { return levels[faderId]; }
    void SetLevel(int faderId, int level) override { levels[faderId] = level & 0xFF; }

    RecordedText Read(int boxId) override
    {
        RecordedText text{};
        Record(text, Text(boxId).c_str());
        return text;
    }
    void Show(int boxId, const char* text) override { Text(boxId) = text; }

    void ShowInvalidPreset(const char* text, const char* caption) override { Open({text, caption, true, {}, 0}); }
    void ShowCommError(const char* text, const char* caption) override { Open({text, caption, false, {}, 0}); }
    void Refuse() override { ++refusals; }

    void Show(ConverterNotice shown) override { notice = shown; }
    void Hold(bool live) override { awake = live; }

    std::string& Text(int boxId) { return boxId == ID_FADE_TIME ? fadeText : presetText; }

    struct BoxShown {
        std::string text;
        std::string caption;
        bool ownedByTheConsole;
        std::string presetWhileOpen;  // the preset box's text as the box opened
        int openBefore = 0;           // boxes already open when it opened
    };

    std::map<int, int> levels;
    std::string fadeText = INITIAL_FADE_TEXT;
    std::string presetText = INITIAL_PRESET_TEXT;
    std::vector<BoxShown> boxes;
    // Runs inside each box, as its message loop would run what comes in meanwhile.
    std::function<void(const BoxShown&)> whileOpen;
    int openBoxes = 0;
    int refusals = 0;
    ConverterNotice notice = ConverterNotice::None;
    bool awake = false;

private:
    void Open(BoxShown box)
    {
        box.presetWhileOpen = presetText;
        box.openBefore = openBoxes;
        boxes.push_back(box);
        ++openBoxes;
        if (whileOpen) {
            whileOpen(box);
        }
        --openBoxes;
    }
};

// The model with its ports, on a bus with another HID device at index 0 and the converter at 1.
struct ConsoleOnSimulator {
    ConsoleOnSimulator() { PopulateTypicalBus(bus, converter); }

    ManualClock clock;
    SimulatedHidBus bus;
    std::shared_ptr<SimulatedConverter> converter = std::make_shared<SimulatedConverter>(clock);
    FakeView view;
    FakeTimer fadeTimer{clock};
    FakeTimer retryTimer{clock};
    ConsoleModel model{ConsolePorts{view, view, fadeTimer, retryTimer, view, view, clock, &view}, bus, std::nullopt};
};

#pragma once

// The console's rules and the state they need, apart from any window: what a fader movement
// sends, the timed crossfade, the boxes' rules, SAVE, and what the console does on the converter's
// news. It owns the link to the converter and meets the platform through its ports
// (console_ports.h); the window turns its messages into the operations below.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "console/console_ports.h"
#include "console/recorded_text.h"
#include "converter/converter_link.h"
#include "converter/hid_access.h"
#include "mixing/crossfade_math.h"

inline constexpr const char* INITIAL_FADE_TEXT = "0.0";
inline constexpr const char* INITIAL_PRESET_TEXT = "1";

inline constexpr const char* COMM_ERROR_TEXT = "USB Comm error";
inline constexpr const char* COMM_ERROR_CAPTION = "Error";

inline constexpr Duration FADE_TICK_PERIOD = std::chrono::milliseconds(55);

// A device can be announced before it can be opened: after a HID arrival that did not bring the
// converter, the search is tried again this long after the arrival, once for each.
inline constexpr Duration SEARCH_RETRY_DELAYS[] = {std::chrono::milliseconds(300), std::chrono::milliseconds(2000)};

class ConsoleModel final {
public:
    // `logPath` is where each converter search writes its discovery log; none when it cannot be
    // placed. The boxes are expected to show INITIAL_FADE_TEXT and INITIAL_PRESET_TEXT.
    ConsoleModel(const ConsolePorts& ports, HidBus& bus, std::optional<std::string> logPath);
    ConsoleModel(const ConsoleModel&) = delete;
    ConsoleModel& operator=(const ConsoleModel&) = delete;

    // The start-up search: the converter is found, sized and sent "I".
    void OpenConverter();

    // A fader's scroll notification, with the fader's control ID (0 for none). A scene fader sends
    // its channel, the master all twelve; codes that do not move the fader send nothing.
    void OnFaderScroll(int scrollCode, int controlId);
    // GO, or Enter in the fade-time box: reads the fade time, sends the channels as they stand,
    // and fades the master to the far end, or switches it at once for fade times under half a
    // millisecond. GO during a fade starts a new one from where the master stands.
    void Go();
    // A box's text may have changed (typed, pasted, or set by another program).
    void OnBoxUpdate(int boxId);
    // The preset box lost the keyboard: a box left empty shows the last good preset again.
    void OnPresetBoxLeft();
    // SAVE: stores the last accepted preset. A store whose write found the converter gone, when
    // the search that followed found it again, is sent again after its "I" and the channels; one
    // sent during a silence is not repeated.
    void Save();
    // The timers' ticks.
    void OnFadeTick();
    void OnRetryTimer();

    // The platform's news that a HID interface came or went.
    void OnDeviceArrival();
    void OnDeviceRemoval();
    // The system resumed from a sleep: the converter in use is checked as on any device news, and
    // one that kept its connection is sent all twelve channels, since it may have lost its levels.
    void OnSystemResume();

    // The console is closing: output stops at once, also in the middle of all twelve channels or
    // inside a box, and the converter is closed; the stage keeps what it has.
    void Close();

    bool ConverterInUse() const { return link_.Present(); }
    bool Closing() const { return closing_; }
    bool Fading() const { return fading_; }
    // Whether a text from outside may go into a box: not while "Invalid Preset" is open, since the
    // operator has a bad preset to acknowledge first.
    bool BoxesTakeText() const { return openBox_ != OpenBox::InvalidPreset; }
    ConverterNotice ShownNotice() const { return notice_; }
    const RecordedText& RecordedPreset() const { return recordedPresetText_; }
    const CrossfadeState& Crossfade() const { return fade_; }
    const ConverterLink& Link() const { return link_; }

private:
    // Channel output: the mix of channel i read fresh from the faders, and all twelve in order.
    void SendChannel(int channel);
    void SendAllChannels();
    void StopFade();
    void OnFadeTimeBox();
    void OnPresetBox();
    // Puts the recorded text back into a box that shows another.
    void Restore(int boxId, const RecordedText& recorded);
    void ScheduleSearchRetry();
    // The one place where what the link gave is acted on: the keep-awake, the notice, the
    // boxes and what the converter missed.
    void Heed(const LinkNews& news);
    // The machine stays awake exactly while a converter is in use.
    void FollowStage();
    void ShowNotice();
    // Opens the "USB Comm error" box once no other box is open: for a read that failed while the
    // converter answers (`plainFailure`), and once for every silence, as long as it lasts.
    void TellCommError(bool plainFailure);

    ConsolePorts ports_;
    ConverterLink link_;
    CrossfadeState fade_;
    bool fading_ = false;  // the fade timer runs
    // The fade-time box's text as last seen, and the last accepted preset.
    RecordedText recordedFadeText_{};
    RecordedText recordedPresetText_{};
    // The box open, one at a time. While "Invalid Preset" is open the boxes keep their texts.
    enum class OpenBox { None, InvalidPreset, CommError };
    OpenBox openBox_ = OpenBox::None;
    // The current silence of the converter has had its box.
    bool silenceTold_ = false;
    ConverterNotice notice_ = ConverterNotice::None;
    // The retries of the search after the last arrival: how many are done, and when it came.
    std::size_t searchRetriesDone_ = 0;
    TimePoint lastArrival_{};
    bool closing_ = false;
};

#pragma once

// The command channel to the converter: found and opened on the HID bus, then one operation for
// the rest of the console: send a command text and wait for the converter's prompt.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "converter/clock.h"
#include "converter/hid_access.h"

inline constexpr std::uint16_t CONVERTER_VENDOR_ID = 0x6A5B;
inline constexpr std::uint16_t CONVERTER_PRODUCT_ID = 0x0E42;

// The longest command ("W B FF", or "c0 7f" and its CR) needs 10 bytes of output report; a reply
// report must hold at least the header and the prompt.
inline constexpr std::size_t MINIMUM_OUTPUT_REPORT_LENGTH = 10;
inline constexpr std::size_t MINIMUM_INPUT_REPORT_LENGTH = 6;

// A search looks again at most this often in a row while converters come and go under it.
inline constexpr int SEARCH_ROUNDS = 4;

// A write must complete within WRITE_TIMEOUT, and the whole reply must have arrived within
// REPLY_TIMEOUT of the write. Once the converter has missed a deadline, each exchange gets
// SILENT_EXCHANGE_BUDGET in all until a prompt arrives again, so twelve exchanges of a master
// movement block the console for 216 ms, and with the platform's rounding of waits to whole
// milliseconds still under 250 ms.
inline constexpr Duration WRITE_TIMEOUT = std::chrono::milliseconds(1000);
inline constexpr Duration REPLY_TIMEOUT = std::chrono::milliseconds(1000);
inline constexpr Duration SILENT_EXCHANGE_BUDGET = std::chrono::milliseconds(18);

inline constexpr const char* COMM_ERROR_TEXT = "USB Comm error";
inline constexpr const char* COMM_ERROR_CAPTION = "Error";

// What the link needs from the console that owns the windows. The link calls it only once the
// exchange that gave the reason has let go of the device and its buffers: whatever a call runs
// (a box's message loop, further commands, closing the converter, another search) is safe.
class ConverterListener {
public:
    virtual ~ConverterListener() = default;
    // The read-error box: modal, no owner, OK only.
    virtual void ShowCommError(const char* text, const char* caption) = 0;
    // The converter answered again after it had missed a deadline: what was sent meanwhile did not
    // reach it. Called once per return.
    virtual void ConverterBack() = 0;
    // The converter in use is gone (unplugged, or its handle no longer reaches it): it has been
    // closed, and nothing more is sent until one is found again.
    virtual void ConverterLost() = 0;
    // A converter was found after start-up and has been sent "I": it holds nothing of the faders.
    virtual void ConverterFound() = 0;
};

// How one command went.
enum class CommandResult {
    NotPresent,     // no converter in use: nothing was sent
    TooLong,        // the text does not fit an output report: nothing was sent
    WriteFailed,    // the platform refused the report
    WriteTimedOut,  // the report did not go out in time
    ReadFailed,     // the report went out, but no prompt came back (the error box follows, once
                    // per silence)
    ReadEmpty,      // the report went out, and a read returned no bytes
    Lost,           // the converter is gone: it was closed, the listener is told, a search follows
    Answered,       // the report went out and the converter's prompt came back
};

// How reading one reply went.
enum class ReplyOutcome {
    Prompt,  // a report holding the prompt arrived
    Failed,  // a read failed or the deadline passed
    Empty,   // a read returned no bytes
    Lost,    // the converter is gone: it was closed
};

// The last command that did not end with the converter's answer, and why: the first such failure
// since the converter last answered is added to the discovery log.
struct LinkFailure {
    CommandResult result = CommandResult::Answered;
    HidError platform;  // the failing platform call and its error code, when the platform failed
};

class ConverterLink {
public:
    // `logPath` is where each search writes its discovery log; none when it cannot be placed.
    ConverterLink(HidBus& bus, Clock& clock, ConverterListener& listener, std::optional<std::string> logPath);
    ConverterLink(const ConverterLink&) = delete;
    ConverterLink& operator=(const ConverterLink&) = delete;

    // The start-up search: finds the converter, sizes it and sends it "I". Afterwards Present()
    // tells whether a converter is in use; a device whose capabilities cannot be read, whose
    // buffers cannot be allocated or whose reports are too short for the commands counts as
    // absent. Each search writes the discovery log afresh. A converter already in use is kept,
    // and nothing is searched.
    void OpenConverter();

    // Searches again while no converter is in use; a converter found is sent "I" and the listener
    // is told (ConverterFound). True when a converter is in use afterwards.
    bool SearchAgain();

    // Closes the converter for good: nothing more is sent, read or searched.
    void CloseConverter();

    // The platform's news that a HID interface came or went, delivered late, twice or out of order
    // as it may be. Either way the converter in use is checked first: one whose handle no longer
    // reaches its device (pulled out, perhaps plugged in again since) is lost. Then, while none is
    // in use, an arrival searches, and so does a removal once the converter was lost since the
    // last search (a spare plugged in already takes over). The removal says whether it lost the
    // converter; the arrival whether one is in use afterwards.
    bool OnDeviceRemoval();
    bool OnDeviceArrival();

    // Frames `text` into an output report, writes it and reads the reply up to the prompt. A
    // failed write or read on a device that is gone is a loss: the converter is closed, the
    // listener told, and another search follows at once.
    CommandResult SendConverterCommand(std::string_view text);

    bool Present() const { return present_; }
    // The converter missed a deadline and has not answered since.
    bool Silent() const { return silent_; }

private:
    // Searches until a converter is in use, or the search was not asked for again meanwhile.
    void Search(bool tellFound);
    // Finds the converter and sizes it; the search's log is closed before anything is sent.
    bool FindAndSize();
    CommandResult Exchange(std::string_view text);
    // Reads input reports until one holds the prompt or `deadline` passes.
    ReplyOutcome ReadConverterReply(TimePoint deadline);
    CommandResult Failed(CommandResult result);
    void LogFailure();
    // After a failed read or write: does the handle still reach a device on the bus? If not, the
    // converter is lost.
    bool LostFromTheBus();
    bool DeviceGone();
    // Outside an exchange: a converter in use that is gone is lost, and the listener told at once.
    bool LoseIfGone();
    // Closes the handle and forgets the exchange's news; Lose also remembers the loss.
    void Drop();
    void Lose();
    // Tells the listener what the exchange that has just let go of the device gave reason for.
    void AfterExchange();
    void DiscardStaleInput(TimePoint until);
    void NoteAnswered();
    void ShowCommError();

    HidBus& bus_;
    Clock& clock_;
    ConverterListener& listener_;
    std::optional<std::string> logPath_;

    std::unique_ptr<HidDevice> handle_;
    bool present_ = false;
    std::uint16_t inReportLength_ = 0;   // includes the report-ID byte
    std::uint16_t outReportLength_ = 0;  // includes the report-ID byte
    std::unique_ptr<std::uint8_t[]> outReport_;
    std::unique_ptr<std::uint8_t[]> inReport_;

    // A search is under way; another was asked for meanwhile.
    bool searching_ = false;
    bool searchAsked_ = false;
    // Closed for good: nothing is searched any more.
    bool closed_ = false;
    // The converter was lost since the last search: the news of a removal searches again.
    bool lostSinceSearch_ = false;

    bool silent_ = false;
    // The converter in use has answered its "I".
    bool identified_ = false;
    // What the exchange gave reason for, told to the listener once it is done.
    bool lossPending_ = false;
    bool boxPending_ = false;
    bool resendPending_ = false;
    bool errorBoxOpen_ = false;
    // The error box was shown in this silence: it is not shown again until the converter answers.
    bool boxShownInSilence_ = false;
    LinkFailure lastFailure_;
    // The last failure has gone to the discovery log; the next one goes once it has answered.
    bool failureLogged_ = false;
};

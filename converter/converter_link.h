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

// What the link needs from the console that owns the windows.
class ConverterListener {
public:
    virtual ~ConverterListener() = default;
    // The read-error box: modal, no owner, OK only. Its message loop may send further commands.
    virtual void ShowCommError(const char* text, const char* caption) = 0;
    // The converter answered again after it had missed a deadline: what was sent meanwhile did not
    // reach it. Called once per return, after the exchange that saw it.
    virtual void ConverterBack() = 0;
    // The converter in use is gone from the bus (unplugged): it has been closed, and nothing more
    // is sent until it is found again. May be called from inside an exchange.
    virtual void ConverterLost() = 0;
};

// How one command went.
enum class CommandResult {
    NotPresent,     // no converter in use: nothing was sent
    TooLong,        // the text does not fit an output report: nothing was sent
    WriteFailed,    // the platform refused the report
    WriteTimedOut,  // the report did not go out in time
    ReadFailed,     // the report went out, but no prompt came back (the error box was shown)
    ReadEmpty,      // the report went out, and a read returned no bytes
    Lost,           // the converter is gone from the bus: it was closed, and the listener told
    Answered,       // the report went out and the converter's prompt came back
};

// How reading one reply went.
enum class ReplyOutcome {
    Prompt,  // a report holding the prompt arrived
    Failed,  // a read failed or the deadline passed (the error box shown as below)
    Empty,   // a read returned no bytes
    Lost,    // the converter is gone from the bus: it was closed, and the listener told
};

// The last command that did not end with the converter's answer, and why.
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

    // Searches for the converter, sizes it and sends it "I". Afterwards Present() tells whether a
    // converter is in use; a device whose capabilities cannot be read, whose buffers cannot be
    // allocated or whose reports are too short for the commands counts as absent. Each search
    // writes the discovery log afresh. A converter already in use is kept, and nothing is searched.
    void OpenConverter();

    // Closes the converter: nothing more is sent or read until it is opened again. Safe from
    // inside the error box: the exchange that opened it touches the device no more.
    void CloseConverter();

    // The platform says a HID interface went away: if it was the converter's, the converter is
    // lost (closed, the listener told). True when it was.
    bool OnDeviceRemoval();

    // Frames `text` into an output report, writes it and reads the reply up to the prompt.
    CommandResult SendConverterCommand(std::string_view text);

    // Reads input reports until one holds the prompt or `deadline` passes.
    ReplyOutcome ReadConverterReply(TimePoint deadline);

    bool Present() const { return present_; }
    // The converter missed a deadline and has not answered since.
    bool Silent() const { return silent_; }
    std::uint16_t InReportLength() const { return inReportLength_; }
    std::uint16_t OutReportLength() const { return outReportLength_; }
    const LinkFailure& LastFailure() const { return lastFailure_; }
    // The read-error box is open (exchanges may be running inside it).
    bool ErrorBoxOpen() const { return errorBoxOpen_; }

private:
    CommandResult Failed(CommandResult result);
    // After a failed read or write: is the converter still on the bus? If not, it is lost.
    bool LostFromTheBus();
    void DiscardStaleInput(TimePoint until);
    void NoteAnswered();
    void ResendAfterSilence();
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

    bool silent_ = false;
    // It answered again; the listener is still to be told, once the exchange is done.
    bool resendPending_ = false;
    bool errorBoxOpen_ = false;
    // The error box was shown in this silence: it is not shown again until the converter answers.
    bool boxShownInSilence_ = false;
    LinkFailure lastFailure_;
};

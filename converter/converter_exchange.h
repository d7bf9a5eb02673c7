#pragma once

// One command's exchange with an open converter: the text framed into an output report and
// written, then input reports read until one holds the prompt, every wait bounded. It owns the
// device and its report buffers and knows nothing of the search or of the console.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "converter/clock.h"
#include "converter/hid_access.h"

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

// How one command went.
enum class CommandResult {
    NotPresent,     // no converter in use: nothing was sent
    TooLong,        // the text does not fit an output report: nothing was sent
    WriteFailed,    // the platform refused the report
    WriteTimedOut,  // the report did not go out in time
    ReadFailed,     // the report went out, but no prompt came back
    ReadEmpty,      // the report went out, and a read returned no bytes
    Lost,           // the converter is gone: it was closed, and a search follows
    Answered,       // the report went out and the converter's prompt came back
};

// What one exchange showed of the converter.
struct ExchangeReport {
    CommandResult result = CommandResult::Answered;  // never NotPresent
    HidError platform;            // the failing platform call and its error code, when the platform failed
    bool written = false;         // the report went out
    bool answered = false;        // a prompt came: the reply's, or a late one among the stale input
    bool missedDeadline = false;  // the write or the reply was not done in time (after any prompt above)
};

class CommandExchange {
public:
    // Sizes the device and allocates its reports; none when its capabilities cannot be read, its
    // buffers cannot be allocated or its reports are too short for the commands.
    static std::optional<CommandExchange> Open(std::unique_ptr<HidDevice> device, Clock& clock);

    // Frames `text`, writes it and reads the reply up to the prompt. `silent`: the converter
    // missed a deadline and has not answered since, so the exchange gets SILENT_EXCHANGE_BUDGET in
    // all, unless a late prompt among the stale input shows it answering again. A failed write or
    // read on a device that is no longer on `bus` is Lost.
    ExchangeReport Run(std::string_view text, bool silent, HidBus& bus);

    // Does the handle no longer reach its device (pulled out, perhaps plugged in again since)?
    bool Gone(HidBus& bus) const;

private:
    CommandExchange(std::unique_ptr<HidDevice> device, Clock& clock, HidReportLengths lengths,
                    std::unique_ptr<std::uint8_t[]> outReport, std::unique_ptr<std::uint8_t[]> inReport);
    // Reads input reports until one holds the prompt or `deadline` passes.
    void ReadReply(TimePoint deadline, HidBus& bus, ExchangeReport& report);
    // Drops the input queued before the write: true when a late reply among it held the prompt.
    bool DiscardStaleInput(bool silent, TimePoint until);
    CommandResult FailedOrGone(CommandResult result, HidBus& bus, ExchangeReport& report);

    std::unique_ptr<HidDevice> device_;
    Clock* clock_;
    std::uint16_t inReportLength_;   // includes the report-ID byte
    std::uint16_t outReportLength_;  // includes the report-ID byte
    std::unique_ptr<std::uint8_t[]> outReport_;
    std::unique_ptr<std::uint8_t[]> inReport_;
};

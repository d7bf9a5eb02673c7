#pragma once

// The command channel to the converter: opened once at start-up, then one operation for the
// rest of the console: send a command text and wait for the converter's prompt.

#include <chrono>
#include <cstdint>
#include <memory>

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
// milliseconds and the cancelling of a timed-out read still under 250 ms.
inline constexpr Duration WRITE_TIMEOUT = std::chrono::milliseconds(1000);
inline constexpr Duration REPLY_TIMEOUT = std::chrono::milliseconds(1000);
inline constexpr Duration SILENT_EXCHANGE_BUDGET = std::chrono::milliseconds(18);

inline constexpr const char* COMM_ERROR_TEXT = "USB Comm error";
inline constexpr const char* COMM_ERROR_CAPTION = "Error";

// Shows the read-error box: modal, no owner, OK only. Provided by the window side.
using CommErrorBox = void (*)(const char* text, const char* caption);

struct ConverterState {
    std::unique_ptr<HidDevice> handle;
    bool present = false;
    std::uint16_t inReportLength = 0;   // includes the report-ID byte
    std::uint32_t outReportLength = 0;  // includes the report-ID byte
    std::unique_ptr<std::uint8_t[]> outReport;
    std::unique_ptr<std::uint8_t[]> inReport;

    // The platform, chosen at start-up.
    HidBus* bus = nullptr;
    Clock* clock = nullptr;
    CommErrorBox showCommError = nullptr;
    // Called when the converter answers again after it missed a deadline: what was sent while it
    // was silent did not reach it, so the console sends its levels again.
    void (*answeringAgain)() = nullptr;

    // The converter missed a deadline and has not answered since.
    bool silent = false;
    // It answered again; answeringAgain is still to be called, once the exchange is done.
    bool answeredAgain = false;
    bool commErrorShowing = false;
};

// The run's one converter.
ConverterState& TheConverter();

// Chooses the platform the converter is searched on, the clock for its deadlines and the error box.
void UseConverterPlatform(HidBus& bus, Clock& clock, CommErrorBox showCommError);

// Searches for the converter, sizes it and sends it "I". Afterwards TheConverter().present tells
// whether a converter is in use; a device whose capabilities cannot be read, whose buffers cannot
// be allocated or whose reports are too short for the commands counts as absent.
void OpenConverter();

// Frames `text` into an output report, writes it and reads the reply up to the prompt. True when
// no converter is present (nothing is sent) or the report was written; false when the write
// failed or timed out, or the text does not fit a report.
bool SendConverterCommand(const char* text);

// Reads input reports until one holds the prompt. 0: the prompt arrived; 1: a read failed or
// the deadline passed (the "USB Comm error" box was shown, unless one is open already); -1: a
// read returned no bytes, or there is no converter to read from.
int ReadConverterReply(TimePoint deadline);

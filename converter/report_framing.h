#pragma once

// The converter's report framing, as pure functions over bytes.
//
// Output report: [0] report ID 0x00, [1] 0x30, [2] n + 1 (low 8 bits), [3..] the n-byte command
// text, then CR, then zeros to the report's full length.
// Input report: [0] report ID and [1] unused, [2] payload length m as a signed byte, [3..] payload.
// Every reply ends with a report whose own payload holds the prompt CR LF ">".

#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::uint8_t REPORT_COMMAND_MARKER = 0x30;
inline constexpr std::size_t REPORT_HEADER_LENGTH = 3;
inline constexpr std::string_view CONVERTER_PROMPT = "\r\n>";

// Room a command of textLength bytes needs in an output report: header, text and CR. The buffers
// hold one byte more than the report, so a terminating zero behind the CR always fits.
constexpr std::size_t FramedLength(std::size_t textLength)
{
    return REPORT_HEADER_LENGTH + textLength + 1;
}

// Fills the whole report (reportLength bytes). False, with the report untouched, when the text
// does not fit.
bool FrameCommand(std::string_view text, std::uint8_t* report, std::size_t reportLength);

// The payload of a received input report: the length byte taken as a signed byte and clamped
// into the bytes actually received, and cut at the first zero byte.
std::string_view ReportPayload(const std::uint8_t* report, std::size_t bytesReceived);

// True when the report's own payload holds the prompt. Prompts are not joined across reports.
bool ReportHasPrompt(const std::uint8_t* report, std::size_t bytesReceived);

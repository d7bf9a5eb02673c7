#include "converter/report_framing.h"

#include <algorithm>
#include <cstring>

bool FrameCommand(std::string_view text, std::uint8_t* report, std::size_t reportLength)
{
    if (FramedLength(text.size()) > reportLength) {
        return false;
    }
    std::memset(report, 0, reportLength);
    report[0] = 0x00;
    report[1] = REPORT_COMMAND_MARKER;
    report[2] = static_cast<std::uint8_t>((text.size() + 1) & 0xFF);
    std::memcpy(report + REPORT_HEADER_LENGTH, text.data(), text.size());
    report[REPORT_HEADER_LENGTH + text.size()] = '\r';
    return true;
}

std::string_view ReportPayload(const std::uint8_t* report, std::size_t bytesReceived)
{
    if (bytesReceived <= REPORT_HEADER_LENGTH) {
        return {};
    }
    // The length byte is signed: 0x80 and above are negative and leave no payload.
    const int stated = report[2] < 0x80 ? report[2] : report[2] - 0x100;
    const std::size_t available = bytesReceived - REPORT_HEADER_LENGTH;
    const std::size_t length = std::min(static_cast<std::size_t>(std::max(stated, 0)), available);

    const char* payload = reinterpret_cast<const char*>(report + REPORT_HEADER_LENGTH);
    const char* end = std::find(payload, payload + length, '\0');
    return {payload, static_cast<std::size_t>(end - payload)};
}

bool ReportHasPrompt(const std::uint8_t* report, std::size_t bytesReceived)
{
    return ReportPayload(report, bytesReceived).find(CONVERTER_PROMPT) != std::string_view::npos;
}

#include "simulator/simulated_converter.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

#include "converter/report_framing.h"

namespace {

// The converter ends every reply with the prompt the console looks for.
constexpr std::string_view PROMPT = CONVERTER_PROMPT;

// Reads a hexadecimal number of 1 to 8 digits from text at pos, as the converter's firmware does.
std::optional<unsigned> ReadHex(const std::string& text, std::size_t& pos)
{
    unsigned value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && digits < 8) {
        const char c = text[pos];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            break;
        }
        value = value * 16 + digit;
        ++pos;
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return value;
}

bool StartsWith(const std::string& text, std::string_view prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

SimulatedConverter::SimulatedConverter(Clock& clock, std::uint16_t inputReportLength,
                                       std::uint16_t outputReportLength)
    : clock_(clock), inputReportLength_(inputReportLength), outputReportLength_(outputReportLength)
{
}

void SimulatedConverter::ScriptNextReply(std::vector<InputReport> reports)
{
    scriptedReply_ = std::move(reports);
    scripted_ = true;
}

InputReport SimulatedConverter::MakeReport(const std::string& payload, int lengthByte) const
{
    InputReport report(std::max<std::size_t>(inputReportLength_, 3), 0);
    report[2] = static_cast<std::uint8_t>(lengthByte & 0xFF);
    std::memcpy(report.data() + 3, payload.data(), std::min(report.size() - 3, payload.size()));
    report.resize(inputReportLength_);
    return report;
}

InputReport SimulatedConverter::MakeReport(const std::string& payload) const
{
    return MakeReport(payload, static_cast<int>(payload.size()));
}

std::string SimulatedConverter::Execute(const std::string& command)
{
    if (command == "I") {
        return "I\r\nDMX converter (simulated) 1.0";
    }
    std::size_t pos = 2;
    if (StartsWith(command, "W ")) {
        const auto channel = ReadHex(command, pos);
        const bool separated = pos < command.size() && command[pos] == ' ';
        ++pos;
        const auto level = separated ? ReadHex(command, pos) : std::nullopt;
        if (channel && level && pos == command.size() && *channel < CONVERTER_CHANNEL_COUNT && *level <= 0xFF) {
            levels_[*channel] = static_cast<std::uint8_t>(*level);
            return command;
        }
    } else if (StartsWith(command, "c0 ")) {
        pos = 3;
        const auto preset = ReadHex(command, pos);
        // The store command carries its own CR in front of the framing's.
        if (preset && *preset >= 1 && *preset <= 127 && command.substr(pos) == "\r") {
            presets_[static_cast<int>(*preset)] = levels_;
            return command.substr(0, pos);
        }
    }
    return command + "\r\n?";
}

std::vector<InputReport> SimulatedConverter::ShapeReply(const std::string& reply) const
{
    const std::size_t room = inputReportLength_ > 3 ? inputReportLength_ - 3u : 1u;
    std::vector<InputReport> reports;
    auto addChunks = [&](const std::string& text) {
        for (std::size_t at = 0; at < text.size(); at += room) {
            reports.push_back(MakeReport(text.substr(at, room)));
        }
    };

    switch (faults.shape) {
    case ReplyShape::OneReport:
        if (reply.size() + PROMPT.size() <= room) {
            reports.push_back(MakeReport(reply + std::string(PROMPT)));
        } else {
            addChunks(reply);
            reports.push_back(MakeReport(std::string(PROMPT)));
        }
        break;
    case ReplyShape::SeveralReports:
        addChunks(reply);
        reports.push_back(MakeReport(std::string(PROMPT)));
        break;
    case ReplyShape::SplitPrompt:
        addChunks(reply + "\r\n");
        reports.push_back(MakeReport(">"));
        break;
    case ReplyShape::NoPrompt:
        addChunks(reply);
        break;
    case ReplyShape::LengthTooLarge:
        reports.push_back(MakeReport(reply + std::string(PROMPT), 0x7F));
        break;
    case ReplyShape::LengthNegative:
        reports.push_back(MakeReport(reply + std::string(PROMPT), 0xF0));
        reports.push_back(MakeReport(std::string(PROMPT)));
        break;
    }
    return reports;
}

IoResult SimulatedConverter::Receive(const std::uint8_t* report, std::size_t length, TimePoint deadline)
{
    if (faults.writeFails) {
        return IoResult::Failed;
    }
    if (faults.writeHangs) {
        clock_.WaitUntil(deadline);
        return IoResult::TimedOut;
    }
    if (length != outputReportLength_) {
        ++framingErrors_;
        return IoResult::Failed;
    }

    // [0] report ID 0, [1] '0', [2] text length with its CR, then the text, its CR and zeros.
    const std::size_t textLength = report[2];
    bool framed = report[0] == 0 && report[1] == 0x30 && textLength >= 1 && 3 + textLength <= length &&
                  report[3 + textLength - 1] == '\r';
    for (std::size_t i = 3 + textLength; framed && i < length; ++i) {
        framed = report[i] == 0;
    }
    if (!framed) {
        ++framingErrors_;
    }
    const std::string command =
        framed ? std::string(reinterpret_cast<const char*>(report + 3), textLength - 1) : std::string();

    ConverterExchange exchange{command, {}};
    if (!faults.silent) {
        std::vector<InputReport> replyReports;
        if (scripted_) {
            replyReports = std::move(scriptedReply_);
            scripted_ = false;
        } else {
            exchange.reply = framed ? Execute(command) : std::string("?");
            replyReports = ShapeReply(exchange.reply);
        }
        const TimePoint availableAt = clock_.Now() + faults.latency;
        std::transform(replyReports.begin(), replyReports.end(), std::back_inserter(queue_),
                       [availableAt](InputReport& reply) { return Queued{std::move(reply), availableAt}; });
    }

    ++exchangeCount_;
    history_.push_back(std::move(exchange));
    if (history_.size() > HistoryLimit) {
        history_.pop_front();
    }
    if (onExchange) {
        onExchange();
    }
    return IoResult::Completed;
}

IoResult SimulatedConverter::Deliver(std::uint8_t* buffer, std::size_t length, TimePoint deadline,
                                     std::size_t& bytesRead)
{
    bytesRead = 0;
    if (!connected_) {
        queue_.clear();
    }
    if (faults.readFails) {
        return IoResult::Failed;
    }
    if (faults.zeroByteRead) {
        faults.zeroByteRead = false;
        return IoResult::Completed;
    }
    if (faults.babbles) {
        clock_.WaitUntil(clock_.Now() + std::chrono::milliseconds(1));
        const InputReport chatter = MakeReport("...");
        bytesRead = std::min(length, chatter.size());
        std::memcpy(buffer, chatter.data(), bytesRead);
        return IoResult::Completed;
    }
    const TimePoint now = clock_.Now();
    if (queue_.empty() || queue_.front().availableAt > std::max(now, deadline)) {
        clock_.WaitUntil(deadline);
        return IoResult::TimedOut;
    }
    clock_.WaitUntil(queue_.front().availableAt);
    const InputReport& report = queue_.front().report;
    bytesRead = std::min(length, report.size());
    std::copy_n(report.begin(), bytesRead, buffer);
    queue_.pop_front();
    return IoResult::Completed;
}

void SimulatedConverter::DropArrivedReports()
{
    const TimePoint now = clock_.Now();
    while (!queue_.empty() && queue_.front().availableAt <= now) {
        queue_.pop_front();
    }
}

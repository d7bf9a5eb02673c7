#pragma once

// A software stand-in for the DMX converter: it takes framed output reports, carries out the
// commands "I", "W <channel> <level>" and "c0 <preset>", keeps the channel levels and the stored
// presets, and answers with input reports that end in the prompt. Faults can be switched on to
// test the console against a converter that misbehaves.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "converter/clock.h"
#include "converter/converter_commands.h"
#include "converter/hid_access.h"

// A typical full-speed converter: 64 bytes of payload behind the report ID.
inline constexpr std::uint16_t TYPICAL_REPORT_LENGTH = 65;

// The simulated converter drives twelve DMX channels, 0 to 11.
inline constexpr int CONVERTER_CHANNEL_COUNT = 12;

using ChannelLevels = std::array<std::uint8_t, CONVERTER_CHANNEL_COUNT>;
using InputReport = std::vector<std::uint8_t>;

enum class ReplyShape {
    OneReport,       // the reply and its prompt in one report (longer replies in as many as needed)
    SeveralReports,  // the text in one report, the prompt alone in the next
    SplitPrompt,     // CR LF at the end of one report, ">" in the next: not a prompt
    NoPrompt,        // the reply never carries the prompt
    LengthTooLarge,  // the length byte claims more than the report holds (0x7F)
    LengthNegative,  // a report whose length byte is negative (0xF0), then the reply
};

struct ConverterFaults {
    ReplyShape shape = ReplyShape::OneReport;
    bool silent = false;        // takes reports but neither acts on them nor answers
    bool writeFails = false;    // writes fail at once, as on a device that was removed
    bool writeHangs = false;    // writes never complete
    bool readFails = false;     // reads fail at once
    bool zeroByteRead = false;  // the next read delivers no bytes (the fault then clears)
    bool babbles = false;       // sends a report without the prompt every millisecond, for ever
    Duration latency{};         // from a write to its reply
};

struct ConverterExchange {
    std::string command;  // the command text as framed, its final CR removed
    std::string reply;    // the reply text, empty when none was sent
};

class SimulatedConverter {
public:
    explicit SimulatedConverter(Clock& clock, std::uint16_t inputReportLength = TYPICAL_REPORT_LENGTH,
                                std::uint16_t outputReportLength = TYPICAL_REPORT_LENGTH);

    // What the converter holds.
    const ChannelLevels& Levels() const { return levels_; }
    const std::map<int, ChannelLevels>& Presets() const { return presets_; }
    // The last exchanges, oldest first (at most HistoryLimit), and how many there were in all.
    const std::deque<ConverterExchange>& History() const { return history_; }
    std::uint64_t ExchangeCount() const { return exchangeCount_; }
    void ClearHistory() { history_.clear(); }
    static constexpr std::size_t HistoryLimit = 256;
    // Output reports that were not framed as the converter expects.
    int FramingErrors() const { return framingErrors_; }
    // Input reports queued for reading, whether their time has come or not.
    std::size_t QueuedReports() const { return queue_.size(); }

    ConverterFaults faults;
    // Sends exactly these input reports as the reply to the next command, whatever the faults say.
    void ScriptNextReply(std::vector<InputReport> reports);
    // Called after every command the converter received.
    std::function<void()> onExchange;

    std::uint16_t InputReportLength() const { return inputReportLength_; }
    std::uint16_t OutputReportLength() const { return outputReportLength_; }

    // Unplugging takes the converter off its bus: handles opened before fail from then on, also
    // once it is plugged in again, when it must be opened afresh. It keeps what it held. Plugged
    // in, it can be opened only `opensAfter` later, as a device announced before its driver is
    // ready.
    void Unplug() { connected_ = false; }
    void PlugIn(Duration opensAfter = Duration::zero())
    {
        if (!connected_) {
            connected_ = true;
            ++connection_;
            opensFrom_ = clock_.Now() + opensAfter;
        }
    }
    bool Connected() const { return connected_; }
    bool CanBeOpened() const { return connected_ && clock_.Now() >= opensFrom_; }
    TimePoint OpensFrom() const { return opensFrom_; }
    // Its power dropped while it stayed connected (a sleep of the machine): every channel at 0.
    void LoseLevels() { levels_ = {}; }
    // Which plugging-in this is; a handle works only on the one it was opened on.
    std::uint32_t Connection() const { return connection_; }

    // The device side, used through a HidDevice handle.
    IoResult Receive(const std::uint8_t* report, std::size_t length, TimePoint deadline);
    IoResult Deliver(std::uint8_t* buffer, std::size_t length, TimePoint deadline, std::size_t& bytesRead);
    // Drops the input reports that have arrived; later ones are still on their way.
    void DropArrivedReports();

    // An input report as the converter frames it: length byte at offset 2, payload from offset 3.
    InputReport MakeReport(const std::string& payload, int lengthByte) const;
    InputReport MakeReport(const std::string& payload) const;

private:
    struct Queued {
        InputReport report;
        TimePoint availableAt;
    };

    std::string Execute(const std::string& command);
    std::vector<InputReport> ShapeReply(const std::string& reply) const;

    Clock& clock_;
    std::uint16_t inputReportLength_;
    std::uint16_t outputReportLength_;
    ChannelLevels levels_{};
    TimePoint opensFrom_{};
    std::map<int, ChannelLevels> presets_;
    std::deque<ConverterExchange> history_;
    std::uint64_t exchangeCount_ = 0;
    int framingErrors_ = 0;
    std::deque<Queued> queue_;
    std::vector<InputReport> scriptedReply_;
    bool scripted_ = false;
    bool connected_ = true;
    std::uint32_t connection_ = 0;
};

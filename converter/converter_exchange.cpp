#include "converter/converter_exchange.h"

#include <new>
#include <utility>

#include "converter/report_framing.h"

namespace {

std::unique_ptr<std::uint8_t[]> AllocateReport(std::size_t length)
{
    // One spare byte behind the report.
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[length + 1]());
}

}  // namespace

std::optional<CommandExchange> CommandExchange::Open(std::unique_ptr<HidDevice> device, Clock& clock)
{
    HidReportLengths lengths;
    if (!device->GetReportLengths(lengths) || lengths.outputReportByteLength < MINIMUM_OUTPUT_REPORT_LENGTH ||
        lengths.inputReportByteLength < MINIMUM_INPUT_REPORT_LENGTH) {
        return std::nullopt;
    }
    auto outReport = AllocateReport(lengths.outputReportByteLength);
    auto inReport = AllocateReport(lengths.inputReportByteLength);
    if (!outReport || !inReport) {
        return std::nullopt;
    }
    return CommandExchange(std::move(device), clock, lengths, std::move(outReport), std::move(inReport));
}

CommandExchange::CommandExchange(std::unique_ptr<HidDevice> device, Clock& clock, HidReportLengths lengths,
                                 std::unique_ptr<std::uint8_t[]> outReport, std::unique_ptr<std::uint8_t[]> inReport)
    : device_(std::move(device)), clock_(&clock), inReportLength_(lengths.inputReportByteLength),
      outReportLength_(lengths.outputReportByteLength), outReport_(std::move(outReport)),
      inReport_(std::move(inReport))
{
}

// A handle can outlive its device: pulled out and plugged in again under the same path, the
// converter is a new device that the old handle no longer reaches. The handle itself is asked
// (its attributes, which sends the converter nothing), and the bus whether its interface is
// still there.
bool CommandExchange::Gone(HidBus& bus) const
{
    HidAttributes attributes;
    return !device_->GetAttributes(attributes) || !bus.InterfacePresent(device_->Path());
}

ExchangeReport CommandExchange::Run(std::string_view text, bool silent, HidBus& bus)
{
    ExchangeReport report;
    if (!FrameCommand(text, outReport_.get(), outReportLength_)) {
        report.result = CommandResult::TooLong;
        return report;
    }

    const TimePoint start = clock_->Now();
    const TimePoint budgetEnd = start + SILENT_EXCHANGE_BUDGET;
    if (DiscardStaleInput(silent, budgetEnd)) {
        report.answered = true;
        silent = false;
    }

    switch (device_->WriteReport(outReport_.get(), outReportLength_, silent ? budgetEnd : start + WRITE_TIMEOUT)) {
    case IoResult::Completed:
        report.written = true;
        break;
    case IoResult::TimedOut:
        report.missedDeadline = true;
        report.result = CommandResult::WriteTimedOut;
        return report;
    case IoResult::Failed:
        report.result = FailedOrGone(CommandResult::WriteFailed, bus, report);
        return report;
    }
    ReadReply(silent ? budgetEnd : clock_->Now() + REPLY_TIMEOUT, bus, report);
    return report;
}

// A device that was unplugged fails its reads and writes with codes that differ between
// platforms: the handle and the bus tell it apart from other failures.
CommandResult CommandExchange::FailedOrGone(CommandResult result, HidBus& bus, ExchangeReport& report)
{
    report.platform = device_->LastError();
    return Gone(bus) ? CommandResult::Lost : result;
}

void CommandExchange::ReadReply(TimePoint deadline, HidBus& bus, ExchangeReport& report)
{
    for (;;) {
        std::size_t bytesRead = 0;
        const IoResult result = device_->ReadReport(inReport_.get(), inReportLength_, deadline, bytesRead);
        if (result == IoResult::Failed) {
            report.result = FailedOrGone(CommandResult::ReadFailed, bus, report);
            return;
        }
        if (result == IoResult::Completed && bytesRead == 0) {
            report.result = CommandResult::ReadEmpty;
            return;
        }
        if (result == IoResult::Completed && ReportHasPrompt(inReport_.get(), bytesRead)) {
            report.answered = true;
            report.result = CommandResult::Answered;
            return;
        }
        // A converter that keeps sending reports without the prompt would keep the reads
        // completing for ever: the deadline holds for the whole reply.
        if (result == IoResult::TimedOut || clock_->Now() > deadline) {
            report.missedDeadline = true;
            report.result = CommandResult::ReadFailed;
            return;
        }
    }
}

// The converter answers only after a command, so any input queued before a write is stale and is
// never taken as the answer to it. After a time-out, a late reply among that input that holds the
// prompt shows the converter is answering again.
bool CommandExchange::DiscardStaleInput(bool silent, TimePoint until)
{
    bool answered = false;
    while (silent) {
        std::size_t bytesRead = 0;
        const IoResult result = device_->ReadReport(inReport_.get(), inReportLength_, clock_->Now(), bytesRead);
        if (result != IoResult::Completed || bytesRead == 0) {
            break;
        }
        answered = answered || ReportHasPrompt(inReport_.get(), bytesRead);
        if (clock_->Now() >= until) {
            break;
        }
    }
    device_->FlushInput();
    return answered;
}

#include "converter/converter_link.h"

#include <new>

#include "converter/converter_commands.h"
#include "converter/converter_search.h"
#include "converter/discovery_log.h"
#include "converter/report_framing.h"

namespace {

std::unique_ptr<std::uint8_t[]> AllocateReport(std::size_t length)
{
    // One spare byte behind the report.
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[length + 1]());
}

}  // namespace

ConverterLink::ConverterLink(HidBus& bus, Clock& clock, ConverterListener& listener,
                             std::optional<std::string> logPath)
    : bus_(bus), clock_(clock), listener_(listener), logPath_(std::move(logPath))
{
}

void ConverterLink::OpenConverter()
{
    if (present_) {
        return;
    }
    DiscoveryLog log(logPath_);
    std::unique_ptr<HidDevice> device;
    if (!FindConverter(bus_, log, device, CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID)) {
        return;
    }

    HidReportLengths lengths;
    if (!device->GetReportLengths(lengths) || lengths.outputReportByteLength < MINIMUM_OUTPUT_REPORT_LENGTH ||
        lengths.inputReportByteLength < MINIMUM_INPUT_REPORT_LENGTH) {
        return;
    }
    auto outReport = AllocateReport(lengths.outputReportByteLength);
    auto inReport = AllocateReport(lengths.inputReportByteLength);
    if (!outReport || !inReport) {
        return;
    }

    handle_ = std::move(device);
    silent_ = false;
    resendPending_ = false;
    boxShownInSilence_ = false;
    inReportLength_ = lengths.inputReportByteLength;
    outReportLength_ = lengths.outputReportByteLength;
    outReport_ = std::move(outReport);
    inReport_ = std::move(inReport);
    present_ = true;

    SendConverterCommand(IDENTIFY_COMMAND);
}

void ConverterLink::CloseConverter()
{
    present_ = false;
    silent_ = false;
    resendPending_ = false;
    handle_.reset();
}

bool ConverterLink::OnDeviceRemoval()
{
    if (!present_ || bus_.InterfacePresent(handle_->Path())) {
        return false;
    }
    CloseConverter();
    listener_.ConverterLost();
    return true;
}

bool ConverterLink::LostFromTheBus()
{
    // A device that was unplugged fails its reads and writes with codes that differ between
    // platforms; whether its interface is still present tells it apart from other failures.
    return OnDeviceRemoval();
}

CommandResult ConverterLink::SendConverterCommand(std::string_view text)
{
    if (!present_) {
        return CommandResult::NotPresent;
    }
    if (!FrameCommand(text, outReport_.get(), outReportLength_)) {
        return Failed(CommandResult::TooLong);
    }

    const TimePoint start = clock_.Now();
    const TimePoint budgetEnd = start + SILENT_EXCHANGE_BUDGET;
    DiscardStaleInput(budgetEnd);

    const TimePoint writeDeadline = silent_ ? budgetEnd : start + WRITE_TIMEOUT;
    switch (handle_->WriteReport(outReport_.get(), outReportLength_, writeDeadline)) {
    case IoResult::Completed:
        break;
    case IoResult::TimedOut:
        silent_ = true;
        return Failed(CommandResult::WriteTimedOut);
    case IoResult::Failed:
        Failed(CommandResult::WriteFailed);
        return LostFromTheBus() ? Failed(CommandResult::Lost) : CommandResult::WriteFailed;
    }

    const TimePoint replyDeadline = silent_ ? budgetEnd : clock_.Now() + REPLY_TIMEOUT;
    const ReplyOutcome reply = ReadConverterReply(replyDeadline);
    ResendAfterSilence();
    switch (reply) {
    case ReplyOutcome::Prompt:
        return CommandResult::Answered;
    case ReplyOutcome::Empty:
        return Failed(CommandResult::ReadEmpty);
    case ReplyOutcome::Lost:
        return Failed(CommandResult::Lost);
    case ReplyOutcome::Failed:
        break;
    }
    return Failed(CommandResult::ReadFailed);
}

ReplyOutcome ConverterLink::ReadConverterReply(TimePoint deadline)
{
    if (!present_) {
        return ReplyOutcome::Empty;  // nothing to read from
    }
    for (;;) {
        std::size_t bytesRead = 0;
        const IoResult result = handle_->ReadReport(inReport_.get(), inReportLength_, deadline, bytesRead);
        if (result != IoResult::Completed) {
            if (result == IoResult::TimedOut) {
                silent_ = true;
                lastFailure_.platform = {};
            } else {
                lastFailure_.platform = handle_->LastError();
                if (LostFromTheBus()) {
                    return ReplyOutcome::Lost;  // the notice tells of a loss, not the box
                }
            }
            // Nothing of this exchange touches the report buffers once the box is up: commands
            // sent from inside its message loop use them.
            ShowCommError();
            return ReplyOutcome::Failed;
        }
        if (bytesRead == 0) {
            return ReplyOutcome::Empty;
        }
        if (ReportHasPrompt(inReport_.get(), bytesRead)) {
            NoteAnswered();
            return ReplyOutcome::Prompt;
        }
        // A converter that keeps sending reports without the prompt would keep the reads
        // completing for ever: the deadline holds for the whole reply.
        if (clock_.Now() > deadline) {
            silent_ = true;
            lastFailure_.platform = {};
            ShowCommError();
            return ReplyOutcome::Failed;
        }
    }
}

CommandResult ConverterLink::Failed(CommandResult result)
{
    lastFailure_.result = result;
    switch (result) {
    case CommandResult::WriteFailed:
        lastFailure_.platform = handle_->LastError();
        break;
    case CommandResult::ReadFailed:
    case CommandResult::Lost:
        break;  // kept from the failed read or write, none for a time-out
    default:
        lastFailure_.platform = {};
        break;
    }
    return result;
}

void ConverterLink::NoteAnswered()
{
    if (silent_) {
        silent_ = false;
        resendPending_ = true;
    }
    boxShownInSilence_ = false;
}

// Once per return of the converter, after the exchange that saw it: the console sends what the
// converter missed. Commands sent from inside the error box may be the ones that see it.
void ConverterLink::ResendAfterSilence()
{
    if (resendPending_) {
        resendPending_ = false;
        listener_.ConverterBack();
    }
}

void ConverterLink::ShowCommError()
{
    // Exchanges keep running inside the box's message loop; a failure there must not open box
    // after box. A silent converter is told of once: not again, after the operator closed the
    // box, until it has answered again.
    if (errorBoxOpen_ || (silent_ && boxShownInSilence_)) {
        return;
    }
    boxShownInSilence_ = silent_;
    errorBoxOpen_ = true;
    listener_.ShowCommError(COMM_ERROR_TEXT, COMM_ERROR_CAPTION);
    errorBoxOpen_ = false;
}

// The converter answers only after a command, so any input queued before a write is stale and is
// never taken as the answer to it. After a time-out, a late reply among that input that holds the
// prompt shows the converter is answering again.
void ConverterLink::DiscardStaleInput(TimePoint until)
{
    if (silent_) {
        bool answered = false;
        for (;;) {
            std::size_t bytesRead = 0;
            const IoResult result = handle_->ReadReport(inReport_.get(), inReportLength_, clock_.Now(), bytesRead);
            if (result != IoResult::Completed || bytesRead == 0) {
                break;
            }
            answered = answered || ReportHasPrompt(inReport_.get(), bytesRead);
            if (clock_.Now() >= until) {
                break;
            }
        }
        if (answered) {
            NoteAnswered();
        }
    }
    handle_->FlushInput();
}

#include "converter/converter_link.h"

#include <array>
#include <cstdio>
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
    Search(false);
}

bool ConverterLink::SearchAgain()
{
    Search(true);
    return present_;
}

// One search at a time. A search asked for while one is under way (the news of a converter coming
// or going, taken in by the error box of its "I", or a loss while the converter it found is sent
// the faders) makes that one look again once it is done.
void ConverterLink::Search(bool tellFound)
{
    if (searching_) {
        searchAsked_ = true;
        return;
    }
    searching_ = true;
    for (int round = 0; round < SEARCH_ROUNDS && !present_ && !closed_; ++round) {
        searchAsked_ = false;
        lostSinceSearch_ = false;
        if (FindAndSize()) {
            SendConverterCommand(IDENTIFY_COMMAND);
            if (present_ && (tellFound || round > 0)) {
                listener_.ConverterFound();
            }
        }
        if (!searchAsked_) {
            break;
        }
    }
    searching_ = false;
}

bool ConverterLink::FindAndSize()
{
    DiscoveryLog log(logPath_);
    std::unique_ptr<HidDevice> device;
    HidReportLengths lengths;
    if (!FindConverter(bus_, log, device, CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID) ||
        !device->GetReportLengths(lengths) || lengths.outputReportByteLength < MINIMUM_OUTPUT_REPORT_LENGTH ||
        lengths.inputReportByteLength < MINIMUM_INPUT_REPORT_LENGTH) {
        return false;
    }
    auto outReport = AllocateReport(lengths.outputReportByteLength);
    auto inReport = AllocateReport(lengths.inputReportByteLength);
    if (!outReport || !inReport) {
        return false;
    }
    handle_ = std::move(device);
    silent_ = false;
    resendPending_ = false;
    boxShownInSilence_ = false;
    failureLogged_ = false;
    identified_ = false;
    inReportLength_ = lengths.inputReportByteLength;
    outReportLength_ = lengths.outputReportByteLength;
    outReport_ = std::move(outReport);
    inReport_ = std::move(inReport);
    present_ = true;
    return true;
}

void ConverterLink::CloseConverter()
{
    closed_ = true;
    Drop();
}

// A handle can outlive its device: pulled out and plugged in again under the same path, the
// converter is a new device that the old handle no longer reaches. The handle itself is asked
// (its attributes, which sends the converter nothing), and the bus whether its interface is
// still there.
bool ConverterLink::DeviceGone()
{
    HidAttributes attributes;
    return !handle_->GetAttributes(attributes) || !bus_.InterfacePresent(handle_->Path());
}

void ConverterLink::Drop()
{
    present_ = false;
    silent_ = false;
    resendPending_ = false;
    boxPending_ = false;
    handle_.reset();
}

void ConverterLink::Lose()
{
    Drop();
    lostSinceSearch_ = true;
}

bool ConverterLink::LoseIfGone()
{
    if (!present_ || !DeviceGone()) {
        return false;
    }
    Lose();
    listener_.ConverterLost();
    return true;
}

bool ConverterLink::OnDeviceRemoval()
{
    const bool lost = LoseIfGone();
    if (!present_ && lostSinceSearch_) {
        SearchAgain();
    }
    return lost;
}

bool ConverterLink::OnDeviceArrival()
{
    LoseIfGone();
    return SearchAgain();
}

bool ConverterLink::LostFromTheBus()
{
    // A device that was unplugged fails its reads and writes with codes that differ between
    // platforms: the handle and the bus tell it apart from other failures.
    if (!DeviceGone()) {
        return false;
    }
    Lose();
    lossPending_ = true;
    return true;
}

CommandResult ConverterLink::SendConverterCommand(std::string_view text)
{
    const CommandResult result = Exchange(text);
    AfterExchange();
    return result;
}

void ConverterLink::AfterExchange()
{
    if (lossPending_) {
        lossPending_ = false;
        listener_.ConverterLost();
        SearchAgain();
        return;
    }
    if (boxPending_) {
        boxPending_ = false;
        ShowCommError();
    }
    // Once per return of the converter: the console sends what the converter missed, after the
    // "I" it missed if it was silent from the start.
    if (resendPending_) {
        resendPending_ = false;
        if (!identified_) {
            SendConverterCommand(IDENTIFY_COMMAND);
        }
        listener_.ConverterBack();
    }
}

CommandResult ConverterLink::Exchange(std::string_view text)
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
    switch (ReadConverterReply(replyDeadline)) {
    case ReplyOutcome::Prompt:
        identified_ = identified_ || text == IDENTIFY_COMMAND;
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
            boxPending_ = true;
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
            boxPending_ = true;
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
    if (!failureLogged_ && (result == CommandResult::WriteFailed || result == CommandResult::WriteTimedOut ||
                            result == CommandResult::ReadFailed)) {
        failureLogged_ = true;
        LogFailure();
    }
    return result;
}

// The first failure since the converter last answered goes behind the search's lines, so that the
// log tells why it stopped answering; the search after a loss writes the log afresh.
void ConverterLink::LogFailure()
{
    std::array<char, 96> text{};
    if (*lastFailure_.platform.call != '\0') {
        std::snprintf(text.data(), text.size(), "Comm error, Error=%u, %s failed",
                      static_cast<unsigned>(lastFailure_.platform.code), lastFailure_.platform.call);
    } else {
        std::snprintf(text.data(), text.size(), "Comm error, no reply in time");
    }
    AppendToDiscoveryLog(logPath_, text.data());
}

void ConverterLink::NoteAnswered()
{
    if (silent_) {
        silent_ = false;
        resendPending_ = true;
    }
    boxShownInSilence_ = false;
    failureLogged_ = false;
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

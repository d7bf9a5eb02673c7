#include "converter/converter_link.h"

#include <new>
#include <string_view>

#include "converter/converter_commands.h"
#include "converter/converter_search.h"
#include "converter/report_framing.h"

namespace {

void AnsweredAgain(ConverterState& converter)
{
    if (converter.silent) {
        converter.silent = false;
        converter.answeredAgain = true;
    }
}

// Once per return of the converter, after the exchange that saw it: the console sends what the
// converter missed. Commands sent from inside the error box may be the ones that see it.
void ResendAfterSilence(ConverterState& converter)
{
    if (converter.answeredAgain) {
        converter.answeredAgain = false;
        if (converter.answeringAgain != nullptr) {
            converter.answeringAgain();
        }
    }
}

void ShowCommError(ConverterState& converter)
{
    // Exchanges keep running inside the box's message loop; a failure there must not open box
    // after box.
    if (converter.commErrorShowing || converter.showCommError == nullptr) {
        return;
    }
    converter.commErrorShowing = true;
    converter.showCommError(COMM_ERROR_TEXT, COMM_ERROR_CAPTION);
    converter.commErrorShowing = false;
}

// The converter answers only after a command, so any input queued before a write is stale and is
// never taken as the answer to it. After a time-out, a late reply among that input that holds the
// prompt shows the converter is answering again.
void DiscardStaleInput(ConverterState& converter, TimePoint until)
{
    if (converter.silent) {
        bool answered = false;
        for (;;) {
            std::size_t bytesRead = 0;
            const IoResult result = converter.handle->ReadReport(converter.inReport.get(), converter.inReportLength,
                                                                 converter.clock->Now(), bytesRead);
            if (result != IoResult::Completed || bytesRead == 0) {
                break;
            }
            answered = answered || ReportHasPrompt(converter.inReport.get(), bytesRead);
            if (converter.clock->Now() >= until) {
                break;
            }
        }
        if (answered) {
            AnsweredAgain(converter);
        }
    }
    converter.handle->FlushInput();
}

std::unique_ptr<std::uint8_t[]> AllocateReport(std::size_t length)
{
    // One spare byte behind the report.
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[length + 1]());
}

}  // namespace

ConverterState& TheConverter()
{
    static ConverterState converter;
    return converter;
}

void UseConverterPlatform(HidBus& bus, Clock& clock, CommErrorBox showCommError)
{
    ConverterState& converter = TheConverter();
    converter.bus = &bus;
    converter.clock = &clock;
    converter.showCommError = showCommError;
}

void OpenConverter()
{
    ConverterState& converter = TheConverter();
    std::unique_ptr<HidDevice> device;
    if (converter.bus == nullptr || converter.clock == nullptr ||
        !FindConverter(*converter.bus, device, CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID)) {
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

    converter.handle = std::move(device);
    converter.inReportLength = lengths.inputReportByteLength;
    converter.outReportLength = lengths.outputReportByteLength;
    converter.outReport = std::move(outReport);
    converter.inReport = std::move(inReport);
    converter.present = true;

    SendConverterCommand(IDENTIFY_COMMAND);
}

bool SendConverterCommand(const char* text)
{
    ConverterState& converter = TheConverter();
    if (!converter.present || converter.clock == nullptr) {
        return true;
    }
    if (!FrameCommand(text, converter.outReport.get(), converter.outReportLength)) {
        return false;
    }

    Clock& clock = *converter.clock;
    const TimePoint start = clock.Now();
    const TimePoint budgetEnd = start + SILENT_EXCHANGE_BUDGET;
    DiscardStaleInput(converter, budgetEnd);

    const TimePoint writeDeadline = converter.silent ? budgetEnd : start + WRITE_TIMEOUT;
    const IoResult written =
        converter.handle->WriteReport(converter.outReport.get(), converter.outReportLength, writeDeadline);
    if (written != IoResult::Completed) {
        if (written == IoResult::TimedOut) {
            converter.silent = true;
        }
        return false;
    }

    const TimePoint replyDeadline = converter.silent ? budgetEnd : clock.Now() + REPLY_TIMEOUT;
    ReadConverterReply(replyDeadline);
    ResendAfterSilence(converter);
    return true;
}

int ReadConverterReply(TimePoint deadline)
{
    ConverterState& converter = TheConverter();
    if (!converter.present || converter.clock == nullptr) {
        return -1;  // nothing to read from
    }
    for (;;) {
        std::size_t bytesRead = 0;
        const IoResult result =
            converter.handle->ReadReport(converter.inReport.get(), converter.inReportLength, deadline, bytesRead);
        if (result != IoResult::Completed) {
            if (result == IoResult::TimedOut) {
                converter.silent = true;
            }
            // Nothing of this exchange touches the report buffers once the box is up: commands
            // sent from inside its message loop use them.
            ShowCommError(converter);
            return 1;
        }
        if (bytesRead == 0) {
            return -1;
        }
        if (ReportHasPrompt(converter.inReport.get(), bytesRead)) {
            AnsweredAgain(converter);
            return 0;
        }
        // A converter that keeps sending reports without the prompt would keep the reads
        // completing for ever: the deadline holds for the whole reply.
        if (converter.clock->Now() > deadline) {
            converter.silent = true;
            ShowCommError(converter);
            return 1;
        }
    }
}

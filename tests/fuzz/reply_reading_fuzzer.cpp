// Reading the converter's replies over any sequence of input reports: any length byte, any bytes,
// short reads of 0 to 3 bytes, reports up to the input report length, several exchanges in a row,
// and exchanges sent from inside the error box the harness opens for a silence. The converter is the simulated one on a simulated
// clock, scripted report by report.
//
// A model of the link's contract predicts each exchange. It finds the prompt in a report on its
// own: the payload starts at offset 3, its length is the signed byte at offset 2 clamped to what
// arrived, and it ends at the first zero byte. Reading stops at the first report holding CR LF ">"
// (0) or at the first read of no bytes (-1); the reports behind stay queued. Without either, the
// read times out at its deadline (1), and the first time-out of a silence is reported once, at
// the deadline (not again until a prompt has arrived). Reports already queued are read even past the deadline, but once it has passed a
// report without the prompt ends the read (1) at once. A command gets REPLY_TIMEOUT for its reply, or SILENT_EXCHANGE_BUDGET in all while
// the converter is silent; before the write, input left from earlier exchanges is dropped, and
// while silent it is read first: a prompt among it shows the converter is answering again. Each
// return of the converter from silence is reported once, by the command that saw it.
//
// Input: the input report length (6 + byte % 123); flags (bit 0: the error box sends a command of
// its own; then the number of replies it gets, 1 + byte % 4, used in turn, and the replies); then
// exchanges, each a header byte (unused: kept so that the seeds still decode) and a reply. A reply is a count (byte % 16) of reports, each a length
// (byte % (report length + 1)) and that many bytes.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "converter/converter_link.h"
#include "converter/discovery_log.h"
#include "fuzz_support.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_converter.h"
#include "simulator/simulated_hid_bus.h"

namespace {

constexpr std::size_t MAX_REPORTS_PER_REPLY = 16;
constexpr int MAX_EXCHANGES = 8;
constexpr const char* COMMAND = "W 0 0";

bool OwnPayloadHasPrompt(const InputReport& report)
{
    if (report.size() < 4) {
        return false;
    }
    const int stated = report[2] < 0x80 ? report[2] : report[2] - 0x100;
    const std::size_t received = report.size() - 3;
    const std::size_t length = stated <= 0 ? 0 : std::min(static_cast<std::size_t>(stated), received);
    std::size_t end = 0;
    while (end < length && report[3 + end] != 0) {
        ++end;
    }
    for (std::size_t at = 0; at + 3 <= end; ++at) {
        if (report[3 + at] == '\r' && report[4 + at] == '\n' && report[5 + at] == '>') {
            return true;
        }
    }
    return false;
}

// How reading one reply ends.
enum class Outcome { Prompt, Failed, Empty };

// What the link should have done so far, and where it should stand.
struct Model {
    std::deque<InputReport> queued;  // reports the converter holds, all of them arrived
    bool silent = false;
    bool silenceReported = false;
    int silences = 0;
    int answeredAgain = 0;
    bool answeredPending = false;  // the converter came back; the command reports it
    TimePoint now;
};

// Reads queued reports as ReadConverterReply should, up to its end.
Outcome ReadUpToPrompt(Model& model, TimePoint deadline)
{
    while (!model.queued.empty()) {
        const InputReport report = model.queued.front();
        model.queued.pop_front();
        if (report.empty()) {
            return Outcome::Empty;
        }
        if (OwnPayloadHasPrompt(report)) {
            model.answeredPending = model.answeredPending || model.silent;
            model.silent = false;
            model.silenceReported = false;
            return Outcome::Prompt;
        }
        if (model.now > deadline) {
            break;
        }
    }
    model.silent = true;
    return Outcome::Failed;
}

std::vector<InputReport> DecodeReply(FuzzInput& input, std::size_t reportLength)
{
    std::vector<InputReport> reply(input.Byte() % MAX_REPORTS_PER_REPLY);
    for (InputReport& report : reply) {
        report = input.Bytes(input.Byte() % (reportLength + 1));
    }
    return reply;
}

class ReplyRun final {
public:
    explicit ReplyRun(std::uint16_t inputReportLength)
        : converter_(std::make_shared<SimulatedConverter>(clock_, inputReportLength, TYPICAL_REPORT_LENGTH))
    {
        PopulateTypicalBus(bus_, converter_);
        Require(!link_.OpenConverter().found && link_.Present(), "the converter is found and sized at the start");
        Require(converter_->QueuedReports() == 0, "the reply to I was read up to its prompt");
        model_.now = clock_.Now();
        CheckState();
    }
    ~ReplyRun() = default;
    ReplyRun(const ReplyRun&) = delete;
    ReplyRun& operator=(const ReplyRun&) = delete;

    // The error box sends a command each time it opens; its replies come in turn from `replies`.
    void SetBoxCommand(std::vector<std::vector<InputReport>> replies)
    {
        boxReplies_ = std::move(replies);
    }

    // A command through SendConverterCommand, answered by `reply`.
    void Send(const std::vector<InputReport>& reply)
    {
        if (model_.silent) {
            bool answered = false;
            for (const InputReport& report : model_.queued) {
                if (report.empty()) {
                    break;
                }
                answered = answered || OwnPayloadHasPrompt(report);
            }
            model_.silent = !answered;
            model_.silenceReported = model_.silenceReported && !answered;
            model_.answeredPending = model_.answeredPending || answered;
        }
        model_.queued.clear();
        const TimePoint deadline = model_.now + (model_.silent ? SILENT_EXCHANGE_BUDGET : REPLY_TIMEOUT);
        model_.queued.insert(model_.queued.end(), reply.begin(), reply.end());
        ExpectTimeOut(ReadUpToPrompt(model_, deadline), deadline);

        converter_->ScriptNextReply(reply);
        const LinkNews news = link_.SendConverterCommand(COMMAND);
        Require(news.result == CommandResult::Answered || news.result == CommandResult::ReadFailed ||
                    news.result == CommandResult::ReadEmpty,
                "a command whose write completed counts as sent");
        Require(!news.lost && !news.found, "a converter on the bus is never taken as lost, nor searched for");
        answeredAgainActual_ += news.back ? 1 : 0;
        if (model_.answeredPending) {
            model_.answeredPending = false;
            ++model_.answeredAgain;
        }
        Require(converter_->History().back().command == COMMAND, "the converter got the command");
        if (news.silenceBegan) {
            Require(clock_.Now() == boxDue_, "a silence is reported at its deadline (or at once past it), not later");
            ++silencesActual_;
        }
        CheckState();
        if (news.silenceBegan && !boxOpen_ && !boxReplies_.empty()) {
            // A crossfade tick arriving through the message loop of the box the silence opened.
            const std::vector<InputReport>& reply = boxReplies_[boxTurn_++ % boxReplies_.size()];
            boxOpen_ = true;
            Send(reply);
            boxOpen_ = false;
        }
    }

private:
    void ExpectTimeOut(Outcome expected, TimePoint deadline)
    {
        if (expected != Outcome::Failed) {
            return;
        }
        // A read that starts past its deadline fails without waiting.
        model_.now = std::max(model_.now, deadline);
        if (!model_.silenceReported) {
            ++model_.silences;
            model_.silenceReported = true;
            boxDue_ = model_.now;
        }
    }

    void CheckState()
    {
        Require(converter_->QueuedReports() == model_.queued.size(), "the reports behind the end stay unread");
        Require(link_.Silent() == model_.silent,
                "the converter counts as silent from a time-out until a prompt arrives");
        Require(clock_.Now() == model_.now, "an exchange waits exactly up to its deadline, and only without a prompt");
        Require(silencesActual_ == model_.silences, "the first time-out of a silence is reported once");
        Require(answeredAgainActual_ == model_.answeredAgain, "each return of the converter from silence is reported once");
        Require(converter_->FramingErrors() == 0, "the command is framed as the converter expects");
    }

    ManualClock clock_;
    SimulatedHidBus bus_;
    std::shared_ptr<SimulatedConverter> converter_;
    Model model_;
    std::vector<std::vector<InputReport>> boxReplies_;
    std::size_t boxTurn_ = 0;
    bool boxOpen_ = false;
    TimePoint boxDue_;
    int silencesActual_ = 0;
    int answeredAgainActual_ = 0;
    ConverterLink link_{bus_, clock_, std::nullopt};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const auto reportLength = static_cast<std::uint16_t>(MINIMUM_INPUT_REPORT_LENGTH + input.Byte() % 123);
    const std::uint8_t flags = input.Byte();

    ReplyRun run(reportLength);
    if ((flags & 1) != 0) {
        std::vector<std::vector<InputReport>> boxReplies(1 + input.Byte() % 4);
        for (auto& reply : boxReplies) {
            reply = DecodeReply(input, reportLength);
        }
        run.SetBoxCommand(std::move(boxReplies));
    }
    for (int exchange = 0; exchange < MAX_EXCHANGES && !input.AtEnd(); ++exchange) {
        input.Byte();
        run.Send(DecodeReply(input, reportLength));
    }
    return 0;
}

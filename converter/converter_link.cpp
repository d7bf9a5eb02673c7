#include "converter/converter_link.h"

#include <array>
#include <cstdio>
#include <utility>

#include "converter/converter_commands.h"
#include "converter/converter_search.h"
#include "converter/discovery_log.h"

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
    return Present();
}

void ConverterLink::CloseConverter()
{
    state_ = Closed{};
}

bool ConverterLink::OnDeviceRemoval()
{
    const bool lost = LoseIfGone();
    SearchIfLost();
    return lost;
}

bool ConverterLink::OnDeviceArrival()
{
    LoseIfGone();
    return SearchAgain();
}

CommandResult ConverterLink::SendConverterCommand(std::string_view text)
{
    if (!Present()) {
        return CommandResult::NotPresent;
    }
    const News news = Exchange(text);
    Tell(news);
    SearchIfLost();
    return news.result;
}

void ConverterLink::Search(bool tellFound)
{
    for (int round = 0; round < SEARCH_ROUNDS; ++round) {
        const NoConverter* none = std::get_if<NoConverter>(&state_);
        if (none == nullptr || (round > 0 && !none->lostSinceSearch)) {
            return;
        }
        if (!Find()) {
            state_ = NoConverter{};
            return;
        }
        News news = Exchange(IDENTIFY_COMMAND);
        // Once a converter found has been told lost, the next one is told found, also at start-up.
        news.found = tellFound || round > 0;
        Tell(news);
    }
}

void ConverterLink::SearchIfLost()
{
    const NoConverter* none = std::get_if<NoConverter>(&state_);
    if (none != nullptr && none->lostSinceSearch) {
        Search(true);
    }
}

bool ConverterLink::Find()
{
    std::optional<CommandExchange> exchange;
    {
        // The search's log is closed before anything is sent: a failure line goes behind it.
        DiscoveryLog log(logPath_);
        std::unique_ptr<HidDevice> device;
        if (FindConverter(bus_, log, device, CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID)) {
            exchange = CommandExchange::Open(std::move(device), clock_);
        }
    }
    if (!exchange) {
        return false;
    }
    state_ = InUse{std::move(*exchange), ++convertersFound_};
    return true;
}

bool ConverterLink::LoseIfGone()
{
    const InUse* use = Converter();
    if (use == nullptr || !use->exchange.Gone(bus_)) {
        return false;
    }
    state_ = NoConverter{true};
    Tell({CommandResult::Lost, true});
    return true;
}

ConverterLink::News ConverterLink::Exchange(std::string_view text)
{
    InUse& use = std::get<InUse>(state_);
    const ExchangeReport report = use.exchange.Run(text, use.silence != Silence::Answering, bus_);
    News news{report.result};
    news.serial = use.serial;
    if (report.result == CommandResult::Lost) {
        state_ = NoConverter{true};  // the handle closes here
        news.lost = true;
        return news;
    }
    if (report.answered) {
        use.resendOwed = use.resendOwed || use.silence != Silence::Answering;
        use.silence = Silence::Answering;
        use.failureLogged = false;
    }
    use.identified = use.identified || (report.result == CommandResult::Answered && text == IDENTIFY_COMMAND);
    if (report.missedDeadline && use.silence == Silence::Answering) {
        use.silence = Silence::Silent;
    }
    const bool logged = report.result == CommandResult::WriteFailed ||
                        report.result == CommandResult::WriteTimedOut || report.result == CommandResult::ReadFailed;
    if (logged && !std::exchange(use.failureLogged, true)) {
        LogFailure(report);
    }
    news.box = report.result == CommandResult::ReadFailed;
    return news;
}

// Whatever the listener runs may change the link under this call: each step asks again whether
// the converter the news is about is still the one in use.
void ConverterLink::Tell(const News& news)
{
    if (news.lost) {
        listener_.ConverterLost();
        return;
    }
    if (news.box) {
        ShowCommError();
    }
    const auto stillInUse = [&] {
        InUse* use = Converter();
        return use != nullptr && use->serial == news.serial ? use : nullptr;
    };
    if (news.found && stillInUse() != nullptr) {
        listener_.ConverterFound();
    }
    // Once per return of the converter: the console sends what the converter missed, after the
    // "I" it missed if it was silent from the start.
    InUse* use = stillInUse();
    if (use == nullptr || !std::exchange(use->resendOwed, false)) {
        return;
    }
    if (!use->identified) {
        SendConverterCommand(IDENTIFY_COMMAND);
    }
    if (stillInUse() != nullptr) {
        listener_.ConverterBack();
    }
}

void ConverterLink::ShowCommError()
{
    // Exchanges keep running inside the box's message loop; a failure there must not open box
    // after box. A silent converter is told of once: not again, after the operator closed the
    // box, until it has answered again.
    InUse* use = Converter();
    if (errorBoxOpen_ || use == nullptr || use->silence == Silence::Told) {
        return;
    }
    if (use->silence == Silence::Silent) {
        use->silence = Silence::Told;
    }
    errorBoxOpen_ = true;
    listener_.ShowCommError(COMM_ERROR_TEXT, COMM_ERROR_CAPTION);
    errorBoxOpen_ = false;
}

// The first failure since the converter last answered goes behind the search's lines, so that the
// log tells why it stopped answering; the search after a loss writes the log afresh.
void ConverterLink::LogFailure(const ExchangeReport& report)
{
    std::array<char, 96> text{};
    if (*report.platform.call != '\0') {
        std::snprintf(text.data(), text.size(), "Comm error, Error=%u, %s failed",
                      static_cast<unsigned>(report.platform.code), report.platform.call);
    } else {
        std::snprintf(text.data(), text.size(), "Comm error, no reply in time");
    }
    AppendToDiscoveryLog(logPath_, text.data());
}

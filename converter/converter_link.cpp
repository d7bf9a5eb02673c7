#include "converter/converter_link.h"

#include <array>
#include <cstdio>
#include <utility>

#include "converter/converter_commands.h"
#include "converter/converter_search.h"
#include "converter/discovery_log.h"

void LinkNews::Add(const LinkNews& later)
{
    if (later.lost) {
        // What the earlier call told of the converter that went is no longer of use.
        found = back = silenceBegan = readFailed = false;
    }
    lost = lost || later.lost;
    found = found || later.found;
    back = back || later.back;
    silenceBegan = silenceBegan || later.silenceBegan;
    readFailed = readFailed || later.readFailed;
}

ConverterLink::ConverterLink(HidBus& bus, Clock& clock, std::optional<std::string> logPath)
    : bus_(bus), clock_(clock), logPath_(std::move(logPath))
{
}

LinkNews ConverterLink::OpenConverter()
{
    return Search(false);
}

LinkNews ConverterLink::SearchAgain()
{
    return Search(true);
}

void ConverterLink::CloseConverter()
{
    state_ = Closed{};
}

LinkNews ConverterLink::OnDeviceRemoval()
{
    LinkNews news = LoseIfGone();
    news.Add(SearchIfLost());
    return news;
}

LinkNews ConverterLink::OnDeviceArrival()
{
    LinkNews news = LoseIfGone();
    news.Add(SearchAgain());
    return news;
}

LinkNews ConverterLink::SendConverterCommand(std::string_view text)
{
    if (!Present()) {
        return {};
    }
    LinkNews news = Exchange(text);
    // A converter silent from the start missed its "I": it gets one before what it missed.
    const InUse* use = Converter();
    if (news.back && use != nullptr && !use->identified) {
        news.Add(Exchange(IDENTIFY_COMMAND));
    }
    news.Add(SearchIfLost());
    return news;
}

LinkNews ConverterLink::Search(bool tellFound)
{
    LinkNews news;
    for (int round = 0; round < SEARCH_ROUNDS; ++round) {
        const NoConverter* none = std::get_if<NoConverter>(&state_);
        if (none == nullptr || (round > 0 && !none->lostSinceSearch)) {
            break;
        }
        if (!Find()) {
            state_ = NoConverter{};
            break;
        }
        LinkNews identify = Exchange(IDENTIFY_COMMAND);
        // Once a converter found has been lost, the next one is news, also at start-up.
        identify.found = Present() && (tellFound || round > 0);
        news.Add(identify);
    }
    return news;
}

LinkNews ConverterLink::SearchIfLost()
{
    const NoConverter* none = std::get_if<NoConverter>(&state_);
    if (none != nullptr && none->lostSinceSearch) {
        return Search(true);
    }
    return {};
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
    state_ = InUse{std::move(*exchange)};
    return true;
}

LinkNews ConverterLink::LoseIfGone()
{
    const InUse* use = Converter();
    if (use == nullptr || !use->exchange.Gone(bus_)) {
        return {};
    }
    state_ = NoConverter{true};
    LinkNews news;
    news.lost = true;
    return news;
}

LinkNews ConverterLink::Exchange(std::string_view text)
{
    InUse& use = std::get<InUse>(state_);
    const ExchangeReport report = use.exchange.Run(text, use.silent, bus_);
    LinkNews news;
    news.result = report.result;
    news.written = report.written;
    if (report.result == CommandResult::Lost) {
        state_ = NoConverter{true};  // the handle closes here
        news.lost = true;
        return news;
    }
    if (report.answered) {
        news.back = use.silent;
        use.silent = false;
        use.failureLogged = false;
    }
    use.identified = use.identified || (report.result == CommandResult::Answered && text == IDENTIFY_COMMAND);
    if (report.missedDeadline && !use.silent) {
        use.silent = true;
        news.silenceBegan = true;
    }
    const bool logged = report.result == CommandResult::WriteFailed ||
                        report.result == CommandResult::WriteTimedOut || report.result == CommandResult::ReadFailed;
    if (logged && !std::exchange(use.failureLogged, true)) {
        LogFailure(report);
    }
    news.readFailed = report.result == CommandResult::ReadFailed;
    return news;
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

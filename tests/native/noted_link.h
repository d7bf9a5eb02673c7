#pragma once

// The link with what each of its calls gave kept, as the console that owns it would hear it; a
// command gives its result alone, and a search whether a converter is in use afterwards.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "converter/converter_link.h"

struct NewsLog {
    std::vector<LinkNews> readFailures;  // the calls in which a read failed
    int silences = 0;
    int backCount = 0;
    int lostCount = 0;
    int foundCount = 0;

    const LinkNews& Note(const LinkNews& news)
    {
        if (news.readFailed) {
            readFailures.push_back(news);
        }
        silences += news.silenceBegan ? 1 : 0;
        backCount += news.back ? 1 : 0;
        lostCount += news.lost ? 1 : 0;
        foundCount += news.found ? 1 : 0;
        return news;
    }
};

class NotedLink {
public:
    NotedLink(HidBus& bus, Clock& clock, NewsLog& log, std::optional<std::string> logPath)
        : link_(bus, clock, std::move(logPath)), log_(log)
    {
    }
    void OpenConverter() { log_.Note(link_.OpenConverter()); }
    bool SearchAgain() { return log_.Note(link_.SearchAgain()), link_.Present(); }
    bool OnDeviceRemoval() { return log_.Note(link_.OnDeviceRemoval()).lost; }
    bool OnDeviceArrival() { return log_.Note(link_.OnDeviceArrival()), link_.Present(); }
    CommandResult SendConverterCommand(std::string_view text) { return log_.Note(link_.SendConverterCommand(text)).result; }
    void CloseConverter() { link_.CloseConverter(); }
    bool Present() const { return link_.Present(); }
    bool Silent() const { return link_.Silent(); }

private:
    ConverterLink link_;
    NewsLog& log_;
};

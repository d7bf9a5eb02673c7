#pragma once

#include <cstdio>
#include <optional>
#include <string>

// The discovery log: a record of one converter search, written to %TEMP%\DMXConverterErrorLog.txt
// and truncated at its first line. Each search writes a log of its own.

inline constexpr const char* DISCOVERY_LOG_FILE_NAME = "\\DMXConverterErrorLog.txt";
inline constexpr std::size_t DISCOVERY_LOG_PATH_CAPACITY = 256;  // bytes, terminating zero included

class DiscoveryLog {
public:
    // `path` is where the log goes; none when it cannot be placed, and then nothing is written.
    explicit DiscoveryLog(std::optional<std::string> path);
    ~DiscoveryLog();
    DiscoveryLog(const DiscoveryLog&) = delete;
    DiscoveryLog& operator=(const DiscoveryLog&) = delete;

    // Writes one line, opening (and truncating) the file at the first one. A file that cannot be
    // opened is not tried again: the search's lines are dropped.
    void LogDiscovery(const char* text);
    // Closes the file; nothing more is written to it.
    void CloseDiscoveryLog();
    bool FileOpen() const { return stream_ != nullptr; }

private:
    std::optional<std::string> path_;
    std::FILE* stream_ = nullptr;  // none until the first line is written
    bool firstUse_ = true;
};

// Adds one line behind the latest search's log (or starts the file): what went wrong with the
// converter found by that search.
void AppendToDiscoveryLog(const std::optional<std::string>& path, const char* text);

// The log's path for a TEMP value, or nothing when TEMP is unset or empty, or the path does not fit.
std::optional<std::string> DiscoveryLogPath(const char* tempValue);

// Value of an environment variable, its name matched without regard to letter case.
const char* FindEnvironmentValue(const char* name);

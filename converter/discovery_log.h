#pragma once

#include <cstdio>
#include <optional>
#include <string>

// The discovery log: a record of the converter search, written to
// %TEMP%\DMXConverterErrorLog.txt and truncated at its first line in each run.

inline constexpr const char* DISCOVERY_LOG_FILE_NAME = "\\DMXConverterErrorLog.txt";
inline constexpr std::size_t DISCOVERY_LOG_PATH_CAPACITY = 256;  // bytes, terminating zero included

struct DiscoveryLog {
    std::FILE* stream = nullptr;  // none until the first line is written
    bool firstUse = true;
};

// The run's one discovery log.
DiscoveryLog& TheDiscoveryLog();

// The log's path for a TEMP value, or nothing when TEMP is unset or the path does not fit.
std::optional<std::string> DiscoveryLogPath(const char* tempValue);

// Value of an environment variable, its name matched without regard to letter case.
const char* FindEnvironmentValue(const char* name);

// Writes one line, opening the log at the first call of the run. A log that cannot be opened
// is not retried: the run's lines are dropped.
void LogDiscovery(const char* text);

void CloseDiscoveryLog();

#include "converter/discovery_log.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#if !defined(_WIN32)
extern char** environ;

namespace {

bool NamesMatch(const char* entry, const char* name, std::size_t nameLength)
{
    for (std::size_t i = 0; i < nameLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(entry[i])) !=
            std::tolower(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return entry[nameLength] == '=';
}

}  // namespace
#endif

const char* FindEnvironmentValue(const char* name)
{
#if defined(_WIN32)
    // The C runtime of Windows already matches environment names without regard to case.
    return std::getenv(name);
#else
    const std::size_t nameLength = std::strlen(name);
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strlen(*entry) > nameLength && NamesMatch(*entry, name, nameLength)) {
            return *entry + nameLength + 1;
        }
    }
    return nullptr;
#endif
}

std::optional<std::string> DiscoveryLogPath(const char* tempValue)
{
    // An empty TEMP would put the log at the root of the current drive.
    if (tempValue == nullptr || *tempValue == '\0') {
        return std::nullopt;
    }
    std::string path = std::string(tempValue) + DISCOVERY_LOG_FILE_NAME;
    if (path.size() + 1 > DISCOVERY_LOG_PATH_CAPACITY) {
        return std::nullopt;
    }
    return path;
}

DiscoveryLog::DiscoveryLog(std::optional<std::string> path) : path_(std::move(path)) {}

DiscoveryLog::~DiscoveryLog()
{
    CloseDiscoveryLog();
}

void DiscoveryLog::LogDiscovery(const char* text)
{
    if (firstUse_) {
        firstUse_ = false;
        if (path_) {
            // Text mode: lines end in CR LF on Windows.
            stream_ = std::fopen(path_->c_str(), "w");
        }
    }
    if (stream_ != nullptr) {
        std::fprintf(stream_, "%s\n", text);
    }
}

void AppendToDiscoveryLog(const std::optional<std::string>& path, const char* text)
{
    if (!path) {
        return;
    }
    if (std::FILE* stream = std::fopen(path->c_str(), "a")) {
        std::fprintf(stream, "%s\n", text);
        std::fclose(stream);
    }
}

void DiscoveryLog::CloseDiscoveryLog()
{
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
}

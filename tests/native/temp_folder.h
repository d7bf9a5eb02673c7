#pragma once

// A scratch folder that TEMP points to for the life of a test, so the discovery log lands there.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "converter/discovery_log.h"

inline void SetEnvironment(const std::string& name, const std::optional<std::string>& value)
{
#if defined(_WIN32)
    const std::string entry = name + "=" + value.value_or("");
    _putenv(entry.c_str());
#else
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
#endif
}

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Lines as the discovery log writes them: text mode gives CR LF on Windows.
inline std::string LogText(std::initializer_list<const char*> lines)
{
#if defined(_WIN32)
    constexpr const char* newline = "\r\n";
#else
    constexpr const char* newline = "\n";
#endif
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += newline;
    }
    return text;
}

class TempFolder {
public:
    TempFolder()
    {
        if (const char* previous = std::getenv("TEMP")) {
            previous_ = previous;
        }
        std::random_device seed;
        folder_ = std::filesystem::temp_directory_path() / ("veltrano-test-" + std::to_string(seed()));
        std::filesystem::create_directories(folder_);
        temp_ = TempValueFor(folder_);
        SetEnvironment("TEMP", temp_);
    }
    ~TempFolder()
    {
        SetEnvironment("TEMP", previous_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& TempValue() const { return temp_; }
    // A TEMP value naming a folder inside this one (which need not exist).
    std::string Subfolder(const std::string& name) const { return TempValueFor(folder_ / name); }
    std::string LogPath() const { return temp_ + DISCOVERY_LOG_FILE_NAME; }
    bool LogExists() const { return std::filesystem::exists(LogPath()); }
    std::string Log() const { return ReadWholeFile(LogPath()); }

private:
    static std::string TempValueFor(const std::filesystem::path& folder)
    {
        // Natively the log's name, with its backslash, becomes one file inside the folder.
#if defined(_WIN32)
        return folder.string();
#else
        return folder.string() + "/";
#endif
    }

    std::optional<std::string> previous_;
    std::filesystem::path folder_;
    std::string temp_;
};

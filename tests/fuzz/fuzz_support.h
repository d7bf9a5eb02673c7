#pragma once

// What every fuzz target shares: reading its input front to back, ending the run when a fact it
// checks does not hold, and keeping the discovery log away from the user's TEMP folder.

#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Reads a fuzz input from the front. Past its end every read gives zeros, so any input decodes
// into a complete case and hand-made seeds can stop early.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool AtEnd() const { return at_ >= size_; }

    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

    // Little-endian, as the seed script writes them.
    std::uint16_t Word()
    {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }

    std::uint32_t Long()
    {
        const std::uint32_t low = Word();
        return low | (static_cast<std::uint32_t>(Word()) << 16);
    }

    std::vector<std::uint8_t> Bytes(std::size_t count)
    {
        std::vector<std::uint8_t> bytes(count, 0);
        for (auto& byte : bytes) {
            byte = Byte();
        }
        return bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A broken fact ends the run the way a sanitizer finding does: libFuzzer keeps the input as a
// crash artifact, and the message says which fact broke.
[[noreturn]] inline void FuzzFailure(const char* fact)
{
    std::fprintf(stderr, "\n*** broken: %s\n", fact);
    std::fflush(stderr);
    std::abort();
}

inline void Require(bool holds, const char* fact)
{
    if (!holds) {
        FuzzFailure(fact);
    }
}

// Unsets TEMP in every spelling: the discovery log finds its variable without regard to case.
// Without TEMP the log drops its lines and writes nothing.
inline void UnsetEveryTemp()
{
    std::vector<std::string> names;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string name(*entry);
        name.resize(name.find('=') == std::string::npos ? name.size() : name.find('='));
        std::string upper;
        for (const char c : name) {
            upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (upper == "TEMP") {
            names.push_back(name);
        }
    }
    for (const std::string& name : names) {
        unsetenv(name.c_str());
    }
}

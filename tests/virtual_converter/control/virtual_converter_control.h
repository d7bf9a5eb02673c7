#pragma once

// The tests' side of the virtual converter: finding it among the HID devices, and its control
// channel (a feature report, see control_report.h) to read back what reached it and to choose
// how it answers.

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "control_report.h"

// The device path of the virtual converter, or nothing while none is present.
std::optional<std::string> FindVirtualConverterPath();

enum class ReplyShape : std::uint8_t {
    Normal = VC_SHAPE_NORMAL,
    Silent = VC_SHAPE_SILENT,
    Spread = VC_SHAPE_SPREAD,
    SplitPrompt = VC_SHAPE_SPLIT_PROMPT,
    LengthTooLarge = VC_SHAPE_LENGTH_TOO_LARGE,
    LengthNegative = VC_SHAPE_LENGTH_NEGATIVE,
    NegativeThenReply = VC_SHAPE_NEGATIVE_THEN_REPLY,
    StrayPrompt = VC_SHAPE_STRAY_PROMPT,
};

struct ReplyFault {
    ReplyShape shape = ReplyShape::Normal;
    std::uint16_t delayMs = 0;  // from a command's arrival to the first report of its reply
    std::uint16_t gapMs = 0;    // between the reports of one reply
    std::uint8_t parts = 1;     // reports per reply, for ReplyShape::Spread
};

using Levels = std::array<std::uint8_t, VC_CHANNELS>;

struct ConverterSnapshot {
    ReplyFault fault;
    std::uint32_t commandsReceived = 0;
    std::uint16_t framingErrors = 0;
    std::uint16_t rejectedCommands = 0;
    Levels levels{};
    int preset = 0;  // the preset asked for, with what it holds
    bool presetStored = false;
    Levels presetLevels{};
    std::uint32_t reportsDelivered = 0;
    std::uint16_t reportsWaiting = 0;
};

class VirtualConverterControl {
public:
    VirtualConverterControl() = default;
    ~VirtualConverterControl();
    VirtualConverterControl(const VirtualConverterControl&) = delete;
    VirtualConverterControl& operator=(const VirtualConverterControl&) = delete;

    // Opens the control channel of the converter that is present; false when there is none.
    bool Open();
    void Close();

    // Levels, presets, counters and the command log cleared, replies back to normal, and every
    // reply still waiting in the device dropped.
    bool Reset();
    bool SetFault(const ReplyFault& fault);

    // The device's state, with preset `preset` (1..127) for a look at what it stored.
    std::optional<ConverterSnapshot> Read(int preset = 0);

    // The last `count` command texts as the device unframed them, oldest first (at most 16, each
    // cut to 16 bytes). Fewer when fewer arrived.
    std::optional<std::vector<std::string>> RecentCommands(int count);

private:
    bool Send(const std::array<std::uint8_t, VC_REPORT_LENGTH>& request);
    bool Select(int preset, int logBack);
    bool Get(std::array<std::uint8_t, VC_REPORT_LENGTH>& report);

    HANDLE device_ = INVALID_HANDLE_VALUE;
};

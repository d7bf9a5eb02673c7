// Commands over the real Win32 HID path: what the console sends arrives framed as the converter
// expects, and the converter's levels and presets end as the console meant them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/converter_commands.h"
#include "virtual_converter_link.h"

namespace {

using VirtualConverterCommands = VirtualConverterLink;

TEST_F(VirtualConverterCommands, LevelCommandsSetEachChannel)
{
    Open();
    struct Case {
        int channel;
        int level;
        const char* text;  // as the converter receives it
    } cases[] = {
        {0, 0, "W 0 0"},    {1, 1, "W 1 1"},    {2, 0x0F, "W 2 F"}, {3, 0x10, "W 3 10"},
        {4, 0x7F, "W 4 7F"}, {5, 0x80, "W 5 80"}, {6, 0xA5, "W 6 A5"}, {7, 0xFE, "W 7 FE"},
        {8, 0x3C, "W 8 3C"}, {9, 0xC3, "W 9 C3"}, {10, 0x01, "W A 1"}, {11, 0xFF, "W B FF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Send(LevelCommand(c.channel, c.level)), CommandResult::Answered);
    }

    const ConverterSnapshot device = Snapshot();
    const Levels expected = {0x00, 0x01, 0x0F, 0x10, 0x7F, 0x80, 0xA5, 0xFE, 0x3C, 0xC3, 0x01, 0xFF};
    EXPECT_EQ(device.levels, expected);
    std::vector<std::string> texts;
    for (const Case& c : cases) {
        texts.push_back(c.text);
    }
    EXPECT_EQ(RecentCommands(12), texts);
    EXPECT_EQ(device.commandsReceived, 12u);
    EXPECT_EQ(device.framingErrors, 0);
    EXPECT_EQ(device.rejectedCommands, 0);
    EXPECT_TRUE(hookCalls.empty());
}

TEST_F(VirtualConverterCommands, EachExchangeEndsAtItsOwnPrompt)
{
    Open();
    for (int level : {0x11, 0x22, 0x33}) {
        SCOPED_TRACE(level);
        bool sent = false;
        const Duration took = Timed(LevelCommand(4, level), &sent);
        EXPECT_TRUE(sent);
        EXPECT_TRUE(TookLessThan(took, REPLY_TIMEOUT / 2)) << "the prompt ended the exchange, not the deadline";
        const ConverterSnapshot device = Snapshot();
        EXPECT_EQ(device.levels[4], level);
        EXPECT_EQ(device.reportsWaiting, 0) << "the reply was out before the exchange ended";
    }
    EXPECT_FALSE(link->Silent());
    EXPECT_TRUE(hookCalls.empty());
}

TEST_F(VirtualConverterCommands, AStoredPresetKeepsTheLevelsOfItsMoment)
{
    Open();
    EXPECT_EQ(Send(LevelCommand(0, 0x40)), CommandResult::Answered);
    EXPECT_EQ(Send(LevelCommand(11, 0xC0)), CommandResult::Answered);
    EXPECT_EQ(Send(StorePresetCommand(12)), CommandResult::Answered);
    EXPECT_EQ(Send(LevelCommand(0, 0x41)), CommandResult::Answered);
    EXPECT_EQ(Send(StorePresetCommand(127)), CommandResult::Answered);
    EXPECT_EQ(Send(LevelCommand(0, 0x42)), CommandResult::Answered);

    const Levels twelve = {0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0};
    const Levels last = {0x41, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0};
    const ConverterSnapshot preset12 = Snapshot(12);
    EXPECT_TRUE(preset12.presetStored);
    EXPECT_EQ(preset12.presetLevels, twelve);
    const ConverterSnapshot preset127 = Snapshot(127);
    EXPECT_TRUE(preset127.presetStored);
    EXPECT_EQ(preset127.presetLevels, last);
    EXPECT_FALSE(Snapshot(1).presetStored);
    EXPECT_EQ(Snapshot().levels[0], 0x42);

    // The store command carries its own CR: the framing's CR follows it, and the converter found
    // both where the length byte said.
    EXPECT_EQ(RecentCommands(6), (std::vector<std::string>{"W 0 40", "W B C0", "c0 c\r", "W 0 41", "c0 7f\r", "W 0 42"}));
    EXPECT_EQ(Snapshot().framingErrors, 0);
    EXPECT_EQ(Snapshot().rejectedCommands, 0);
    EXPECT_TRUE(hookCalls.empty());
}

TEST_F(VirtualConverterCommands, AnUnknownCommandIsAnsweredAndChangesNothing)
{
    Open();
    bool sent = false;
    EXPECT_TRUE(TookLessThan(Timed("W C 10", &sent), REPLY_TIMEOUT / 2)) << "its reply ends in the prompt too";
    EXPECT_TRUE(sent);
    const ConverterSnapshot device = Snapshot();
    EXPECT_EQ(device.rejectedCommands, 1);
    EXPECT_EQ(device.levels, Levels{});
    EXPECT_TRUE(hookCalls.empty());
}

TEST_F(VirtualConverterCommands, ATextThatDoesNotFitTheReportIsNotSent)
{
    Open();
    EXPECT_EQ(Send(std::string(62, 'x')), CommandResult::TooLong);
    EXPECT_EQ(Snapshot().commandsReceived, 0u);
    // The longest text that fits reaches the converter whole.
    EXPECT_EQ(Send(std::string(61, 'x')), CommandResult::Answered);
    const ConverterSnapshot device = Snapshot();
    EXPECT_EQ(device.commandsReceived, 1u);
    EXPECT_EQ(device.framingErrors, 0);
    EXPECT_EQ(device.rejectedCommands, 1);
}

}  // namespace

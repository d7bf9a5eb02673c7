// The report framing and the prompt search, byte for byte.

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <vector>

#include "converter/converter_commands.h"
#include "converter/report_framing.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Framed(const std::string& text, std::size_t reportLength)
{
    Bytes report(reportLength, 0xEE);
    EXPECT_TRUE(FrameCommand(text, report.data(), report.size()));
    return report;
}

Bytes ZeroPadded(Bytes head, std::size_t length)
{
    head.resize(length, 0x00);
    return head;
}

TEST(FrameCommand, Identify)
{
    EXPECT_EQ(Framed("I", 10), (Bytes{0x00, 0x30, 0x02, 'I', 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

TEST(FrameCommand, LevelCommandIsZeroFilledToTheFullReport)
{
    const Bytes expected = ZeroPadded({0x00, 0x30, 0x06, 'W', ' ', '1', ' ', '0', 0x0D}, 65);
    EXPECT_EQ(Framed("W 1 0", 65), expected);
}

TEST(FrameCommand, StoreCommandEndsInTwoCarriageReturns)
{
    EXPECT_EQ(Framed("c0 1\r", 10), (Bytes{0x00, 0x30, 0x06, 'c', '0', ' ', '1', 0x0D, 0x0D, 0x00}));
    EXPECT_EQ(Framed("c0 c\r", 10), (Bytes{0x00, 0x30, 0x06, 'c', '0', ' ', 'c', 0x0D, 0x0D, 0x00}));
    EXPECT_EQ(Framed("c0 7f\r", 10), (Bytes{0x00, 0x30, 0x07, 'c', '0', ' ', '7', 'f', 0x0D, 0x0D}));
}

TEST(FrameCommand, RefusesATextWithoutRoomForItsCarriageReturnAndTerminator)
{
    Bytes report(9, 0xEE);
    EXPECT_FALSE(FrameCommand("W B FF", report.data(), report.size()));
    EXPECT_EQ(report, Bytes(9, 0xEE)) << "a refused report is left untouched";
    Bytes exact(10, 0xEE);
    EXPECT_TRUE(FrameCommand("W B FF", exact.data(), exact.size()));
    EXPECT_EQ(exact, (Bytes{0x00, 0x30, 0x07, 'W', ' ', 'B', ' ', 'F', 'F', 0x0D}));
}

TEST(FrameCommand, LengthByteKeepsItsLowEightBits)
{
    const std::string text(300, 'x');
    Bytes report(400, 0);
    ASSERT_TRUE(FrameCommand(text, report.data(), report.size()));
    EXPECT_EQ(report[2], 301 & 0xFF);
    EXPECT_EQ(report[303], 0x0D);
}

TEST(CommandTexts, LevelsInUpperCaseHexadecimal)
{
    EXPECT_EQ(LevelCommand(0, 255), "W 0 FF");
    EXPECT_EQ(LevelCommand(11, 128), "W B 80");
    EXPECT_EQ(LevelCommand(3, 5), "W 3 5");
    EXPECT_EQ(LevelCommand(1, 0), "W 1 0");
}

TEST(CommandTexts, PresetsInLowerCaseHexadecimalWithTheirOwnCarriageReturn)
{
    EXPECT_EQ(StorePresetCommand(1), "c0 1\r");
    EXPECT_EQ(StorePresetCommand(7), "c0 7\r");
    EXPECT_EQ(StorePresetCommand(12), "c0 c\r");
    EXPECT_EQ(StorePresetCommand(127), "c0 7f\r");
}

struct PromptCase {
    const char* what;
    Bytes report;
    std::size_t received;
    bool prompt;
};

void PrintTo(const PromptCase& c, std::ostream* os)
{
    *os << c.what;
}

class PromptSearch : public ::testing::TestWithParam<PromptCase> {};

TEST_P(PromptSearch, LooksOnlyInsideTheReceivedPayload)
{
    const PromptCase& c = GetParam();
    Bytes report = c.report;
    EXPECT_EQ(ReportHasPrompt(report.data(), c.received), c.prompt) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Reports, PromptSearch,
    ::testing::Values(
        PromptCase{"prompt at the end", {0, 0, 6, 'o', 'k', 'k', 0x0D, 0x0A, 0x3E, 0, 0}, 11, true},
        PromptCase{"prompt alone", {0, 0, 3, 0x0D, 0x0A, 0x3E}, 6, true},
        PromptCase{"no prompt", {0, 0, 4, 'W', ' ', '1', 0x0D, 0x0A, 0, 0}, 10, false},
        PromptCase{"half a prompt", {0, 0, 2, 0x0D, 0x0A, 0x3E}, 6, false},
        PromptCase{"greater-than without CR LF", {0, 0, 3, 'a', 0x0A, 0x3E}, 6, false},
        PromptCase{"zero byte hides the rest", {0, 0, 6, 'a', 0x00, 'b', 0x0D, 0x0A, 0x3E}, 9, false},
        PromptCase{"length beyond the report is clamped", {0, 0, 0x7F, 0x0D, 0x0A, 0x3E}, 6, true},
        PromptCase{"length beyond what was received", {0, 0, 6, 'x', 'x', 'x', 0x0D, 0x0A, 0x3E}, 8, false},
        PromptCase{"negative length: no payload", {0, 0, 0xF0, 0x0D, 0x0A, 0x3E}, 6, false},
        PromptCase{"length -1", {0, 0, 0xFF, 0x0D, 0x0A, 0x3E}, 6, false},
        PromptCase{"zero length", {0, 0, 0, 0x0D, 0x0A, 0x3E}, 6, false},
        PromptCase{"nothing but a header", {0, 0, 3}, 3, false},
        PromptCase{"shorter than a header", {0, 0}, 2, false},
        PromptCase{"empty read", {}, 0, false}),
    [](const ::testing::TestParamInfo<PromptCase>& param) {
        std::string name;
        for (const char* c = param.param.what; *c != '\0'; ++c) {
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        }
        return name;
    });

TEST(ReportPayload, IsCutAtTheStatedLength)
{
    const Bytes report{0, 0x30, 2, 'o', 'k', '!', '!'};
    EXPECT_EQ(ReportPayload(report.data(), report.size()), "ok");
}

}  // namespace

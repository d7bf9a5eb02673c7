// The fade-time box's text as seconds.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "mixing/fade_time.h"

namespace {

struct FadeCase {
    std::string text;
    std::optional<double> seconds;
};

void PrintTo(const FadeCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class FadeTimeText : public ::testing::TestWithParam<FadeCase> {};

TEST_P(FadeTimeText, GivesItsDuration)
{
    const FadeCase& c = GetParam();
    const std::optional<double> parsed = ParseFadeTime(c.text);
    ASSERT_EQ(parsed.has_value(), c.seconds.has_value());
    if (c.seconds) {
        EXPECT_EQ(*parsed, *c.seconds);
    }
}

const double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Texts, FadeTimeText,
    ::testing::Values(
        FadeCase{"2.5", 2.5}, FadeCase{"+2", 2.0}, FadeCase{".5", 0.5}, FadeCase{"5.", 5.0}, FadeCase{"1e3", 1000.0},
        FadeCase{"1e", 1.0}, FadeCase{"1e+", 1.0}, FadeCase{"1E-1", 0.1}, FadeCase{"abc", std::nullopt},
        FadeCase{".", std::nullopt}, FadeCase{"-", std::nullopt}, FadeCase{"+.", std::nullopt},
        FadeCase{"", std::nullopt}, FadeCase{"e5", std::nullopt}, FadeCase{"1e999", inf}, FadeCase{"-1e999", -inf},
        FadeCase{"1e-999", 0.0}, FadeCase{"0.0004", 0.0004}, FadeCase{"0.001", 0.001}, FadeCase{"0.0", 0.0},
        FadeCase{"-3", -3.0}, FadeCase{" \t\n\v\f\r2", 2.0}, FadeCase{"2.5\r\n", 2.5}, FadeCase{"3x", 3.0},
        FadeCase{"0x10", 0.0}, FadeCase{"inf", std::nullopt}, FadeCase{"nan", std::nullopt},
        FadeCase{"INFINITY", std::nullopt}, FadeCase{"1.2.3", 1.2}, FadeCase{"- 1", std::nullopt},
        // Only the first 7 characters are read.
        FadeCase{"1234567", 1234567.0}, FadeCase{"12345678", 1234567.0}, FadeCase{"      9", 9.0},
        FadeCase{"       9", std::nullopt}, FadeCase{"1.5e309", inf}, FadeCase{"1.25e309", 1.25e30}));

TEST(FadeTimeLength, CountsTheCharactersOfTheNumber)
{
    EXPECT_EQ(FadeTimeLength("2.5\r\n"), 3u);
    EXPECT_EQ(FadeTimeLength("  1e"), 3u);
    EXPECT_EQ(FadeTimeLength("1e-3s"), 4u);
    EXPECT_EQ(FadeTimeLength("abc"), 0u);
}

}  // namespace

// Where the discovery log goes, and when it has no place.

#include <gtest/gtest.h>

#include <string>

#include "converter/discovery_log.h"
#include "temp_folder.h"

namespace {

TEST(DiscoveryLogPath, AppendsTheFileNameBehindABackslash)
{
    EXPECT_EQ(DiscoveryLogPath("C:\\Users\\op\\AppData\\Local\\Temp"),
              "C:\\Users\\op\\AppData\\Local\\Temp\\DMXConverterErrorLog.txt");
}

TEST(DiscoveryLogPath, NeedsTemp)
{
    EXPECT_FALSE(DiscoveryLogPath(nullptr).has_value());
}

TEST(DiscoveryLogPath, MustFitInto256BytesWithItsTerminator)
{
    // The file name takes 25 characters, so TEMP may take 230.
    const std::string longest(230, 'x');
    ASSERT_TRUE(DiscoveryLogPath(longest.c_str()).has_value());
    EXPECT_EQ(DiscoveryLogPath(longest.c_str())->size(), 255u);
    const std::string tooLong(231, 'x');
    EXPECT_FALSE(DiscoveryLogPath(tooLong.c_str()).has_value());
}

TEST(DiscoveryLog, TempIsFoundWhateverTheCaseOfItsName)
{
    TempFolder temp;
    SetEnvironment("TEMP", std::nullopt);
    SetEnvironment("Temp", temp.TempValue());
    const char* value = FindEnvironmentValue("TEMP");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(std::string(value), temp.TempValue());
    SetEnvironment("Temp", std::nullopt);
    EXPECT_EQ(FindEnvironmentValue("TEMP"), nullptr);
}

TEST(DiscoveryLog, NoLogWhenThePathDoesNotFit)
{
    ResetDiscoveryLog();
    TempFolder temp;
    const std::string deep = temp.TempValue() + std::string(240 - temp.TempValue().size(), 'd');
    SetEnvironment("TEMP", deep);
    LogDiscovery("a line");
    EXPECT_EQ(TheDiscoveryLog().stream, nullptr);
    CloseDiscoveryLog();
    ResetDiscoveryLog();
}

TEST(DiscoveryLog, LinesReachTheFileWhenTheLogCloses)
{
    ResetDiscoveryLog();
    TempFolder temp;
    LogDiscovery("first");
    LogDiscovery("second");
    CloseDiscoveryLog();
    EXPECT_EQ(temp.Log(), LogText({"first", "second"}));
    // Nothing is written once the log is closed.
    LogDiscovery("third");
    EXPECT_EQ(temp.Log(), LogText({"first", "second"}));
    ResetDiscoveryLog();
}

}  // namespace

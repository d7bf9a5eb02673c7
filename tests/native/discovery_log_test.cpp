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
    EXPECT_FALSE(DiscoveryLogPath("").has_value()) << "not the root of the current drive";
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
    TempFolder temp;
    const std::string deep = temp.TempValue() + std::string(240 - temp.TempValue().size(), 'd');
    DiscoveryLog log(DiscoveryLogPath(deep.c_str()));
    log.LogDiscovery("a line");
    log.CloseDiscoveryLog();
    EXPECT_FALSE(std::filesystem::exists(deep + DISCOVERY_LOG_FILE_NAME));
}

TEST(DiscoveryLog, LinesReachTheFileWhenTheLogCloses)
{
    TempFolder temp;
    DiscoveryLog log(temp.LogPath());
    log.LogDiscovery("first");
    log.LogDiscovery("second");
    log.CloseDiscoveryLog();
    EXPECT_EQ(temp.Log(), LogText({"first", "second"}));
    // Nothing is written once the log is closed.
    log.LogDiscovery("third");
    EXPECT_EQ(temp.Log(), LogText({"first", "second"}));
}

TEST(DiscoveryLog, EachLogStartsTheFileAfresh)
{
    TempFolder temp;
    {
        DiscoveryLog first(temp.LogPath());
        first.LogDiscovery("an earlier search");
    }
    DiscoveryLog second(temp.LogPath());
    second.LogDiscovery("the latest search");
    second.CloseDiscoveryLog();
    EXPECT_EQ(temp.Log(), LogText({"the latest search"}));
}

}  // namespace

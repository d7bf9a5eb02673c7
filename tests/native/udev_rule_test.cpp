// The udev rule shipped for Wine on Linux names the converter this program searches for, as sysfs
// writes the IDs the rule matches: four lower-case hex digits (udev compares them as text).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "converter/converter_link.h"
#include "temp_folder.h"

namespace {

std::string SysfsId(std::uint16_t id)
{
    char text[5] = {};
    std::snprintf(text, sizeof(text), "%04x", id);
    return text;
}

// The value the rule matches `key` against (`ATTRS{idVendor}` gives "6a5b"), or "" without one.
std::string MatchedValue(const std::string& rule, const std::string& key)
{
    const std::string start = key + "==\"";
    const std::size_t at = rule.find(start);
    if (at == std::string::npos) {
        return "";
    }
    const std::size_t from = at + start.size();
    return rule.substr(from, rule.find('"', from) - from);
}

TEST(UdevRule, MatchesTheConvertersIds)
{
    const std::string rule = ReadWholeFile(VELTRANO_UDEV_RULE);
    ASSERT_FALSE(rule.empty()) << VELTRANO_UDEV_RULE;
    EXPECT_EQ(MatchedValue(rule, "ATTRS{idVendor}"), SysfsId(CONVERTER_VENDOR_ID));
    EXPECT_EQ(MatchedValue(rule, "ATTRS{idProduct}"), SysfsId(CONVERTER_PRODUCT_ID));
}

}  // namespace

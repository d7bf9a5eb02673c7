// The udev rule shipped for Wine on Linux names the converter this program searches for, with the
// IDs written as sysfs writes them (four lower-case hex digits: udev compares them as text).

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "converter/converter_link.h"
#include "temp_folder.h"

namespace {

TEST(UdevRule, MatchesTheConvertersIds)
{
    const std::string rule = ReadWholeFile(VELTRANO_UDEV_RULE);
    char vendor[32] = {};
    char product[32] = {};
    std::snprintf(vendor, sizeof(vendor), "ATTRS{idVendor}==\"%04x\"", CONVERTER_VENDOR_ID);
    std::snprintf(product, sizeof(product), "ATTRS{idProduct}==\"%04x\"", CONVERTER_PRODUCT_ID);
    EXPECT_NE(rule.find(vendor), std::string::npos) << vendor << " in " << VELTRANO_UDEV_RULE << ":\n" << rule;
    EXPECT_NE(rule.find(product), std::string::npos) << product << " in " << VELTRANO_UDEV_RULE << ":\n" << rule;
}

}  // namespace

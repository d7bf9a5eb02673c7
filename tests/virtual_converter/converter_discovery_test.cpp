// Opening the converter on the real Win32 HID path: the search walks every HID device Wine has,
// logs each step and stops at the virtual converter, which is sized from its capabilities and
// sent "I".

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "converter/converter_search.h"
#include "virtual_converter_link.h"

namespace {

std::vector<std::string> CrLfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

std::string IndexLine(int index, const char* rest)
{
    return "Index=" + std::to_string(index) + rest;
}

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%x", value);
    return text;
}

using VirtualConverterDiscovery = VirtualConverterLink;

TEST_F(VirtualConverterDiscovery, TheSearchWalksWinesHidDevicesAndEndsAtTheConverter)
{
    link->OpenConverter();
    ASSERT_TRUE(link->Present());

    const std::string log = temp.Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n") << "the log's lines end in CR LF";
    const std::vector<std::string> lines = CrLfLines(log);
    ASSERT_GE(lines.size(), 2u);

    int found = -1;
    ASSERT_EQ(std::sscanf(lines.back().c_str(), "Index=%d, Valid Device found", &found), 1) << lines.back();
    EXPECT_EQ(lines.back(), IndexLine(found, ", Valid Device found"));
    EXPECT_EQ(lines[lines.size() - 2],
              IndexLine(found, ", VendorID=$6a5b, ProductID=$e42  Device successfully opened for ID checking"));

    // Wine's own virtual mouse and keyboard (vendor 845e) come before the converter: each was
    // opened for its IDs and passed over.
    ASSERT_GE(found, 1) << log;
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(2 * found + 2)) << log;
    int wineDevices = 0;
    for (int index = 0; index < found; ++index) {
        SCOPED_TRACE(index);
        const std::string& opened = lines[static_cast<std::size_t>(2 * index)];
        int logged = -1;
        unsigned vendor = 0;
        unsigned product = 0;
        EXPECT_EQ(std::sscanf(opened.c_str(), "Index=%d, VendorID=$%x, ProductID=$%x", &logged, &vendor, &product), 3)
            << opened;
        EXPECT_EQ(opened, IndexLine(index, ", VendorID=$") + Hex(vendor) + ", ProductID=$" + Hex(product) +
                              "  Device successfully opened for ID checking");
        EXPECT_EQ(lines[static_cast<std::size_t>(2 * index + 1)], IndexLine(index, ", Not the device we want"));
        wineDevices += vendor == 0x845E ? 1 : 0;
    }
    EXPECT_GE(wineDevices, 1) << log;
}

TEST_F(VirtualConverterDiscovery, IdentifyReachesTheConverterWhenTheLinkOpens)
{
    link->OpenConverter();
    ASSERT_TRUE(link->Present());
    const ConverterSnapshot device = Snapshot();
    EXPECT_EQ(RecentCommands(2), std::vector<std::string>{"I"});
    EXPECT_EQ(device.commandsReceived, 1u);
    EXPECT_EQ(device.framingErrors, 0);
    EXPECT_EQ(device.reportsDelivered, 1u) << "the reply to I went out in one report";
    EXPECT_TRUE(hookCalls.empty()) << "the reply's prompt was recognised";
    EXPECT_FALSE(link->Silent());
}

TEST_F(VirtualConverterDiscovery, ASearchForOtherIdsPassesTheConverterOverAndEndsAtTheLastInterface)
{
    std::unique_ptr<HidDevice> device;
    ASSERT_FALSE(Search(device, CONVERTER_VENDOR_ID, 0x0E43));
    EXPECT_EQ(device, nullptr);
    const std::vector<std::string> lines = CrLfLines(temp.Log());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "Valid Device was not found");
    EXPECT_EQ(lines[lines.size() - 2], "No more devices in list");
    int converterLines = 0;
    for (const std::string& line : lines) {
        converterLines += line.find("VendorID=$6a5b, ProductID=$e42  Device successfully opened") != std::string::npos;
    }
    EXPECT_EQ(converterLines, 1);
}

}  // namespace

#pragma once

// The converter link over the real Win32 HID path, facing the virtual converter that the CTest
// fixture installed into the Wine prefix: the test's view of the device through its control
// channel, the read-error hook, and a clock on the exchanges.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/virtual_converter_control.h"
#include "converter/clock.h"
#include "converter/converter_link.h"
#include "converter/discovery_log.h"
#include "converter/converter_search.h"
#include "win32/win32_hid_bus.h"
#include "noted_link.h"
#include "temp_folder.h"

class VirtualConverterLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(control.Open()) << "no virtual converter: the virtual_converter fixture installs it";
        ASSERT_TRUE(control.Reset());
    }

    void TearDown() override
    {
        link.reset();
        control.Close();
    }

    // Opens the link and leaves the device with nothing behind from the opening exchange.
    void Open()
    {
        link->OpenConverter();
        ASSERT_TRUE(link->Present());
        ASSERT_TRUE(control.Reset());
    }

    CommandResult Send(const std::string& text) { return link->SendConverterCommand(text); }

    // The command's report went out, whatever became of its reply.
    static bool WentOut(CommandResult result)
    {
        return result == CommandResult::Answered || result == CommandResult::ReadFailed ||
               result == CommandResult::ReadEmpty;
    }

    // Sends a command and tells how long the caller was kept waiting.
    Duration Timed(const std::string& text, bool* sent = nullptr)
    {
        const TimePoint start = clock.Now();
        const CommandResult result = Send(text);
        if (sent != nullptr) {
            *sent = WentOut(result);
        }
        return clock.Now() - start;
    }

    // A search as the console starts one, for other IDs.
    bool Search(std::unique_ptr<HidDevice>& device, std::uint16_t vendorId, std::uint16_t productId)
    {
        DiscoveryLog log(DiscoveryLogPath(FindEnvironmentValue("TEMP")));
        return FindConverter(*bus, log, device, vendorId, productId);
    }

    ConverterSnapshot Snapshot(int preset = 0)
    {
        auto snapshot = control.Read(preset);
        EXPECT_TRUE(snapshot.has_value()) << "the control channel did not answer";
        return snapshot.value_or(ConverterSnapshot{});
    }

    std::vector<std::string> RecentCommands(int count)
    {
        auto commands = control.RecentCommands(count);
        EXPECT_TRUE(commands.has_value()) << "the control channel did not answer";
        return commands.value_or(std::vector<std::string>{});
    }

    TempFolder temp;
    SteadyClock clock;
    std::unique_ptr<HidBus> bus = MakeWin32HidBus(clock);
    VirtualConverterControl control;
    // What the read-error box was asked to show, in order: the window side shows a modal box
    // there, here the call only leaves a record.
    NewsLog listener;
    std::vector<LinkNews>& hookCalls = listener.readFailures;
    std::optional<NotedLink> link{std::in_place, *bus, clock, listener, DiscoveryLogPath(FindEnvironmentValue("TEMP"))};
};

// Time on the exchanges is asserted with room for a loaded machine: bounds that separate "waited
// for the deadline" from "answered", never a benchmark.
inline ::testing::AssertionResult TookAtLeast(Duration took, Duration least)
{
    if (took >= least) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "took " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms, expected at least "
           << std::chrono::duration_cast<std::chrono::milliseconds>(least).count() << " ms";
}

inline ::testing::AssertionResult TookLessThan(Duration took, Duration most)
{
    if (took < most) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "took " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms, expected less than "
           << std::chrono::duration_cast<std::chrono::milliseconds>(most).count() << " ms";
}

#pragma once

// The converter link over the real Win32 HID path, facing the virtual converter that the CTest
// fixture installed into the Wine prefix: the test's view of the device through its control
// channel, the read-error hook, and a clock on the exchanges.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "control/virtual_converter_control.h"
#include "converter/clock.h"
#include "converter/converter_link.h"
#include "converter/discovery_log.h"
#include "converter/win32_hid_bus.h"
#include "temp_folder.h"

struct HookCall {
    std::string text;
    std::string caption;
};

// What the read-error hook was called with, in order. The window side shows a modal box there;
// here the call only leaves a record.
inline std::vector<HookCall>& HookCalls()
{
    static std::vector<HookCall> calls;
    return calls;
}

inline void RecordHookCall(const char* text, const char* caption)
{
    HookCalls().push_back({text, caption});
}

class VirtualConverterLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDiscoveryLog();
        TheConverter() = ConverterState{};
        HookCalls().clear();
        ASSERT_TRUE(control.Open()) << "no virtual converter: the virtual_converter fixture installs it";
        ASSERT_TRUE(control.Reset());
        UseConverterPlatform(*bus, MonotonicClock(), RecordHookCall);
    }

    void TearDown() override
    {
        TheConverter() = ConverterState{};
        ResetDiscoveryLog();
        control.Close();
    }

    // Opens the link and leaves the device with nothing behind from the opening exchange.
    void Open()
    {
        OpenConverter();
        ASSERT_TRUE(TheConverter().present);
        ASSERT_TRUE(control.Reset());
    }

    // Sends a command and tells how long the caller was kept waiting.
    Duration Timed(const std::string& text, bool* sent = nullptr)
    {
        const TimePoint start = MonotonicClock().Now();
        const bool result = SendConverterCommand(text.c_str());
        if (sent != nullptr) {
            *sent = result;
        }
        return MonotonicClock().Now() - start;
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
    std::unique_ptr<HidBus> bus = MakeWin32HidBus(MonotonicClock());
    VirtualConverterControl control;
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

// The converter unplugged while the link has it open: Wine removes the device under the open
// handle, and the link must fail its writes at once rather than hang. Each case removes the device
// itself and puts it back afterwards, so the fixture's device is there for whatever runs next.

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>

#include "converter/converter_commands.h"
#include "device_setup.h"
#include "virtual_converter_link.h"

using namespace std::chrono_literals;

namespace {

class VirtualConverterRemoval : public VirtualConverterLink {
protected:
    void TearDown() override
    {
        VirtualConverterLink::TearDown();
        std::string error;
        EXPECT_TRUE(InstallVirtualConverter(DriverBesideThisProgram(), error)) << error;
    }

    void Unplug()
    {
        control.Close();
        std::string error;
        ASSERT_TRUE(RemoveVirtualConverter(error)) << error;
    }
};

TEST_F(VirtualConverterRemoval, WritesFailAtOnceWhenTheDeviceIsGone)
{
    Open();
    ASSERT_EQ(Send(LevelCommand(0, 0x10)), CommandResult::Answered);
    Unplug();

    for (int channel = 0; channel < 3; ++channel) {
        SCOPED_TRACE(channel);
        bool sent = true;
        const Duration took = Timed(LevelCommand(channel, 0x20), &sent);
        EXPECT_FALSE(sent);
        EXPECT_TRUE(TookLessThan(took, WRITE_TIMEOUT / 2)) << "the write failed rather than running into its deadline";
    }
    EXPECT_TRUE(hookCalls.empty()) << "a failed write is no failed read";
    EXPECT_EQ(listener.lostCount, 1) << "the first failed write found the converter gone";
    EXPECT_FALSE(link->Present());
}

TEST_F(VirtualConverterRemoval, ALinkOpenedAfterTheDeviceWentFindsNoConverter)
{
    Unplug();
    link->OpenConverter();
    EXPECT_FALSE(link->Present());
    EXPECT_EQ(temp.Log().substr(temp.Log().rfind("Valid Device")), "Valid Device was not found\r\n");
    EXPECT_EQ(Send(LevelCommand(0, 0x10)), CommandResult::NotPresent) << "without a converter nothing is sent";
}

TEST_F(VirtualConverterRemoval, AReplyAwaitedWhenTheDeviceGoesEndsBeforeItsDeadlineAsALossWithoutABox)
{
    Open();
    // The device would answer in three seconds; it is taken away a moment into the wait.
    ASSERT_TRUE(control.SetFault(ReplyFault{ReplyShape::Normal, 3000, 0, 1}));
    control.Close();
    std::string removeError;
    bool removed = false;
    std::thread unplug([&] {
        std::this_thread::sleep_for(200ms);
        removed = RemoveVirtualConverter(removeError);
    });
    const TimePoint start = clock.Now();
    const CommandResult result = Send(LevelCommand(0, 0x30));
    const Duration took = clock.Now() - start;
    unplug.join();
    ASSERT_TRUE(removed) << removeError;

    EXPECT_EQ(result, CommandResult::Lost) << "the write went out; the read failed with the device";
    EXPECT_TRUE(TookAtLeast(took, 200ms));
    EXPECT_TRUE(TookLessThan(took, REPLY_TIMEOUT)) << "the pending read failed with the device";
    EXPECT_TRUE(hookCalls.empty()) << "a loss, not a failed read";
    EXPECT_EQ(listener.lostCount, 1);
    EXPECT_FALSE(link->Present());
    EXPECT_EQ(Send(LevelCommand(0, 0x31)), CommandResult::NotPresent);
}

}  // namespace

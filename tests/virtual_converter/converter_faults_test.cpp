// A converter that misbehaves, met on the real overlapped path: deadlines that cancel pending
// reads, the short budget of a silent converter, replies in odd shapes, and late replies that
// must never answer the next command.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "converter/converter_commands.h"
#include "virtual_converter_link.h"

using namespace std::chrono_literals;

namespace {

// A deadline that passed: the exchange waited REPLY_TIMEOUT, give or take the platform's timer.
constexpr Duration TIMED_OUT_AT_LEAST = REPLY_TIMEOUT - 50ms;
constexpr Duration TIMED_OUT_AT_MOST = REPLY_TIMEOUT + 1s;

ReplyFault Shape(ReplyShape shape, std::uint16_t delayMs = 0, std::uint16_t gapMs = 0, std::uint8_t parts = 1)
{
    ReplyFault fault;
    fault.shape = shape;
    fault.delayMs = delayMs;
    fault.gapMs = gapMs;
    fault.parts = parts;
    return fault;
}

class VirtualConverterFaults : public VirtualConverterLink {
protected:
    // Waits until the device has sent every reply it holds.
    bool AllRepliesOut(Duration within)
    {
        const TimePoint end = clock.Now() + within;
        while (clock.Now() < end) {
            const auto device = control.Read();
            if (device && device->reportsWaiting == 0) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
};

TEST_F(VirtualConverterFaults, ASilentConverterFailsTheFirstExchangeAfterTheDeadlineAndTheRestWithinTheBudget)
{
    Open();
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::Silent)));

    bool sent = false;
    const Duration first = Timed(LevelCommand(0, 0x10), &sent);
    EXPECT_TRUE(sent) << "the write went out; only the reply is missing";
    EXPECT_TRUE(TookAtLeast(first, TIMED_OUT_AT_LEAST));
    EXPECT_TRUE(TookLessThan(first, TIMED_OUT_AT_MOST));
    ASSERT_EQ(hookCalls.size(), 1u);
    EXPECT_TRUE(link->Silent());

    // A master movement: twelve exchanges, each cut short by the budget.
    const std::size_t hookCallsBefore = hookCalls.size();
    Duration twelve{};
    for (int channel = 0; channel < 12; ++channel) {
        SCOPED_TRACE(channel);
        const Duration one = Timed(LevelCommand(channel, 0x20), &sent);
        EXPECT_TRUE(sent);
        EXPECT_TRUE(TookLessThan(one, 250ms));
        twelve += one;
    }
    EXPECT_TRUE(TookLessThan(twelve, 1s));
    EXPECT_LE(hookCalls.size() - hookCallsBefore, 12u) << "at most one hook call per failed exchange";
    RecordProperty("twelve_silent_exchanges_ms",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(twelve).count()));
    RecordProperty("hook_calls_in_twelve_silent_exchanges", static_cast<int>(hookCalls.size() - hookCallsBefore));
    EXPECT_EQ(Snapshot().commandsReceived, 13u) << "every command was written all the same";
}

TEST_F(VirtualConverterFaults, ASilentConverterIsTakenBackOnceItAnswers)
{
    Open();
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::Silent)));
    Timed(LevelCommand(0, 0x10));
    ASSERT_TRUE(link->Silent());

    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::Normal)));
    // The first answer may come in just behind the budget; the next exchange then finds it.
    int exchanges = 0;
    while (link->Silent() && exchanges < 3) {
        Send(LevelCommand(1, 0x21 + exchanges));
        ++exchanges;
    }
    EXPECT_FALSE(link->Silent()) << "after " << exchanges << " exchanges";

    // Back to the full deadline: a reply slower than the budget is waited for.
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::Normal, 200)));
    const std::size_t hookCallsBefore = hookCalls.size();
    bool sent = false;
    const Duration took = Timed(LevelCommand(2, 0x22), &sent);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(TookAtLeast(took, 200ms));
    EXPECT_TRUE(TookLessThan(took, REPLY_TIMEOUT));
    EXPECT_EQ(hookCalls.size(), hookCallsBefore);
    EXPECT_EQ(Snapshot().levels[2], 0x22);
}

TEST_F(VirtualConverterFaults, ASlowReplyWithinTheDeadlineIsWaitedFor)
{
    Open();
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::Normal, 400)));
    bool sent = false;
    const Duration took = Timed(LevelCommand(5, 0x55), &sent);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(TookAtLeast(took, 400ms));
    EXPECT_TRUE(TookLessThan(took, REPLY_TIMEOUT));
    EXPECT_TRUE(hookCalls.empty());
    EXPECT_FALSE(link->Silent());
}

TEST_F(VirtualConverterFaults, AReplySpreadOverSeveralReportsIsReadToItsLastReport)
{
    Open();
    // Four reports 60 ms apart: an exchange that ended before the last one stopped short.
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::Spread, 0, 60, 4)));
    bool sent = false;
    const Duration took = Timed(LevelCommand(3, 0x33), &sent);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(TookAtLeast(took, 3 * 60ms));
    EXPECT_TRUE(TookLessThan(took, REPLY_TIMEOUT));
    EXPECT_TRUE(hookCalls.empty());
    const ConverterSnapshot device = Snapshot();
    EXPECT_EQ(device.reportsDelivered, 4u);
    EXPECT_EQ(device.levels[3], 0x33);
}

TEST_F(VirtualConverterFaults, ALengthByteBeyondTheReportStillShowsThePromptInside)
{
    Open();
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::LengthTooLarge)));
    bool sent = false;
    const Duration took = Timed(LevelCommand(6, 0x66), &sent);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(TookLessThan(took, REPLY_TIMEOUT / 2));
    EXPECT_TRUE(hookCalls.empty());
    EXPECT_FALSE(link->Silent());
}

TEST_F(VirtualConverterFaults, ANegativeLengthByteHidesThePrompt)
{
    Open();
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::LengthNegative)));
    bool sent = false;
    const Duration took = Timed(LevelCommand(7, 0x77), &sent);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(TookAtLeast(took, TIMED_OUT_AT_LEAST));
    EXPECT_TRUE(TookLessThan(took, TIMED_OUT_AT_MOST));
    EXPECT_EQ(hookCalls.size(), 1u);
    EXPECT_TRUE(link->Silent());
}

TEST_F(VirtualConverterFaults, AReportWithANegativeLengthIsPassedOverForTheReplyBehindIt)
{
    Open();
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::NegativeThenReply, 0, 150)));
    bool sent = false;
    const Duration took = Timed(LevelCommand(8, 0x88), &sent);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(TookAtLeast(took, 150ms)) << "the exchange waited for the report with the readable prompt";
    EXPECT_TRUE(TookLessThan(took, REPLY_TIMEOUT));
    EXPECT_TRUE(hookCalls.empty());
}

TEST_F(VirtualConverterFaults, APromptSplitAcrossTwoReportsIsNotRecognised)
{
    Open();
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::SplitPrompt)));
    bool sent = false;
    const Duration took = Timed(LevelCommand(9, 0x99), &sent);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(TookAtLeast(took, TIMED_OUT_AT_LEAST));
    EXPECT_TRUE(TookLessThan(took, TIMED_OUT_AT_MOST));
    ASSERT_EQ(hookCalls.size(), 1u);
    EXPECT_EQ(Snapshot().reportsDelivered, 2u) << "both halves were there to be read";
}

TEST_F(VirtualConverterFaults, ALateReplyNeverAnswersTheNextCommand)
{
    Open();
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::Normal, 1500)));
    const Duration first = Timed(LevelCommand(0, 0x01));
    EXPECT_TRUE(TookAtLeast(first, TIMED_OUT_AT_LEAST));
    ASSERT_EQ(hookCalls.size(), 1u);
    ASSERT_TRUE(AllRepliesOut(2s)) << "the late reply never came";

    // The late reply now sits in the link's input queue. The next command must wait for its own.
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::Normal, 300)));
    bool sent = false;
    const Duration second = Timed(LevelCommand(0, 0x02), &sent);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(TookAtLeast(second, 300ms)) << "the late reply was taken as the answer";
    EXPECT_TRUE(TookLessThan(second, REPLY_TIMEOUT));
    EXPECT_EQ(hookCalls.size(), 1u);
    EXPECT_FALSE(link->Silent());
    EXPECT_EQ(RecentCommands(2), (std::vector<std::string>{"W 0 1", "W 0 2"}));
    EXPECT_EQ(Snapshot().levels[0], 0x02);
}

// Under Wine 8, hidclass.sys refuses IOCTL_HID_FLUSH_QUEUE, so the adapter reads the stray report
// off itself; otherwise it would answer the next command at once.
TEST_F(VirtualConverterFaults, InputLeftBehindAPromptNeverAnswersTheNextCommand)
{
    Open();
    // The reply's prompt ends the exchange; a report with another prompt follows it at once.
    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::StrayPrompt)));
    bool sent = false;
    EXPECT_TRUE(TookLessThan(Timed(LevelCommand(1, 0x01), &sent), REPLY_TIMEOUT / 2));
    EXPECT_TRUE(sent);
    ASSERT_TRUE(AllRepliesOut(1s));
    EXPECT_EQ(Snapshot().reportsDelivered, 2u);

    ASSERT_TRUE(control.SetFault(Shape(ReplyShape::Normal, 300)));
    const Duration second = Timed(LevelCommand(1, 0x02), &sent);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(TookAtLeast(second, 300ms)) << "the stray prompt was taken as the answer";
    EXPECT_TRUE(hookCalls.empty());
}

}  // namespace

// The command channel over the simulated converter on a simulated clock: framing on the wire,
// every fault, and every deadline.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "converter/converter_commands.h"
#include "converter/converter_link.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_hid_bus.h"
#include "noted_link.h"
#include "temp_folder.h"

using namespace std::chrono_literals;

namespace {

class ConverterLinkTest : public ::testing::Test {
protected:
    void SetUp() override { PopulateTypicalBus(bus, converter); }

    void Open()
    {
        link->OpenConverter();
        ASSERT_TRUE(link->Present());
        converter->ClearHistory();
    }

    // A link of its own, as a fresh start of the console would have.
    void StartAfresh() { link.emplace(bus, clock, listener, temp.LogPath()); }

    // Sends a command and tells how long it kept the caller waiting.
    Duration Timed(const std::string& text, CommandResult* result = nullptr)
    {
        const TimePoint start = clock.Now();
        const CommandResult sent = link->SendConverterCommand(text);
        if (result != nullptr) {
            *result = sent;
        }
        return clock.Now() - start;
    }

    TempFolder temp;
    ManualClock clock;
    SimulatedHidBus bus;
    std::shared_ptr<SimulatedConverter> converter = std::make_shared<SimulatedConverter>(clock);
    NewsLog listener;
    std::optional<NotedLink> link{std::in_place, bus, clock, listener, temp.LogPath()};
    std::vector<LinkNews>& shownBoxes = listener.readFailures;
};

TEST_F(ConverterLinkTest, OpensTheConverterSizesItAndSendsIdentify)
{
    link->OpenConverter();
    EXPECT_TRUE(link->Present());
    ASSERT_EQ(converter->History().size(), 1u);
    EXPECT_EQ(converter->History()[0].command, "I");
    EXPECT_EQ(converter->FramingErrors(), 0);
    EXPECT_EQ(converter->QueuedReports(), 0u) << "the reply to I was read up to its prompt";
}

TEST_F(ConverterLinkTest, WithoutAConverterNothingIsSentAndCommandsSucceed)
{
    bus.interfaces.pop_back();
    link->OpenConverter();
    EXPECT_FALSE(link->Present());
    EXPECT_EQ(link->SendConverterCommand("W 0 FF"), CommandResult::NotPresent);
    EXPECT_EQ(converter->ExchangeCount(), 0u);
}

TEST_F(ConverterLinkTest, AConverterThatCannotCarryTheCommandsCountsAsAbsent)
{
    struct Case {
        const char* what;
        std::uint16_t in;
        std::uint16_t out;
        bool capabilitiesFail;
        bool present;
    } cases[] = {
        {"typical", 65, 65, false, true},
        {"smallest output report", 6, 10, false, true},
        {"output report too short for W B FF", 65, 9, false, false},
        {"input report too short for a prompt", 5, 65, false, false},
        {"capabilities unreadable", 65, 65, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartAfresh();
        auto device = std::make_shared<SimulatedConverter>(clock, c.in, c.out);
        PopulateTypicalBus(bus, device);
        bus.interfaces[1].fault = c.capabilitiesFail ? SearchFault::Capabilities : SearchFault::None;
        link->OpenConverter();
        EXPECT_EQ(link->Present(), c.present);
        EXPECT_EQ(device->ExchangeCount(), c.present ? 1u : 0u);
        EXPECT_EQ(bus.HandlesOpen(), c.present ? 1 : 0) << "a refused converter is closed again";
        EXPECT_EQ(link->SendConverterCommand("W 0 1"),
                  c.present ? CommandResult::Answered : CommandResult::NotPresent);
    }
}

TEST_F(ConverterLinkTest, CommandsReachTheConverter)
{
    Open();
    EXPECT_EQ(link->SendConverterCommand(LevelCommand(2, 0x80)), CommandResult::Answered);
    EXPECT_EQ(link->SendConverterCommand(LevelCommand(11, 255)), CommandResult::Answered);
    EXPECT_EQ(link->SendConverterCommand(StorePresetCommand(7)), CommandResult::Answered);
    EXPECT_EQ(converter->Levels()[2], 0x80);
    EXPECT_EQ(converter->Levels()[11], 0xFF);
    ASSERT_EQ(converter->Presets().count(7), 1u);
    EXPECT_EQ(converter->Presets().at(7)[2], 0x80);
    EXPECT_EQ(converter->FramingErrors(), 0);
    EXPECT_TRUE(shownBoxes.empty());
}

TEST_F(ConverterLinkTest, ATextTooLongForTheReportIsNotSent)
{
    Open();
    EXPECT_EQ(link->SendConverterCommand(std::string(62, 'x')), CommandResult::TooLong);
    EXPECT_TRUE(converter->History().empty());
    EXPECT_EQ(link->SendConverterCommand(std::string(61, 'x')), CommandResult::Answered);
}

// One reply made of every kind of report the converter might send: reading must stop at the
// first report whose own payload holds the prompt, and nothing else counts as one.
TEST_F(ConverterLinkTest, ReadingStopsAtTheFirstReportThatHoldsThePrompt)
{
    Open();
    auto raw = [](std::vector<std::uint8_t> head) {
        head.resize(TYPICAL_REPORT_LENGTH, 0);
        return head;
    };
    converter->ScriptNextReply({
        raw({0, 0, 7, 'g', 'a', 'r', 'b', 'a', 'g', 'e'}),        // no prompt
        raw({0, 0, 0xF0, 0x0D, 0x0A, 0x3E}),                       // negative length hides a prompt
        raw({0, 0, 3, 'a', 0x0D, 0x0A, 0x3E}),                      // length ends before the prompt
        raw({0, 0, 5, 'x', 0x00, 0x0D, 0x0A, 0x3E}),                // a zero byte hides it
        raw({0, 0, 4, 'W', ' ', 0x0D, 0x0A}),                       // first half of a split prompt
        raw({0, 0, 1, 0x3E}),                                       // ... and its second half
        raw({0, 0, 0x7F, 'W', ' ', '5', 0x0D, 0x0A, 0x3E}),         // too long a length, clamped: the prompt
        raw({0, 0, 3, 0x0D, 0x0A, 0x3E}),                           // never read
        raw({0, 0, 2, 'z', 'z'}),                                   // never read
    });
    CommandResult sent{};
    const Duration waited = Timed("W 5 10", &sent);
    EXPECT_EQ(sent, CommandResult::Answered);
    EXPECT_EQ(converter->QueuedReports(), 2u);
    EXPECT_TRUE(shownBoxes.empty());
    EXPECT_EQ(waited, 0ns);
    // What was left behind is stale: the next command reads its own reply.
    converter->faults.latency = 3ms;
    EXPECT_EQ(Timed("W 5 11"), 3ms);
    EXPECT_EQ(converter->QueuedReports(), 0u);
}

TEST_F(ConverterLinkTest, ReplyShapesThatCarryThePrompt)
{
    for (ReplyShape shape : {ReplyShape::SeveralReports, ReplyShape::LengthTooLarge, ReplyShape::LengthNegative}) {
        SCOPED_TRACE(static_cast<int>(shape));
        Open();
        converter->faults.shape = shape;
        CommandResult sent{};
        EXPECT_EQ(Timed("W 4 44", &sent), 0ns);
        EXPECT_EQ(sent, CommandResult::Answered);
        EXPECT_EQ(converter->Levels()[4], 0x44);
        EXPECT_EQ(converter->QueuedReports(), 0u);
        EXPECT_TRUE(shownBoxes.empty());
        converter->faults = {};
        StartAfresh();
    }
}

TEST_F(ConverterLinkTest, AReplyWithoutAWholePromptIsAFailedReadAfterOneSecond)
{
    for (ReplyShape shape : {ReplyShape::SplitPrompt, ReplyShape::NoPrompt}) {
        SCOPED_TRACE(static_cast<int>(shape));
        Open();
        shownBoxes.clear();
        converter->faults.shape = shape;
        CommandResult sent{};
        EXPECT_EQ(Timed("W 4 44", &sent), REPLY_TIMEOUT);
        EXPECT_EQ(sent, CommandResult::ReadFailed) << "the report went out; its reply did not come";
        EXPECT_EQ(shownBoxes.size(), 1u);
        converter->faults = {};
        StartAfresh();
    }
}

TEST_F(ConverterLinkTest, AConverterThatNeverStopsTalkingIsAFailedReadAfterOneSecond)
{
    Open();
    converter->faults.babbles = true;
    CommandResult sent{};
    const Duration waited = Timed("W 4 44", &sent);
    EXPECT_GE(waited, REPLY_TIMEOUT);
    EXPECT_LE(waited, REPLY_TIMEOUT + std::chrono::milliseconds(1));
    EXPECT_EQ(sent, CommandResult::ReadFailed);
    EXPECT_EQ(shownBoxes.size(), 1u);
    // It is taken as silent: the next exchange has the short budget.
    EXPECT_LE(Timed("W 4 45"), SILENT_EXCHANGE_BUDGET + std::chrono::milliseconds(1));
}

TEST_F(ConverterLinkTest, AFailedReadShowsTheBoxAndTheCommandCountsAsDone)
{
    Open();
    converter->faults.readFails = true;
    EXPECT_EQ(link->SendConverterCommand("W 1 1"), CommandResult::ReadFailed);
    EXPECT_EQ(link->SendConverterCommand("W 1 2"), CommandResult::ReadFailed);
    EXPECT_EQ(shownBoxes.size(), 2u) << "every failed read shows the box";
    const std::string searched = LogText({"Index=1, Valid Device found"});
    EXPECT_EQ(temp.Log().substr(temp.Log().find(searched) + searched.size()),
              LogText({"Comm error, Error=31, ReadFile failed"}))
        << "the first failure goes behind the search's lines, with its call and code";
    EXPECT_EQ(converter->Levels()[1], 2);
}

TEST_F(ConverterLinkTest, AFailedWriteIsSilentAndReadsNothing)
{
    Open();
    converter->faults.writeFails = true;
    CommandResult sent{};
    EXPECT_EQ(Timed("W 1 1", &sent), 0ns);
    EXPECT_EQ(sent, CommandResult::WriteFailed);
    EXPECT_EQ(Timed("W 1 2", &sent), 0ns);
    EXPECT_NE(temp.Log().find(LogText({"Valid Device found", "Comm error, Error=31, WriteFile failed"})),
              std::string::npos);
    converter->faults.writeFails = false;
    EXPECT_EQ(link->SendConverterCommand("W 1 3"), CommandResult::Answered);
    converter->faults.silent = true;
    EXPECT_EQ(link->SendConverterCommand("W 1 4"), CommandResult::ReadFailed);
    EXPECT_NE(temp.Log().find(LogText({"WriteFile failed", "Comm error, no reply in time"})), std::string::npos)
        << "one line a failure, until the converter answers again";
    EXPECT_EQ(shownBoxes.size(), 1u) << "only the silence shows the box";
    EXPECT_EQ(converter->History().size(), 2u) << "nothing of the failed writes arrived";
}

TEST_F(ConverterLinkTest, AWriteThatNeverCompletesFailsAfterOneSecond)
{
    Open();
    converter->faults.writeHangs = true;
    CommandResult sent{};
    EXPECT_EQ(Timed("W 1 1", &sent), WRITE_TIMEOUT);
    EXPECT_EQ(sent, CommandResult::WriteTimedOut);
    EXPECT_TRUE(shownBoxes.empty());
    // The converter is now taken as silent: the next write gets the short budget.
    EXPECT_EQ(Timed("W 1 1", &sent), SILENT_EXCHANGE_BUDGET);
}

TEST_F(ConverterLinkTest, AZeroByteReadEndsTheCommandQuietlyAndItsReplyIsDiscarded)
{
    Open();
    converter->faults.zeroByteRead = true;
    EXPECT_EQ(link->SendConverterCommand("W 3 30"), CommandResult::ReadEmpty);
    EXPECT_TRUE(shownBoxes.empty());
    EXPECT_EQ(converter->QueuedReports(), 1u) << "the reply is still queued";
    // The next command is answered by its own reply, not by the one left behind.
    converter->faults.latency = 2ms;
    EXPECT_EQ(Timed("W 3 31"), 2ms);
    EXPECT_EQ(converter->QueuedReports(), 0u);
}

TEST_F(ConverterLinkTest, ASilentConverterCostsAtMost250MsPerTwelveExchangesAfterTheFirstTimeOut)
{
    Open();
    converter->faults.silent = true;
    EXPECT_EQ(Timed("W 0 0"), REPLY_TIMEOUT);
    EXPECT_EQ(shownBoxes.size(), 1u);

    for (int round = 0; round < 3; ++round) {
        Duration twelve{};
        for (int channel = 0; channel < 12; ++channel) {
            const Duration one = Timed(LevelCommand(channel, 200));
            EXPECT_LE(one, SILENT_EXCHANGE_BUDGET);
            twelve += one;
        }
        EXPECT_LE(twelve, 250ms);
    }

    // The converter answers again, but slower than the short budget: its late replies show it is
    // back, and no exchange times out after that.
    converter->faults.silent = false;
    converter->faults.latency = 30ms;
    shownBoxes.clear();
    for (int channel = 0; channel < 12; ++channel) {
        EXPECT_LE(Timed(LevelCommand(channel, 200)), 30ms) << channel;
    }
    EXPECT_LE(shownBoxes.size(), 1u);
    for (int channel = 0; channel < 12; ++channel) {
        EXPECT_EQ(converter->Levels()[static_cast<std::size_t>(channel)], 200) << channel;
    }
    // After a pause, a command waits exactly for its own reply.
    clock.Advance(1s);
    EXPECT_EQ(Timed("W 0 7"), 30ms);
    EXPECT_EQ(converter->QueuedReports(), 0u);
    EXPECT_LE(shownBoxes.size(), 1u);
}

TEST_F(ConverterLinkTest, TheConsoleHearsOnceWhenTheConverterAnswersAgain)
{
    const int& resends = listener.backCount;
    Open();
    link->SendConverterCommand("W 0 1");
    EXPECT_EQ(resends, 0) << "not while it answers";
    converter->faults.silent = true;
    link->SendConverterCommand("W 0 2");
    link->SendConverterCommand("W 0 3");
    EXPECT_EQ(resends, 0) << "not while it is silent";
    converter->faults.silent = false;
    link->SendConverterCommand("W 0 4");
    EXPECT_EQ(resends, 1);
    link->SendConverterCommand("W 0 5");
    EXPECT_EQ(resends, 1) << "only on the change";
}

TEST_F(ConverterLinkTest, ALateReplyNeverAnswersTheNextCommand)
{
    Open();
    converter->faults.latency = 1500ms;
    EXPECT_EQ(Timed("W 0 1"), REPLY_TIMEOUT);
    ASSERT_EQ(converter->QueuedReports(), 1u);
    clock.Advance(1s);  // the late reply is in by now

    converter->faults.latency = 5ms;
    EXPECT_EQ(Timed("W 0 2"), 5ms) << "the command waited for its own reply";
    EXPECT_EQ(converter->QueuedReports(), 0u);
    EXPECT_EQ(shownBoxes.size(), 1u);
    // And the link is back to its full deadline.
    converter->faults.latency = 500ms;
    EXPECT_EQ(Timed("W 0 3"), 500ms);
    EXPECT_EQ(shownBoxes.size(), 1u);
}

TEST_F(ConverterLinkTest, ASilenceIsNewsOnceUntilTheConverterAnswersAgain)
{
    Open();
    converter->faults.silent = true;
    EXPECT_EQ(link->SendConverterCommand("W 0 0"), CommandResult::ReadFailed);
    EXPECT_EQ(link->SendConverterCommand("W 0 0"), CommandResult::ReadFailed);
    EXPECT_EQ(listener.silences, 1);
    // The converter answers, then falls silent again: that is a new silence.
    converter->faults.silent = false;
    EXPECT_EQ(link->SendConverterCommand("W 0 1"), CommandResult::Answered);
    converter->faults.silent = true;
    EXPECT_EQ(link->SendConverterCommand("W 0 2"), CommandResult::ReadFailed);
    EXPECT_EQ(listener.silences, 2);
}

}  // namespace

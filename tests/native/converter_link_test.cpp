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
#include "temp_folder.h"

using namespace std::chrono_literals;

namespace {

struct ShownBox {
    std::string text;
    std::string caption;
};
std::vector<ShownBox> shownBoxes;
// What the error box does while it is open: commands sent from its message loop.
void (*whileBoxOpen)() = nullptr;

void RecordBox(const char* text, const char* caption)
{
    shownBoxes.push_back({text, caption});
    if (whileBoxOpen != nullptr) {
        whileBoxOpen();
    }
}

class ConverterLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDiscoveryLog();
        TheConverter() = ConverterState{};
        shownBoxes.clear();
        whileBoxOpen = nullptr;
        PopulateTypicalBus(bus, converter);
        UseConverterPlatform(bus, clock, RecordBox);
    }
    void TearDown() override
    {
        TheConverter() = ConverterState{};
        ResetDiscoveryLog();
    }

    void Open()
    {
        OpenConverter();
        ASSERT_TRUE(TheConverter().present);
        converter->ClearHistory();
    }

    // Sends a command and tells how long it kept the caller waiting.
    Duration Timed(const std::string& text, bool* result = nullptr)
    {
        const TimePoint start = clock.Now();
        const bool sent = SendConverterCommand(text.c_str());
        if (result != nullptr) {
            *result = sent;
        }
        return clock.Now() - start;
    }

    TempFolder temp;
    ManualClock clock;
    SimulatedHidBus bus;
    std::shared_ptr<SimulatedConverter> converter = std::make_shared<SimulatedConverter>(clock);
};

TEST_F(ConverterLink, OpensTheConverterSizesItAndSendsIdentify)
{
    OpenConverter();
    const ConverterState& state = TheConverter();
    EXPECT_TRUE(state.present);
    EXPECT_EQ(state.inReportLength, 65);
    EXPECT_EQ(state.outReportLength, 65u);
    ASSERT_EQ(converter->History().size(), 1u);
    EXPECT_EQ(converter->History()[0].command, "I");
    EXPECT_EQ(converter->FramingErrors(), 0);
    EXPECT_EQ(converter->QueuedReports(), 0u) << "the reply to I was read up to its prompt";
}

TEST_F(ConverterLink, WithoutAConverterNothingIsSentAndCommandsSucceed)
{
    bus.interfaces.pop_back();
    OpenConverter();
    EXPECT_FALSE(TheConverter().present);
    EXPECT_TRUE(SendConverterCommand("W 0 FF"));
    EXPECT_EQ(converter->ExchangeCount(), 0u);
}

TEST_F(ConverterLink, AConverterThatCannotCarryTheCommandsCountsAsAbsent)
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
        ResetDiscoveryLog();
        TheConverter() = ConverterState{};
        UseConverterPlatform(bus, clock, RecordBox);
        auto device = std::make_shared<SimulatedConverter>(clock, c.in, c.out);
        PopulateTypicalBus(bus, device);
        bus.interfaces[1].fault = c.capabilitiesFail ? SearchFault::Capabilities : SearchFault::None;
        OpenConverter();
        EXPECT_EQ(TheConverter().present, c.present);
        EXPECT_EQ(device->ExchangeCount(), c.present ? 1u : 0u);
        EXPECT_EQ(bus.HandlesOpen(), c.present ? 1 : 0) << "a refused converter is closed again";
        EXPECT_TRUE(SendConverterCommand("W 0 1"));
    }
}

TEST_F(ConverterLink, CommandsReachTheConverter)
{
    Open();
    EXPECT_TRUE(SendConverterCommand(LevelCommand(2, 0x80).c_str()));
    EXPECT_TRUE(SendConverterCommand(LevelCommand(11, 255).c_str()));
    EXPECT_TRUE(SendConverterCommand(StorePresetCommand(7).c_str()));
    EXPECT_EQ(converter->Levels()[2], 0x80);
    EXPECT_EQ(converter->Levels()[11], 0xFF);
    ASSERT_EQ(converter->Presets().count(7), 1u);
    EXPECT_EQ(converter->Presets().at(7)[2], 0x80);
    EXPECT_EQ(converter->FramingErrors(), 0);
    EXPECT_TRUE(shownBoxes.empty());
}

TEST_F(ConverterLink, ATextTooLongForTheReportIsNotSent)
{
    Open();
    EXPECT_FALSE(SendConverterCommand(std::string(62, 'x').c_str()));
    EXPECT_TRUE(converter->History().empty());
    EXPECT_TRUE(SendConverterCommand(std::string(61, 'x').c_str()));
}

// One reply made of every kind of report the converter might send: reading must stop at the
// first report whose own payload holds the prompt, and nothing else counts as one.
TEST_F(ConverterLink, ReadingStopsAtTheFirstReportThatHoldsThePrompt)
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
    bool sent = false;
    const Duration waited = Timed("W 5 10", &sent);
    EXPECT_TRUE(sent);
    EXPECT_EQ(converter->QueuedReports(), 2u);
    EXPECT_TRUE(shownBoxes.empty());
    EXPECT_EQ(waited, 0ns);
    // What was left behind is stale: the next command reads its own reply.
    converter->faults.latency = 3ms;
    EXPECT_EQ(Timed("W 5 11"), 3ms);
    EXPECT_EQ(converter->QueuedReports(), 0u);
}

TEST_F(ConverterLink, ReplyShapesThatCarryThePrompt)
{
    for (ReplyShape shape : {ReplyShape::SeveralReports, ReplyShape::LengthTooLarge, ReplyShape::LengthNegative}) {
        SCOPED_TRACE(static_cast<int>(shape));
        Open();
        converter->faults.shape = shape;
        bool sent = false;
        EXPECT_EQ(Timed("W 4 44", &sent), 0ns);
        EXPECT_TRUE(sent);
        EXPECT_EQ(converter->Levels()[4], 0x44);
        EXPECT_EQ(converter->QueuedReports(), 0u);
        EXPECT_TRUE(shownBoxes.empty());
        converter->faults = {};
        TheConverter() = ConverterState{};
        UseConverterPlatform(bus, clock, RecordBox);
        ResetDiscoveryLog();
    }
}

TEST_F(ConverterLink, AReplyWithoutAWholePromptIsAFailedReadAfterOneSecond)
{
    for (ReplyShape shape : {ReplyShape::SplitPrompt, ReplyShape::NoPrompt}) {
        SCOPED_TRACE(static_cast<int>(shape));
        Open();
        shownBoxes.clear();
        converter->faults.shape = shape;
        bool sent = false;
        EXPECT_EQ(Timed("W 4 44", &sent), REPLY_TIMEOUT);
        EXPECT_TRUE(sent) << "a failed read still counts as sent";
        ASSERT_EQ(shownBoxes.size(), 1u);
        EXPECT_EQ(shownBoxes[0].text, "USB Comm error");
        EXPECT_EQ(shownBoxes[0].caption, "Error");
        converter->faults = {};
        TheConverter() = ConverterState{};
        UseConverterPlatform(bus, clock, RecordBox);
        ResetDiscoveryLog();
    }
}

TEST_F(ConverterLink, AConverterThatNeverStopsTalkingIsAFailedReadAfterOneSecond)
{
    Open();
    converter->faults.babbles = true;
    bool sent = false;
    const Duration waited = Timed("W 4 44", &sent);
    EXPECT_GE(waited, REPLY_TIMEOUT);
    EXPECT_LE(waited, REPLY_TIMEOUT + std::chrono::milliseconds(1));
    EXPECT_TRUE(sent);
    EXPECT_EQ(shownBoxes.size(), 1u);
    // It is taken as silent: the next exchange has the short budget.
    EXPECT_LE(Timed("W 4 45"), SILENT_EXCHANGE_BUDGET + std::chrono::milliseconds(1));
}

TEST_F(ConverterLink, AFailedReadShowsTheBoxAndTheCommandCountsAsDone)
{
    Open();
    converter->faults.readFails = true;
    EXPECT_TRUE(SendConverterCommand("W 1 1"));
    EXPECT_TRUE(SendConverterCommand("W 1 2"));
    EXPECT_EQ(shownBoxes.size(), 2u) << "every failed read shows the box";
    EXPECT_EQ(converter->Levels()[1], 2);
}

TEST_F(ConverterLink, AFailedWriteIsSilentAndReadsNothing)
{
    Open();
    converter->faults.writeFails = true;
    bool sent = true;
    EXPECT_EQ(Timed("W 1 1", &sent), 0ns);
    EXPECT_FALSE(sent);
    EXPECT_TRUE(shownBoxes.empty());
    EXPECT_TRUE(converter->History().empty());
}

TEST_F(ConverterLink, AWriteThatNeverCompletesFailsAfterOneSecond)
{
    Open();
    converter->faults.writeHangs = true;
    bool sent = true;
    EXPECT_EQ(Timed("W 1 1", &sent), WRITE_TIMEOUT);
    EXPECT_FALSE(sent);
    EXPECT_TRUE(shownBoxes.empty());
    // The converter is now taken as silent: the next write gets the short budget.
    EXPECT_EQ(Timed("W 1 1", &sent), SILENT_EXCHANGE_BUDGET);
}

TEST_F(ConverterLink, AZeroByteReadEndsTheCommandQuietlyAndItsReplyIsDiscarded)
{
    Open();
    converter->faults.zeroByteRead = true;
    EXPECT_TRUE(SendConverterCommand("W 3 30"));
    EXPECT_TRUE(shownBoxes.empty());
    EXPECT_EQ(converter->QueuedReports(), 1u) << "the reply is still queued";
    // The next command is answered by its own reply, not by the one left behind.
    converter->faults.latency = 2ms;
    EXPECT_EQ(Timed("W 3 31"), 2ms);
    EXPECT_EQ(converter->QueuedReports(), 0u);
}

TEST_F(ConverterLink, ASilentConverterCostsAtMost250MsPerTwelveExchangesAfterTheFirstTimeOut)
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

TEST_F(ConverterLink, TheConsoleHearsOnceWhenTheConverterAnswersAgain)
{
    static int resends = 0;
    resends = 0;
    TheConverter().answeringAgain = [] { ++resends; };
    Open();
    SendConverterCommand("W 0 1");
    EXPECT_EQ(resends, 0) << "not while it answers";
    converter->faults.silent = true;
    SendConverterCommand("W 0 2");
    SendConverterCommand("W 0 3");
    EXPECT_EQ(resends, 0) << "not while it is silent";
    converter->faults.silent = false;
    SendConverterCommand("W 0 4");
    EXPECT_EQ(resends, 1);
    SendConverterCommand("W 0 5");
    EXPECT_EQ(resends, 1) << "only on the change";
}

TEST_F(ConverterLink, AReturnSeenFromInsideTheErrorBoxIsResentOnce)
{
    static int resends = 0;
    resends = 0;
    TheConverter().answeringAgain = [] { ++resends; };
    Open();
    converter->faults.silent = true;
    SendConverterCommand("W 0 1");  // the first time-out
    // The next command fails too; from inside its box a command finds the converter back.
    static std::shared_ptr<SimulatedConverter> device;
    device = converter;
    whileBoxOpen = [] {
        device->faults.silent = false;
        SendConverterCommand("W 0 2");
    };
    shownBoxes.clear();
    SendConverterCommand("W 0 3");
    EXPECT_EQ(shownBoxes.size(), 1u);
    EXPECT_EQ(resends, 1) << "one return, one resend";
    device.reset();
}

TEST_F(ConverterLink, ALateReplyNeverAnswersTheNextCommand)
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

TEST_F(ConverterLink, AtMostOneErrorBoxIsOpenWhileCommandsRunInsideIt)
{
    Open();
    converter->faults.silent = true;
    static int nested = 0;
    nested = 0;
    whileBoxOpen = [] {
        // A crossfade tick arriving through the box's message loop.
        for (int channel = 0; channel < 12; ++channel) {
            SendConverterCommand(LevelCommand(channel, 9).c_str());
            ++nested;
        }
    };
    EXPECT_TRUE(SendConverterCommand("W 0 0"));
    EXPECT_EQ(shownBoxes.size(), 1u);
    EXPECT_EQ(nested, 12);
    EXPECT_FALSE(TheConverter().commErrorShowing);
    // Once the box is closed, the next failure shows it again.
    whileBoxOpen = nullptr;
    EXPECT_TRUE(SendConverterCommand("W 0 0"));
    EXPECT_EQ(shownBoxes.size(), 2u);
}

}  // namespace

// The simulated converter's own behaviour, which the console's tests rely on.

#include <gtest/gtest.h>

#include <string>

#include "converter/report_framing.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_converter.h"

namespace {

class SimulatedConverterModel : public ::testing::Test {
protected:
    std::string Send(const std::string& text)
    {
        std::vector<std::uint8_t> report(converter.OutputReportLength());
        EXPECT_TRUE(FrameCommand(text, report.data(), report.size()));
        EXPECT_EQ(converter.Receive(report.data(), report.size(), clock.Now()), IoResult::Completed);
        std::string payload;
        std::vector<std::uint8_t> input(converter.InputReportLength());
        std::size_t got = 0;
        while (converter.QueuedReports() > 0 &&
               converter.Deliver(input.data(), input.size(), clock.Now(), got) == IoResult::Completed) {
            payload += std::string(ReportPayload(input.data(), got));
        }
        return payload;
    }

    ManualClock clock;
    SimulatedConverter converter{clock};
};

TEST_F(SimulatedConverterModel, KeepsLevelsAndPresets)
{
    EXPECT_EQ(Send("W B 80"), "W B 80\r\n>");
    EXPECT_EQ(Send("W 0 FF"), "W 0 FF\r\n>");
    EXPECT_EQ(Send("c0 7f\r"), "c0 7f\r\n>");
    EXPECT_EQ(converter.Levels()[11], 0x80);
    EXPECT_EQ(converter.Levels()[0], 0xFF);
    ASSERT_EQ(converter.Presets().count(127), 1u);
    EXPECT_EQ(converter.Presets().at(127), converter.Levels());
    EXPECT_EQ(converter.ExchangeCount(), 3u);
}

TEST_F(SimulatedConverterModel, RefusesWhatItDoesNotUnderstand)
{
    for (const char* text : {"W C 10", "W 1 100", "W 1", "W 1 2 3", "c0 80\r", "c0 0\r", "c0 5", "X"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Send(text), std::string(text) + "\r\n?\r\n>");
    }
    EXPECT_EQ(converter.Levels(), ChannelLevels{});
    EXPECT_TRUE(converter.Presets().empty());
}

TEST_F(SimulatedConverterModel, CountsReportsThatAreNotFramedAsItExpects)
{
    std::vector<std::uint8_t> report(converter.OutputReportLength(), 0);
    report[1] = 0x31;
    report[2] = 2;
    report[3] = 'I';
    report[4] = '\r';
    converter.Receive(report.data(), report.size(), clock.Now());
    EXPECT_EQ(converter.FramingErrors(), 1);
    report[1] = 0x30;
    report[10] = 'x';  // garbage behind the text
    converter.Receive(report.data(), report.size(), clock.Now());
    EXPECT_EQ(converter.FramingErrors(), 2);
}

TEST_F(SimulatedConverterModel, KeepsABoundedHistory)
{
    for (int i = 0; i < 300; ++i) {
        Send("W 1 1");
    }
    EXPECT_EQ(converter.History().size(), SimulatedConverter::HistoryLimit);
    EXPECT_EQ(converter.ExchangeCount(), 300u);
}

}  // namespace

#include "simulator/monitor_view.h"

namespace {

TEST(MonitorView, MakesControlCharactersVisible)
{
    EXPECT_EQ(VisibleText("c0 7\r"), "c0 7<CR>");
    EXPECT_EQ(VisibleText("a\r\nb"), "a<CR><LF>b");
    EXPECT_EQ(VisibleText(std::string("x\0y", 3)), "x<00>y");
    EXPECT_EQ(VisibleText("\x7F\xFF"), "<7F><FF>");
}

TEST(MonitorView, ShowsLevelsPresetsAndTheLastCommands)
{
    ManualClock clock;
    SimulatedConverter converter(clock);
    std::vector<std::uint8_t> report(converter.OutputReportLength());
    auto send = [&](const std::string& text) {
        FrameCommand(text, report.data(), report.size());
        converter.Receive(report.data(), report.size(), clock.Now());
    };
    send("W 0 FF");
    send("c0 3\r");
    converter.faults.silent = true;
    send("W 1 1");

    const MonitorView view = BuildMonitorView(converter);
    EXPECT_EQ(view.levels[0], 255);
    EXPECT_EQ(view.levels[1], 0) << "a silent converter does not act";
    EXPECT_EQ(view.presets, (std::vector<std::string>{"Preset 3: 255 0 0 0 0 0 0 0 0 0 0 0"}));
    EXPECT_EQ(view.commands, (std::vector<std::string>{"W 0 FF   -> W 0 FF<CR><LF>>", "c0 3<CR>   -> c0 3<CR><LF>>",
                                                       "W 1 1   (no reply)"}));
    EXPECT_EQ(view.summary, "3 commands, 1 preset stored");
}

TEST(MonitorView, KeepsItsListsShort)
{
    ManualClock clock;
    SimulatedConverter converter(clock);
    std::vector<std::uint8_t> report(converter.OutputReportLength());
    for (int preset = 1; preset <= 20; ++preset) {
        FrameCommand("c0 " + std::to_string(preset) + "\r", report.data(), report.size());
        converter.Receive(report.data(), report.size(), clock.Now());
    }
    const MonitorView view = BuildMonitorView(converter);
    ASSERT_EQ(view.presets.size(), MONITOR_PRESET_LINES);
    EXPECT_EQ(view.presets.back(), "... and 15 more");
    EXPECT_EQ(view.commands.size(), MONITOR_COMMAND_LINES);
    EXPECT_EQ(view.summary, "20 commands, 20 presets stored");
}

}  // namespace

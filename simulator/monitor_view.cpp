#include "simulator/monitor_view.h"

#include <cstdio>

std::string VisibleText(const std::string& text)
{
    std::string visible;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            visible += "<CR>";
        } else if (c == '\n') {
            visible += "<LF>";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "<%02X>", byte);
            visible += hex;
        } else {
            visible += c;
        }
    }
    return visible;
}

MonitorView BuildMonitorView(const SimulatedConverter& converter)
{
    MonitorView view;
    view.connected = converter.Connected();
    view.connection = view.connected ? "Converter: plugged in" : "Converter: unplugged";
    view.plugAction = view.connected ? "Unplug the converter" : "Plug the converter in";
    view.answering = !converter.faults.silent;
    view.replies = view.answering ? "Replies: answering" : "Replies: none, it is silent";
    view.silenceAction = view.answering ? "Make it fall silent" : "Let it answer again";
    view.levels = converter.Levels();

    const auto& presets = converter.Presets();
    std::size_t shown = 0;
    for (const auto& [number, levels] : presets) {
        if (shown == MONITOR_PRESET_LINES - 1 && presets.size() > MONITOR_PRESET_LINES) {
            view.presets.push_back("... and " + std::to_string(presets.size() - shown) + " more");
            break;
        }
        std::string line = "Preset " + std::to_string(number) + ":";
        for (const auto level : levels) {
            line += " " + std::to_string(level);
        }
        view.presets.push_back(line);
        ++shown;
    }

    const auto& history = converter.History();
    const std::size_t first = history.size() > MONITOR_COMMAND_LINES ? history.size() - MONITOR_COMMAND_LINES : 0;
    for (std::size_t i = first; i < history.size(); ++i) {
        const ConverterExchange& exchange = history[i];
        std::string line = VisibleText(exchange.command);
        line += exchange.reply.empty() ? "   (no reply)" : "   -> " + VisibleText(exchange.reply) + "<CR><LF>>";
        view.commands.push_back(line);
    }

    auto counted = [](std::size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    view.summary = counted(converter.ExchangeCount(), "command", "commands") + ", " +
                   counted(presets.size(), "preset stored", "presets stored");
    if (converter.FramingErrors() > 0) {
        view.summary += ", " + std::to_string(converter.FramingErrors()) + " badly framed reports";
    }
    return view;
}

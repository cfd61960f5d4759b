// quillon-cli slots: what this computer last sent to each song slot of each
// keyboard, read from the data folder's transfer log, as the Send File
// window's slot drop-down offers it.
#include "cli/Commands.h"

#include "base/core/DataFolders.h"
#include "transfer/core/SlotMap.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>

namespace quillon::cli {

namespace {

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

// The time in UTC for scripts ("2026-12-07T18:40:12Z"), or in the computer's own zone for people.
std::string timeText(transfer::WallClock::time_point when, bool utc)
{
    const std::time_t seconds = transfer::WallClock::to_time_t(when);
    std::tm parts{};
    char text[32] = "?";
    if (utc ? gmtime_r(&seconds, &parts) : localtime_r(&seconds, &parts))
        std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d %H:%M", &parts);
    return text;
}

std::string isoUtc(transfer::WallClock::time_point when) { return timeText(when, true); }
std::string localTime(transfer::WallClock::time_point when) { return timeText(when, false); }

// printf-style formatting into a string, so that everything goes through std::cout in order.
template <typename... Args>
std::string formatted(const char* format, Args... args)
{
    const int length = std::snprintf(nullptr, 0, format, args...);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.pop_back();
    return text;
}

std::string deviceName(const transfer::DeviceSlots& device)
{
    return device.device.empty() ? std::string("(not recorded)") : device.device;
}

void printJson(const transfer::SlotMap& map)
{
    std::cout << "{\"note\": " << jsonString(map.note) << ", \"devices\": [";
    for (std::size_t d = 0; d < map.devices.size(); ++d) {
        const auto& device = map.devices[d];
        std::cout << (d ? ", " : "") << "{\"device\": " << jsonString(device.device)
                  << ", \"romUpdate\": " << (device.romUpdate ? jsonString(isoUtc(*device.romUpdate)) : "null")
                  << ", \"slots\": [";
        bool first = true;
        for (const auto& [slot, content] : device.contents) {
            std::cout << (first ? "" : ", ") << "{\"slot\": " << slot << ", \"song\": " << jsonString(content.fileName)
                      << ", \"bytes\": " << content.bytes << ", \"date\": " << jsonString(isoUtc(content.when))
                      << ", \"known\": " << (content.known ? "true" : "false")
                      << ", \"result\": " << jsonString(transfer::resultWord(content.result))
                      << ", \"beforeRomUpdate\": " << (content.beforeRomUpdate ? "true" : "false")
                      << ", \"choice\": " << jsonString(transfer::slotChoiceText(slot, &device)) << "}";
            first = false;
        }
        std::cout << "]}";
    }
    std::cout << "]}\n";
}

void printTable(const transfer::SlotMap& map, const std::filesystem::path& log)
{
    std::cout << "What this computer sent (from " << log.string() << "); the keyboard itself cannot be asked.\n";
    if (map.devices.empty()) {
        if (map.note.empty()) // else the note on stderr says why nothing is shown
            std::cout << "No song has been sent from here yet.\n";
        return;
    }
    std::size_t width = 4;
    for (const auto& device : map.devices)
        for (const auto& [slot, content] : device.contents)
            width = std::max(width, content.fileName.size() + (content.known ? 0 : 14));
    std::cout << formatted("%-4s  %-*s  %12s  %-16s  %s\n", "SLOT", static_cast<int>(width), "SONG", "SIZE", "DATE",
                           "DEVICE");
    for (const auto& device : map.devices) {
        for (const auto& [slot, content] : device.contents) {
            const std::string song = content.known ? content.fileName
                                                   : "? (" + content.fileName + " " +
                                                         std::string(transfer::resultWord(content.result)) + ")";
            std::cout << formatted("%4d  %-*s  %12s  %-16s  %s%s\n", slot, static_cast<int>(width), song.c_str(),
                                   (std::to_string(content.bytes) + " B").c_str(), localTime(content.when).c_str(),
                                   deviceName(device).c_str(),
                                   content.beforeRomUpdate ? "  (a ROM update came later)" : "");
        }
        if (device.romUpdate)
            std::cout << formatted("%s: ROM updated %s; the keyboard's memory may have been reset then.\n",
                                   deviceName(device).c_str(), localTime(*device.romUpdate).c_str());
    }
}

} // namespace

void registerSlotCommands(CLI::App& app, CommandContext& context)
{
    auto json = std::make_shared<bool>(false);
    auto* command =
        app.add_subcommand("slots", "what this computer last sent to each keyboard song slot (from the transfer log)");
    command->add_flag("--json", *json, "print the map as JSON");
    command->callback([&context, json] {
        const auto log = transfer::transferLogPath(DataFolders());
        const auto map = transfer::readSlotMap(log);
        if (*json)
            printJson(map);
        else
            printTable(map, log);
        std::cout << std::flush;
        if (!map.note.empty()) {
            std::cerr << "quillon-cli: " << map.note << '\n';
            context.exitCode = 1;
        }
    });
}

} // namespace quillon::cli

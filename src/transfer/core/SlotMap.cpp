#include "transfer/core/SlotMap.h"

#include "midi/core/DevicePairing.h"

#include <algorithm>
#include <ctime>
#include <fstream>

namespace quillon::transfer {

namespace {

constexpr std::string_view kSeparator = " \xC2\xB7 "; // " · "

DeviceSlots& deviceOf(SlotMap& map, const std::string& device)
{
    for (DeviceSlots& known : map.devices)
        if (known.device == device)
            return known;
    map.devices.push_back({device, {}, std::nullopt});
    return map.devices.back();
}

// Neither was announced to the keyboard, so nothing of it reached a slot.
bool reachedKeyboard(const TransferRecord& record)
{
    return record.result != FileResult::Unreadable && record.result != FileResult::Refused;
}

void apply(SlotMap& map, const TransferRecord& record)
{
    if (!reachedKeyboard(record))
        return;
    DeviceSlots& device = deviceOf(map, record.device);
    if (!record.slot) {
        device.romUpdate = record.finished;
        for (auto& [slot, content] : device.contents)
            content.beforeRomUpdate = content.known;
        return;
    }
    device.contents[*record.slot] = {
        record.result == FileResult::Sent, record.fileName, record.bytes, record.finished, record.result, false};
}

} // namespace

const DeviceSlots* SlotMap::find(std::string_view device) const
{
    for (const DeviceSlots& known : devices)
        if (known.device == device)
            return &known;
    return nullptr;
}

const DeviceSlots* SlotMap::forOutput(const std::optional<std::string>& device) const
{
    if (device)
        return find(*device);
    return devices.size() == 1 ? &devices.front() : nullptr;
}

std::vector<int> SlotMap::slotsHolding(const DeviceSlots& device, std::string_view fileName)
{
    std::vector<int> slots;
    for (const auto& [slot, content] : device.contents)
        if (content.known && content.fileName == fileName)
            slots.push_back(slot);
    return slots;
}

std::string deviceIdentity(std::string_view portName)
{
    std::string device = midi::deviceOfPort(portName).device;
    return device.empty() ? std::string(portName) : device;
}

SlotMap buildSlotMap(std::istream& log)
{
    SlotMap map;
    std::string line;
    int number = 0;
    while (std::getline(log, line)) {
        ++number;
        if (line.empty())
            continue;
        const auto record = parseRecord(line);
        if (!record)
            return {{},
                    "Line " + std::to_string(number) +
                        " of the transfer log is damaged, so the slots are not shown: what they hold is not known."};
        apply(map, *record);
    }
    if (log.bad())
        return {{}, "The transfer log could not be read to the end, so the slots are not shown."};
    return map;
}

SlotMap readSlotMap(const std::filesystem::path& logFile)
{
    std::error_code error;
    if (!std::filesystem::exists(logFile, error) && !error)
        return {};
    std::ifstream log(logFile, std::ios::binary);
    if (!log)
        return {{}, "The transfer log \"" + logFile.string() + "\" cannot be read, so the slots are not shown."};
    return buildSlotMap(log);
}

std::string shortDate(WallClock::time_point when)
{
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t seconds = WallClock::to_time_t(when);
    std::tm parts{};
    if (!localtime_r(&seconds, &parts))
        return "?";
    return std::to_string(parts.tm_mday) + " " + kMonths[std::clamp(parts.tm_mon, 0, 11)];
}

std::string slotChoiceText(int slot, const DeviceSlots* device)
{
    std::string text = slotLabel(slot);
    if (!device)
        return text;
    const auto found = device->contents.find(slot);
    if (found == device->contents.end())
        return text;
    const SlotContent& content = found->second;
    text += std::string(kSeparator);
    if (!content.known)
        text += "not known: " + content.fileName + " " + std::string(resultWord(content.result));
    else
        text += content.fileName;
    text += std::string(kSeparator) + shortDate(content.when);
    if (content.beforeRomUpdate)
        text += " (then a ROM update)";
    return text;
}

std::string whereStoredText(const DeviceSlots& device, std::string_view fileName)
{
    std::string text;
    for (const int slot : SlotMap::slotsHolding(device, fileName)) {
        const SlotContent& content = device.contents.at(slot);
        text += (text.empty() ? "on the keyboard in slot " : ", in slot ") + std::to_string(slot) + " since " +
                shortDate(content.when);
        if (content.beforeRomUpdate)
            text += " (a ROM update since may have reset it)";
    }
    return text;
}

std::string_view slotChoiceLabel(std::string_view choice) { return choice.substr(0, choice.find(kSeparator)); }

} // namespace quillon::transfer

#include "cli/KeyboardStore.h"

#include "base/core/ReplaceFile.h"

#include <cstdio>
#include <iostream>

namespace quillon::keyboard_program {

namespace {

std::string slotFileName(int slot)
{
    char name[16];
    std::snprintf(name, sizeof name, "slot%02d.mid", slot);
    return name;
}

std::string curveText(const keyboard::CurveTable& table)
{
    std::string text;
    for (std::size_t i = 0; i < table.size(); ++i)
        text += std::to_string(int(table[i])) + ((i % 16 == 15) ? '\n' : ' ');
    return text;
}

} // namespace

Result<std::filesystem::path> KeyboardStore::store(const keyboard::KeyboardModel& model,
                                                   const keyboard::Reaction& reaction) const
{
    using keyboard::Stored;
    std::filesystem::path path;
    frame::Bytes content;
    switch (reaction.stored) {
    case Stored::Nothing: return std::filesystem::path();
    case Stored::Song:
        path = m_folder / slotFileName(reaction.slot);
        content = *model.song(reaction.slot);
        break;
    case Stored::Rom:
        path = m_folder / "rom.bin";
        content = *model.romImage();
        break;
    case Stored::Curve: {
        path = m_folder / "curve.txt";
        const std::string text = curveText(*model.curve());
        content.assign(text.begin(), text.end());
        break;
    }
    }
    if (auto written = base::replaceFile(path, content); !written)
        return fail(written.reason());
    return path;
}

std::optional<frame::Reply> storeThenReply(const KeyboardStore* store, const keyboard::KeyboardModel& model,
                                           const keyboard::Reaction& reaction)
{
    if (store) {
        const auto stored = store->store(model, reaction);
        if (!stored) {
            std::cerr << "quillon-keyboard: " << stored.reason() << "; not answering, the file is not stored\n";
            return std::nullopt;
        }
        if (!stored->empty())
            std::cout << "wrote " << stored->string() << std::endl;
    }
    return reaction.reply;
}

} // namespace quillon::keyboard_program

// quillon-cli list, crv-info and add: the data folder's lists in the order the
// windows show them, what a curve file holds (or why it is refused), and
// files brought into the data folder as a drop brings them.
#include "cli/Commands.h"
#include "cli/Output.h"

#include "base/core/DataFolders.h"
#include "base/core/DroppedFiles.h"
#include "base/core/FileListing.h"
#include "base/core/Messages.h"
#include "curve/core/CurveFile.h"
#include "curve/core/CurveMessage.h"
#include "transfer/core/FileIntake.h"

#include <iostream>
#include <memory>
#include <string>

namespace quillon::cli {

namespace {

template <typename Numbers>
std::string joined(const Numbers& numbers)
{
    std::string line;
    for (const auto value : numbers) {
        if (!line.empty())
            line += ' ';
        line += std::to_string(value);
    }
    return line;
}

void runList(const std::string& kind, CommandContext& context)
{
    const DataFolders folders;
    std::filesystem::path folder;
    std::string_view pattern;
    if (kind == "songs") {
        folder = folders.songFolder();
        pattern = DataFolders::kSongPattern;
    } else if (kind == "roms") {
        folder = folders.romFolder();
        pattern = DataFolders::kRomPattern;
    } else if (kind == "curves") {
        folder = folders.curveFolder();
        pattern = DataFolders::kCurvePattern;
    } else {
        reportBadInput(context, "list: \"" + kind + "\" is none of songs, roms, curves");
        return;
    }
    const listing::FileList list = listing::listFolder(folder, pattern);
    if (list.tooMany) {
        std::cerr << text::kTooManyFiles << '\n';
        context.exitCode = 1;
        return;
    }
    // A line break in a name would read as two entries.
    for (const auto& name : list.names)
        std::cout << escapeLineBreaks(name, true) << '\n';
}

void runCurveInfo(const std::string& file, CommandContext& context)
{
    const auto stored = curve::readCurveFile(file);
    if (!stored) {
        std::cout << "refused\t" << stored.reason() << '\n';
        context.exitCode = 1;
        return;
    }
    std::cout << "key-points x: " << joined(stored->points.x) << '\n';
    std::cout << "key-points y: " << joined(stored->points.y) << '\n';
    std::cout << "table: " << joined(stored->table) << '\n';

    // Two things worth knowing about a stored table, which is sent as it is.
    if (const auto message = curve::buildCurveMessage(stored->table); !message)
        std::cout << "note: " << message.reason() << '\n';
    const curve::Table computed = curve::computeCurveTable(stored->points);
    for (std::size_t v = 0; v < computed.size(); ++v) {
        if (computed[v] != stored->table[v]) {
            std::cout << "note: the stored table differs from the key-points' table from entry " << v << " on ("
                      << stored->table[v] << " stored, " << computed[v] << " computed)\n";
            break;
        }
    }
}

// What a drop onto the main window does, file by file: each copied only when
// it is of its kind; a taken name replaced with --replace, else both kept.
void runAdd(const std::vector<std::string>& files, bool replace, CommandContext& context)
{
    const DataFolders folders;
    for (const std::string& file : files) {
        auto plan = base::planDrop(folders, file, [replace] { return replace; });
        Result<transfer::TakenIn> taken = plan ? (*plan ? transfer::takeIn(**plan) : transfer::TakenIn{})
                                               : Result<transfer::TakenIn>(fail(plan.reason()));
        if (!taken) {
            std::cerr << "quillon-cli: add: " << escapeLineBreaks(file, true) << ": " << taken.reason() << '\n';
            context.exitCode = 1;
        } else if (*plan) {
            std::cout << escapeLineBreaks((*plan)->target.string(), true) << '\n';
        }
    }
}

} // namespace

void registerFileCommands(CLI::App& app, CommandContext& context)
{
    auto kind = std::make_shared<std::string>();
    auto* list = app.add_subcommand(
        "list",
        "List the songs (Quillon/mid/*.mid), ROM images (Quillon/bin/*.bin) or curves (Quillon/crv/*.crv) below\n"
        "the current directory, one per line, newest first, exactly as the windows list them.\n"
        "300 or more files: the too-many message on stderr and exit status 1.");
    list->add_option("KIND", *kind, "songs, roms or curves")->required();
    list->callback([kind, &context] { runList(*kind, context); });

    auto file = std::make_shared<std::string>();
    auto* info = app.add_subcommand(
        "crv-info",
        "Show a .crv curve file: its key-points, its stored table, and notes when that table differs from\n"
        "the key-points' own or could not be sent. A refused file prints refused<TAB>reason, exit status 1.");
    info->add_option("FILE", *file, "a .crv file")->required();
    info->callback([file, &context] { runCurveInfo(*file, context); });

    auto added = std::make_shared<std::vector<std::string>>();
    auto replace = std::make_shared<bool>(false);
    auto* add = app.add_subcommand(
        "add", "Copy files into the data folder below the current directory as a drop onto the main window does:\n"
               "songs (.mid), ROM images (.bin), curves (.crv) and SysEx files (.syx) to their folders, each only\n"
               "when its content is of its kind. Prints each copy's path; a refused file is named on stderr with\n"
               "the reason (exit status 1). A taken name is kept and the copy named name-2.ext, ... unless --replace.");
    add->add_option("FILE", *added, "files to copy")->required();
    add->add_flag("--replace", *replace, "replace a file of the same name");
    add->callback([added, replace, &context] { runAdd(*added, *replace, context); });
}

} // namespace quillon::cli

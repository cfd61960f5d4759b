// quillon-cli curve-table and curve-message: the table a curve gives and the
// exact message that would carry it to the keyboard, from a preset or from
// seven key-points typed on the command line.
#include "cli/Commands.h"
#include "cli/Output.h"

#include "curve/core/CurveMessage.h"
#include "curve/core/Presets.h"
#include "curve/core/VelocityCurve.h"

#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

namespace quillon::cli {

namespace {

struct CurveOptions {
    std::string preset;
    std::string points;
    std::string values;
};

// "0,20,40,58,73,97,127" -> seven numbers, or a reason.
Result<std::array<std::int32_t, curve::kKeyPointCount>> parseSeven(std::string_view text, std::string_view option)
{
    std::array<std::int32_t, curve::kKeyPointCount> numbers{};
    std::size_t count = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
        if (item.empty() || error != std::errc() || end != item.data() + item.size())
            return fail(std::string(option) + ": \"" + std::string(item) + "\" is not a whole number");
        if (count == numbers.size())
            return fail(std::string(option) + ": expected 7 comma-separated numbers, got more");
        numbers[count++] = value;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (count != numbers.size())
        return fail(std::string(option) + ": expected 7 comma-separated numbers, got " + std::to_string(count));
    return numbers;
}

Result<curve::KeyPoints> chosenKeyPoints(const CurveOptions& options, const CLI::App& command)
{
    const bool preset = command.count("--preset") > 0;
    const bool points = command.count("--points") > 0;
    const bool values = command.count("--values") > 0;
    if (preset == (points || values) || points != values)
        return fail("give either --preset NAME or both --points X0,..,X6 and --values Y0,..,Y6");

    if (preset) {
        const auto index = curve::findPreset(options.preset);
        if (!index) {
            std::string known;
            for (const auto& entry : curve::presetCurves())
                known += (known.empty() ? "" : ", ") + std::string(entry.name);
            return fail("unknown preset \"" + options.preset + "\" (known: " + known + ")");
        }
        return curve::presetCurves()[*index].points;
    }

    const auto x = parseSeven(options.points, "--points");
    if (!x)
        return fail(x.reason());
    const auto y = parseSeven(options.values, "--values");
    if (!y)
        return fail(y.reason());
    curve::KeyPoints keyPoints{*x, *y};
    if (const Status valid = curve::checkKeyPoints(keyPoints); !valid)
        return fail(valid.reason());
    return keyPoints;
}

Result<curve::Table> chosenTable(const CurveOptions& options, const CLI::App& command)
{
    const auto points = chosenKeyPoints(options, command);
    if (!points)
        return fail(points.reason());
    curve::VelocityCurve curve;
    curve.setKeyPoints(*points);
    curve.computeTable();
    return curve.table();
}

void printTable(const curve::Table& table)
{
    std::string line;
    for (std::size_t v = 0; v < table.size(); ++v) {
        if (v != 0)
            line += ' ';
        line += std::to_string(table[v]);
    }
    std::cout << line << '\n';
}

CLI::App* addCurveCommand(CLI::App& app, const std::string& name, const std::string& description, CurveOptions& options)
{
    auto* command = app.add_subcommand(name, description);
    command->add_option("--preset", options.preset, "a preset by its list name, e.g. Hard2.crv");
    command->add_option("--points", options.points, "seven key-point source velocities X0,..,X6 (0 first, 127 last)");
    command->add_option("--values", options.values, "seven key-point new velocities Y0,..,Y6 (each 0..127)");
    return command;
}

} // namespace

void registerCurveCommands(CLI::App& app, CommandContext& context)
{
    auto tableOptions = std::make_shared<CurveOptions>();
    auto* table = addCurveCommand(
        app, "curve-table", "Print the 128 entries of a curve's velocity table in decimal on one line.", *tableOptions);
    table->callback([tableOptions, table, &context] {
        const auto result = chosenTable(*tableOptions, *table);
        if (!result) {
            reportBadInput(context, "curve-table: " + result.reason());
            return;
        }
        printTable(*result);
    });

    auto messageOptions = std::make_shared<CurveOptions>();
    auto* message =
        addCurveCommand(app, "curve-message",
                        "Print the 142-byte curve message that sends a curve to the keyboard, as upper-case hex bytes.",
                        *messageOptions);
    message->callback([messageOptions, message, &context] {
        const auto result = chosenTable(*messageOptions, *message);
        if (!result) {
            reportBadInput(context, "curve-message: " + result.reason());
            return;
        }
        const auto bytes = curve::buildCurveMessage(*result);
        if (!bytes) {
            reportBadInput(context, "curve-message: " + bytes.reason());
            return;
        }
        std::cout << hexLine(*bytes) << '\n';
    });
}

} // namespace quillon::cli

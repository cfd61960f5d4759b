#include "transfer/core/FileIntake.h"

#include "base/core/RegularFile.h"
#include "curve/core/CurveFile.h"
#include "midi/core/DeviceFrame.h"
#include "player/core/MidiFile.h"

namespace quillon::transfer {

namespace {

// The reason a file's content is not of its kind, or nothing when it is.
std::optional<std::string> wrongKind(base::DroppedKind kind, std::span<const std::uint8_t> bytes)
{
    switch (kind) {
    case base::DroppedKind::Song:
        if (auto layout = player::readSmfLayout(bytes); !layout)
            return layout.reason();
        return std::nullopt;
    case base::DroppedKind::Curve:
        if (auto curve = curve::decodeCurveFile(bytes); !curve)
            return curve.reason();
        return std::nullopt;
    case base::DroppedKind::RomImage:
        if (bytes.empty())
            return "the ROM image is empty";
        return std::nullopt;
    case base::DroppedKind::SysEx:
        if (bytes.empty() || bytes.front() != 0xF0)
            return std::string("not a SysEx file: it does not begin with F0");
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::size_t intakeLimit(base::DroppedKind kind)
{
    return kind == base::DroppedKind::Curve ? curve::kCurveFileSize : frame::largestSendableLength();
}

Result<TakenIn> takeIn(const base::DropPlan& plan, const base::WriteProgress& progress)
{
    TakenIn taken;
    const auto bytes = base::readRegularFile(plan.source, intakeLimit(plan.kind), base::Beyond::Refuse, &taken.length);
    if (!bytes)
        return fail(bytes.reason());
    if (const auto why = wrongKind(plan.kind, *bytes))
        return fail(*why);
    std::error_code error;
    std::filesystem::create_directories(plan.target.parent_path(), error);
    if (error)
        return fail("cannot create " + plan.target.parent_path().string() + ": " + error.message());
    if (auto written = base::replaceFile(plan.target, *bytes, plan.existing, progress); !written)
        return fail(written.reason());
    if (plan.kind == base::DroppedKind::Song)
        taken.format1Song = player::readSmfLayout(*bytes)->format == 1;
    return taken;
}

} // namespace quillon::transfer

#include "transfer/core/TransferSnapshot.h"

#include "transfer/core/FileAccess.h"

#include <algorithm>

namespace quillon::transfer {

std::optional<std::uintmax_t> TransferSnapshot::lengthOf(const std::string& fileName) const
{
    const auto found = contents.find(fileName);
    if (found == contents.end())
        return std::nullopt;
    return found->second.size();
}

std::shared_ptr<const TransferSnapshot> takeSnapshot(const TransferList& list, const PathOf& pathOf)
{
    auto snapshot = std::make_shared<TransferSnapshot>();
    for (const TransferEntry& entry : list.entries) {
        if (snapshot->contents.count(entry.fileName))
            continue; // one song listed twice is read once
        std::uintmax_t length = 0;
        auto content = readWholeFile(pathOf(entry.fileName), &length);
        if (!content) {
            snapshot->refusal = CheckReason::CannotOpenFile;
            snapshot->refusedFile = entry.fileName;
            return snapshot;
        }
        const FileVerdict verdict = checkContent(list.kind, *content);
        if (!verdict.ok()) {
            snapshot->refusal = verdict.refusal;
            snapshot->refusedFile = entry.fileName;
            snapshot->refusedLength = std::max<std::uintmax_t>(verdict.length, length);
            return snapshot;
        }
        snapshot->contents.emplace(entry.fileName, std::move(*content));
    }
    return snapshot;
}

TransferHandshake::FileReader snapshotReader(std::shared_ptr<const TransferSnapshot> snapshot)
{
    return [snapshot = std::move(snapshot)](const std::string& fileName) -> Result<frame::Bytes> {
        const auto found = snapshot->contents.find(fileName);
        if (found == snapshot->contents.end())
            return fail(fileName + " was not read when the transfer started");
        return found->second;
    };
}

} // namespace quillon::transfer

#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/Archive.h"
#include "archive/ArchiveRows.h"
#include "store/LocalFiles.h"

namespace qm {

// The outbox of a data set, ".qmc-outbox" in its folder: the rows a copy added, each copy's an
// entry of its own, written as every file of the program is (staged, synced, moved into place)
// and removed only once the archive has committed them. A push cut short leaves the entry,
// which is pushed again whole; the archive's keys make that harmless.

// Puts `rows` in the outbox of `dataSet` as a new entry. Throws FileError.
void QueueInOutbox(const std::filesystem::path& dataSet, const ArchiveRows& rows);
// The entries waiting in the outbox of `dataSet`, oldest first.
std::vector<std::filesystem::path> OutboxEntries(const std::filesystem::path& dataSet);
// The rows of an entry; throws FileError when it cannot be read.
ArchiveRows ReadOutboxEntry(const std::filesystem::path& entry);

struct OutboxPush {
    std::int64_t pushed = 0;   // value rows committed
    std::int64_t added = 0;    // of those, new to the archive
    std::int64_t leftOut = 0;  // of those, values the archive cannot hold, not stored
    std::optional<std::string> error;
    // Entries that could not be read, each set aside under its new name: why, and the name.
    std::vector<std::pair<FileError, std::filesystem::path>> setAside;
};
// Pushes each entry of the outbox of `dataSet`, one transaction each, removing it after its
// commit; stops at the first failure, leaving that entry and the later ones. An entry that
// cannot be read is not pushed and not removed: it is renamed out of the queue (to
// "….rows.damaged", kept in the outbox) so that it holds up no later entry.
OutboxPush PushOutbox(Archive& archive, const std::filesystem::path& dataSet);

}  // namespace qm

#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

namespace qm {

// The steps by which a copied file reaches its final name, each one change on disk. They are
// the only places where the store talks to the operating system beyond the standard streams,
// so that the order of what reaches the disk is decided here.
enum class FileStep {
    CreateStaging,  // the staging folder and the file that takes the new content
    FinishStaging,  // the buffered content written out and the file closed
    SyncFile,       // the new content on the disk
    Replace,        // moved over the final name
    SyncFolder,     // the move itself on the disk
    RemoveStaging,  // a staging file dropped, or the emptied staging folder removed
};

// Called before every step with the path it concerns. A hook that returns false makes the step
// fail as an input/output error without touching the disk: tests use it to end a copy between
// any two steps, as a crash or a power cut would.
using FileStepHook = std::function<bool(FileStep step, const std::filesystem::path& path)>;
void SetFileStepHook(FileStepHook hook);
// False when the hook refuses the step.
bool FileStepGoesAhead(FileStep step, const std::filesystem::path& path);

// Makes what was written to the file durable (fsync; FlushFileBuffers on Windows).
void SyncFile(const std::filesystem::path& file, std::error_code& ec);
// Makes the names in the folder durable (fsync of the folder; nothing to do on Windows, whose
// moves are written through). An empty path, the folder of a bare file name, is the working
// folder.
void SyncFolder(const std::filesystem::path& folder, std::error_code& ec);
// Moves `from` over `to` in one step, replacing it, and on Windows writes the move through
// before returning.
void MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to,
                  std::error_code& ec);

// Appends `bytes` to `file` (created when missing) in one write and makes them durable before
// returning; what the file held is never rewritten. When the file does not end in a line feed
// (a writer stopped in mid-line), one is written first, in the same write.
void AppendLineDurably(const std::filesystem::path& file, std::string_view bytes,
                       std::error_code& ec);

}  // namespace qm

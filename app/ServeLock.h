#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "text/Messages.h"

namespace qm {

// The lock a collection holds on each data folder it writes into, so that two runs never visit
// the same stations at once: a lock on a file of the folder, held by the kernel for the process
// and given up when it ends however it ends (no stale lock after a crash or a kill).
class ServeLock {
public:
    // Why the lock was not taken.
    struct Refusal {
        Msg id;  // ServeLocked: another run holds a folder (the run must not start)
        std::vector<std::string> args;
    };

    ServeLock();
    ~ServeLock();
    ServeLock(const ServeLock&) = delete;
    ServeLock& operator=(const ServeLock&) = delete;

    // Takes the lock of each folder (made when missing). A folder held by another run refuses
    // the whole lock (and gives up what was taken); a folder that cannot be made or locked for
    // another reason is skipped, and said in `skipped` (ServeNoLock).
    std::optional<Refusal> Take(const std::vector<std::filesystem::path>& folders,
                                Language language, std::vector<Refusal>& skipped);

private:
    struct Held;
    std::vector<std::unique_ptr<Held>> held_;
};

}  // namespace qm

#pragma once

#include <cstdint>
#include <string>

#include "session/LoggerState.h"

namespace qm {

// How a copy of one directory ended.
struct CopyResult {
    enum class End {
        Done,     // every file it was to copy is in place (also when there was nothing to copy)
        Failed,   // it stopped with a message: the files completed before stay
        Stopped,  // the operator stopped it: the files completed before stay
    };
    End end = End::Done;
    std::string directory;  // as the logger names it (Windows-1251)
    std::int64_t measurements = 0;
};

// What a session reports as its work goes on. Every handler has an empty default, so a
// listener takes only what it shows; none may start new work from inside a handler.
class SessionEvents {
public:
    virtual ~SessionEvents() = default;
    // The read-out of a newly connected logger has ended, completely or not.
    virtual void ReadOutEnded() {}
    // The logger's clock has been read (or it sent one that is no date: `reading` is empty).
    virtual void ClockRead(const std::optional<ClockReading>& /*reading*/) {}
    // The logger kept refusing the clock it was set to.
    virtual void ClockNotAccepted() {}
    // A copy has ended and its finishing step has run: the session is ready for the next.
    virtual void CopyEnded(const CopyResult& /*result*/) {}
};

}  // namespace qm

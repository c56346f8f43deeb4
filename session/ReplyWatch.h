#pragma once

#include <cstdint>
#include <functional>

#include "session/WorkContext.h"

namespace qm {

class BtModemDialogue;
class Catalogue;
class ConnectionSequence;
class CopySession;
class CopyTally;
class DayCopy;
class DeviceClock;
class RadioModem;
class RemarksEditor;
class ScheduleEditor;
class TestMeasurement;

// The operations a missed reply concerns: the one that awaited it is told to try again in the
// way its kind allows, or that its request was given up on.
struct ReplyWatchParts {
    ConnectionSequence& sequence;
    DeviceClock& clock;
    ScheduleEditor& schedule;
    RemarksEditor& remarks;
    TestMeasurement& test;
    Catalogue& catalogue;
    CopySession& copy;
    DayCopy& day;
    RadioModem& radio;
    BtModemDialogue& bt;
    CopyTally& tally;
};

// What becomes of the reply awaited. One that comes is judged and handed to the operation that
// awaits it. One that is missed is asked for again as the row of its code in the dispatcher
// table says, never losing or repeating data: reads are sent again, sequences start over from
// their first request, a copy reopens its file after the last complete line, and writes are read
// back rather than repeated. After kReplyRetries retries, and not before kGiveUpAfterMs since the
// request first went out, the step gives up: the operation is told, and a problem says what did
// not answer on which link, while the local files stay complete.
class ReplyWatch {
public:
    ReplyWatch(WorkContext& ctx, const ReplyWatchParts& parts) : ctx_(ctx), p_(parts) {}

    // A whole reply is in the exchange's buffer.
    void Received();
    // The reply watchdog fired.
    void WatchdogTick();

    // Retries of a request before its step gives up, and the least time it is given.
    static constexpr int kReplyRetries = 3;
    static constexpr std::int64_t kGiveUpAfterMs = 10'000;

private:
    void Retry(std::uint8_t code);
    void GiveUp(std::uint8_t code);
    SessionProblem NoReply(std::uint8_t code) const;
    void TellRetry(int attempt);

    WorkContext& ctx_;
    ReplyWatchParts p_;
};

}  // namespace qm

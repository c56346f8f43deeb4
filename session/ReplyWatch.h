#pragma once

#include <cstdint>
#include <functional>

#include "session/WorkContext.h"

namespace qm {

class BtModemDialogue;
class ConnectionSequence;
class CopySession;
class RadioModem;

// What every missed reply concerns, whichever operation awaited it: the read-out that ends when a
// request is given up on, the copy that may have been stopped, and the modems that name the link.
struct ReplyWatchParts {
    ConnectionSequence& sequence;
    CopySession& copy;
    RadioModem& radio;
    BtModemDialogue& bt;
};

// What becomes of the reply awaited. One that comes is judged and handed to the operation that
// awaits it. One that is missed is asked for again by that operation (a Transaction), never
// losing or repeating data: reads are sent again, sequences start over from their first
// request, a copy reopens its file after the last complete line, and writes are read back rather
// than repeated, as the row of its code in the dispatcher table says. After kReplyRetries
// retries, and not before kGiveUpAfterMs since the request first went out, the step gives up:
// the operation is told, and a problem says what did not answer on which link, while the local
// files stay complete.
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
    void AskAgain(std::uint8_t code);
    void GiveUp(std::uint8_t code);
    SessionProblem NoReply(std::uint8_t code) const;
    void TellRetry(int attempt);

    WorkContext& ctx_;
    ReplyWatchParts p_;
};

}  // namespace qm

#pragma once

#include <cstdint>

namespace qm {

struct SessionProblem;

// Who awaits the reply of a request: the exchange hands it each judged reply of the requests it
// awaits, under the code of the request it answers, and the reply watch tells it of a reply that
// did not come and of a request given up on.
class Transaction {
public:
    // What a missed reply leads to.
    enum class Missed : std::uint8_t {
        AskAsRow,     // asked for again as the request's dispatcher row says: sent again, or
                      // what a write wrote read back
        AskedItself,  // the transaction asked again in its own way (started over, resumed)
        GiveUp,       // there is nothing to ask again: the request is given up on
    };

    // The reply in the exchange's packet buffer answers the request of `code`.
    virtual void OnReply(std::uint8_t code) = 0;
    // The reply to the request of `code` did not come in time; this is retry `attempt` (from 1).
    virtual Missed OnMissed(std::uint8_t /*code*/, int /*attempt*/) { return Missed::AskAsRow; }
    // The request of `code` is given up on, for `reason`: a step under way ends. True when the
    // transaction has ended its work with `reason` and told the listeners itself; false leaves
    // the telling to the reply watch.
    virtual bool OnGivenUp(std::uint8_t /*code*/, const SessionProblem& /*reason*/) {
        return false;
    }

    virtual ~Transaction() = default;

protected:
    Transaction() = default;
    Transaction(const Transaction&) = default;
    Transaction(Transaction&&) = default;
    Transaction& operator=(const Transaction&) = default;
    Transaction& operator=(Transaction&&) = default;
};

}  // namespace qm

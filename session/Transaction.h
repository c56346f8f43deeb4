#pragma once

#include <cstdint>

namespace qm {

// Who awaits the reply of a request: the exchange hands it each judged reply of the requests it
// awaits, under the code of the request it answers.
class Transaction {
public:
    // The reply in the exchange's packet buffer answers the request of `code`.
    virtual void OnReply(std::uint8_t code) = 0;

    virtual ~Transaction() = default;

protected:
    Transaction() = default;
    Transaction(const Transaction&) = default;
    Transaction(Transaction&&) = default;
    Transaction& operator=(const Transaction&) = default;
    Transaction& operator=(Transaction&&) = default;
};

}  // namespace qm

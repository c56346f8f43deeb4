#pragma once

#include <cstdint>
#include <string>

#include "measure/Remarks.h"
#include "session/Transaction.h"
#include "session/WorkContext.h"

namespace qm {

class ConnectionSequence;

// The two remark lines of the Pathrex model: read during the connection sequence (row 144) and
// written back (request 145). What the logger reports goes into LoggerState::remarks.
class RemarksEditor : public Transaction {
public:
    RemarksEditor(WorkContext& ctx, ConnectionSequence& sequence)
        : ctx_(ctx), sequence_(sequence) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    // The remarks' write or read-back went unanswered: the write ends unconfirmed.
    bool OnGivenUp(std::uint8_t /*code*/, const SessionProblem& /*reason*/) override {
        EndWrite(false);
        return false;
    }

    // Both lines (Unicode) are normalised as the logger takes them, told as they will be sent,
    // then written.
    void Write(const std::string& first, const std::string& second);

    // Row 144: only a complete reply is taken.
    void RemarksReply();
    // Row 145: a complete reply confirms both lines.
    void RemarksWrittenReply();

    const RemarkBuffers& Buffers() const { return remarks_; }

private:
    void EndWrite(bool confirmed);

    WorkContext& ctx_;
    ConnectionSequence& sequence_;
    RemarkBuffers remarks_;
    // Written remark lines await their acknowledgement or read-back.
    bool writeAsked_ = false;
};

}  // namespace qm

#pragma once

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "measure/Remarks.h"
#include "session/Transaction.h"

namespace qm {

class ConnectionSequence;

// The two remark lines of the Pathrex model: read during the connection sequence (row 144),
// edited in the remark group and written back (request 145).
class RemarksEditor : public Transaction {
public:
    RemarksEditor(PartContext& ctx, ConnectionSequence& sequence)
        : ctx_(ctx), sequence_(sequence) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    void Register(Handlers& h);

    // Row 144: only a complete reply is shown.
    void RemarksReply();
    // Row 145: a complete reply confirms both lines.
    void RemarksWrittenReply();

    void pRemark1Change();
    void pRemark2Change();
    void bRemarkClick();

    const RemarkBuffers& Buffers() const { return remarks_; }

private:
    void ShowRemarks(Colour colour);
    void EndWrite(bool confirmed);
    // Written remark lines await their acknowledgement or read-back.
    bool writeAsked_ = false;

public:
    // The remarks' write or read-back went unanswered.
    void GaveUp() { EndWrite(false); }

private:
    PartContext& ctx_;
    ConnectionSequence& sequence_;
    RemarkBuffers remarks_;
};

}  // namespace qm

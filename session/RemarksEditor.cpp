#include "session/RemarksEditor.h"

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "session/ConnectionSequence.h"

namespace qm {

void RemarksEditor::RemarksReply() {
    if (ctx_.CurrentReply().Status() != ReplyStatus::Complete) {
        EndWrite(false);
        return;
    }
    const RemarkLines lines = DecodeRemarks(ctx_.CurrentReply());
    ctx_.Logger().remarks = {RemarkToScreen(lines.first), RemarkToScreen(lines.second)};
    ctx_.session.Report([](SessionEvents& e) { e.RemarksRead(); });
    // The read-back of a write whose acknowledgement was missed.
    EndWrite(lines.first == remarks_.Remark1Buffer && lines.second == remarks_.Remark2Buffer);
}

void RemarksEditor::EndWrite(bool confirmed) {
    if (!writeAsked_) return;
    writeAsked_ = false;
    ctx_.session.Report(
        [confirmed](SessionEvents& e) { e.WriteEnded(LoggerWrite::Remarks, confirmed); });
}

void RemarksEditor::RemarksWrittenReply() {
    if (ctx_.CurrentReply().Status() != ReplyStatus::Complete) {
        EndWrite(false);
        return;
    }
    EndWrite(true);
    ctx_.Logger().remarks = {RemarkToScreen(remarks_.Remark1Buffer),
                             RemarkToScreen(remarks_.Remark2Buffer)};
    ctx_.session.Report([](SessionEvents& e) { e.RemarksWritten(); });
}

void RemarksEditor::Write(const std::string& first, const std::string& second) {
    remarks_.Remark1Buffer = NormalizeRemark(RemarkFromScreen(first));
    remarks_.Remark2Buffer = NormalizeRemark(RemarkFromScreen(second));
    const std::string shown1 = Cp1251ToUtf8(remarks_.Remark1Buffer);
    const std::string shown2 = Cp1251ToUtf8(remarks_.Remark2Buffer);
    ctx_.session.Report([&](SessionEvents& e) { e.RemarksWriting(shown1, shown2); });
    writeAsked_ = true;
    ctx_.x.Send(RemarksRequest(remarks_));
}

void RemarksEditor::OnReply(std::uint8_t code) {
    if (code == CommandCode::WriteRemarks) {
        RemarksWrittenReply();  // -> none
        return;
    }
    RemarksReply();
    sequence_.ContinueWithBattery();  // -> 52 while reading out
}

}  // namespace qm

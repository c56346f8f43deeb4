#include "core/RemarksEditor.h"

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "session/ConnectionSequence.h"

namespace qm {

void RemarksEditor::Register(Handlers& h) {
    h.OnChange("pRemark1", [this] { pRemark1Change(); });
    h.OnChange("pRemark2", [this] { pRemark2Change(); });
    h.OnClick("bRemark", [this] { bRemarkClick(); });
}

void RemarksEditor::RemarksReply() {
    if (ctx_.CurrentReply().Status() != ReplyStatus::Complete) {
        EndWrite(false);
        return;
    }
    ShowRemarks(Colour::Navy);
    // The read-back of a write whose acknowledgement was missed.
    const RemarkLines back = DecodeRemarks(ctx_.CurrentReply());
    EndWrite(back.first == remarks_.Remark1Buffer && back.second == remarks_.Remark2Buffer);
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
    ctx_.session.MutableLogger().remarks = {RemarkToScreen(remarks_.Remark1Buffer),
                                            RemarkToScreen(remarks_.Remark2Buffer)};
    ctx_.m.pRemark1.fontColour = Colour::Navy;
    ctx_.m.pRemark2.fontColour = Colour::Navy;
}

void RemarksEditor::ShowRemarks(Colour colour) {
    WindowModel& m = ctx_.m;
    const RemarkLines lines = DecodeRemarks(ctx_.CurrentReply());
    ctx_.session.MutableLogger().remarks = {RemarkToScreen(lines.first),
                                            RemarkToScreen(lines.second)};
    ctx_.SetEditText("pRemark1", m.pRemark1, RemarkToScreen(lines.first));
    m.pRemark1.fontColour = colour;
    ctx_.SetEditText("pRemark2", m.pRemark2, RemarkToScreen(lines.second));
    m.pRemark2.fontColour = colour;
    m.bRemark.enabled = false;
}

void RemarksEditor::pRemark1Change() {
    ctx_.m.pRemark1.fontColour = Colour::Red;
    ctx_.m.bRemark.enabled = true;
}

void RemarksEditor::pRemark2Change() {
    ctx_.m.pRemark2.fontColour = Colour::Red;
    ctx_.m.bRemark.enabled = true;
}

// Both lines are normalised and shown exactly as they will be sent, then written.
void RemarksEditor::bRemarkClick() {
    WindowModel& m = ctx_.m;
    if (!m.bRemark.enabled) return;
    remarks_.Remark1Buffer = NormalizeRemark(RemarkFromScreen(m.pRemark1.text));
    ctx_.SetEditText("pRemark1", m.pRemark1, Cp1251ToUtf8(remarks_.Remark1Buffer));
    remarks_.Remark2Buffer = NormalizeRemark(RemarkFromScreen(m.pRemark2.text));
    ctx_.SetEditText("pRemark2", m.pRemark2, Cp1251ToUtf8(remarks_.Remark2Buffer));
    writeAsked_ = true;
    ctx_.x.Send(RemarksRequest(remarks_));
    m.bRemark.enabled = false;
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

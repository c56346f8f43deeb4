// The two remark lines of the Pathrex model: read during the connection sequence (row 144),
// edited in the remark group and written back (request 145).
#include "measure/Remarks.h"
#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"

namespace qm {

// Row 144: only a complete reply is shown; the read-out goes on in any case.
void Controller::RemarksReply() {
    if (CurrentReply().Status() == ReplyStatus::Complete) ShowRemarks(Colour::Navy);
    ContinueWithBattery();
}

// Row 145: a complete reply confirms both lines.
void Controller::RemarksWrittenReply() {
    if (CurrentReply().Status() != ReplyStatus::Complete) return;
    m_.pRemark1.fontColour = Colour::Navy;
    m_.pRemark2.fontColour = Colour::Navy;
}

void Controller::ShowRemarks(Colour colour) {
    const RemarkLines lines = DecodeRemarks(CurrentReply());
    SetEditText("pRemark1", m_.pRemark1, RemarkToScreen(lines.first));
    m_.pRemark1.fontColour = colour;
    SetEditText("pRemark2", m_.pRemark2, RemarkToScreen(lines.second));
    m_.pRemark2.fontColour = colour;
    m_.bRemark.enabled = false;
}

void Controller::pRemark1Change() {
    m_.pRemark1.fontColour = Colour::Red;
    m_.bRemark.enabled = true;
}

void Controller::pRemark2Change() {
    m_.pRemark2.fontColour = Colour::Red;
    m_.bRemark.enabled = true;
}

// Both lines are normalised and shown exactly as they will be sent, then written.
void Controller::bRemarkClick() {
    Run([&] {
        if (!m_.bRemark.enabled) return;
        s_.remarks.Remark1Buffer = NormalizeRemark(RemarkFromScreen(m_.pRemark1.text));
        SetEditText("pRemark1", m_.pRemark1, Cp1251ToUtf8(s_.remarks.Remark1Buffer));
        s_.remarks.Remark2Buffer = NormalizeRemark(RemarkFromScreen(m_.pRemark2.text));
        SetEditText("pRemark2", m_.pRemark2, Cp1251ToUtf8(s_.remarks.Remark2Buffer));
        SendRemarks();
        m_.bRemark.enabled = false;
    });
}

void Controller::SendRemarks() {
    s_.CurrentCommand = CommandCode::WriteRemarks;
    s_.SendCount = BuildRemarksRequest(s_.remarks, s_.PacketBuffer);
    SendPacket();
}

}  // namespace qm

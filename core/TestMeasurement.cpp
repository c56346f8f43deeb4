// The test measurement: the logger measures once and sends its readings in blocks.
#include "core/Controller.h"
#include "measure/Readings.h"
#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"

namespace qm {

void Controller::bTestClick() {
    Run([&] {
        for (Control* c : std::initializer_list<Control*>{&m_.bSynch, &m_.bClock, &m_.GroupBox2,
                                                          &m_.pComment, &m_.GroupBox1, &m_.bTest})
            c->enabled = false;
        m_.Label6.visible = false;
        SendCommand(CommandCode::StartTest);
        StartBusyIndicator();
        m_.GroupBox3.visible = false;
        m_.window.title = s_.DeviceTitle;
        s_.readings.ReadingCount = 0;
    });
}

// Rows 32/68: 249 brings a block and more follows; 248 the last block.
void Controller::ReadingsReply() {
    m_.bTest.enabled = true;
    const Reply r = CurrentReply();
    if (r.Status() == ReplyStatus::Partial) {
        DecodeReadingsBlock(s_.readings, r);
        SendCommand(CommandCode::NextReadings);
        return;
    }
    if (r.Status() != ReplyStatus::Complete) return;
    StopBusyIndicator();
    for (Control* c : std::initializer_list<Control*>{&m_.bSynch, &m_.bClock, &m_.GroupBox2,
                                                      &m_.pComment, &m_.GroupBox1, &m_.bTest})
        c->enabled = true;
    DecodeReadingsBlock(s_.readings, r);
    ShowReadings(s_.readings, s_.calibration, m_.CheckBox1.checked, m_);
    s_.LineQueryPending = true;
    SendCommand(CommandCode::ReadBattery);
}

}  // namespace qm

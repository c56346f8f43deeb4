// The logger's clock: read it, set it from the PC clock, show it for a second.
#include <cstdio>

#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"

namespace qm {

void Controller::bClockClick() {
    Run([&] { SendCommand(CommandCode::ReadClock); });
}

void Controller::bSynchClick() {
    Run([&] {
        SendClockSet();
        m_.bSynch.enabled = false;
    });
}

// Request 49: second, minute, hour, day, month, year - 2000 of the PC clock.
void Controller::SendClockSet() {
    s_.CurrentCommand = CommandCode::SetClock;
    s_.CurrentDateTime = clock_.Now();
    const CivilDateTime c = s_.CurrentDateTime.ToCivil();
    s_.ClockHour = static_cast<std::uint16_t>(c.hour);
    s_.ClockMinute = static_cast<std::uint16_t>(c.minute);
    s_.ClockSecond = static_cast<std::uint16_t>(c.second);
    s_.ClockMillisecond = static_cast<std::uint16_t>(c.millisecond);
    s_.ClockYear = static_cast<std::uint16_t>(c.year);
    s_.ClockMonth = static_cast<std::uint16_t>(c.month);
    s_.ClockDay = static_cast<std::uint16_t>(c.day);
    PacketBuffer& b = s_.PacketBuffer;
    b[1] = 8;
    b[2] = 0;
    b[3] = CommandCode::SetClock;
    b[4] = static_cast<std::uint8_t>(s_.ClockSecond);
    b[5] = static_cast<std::uint8_t>(s_.ClockMinute);
    b[6] = static_cast<std::uint8_t>(s_.ClockHour);
    b[7] = static_cast<std::uint8_t>(s_.ClockDay);
    b[8] = static_cast<std::uint8_t>(s_.ClockMonth);
    b[9] = static_cast<std::uint8_t>((s_.ClockYear - 2000) & 0xFF);
    s_.ClockJustSet = true;
    s_.SendCount = 10;
    SendPacket();
}

std::string Controller::ClockText(int hour, int minute, int second, int day, int month, int year) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d %2d.%2d.20%02d", hour, minute, second, day,
                  month, year);
    return text;
}

// Row 48: a valid clock is shown; any other status sets the clock from the PC and reads again.
void Controller::ClockReply() {
    if (CurrentReply().Status() != ReplyStatus::Complete) {
        SendClockSet();
        return;
    }
    ShowDeviceClock();
    if (s_.InitialSequence)
        SendCommand(s_.PathrexDevice ? CommandCode::ReadRemarks : CommandCode::ReadSchedule);
    else
        m_.bSynch.enabled = true;
}

void Controller::ShowDeviceClock() {
    const Reply r = CurrentReply();
    s_.ClockRead = true;
    s_.ClockSecond = r.Data(0);
    s_.ClockMinute = r.Data(1);
    s_.ClockHour = r.Data(2);
    s_.ClockDay = r.Data(3);
    s_.ClockMonth = r.Data(4);
    s_.ClockYear = r.Data(5);
    m_.Label2.caption = ClockText(s_.ClockHour, s_.ClockMinute, s_.ClockSecond, s_.ClockDay,
                                  s_.ClockMonth, s_.ClockYear);
    m_.Label2.visible = true;
    m_.Label2.fontColour = s_.ClockJustSet ? Colour::Red : Colour::Navy;
    s_.ClockJustSet = false;
    ArmSysTimer(1, 1000);
}

}  // namespace qm

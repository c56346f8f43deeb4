// The reply dispatcher: the one table of the protocol. Replies carry no command code, so each is
// read under the code of the request last sent (CurrentCommand). Each row tests the status where
// it matters and hands the reply to the part it belongs to, which usually sends the next request
// at once; read top to bottom, the rows of codes 0, 60/62, 48, 50/144, 52 and 64/65 are the
// connection sequence.
#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"

namespace qm {

void Controller::DispatchReply() {
    namespace C = CommandCode;
    // clang-format off
    switch (x_.CurrentCommand) {
        case C::Identify: sequence_.IdentificationReply(); break;   // -> 48 or 60; or 1
        case C::LinkKindQuery: sequence_.LinkKindReply(); break;    // -> 130 (Bluetooth modem)
        case C::LineValue: sequence_.LineValueReply(); break;       // -> none
        case C::StartTest:
        case C::NextReadings: test_.ReadingsReply(); break;         // -> 68 or 52
        case C::ReadClock: clock_.ClockReply(); break;              // -> 144 / 50, or 49
        case C::SetClock: clock_.ClockSetReply(); break;            // -> 48, whatever the status
        case C::ReadSchedule:                                       // -> 52 while reading out
            schedule_.ScheduleReply(); sequence_.ContinueWithBattery(); break;
        case C::WriteSchedule: schedule_.ScheduleWrittenReply(); break;  // -> 50
        case C::ReadBattery: sequence_.BatteryReply(); break;       // -> 64 and/or 16
        case C::ReadCalibration: sequence_.CalibrationReply(); break;    // -> 48 or 62
        case C::ReadCalibrationNext: sequence_.CalibrationBlockReply(); break;  // -> 62 or 48
        case C::ListFirst:
        case C::ListNext: catalogue_.ListingReply(); break;         // -> 65, or the end of a listing
        case C::OpenFile:
        case C::NextLine:
        case C::ResumeFile: copy_.LineReply(); break;               // -> 67, 70, 71 or none
        case C::FindDay: day_.DayFoundReply(); break;               // -> 71 or none
        case C::FirstValues:
        case C::NextValues: copy_.ValuesReply(); break;             // -> 67, 72, 66 or none
        case C::DeleteDirectory: catalogue_.DeleteReply(); break;   // -> 64
        case C::ModemMode: bt_.ModemModeReply(); break;             // -> none (timers go on)
        case C::RadioAddress: radio_.RadioAddressReply(); break;    // -> 0
        case C::ReadRemarks:                                        // -> 52 while reading out
            remarks_.RemarksReply(); sequence_.ContinueWithBattery(); break;
        case C::WriteRemarks: remarks_.RemarksWrittenReply(); break;     // -> none
        default: break;  // 8 (power down) and 61 (calibration written) are not answered upon
    }
    // clang-format on
}

}  // namespace qm

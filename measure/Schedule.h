#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/DateTime.h"
#include "protocol/PacketBuffer.h"
#include "protocol/Reply.h"
#include "protocol/Requests.h"
#include "text/Messages.h"

namespace qm {

// The logger's next measurement run: start, stop and interval, as the schedule reply (50) and
// the schedule request (51) carry them, plus the four date-time values captured by bSet.
struct MeasurementSchedule {
    std::uint16_t StartMinute = 0, StartHour = 0, StartDay = 0, StartMonth = 0, StartYear = 0;
    std::uint16_t StopMinute = 0, StopHour = 0, StopDay = 0, StopMonth = 0, StopYear = 0;
    double IntervalMinutes = 0, IntervalHours = 0, IntervalDays = 0;
    DateTime StartTime, StartDate, StopTime, StopDate;
};

// The schedule of a reply, with the start and stop as date-time values for the editors.
struct DecodedSchedule {
    MeasurementSchedule fields;
    DateTime startTime, startDate, stopTime, stopDate;
};

// A start or stop field of a schedule reply that is not a valid time of day or date.
struct ScheduleFault {
    Msg field;          // which one: Msg::ScheduleStartTime .. Msg::ScheduleStopDate
    std::string value;  // as the logger sent it, e.g. "25:61" or "31.2.2024"
    // The operator's message naming the field.
    std::string Text(Language language) const;
};

// Decodes bytes 3..15 of a schedule reply. When a start or stop field does not form a valid
// time of day or date, returns the fault instead.
struct ScheduleDecodeResult {
    std::optional<DecodedSchedule> schedule;
    std::optional<ScheduleFault> fault;
};
ScheduleDecodeResult DecodeSchedule(const Reply& reply);

// Builds request 51 in the buffer; returns the number of bytes to send (17).
Request ScheduleRequest(const MeasurementSchedule& s);
int BuildScheduleRequest(const MeasurementSchedule& s, PacketBuffer& buffer);

// What the schedule editors hold when the operator presses bSet.
struct ScheduleEditors {
    DateTime timeStart, dateStart, timeStop, dateStop;
    double days = 0, hours = 0, minutes = 0;
};

// Captures the editors into the schedule: the time of day of the time editors and the date of
// the date editors, the byte fields split from them (seconds and milliseconds dropped), and the
// interval as shown. An interval of exactly zero becomes one minute, since the logger cannot
// measure without a step. Returns true when that replacement was made.
bool CaptureSchedule(MeasurementSchedule& s, const ScheduleEditors& e);

}  // namespace qm

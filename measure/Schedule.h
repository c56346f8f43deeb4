#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/DateTime.h"
#include "protocol/PacketBuffer.h"
#include "protocol/Reply.h"

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

// Decodes bytes 3..15 of a schedule reply. When a start or stop field does not form a valid
// time of day or date, returns the operator's message naming the field instead.
struct ScheduleDecodeResult {
    std::optional<DecodedSchedule> schedule;
    std::string error;
};
ScheduleDecodeResult DecodeSchedule(const Reply& reply);

// Builds request 51 in the buffer; returns the number of bytes to send (17).
int BuildScheduleRequest(const MeasurementSchedule& s, PacketBuffer& buffer);

}  // namespace qm

#include "measure/Schedule.h"

#include <algorithm>
#include <cmath>

#include "protocol/CommandCode.h"

namespace qm {
namespace {

std::uint8_t LowByteOfTruncated(double v) {
    // The editors' values are doubles that need not lie in the spin boxes' range: clamp them
    // to what a 32-bit count holds before the conversion, which is undefined beyond it.
    if (std::isnan(v)) return 0;
    const double whole = std::clamp(std::trunc(v), -2147483648.0, 2147483647.0);
    return static_cast<std::uint8_t>(static_cast<std::int64_t>(whole) & 0xFF);
}

ScheduleFault InvalidField(Msg field, int a, int b, int c, const char* form) {
    return {field, std::to_string(a) + form + std::to_string(b) +
                       (c >= 0 ? form + std::to_string(c) : "")};
}

// The byte fields of one end of the run (start or stop), in the order the schedule carries them,
// from its time of day and its date.
void SplitRunEnd(const DateTime& time, const DateTime& date, std::uint16_t& minute,
                 std::uint16_t& hour, std::uint16_t& day, std::uint16_t& month,
                 std::uint16_t& year) {
    const CivilDateTime t = time.ToCivil();
    const CivilDateTime d = date.ToCivil();
    minute = static_cast<std::uint16_t>(t.minute);
    hour = static_cast<std::uint16_t>(t.hour);
    day = static_cast<std::uint16_t>(d.day);
    month = static_cast<std::uint16_t>(d.month);
    year = static_cast<std::uint16_t>(d.year);
}

}  // namespace

std::string ScheduleFault::Text(Language language) const {
    return Message(Msg::ScheduleInvalid, language, {Message(field, language), value});
}

ScheduleDecodeResult DecodeSchedule(const Reply& r) {
    DecodedSchedule d;
    MeasurementSchedule& s = d.fields;
    s.StartMinute = r.At(3);
    s.StartHour = r.At(4);
    s.StartDay = r.At(5);
    s.StartMonth = r.At(6);
    s.StartYear = static_cast<std::uint16_t>(r.At(7) + 2000);
    s.StopMinute = r.At(8);
    s.StopHour = r.At(9);
    s.StopDay = r.At(10);
    s.StopMonth = r.At(11);
    s.StopYear = static_cast<std::uint16_t>(r.At(12) + 2000);
    s.IntervalMinutes = r.At(13);
    s.IntervalHours = r.At(14);
    s.IntervalDays = r.At(15);

    ScheduleDecodeResult result;
    const auto startTime = DateTime::FromTime(s.StartHour, s.StartMinute);
    if (!startTime) {
        result.fault = InvalidField(Msg::ScheduleStartTime, s.StartHour, s.StartMinute, -1, ":");
        return result;
    }
    const auto stopTime = DateTime::FromTime(s.StopHour, s.StopMinute);
    if (!stopTime) {
        result.fault = InvalidField(Msg::ScheduleStopTime, s.StopHour, s.StopMinute, -1, ":");
        return result;
    }
    const auto startDate = DateTime::FromDate(s.StartYear, s.StartMonth, s.StartDay);
    if (!startDate) {
        result.fault =
            InvalidField(Msg::ScheduleStartDate, s.StartDay, s.StartMonth, s.StartYear, ".");
        return result;
    }
    const auto stopDate = DateTime::FromDate(s.StopYear, s.StopMonth, s.StopDay);
    if (!stopDate) {
        result.fault = InvalidField(Msg::ScheduleStopDate, s.StopDay, s.StopMonth, s.StopYear, ".");
        return result;
    }
    d.startTime = *startTime;
    d.stopTime = *stopTime;
    d.startDate = *startDate;
    d.stopDate = *stopDate;
    result.schedule = d;
    return result;
}

Request ScheduleRequest(const MeasurementSchedule& s) {
    ScheduleFields f;
    f.startMinute = static_cast<std::uint8_t>(s.StartMinute);
    f.startHour = static_cast<std::uint8_t>(s.StartHour);
    f.startDay = static_cast<std::uint8_t>(s.StartDay);
    f.startMonth = static_cast<std::uint8_t>(s.StartMonth);
    f.startYear = static_cast<std::uint8_t>((s.StartYear - 2000) & 0xFF);
    f.stopMinute = static_cast<std::uint8_t>(s.StopMinute);
    f.stopHour = static_cast<std::uint8_t>(s.StopHour);
    f.stopDay = static_cast<std::uint8_t>(s.StopDay);
    f.stopMonth = static_cast<std::uint8_t>(s.StopMonth);
    f.stopYear = static_cast<std::uint8_t>((s.StopYear - 2000) & 0xFF);
    f.intervalMinutes = LowByteOfTruncated(s.IntervalMinutes);
    f.intervalHours = LowByteOfTruncated(s.IntervalHours);
    f.intervalDays = LowByteOfTruncated(s.IntervalDays);
    return requests::WriteSchedule(f);
}

int BuildScheduleRequest(const MeasurementSchedule& s, PacketBuffer& b) {
    return PlaceRequest(ScheduleRequest(s), b);
}

bool CaptureSchedule(MeasurementSchedule& s, const ScheduleEditors& e) {
    s.StartTime = e.timeStart.TimeOfDay();
    s.StartDate = e.dateStart.DatePart();
    SplitRunEnd(s.StartTime, s.StartDate, s.StartMinute, s.StartHour, s.StartDay, s.StartMonth,
                s.StartYear);
    s.StopTime = e.timeStop.TimeOfDay();
    s.StopDate = e.dateStop.DatePart();
    SplitRunEnd(s.StopTime, s.StopDate, s.StopMinute, s.StopHour, s.StopDay, s.StopMonth,
                s.StopYear);
    s.IntervalDays = e.days;
    s.IntervalHours = e.hours;
    s.IntervalMinutes = e.minutes;
    if (s.IntervalDays == 0 && s.IntervalHours == 0 && s.IntervalMinutes == 0) {
        s.IntervalMinutes = 1;
        return true;
    }
    return false;
}

}  // namespace qm

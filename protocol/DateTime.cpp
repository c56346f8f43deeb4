#include "protocol/DateTime.h"

#include <chrono>
#include <cstdio>

namespace qm {
namespace {

using namespace std::chrono;

constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

bool IsValidDate(int y, int m, int d) {
    if (y < 1 || y > 9999) return false;
    return year_month_day{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}}
               .ok() &&
           m >= 1 && d >= 1;
}

bool IsValidTime(int h, int m, int s, int ms) {
    return h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60 && ms >= 0 && ms < 1000;
}

std::optional<DateTime> DateTime::FromCivil(const CivilDateTime& c) {
    if (!IsValidDate(c.year, c.month, c.day) ||
        !IsValidTime(c.hour, c.minute, c.second, c.millisecond))
        return std::nullopt;
    const sys_days date{year{c.year} / month{static_cast<unsigned>(c.month)} /
                        day{static_cast<unsigned>(c.day)}};
    const std::int64_t days = (date - kEpoch).count();
    return DateTime(days * kMsPerDay + c.hour * kMsPerHour + c.minute * kMsPerMinute +
                    c.second * kMsPerSecond + c.millisecond);
}

std::optional<DateTime> DateTime::FromDate(int y, int m, int d) {
    return FromCivil({y, m, d, 0, 0, 0, 0});
}

std::optional<DateTime> DateTime::FromTime(int h, int m, int s, int ms) {
    if (!IsValidTime(h, m, s, ms)) return std::nullopt;
    return DateTime(h * kMsPerHour + m * kMsPerMinute + s * kMsPerSecond + ms);
}

CivilDateTime DateTime::ToCivil() const {
    const std::int64_t days = FloorDiv(ms_, kMsPerDay);
    std::int64_t rest = ms_ - days * kMsPerDay;
    const year_month_day ymd{kEpoch + std::chrono::days{days}};
    CivilDateTime c;
    c.year = static_cast<int>(ymd.year());
    c.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    c.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    c.hour = static_cast<int>(rest / kMsPerHour);
    rest %= kMsPerHour;
    c.minute = static_cast<int>(rest / kMsPerMinute);
    rest %= kMsPerMinute;
    c.second = static_cast<int>(rest / kMsPerSecond);
    c.millisecond = static_cast<int>(rest % kMsPerSecond);
    return c;
}

DateTime DateTime::DatePart() const {
    return DateTime(FloorDiv(ms_, kMsPerDay) * kMsPerDay);
}

DateTime DateTime::TimeOfDay() const {
    return DateTime(ms_ - DatePart().ms_);
}

std::string TimeText(const DateTime& t) {
    const CivilDateTime c = t.ToCivil();
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.hour, c.minute, c.second);
    return text;
}

std::string DateText(const DateTime& d) {
    const CivilDateTime c = d.ToCivil();
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", c.day, c.month, c.year);
    return text;
}

}  // namespace qm

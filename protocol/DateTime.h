#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qm {

// A calendar date and time of day, split into its fields.
struct CivilDateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int millisecond = 0);

// A point in local PC time, held exactly as milliseconds since 30 December 1899 00:00 (the day
// count the program's date editors and date arithmetic are based on). Whole-second arithmetic
// on it is exact on every platform.
class DateTime {
public:
    constexpr DateTime() = default;
    static constexpr DateTime FromMilliseconds(std::int64_t ms) { return DateTime(ms); }
    // Returns nothing when the fields do not form a valid date and time of day.
    static std::optional<DateTime> FromCivil(const CivilDateTime& c);
    static std::optional<DateTime> FromDate(int year, int month, int day);
    // A time of day alone: a DateTime on day 0.
    static std::optional<DateTime> FromTime(int hour, int minute, int second = 0, int ms = 0);

    CivilDateTime ToCivil() const;
    constexpr std::int64_t Milliseconds() const { return ms_; }
    // The date part (time of day 00:00) and the time-of-day part (on day 0).
    DateTime DatePart() const;
    DateTime TimeOfDay() const;
    // Day count with the time of day as the fraction.
    double Days() const { return static_cast<double>(ms_) / 86'400'000.0; }

    friend constexpr DateTime operator+(DateTime a, DateTime b) { return DateTime(a.ms_ + b.ms_); }
    friend constexpr auto operator<=>(DateTime a, DateTime b) = default;

    static constexpr std::int64_t kMsPerSecond = 1000;
    static constexpr std::int64_t kMsPerMinute = 60 * kMsPerSecond;
    static constexpr std::int64_t kMsPerHour = 60 * kMsPerMinute;
    static constexpr std::int64_t kMsPerDay = 24 * kMsPerHour;

private:
    constexpr explicit DateTime(std::int64_t ms) : ms_(ms) {}
    std::int64_t ms_ = 0;
};

// "hh:mm:ss" and "dd.mm.yyyy": the texts the program shows for times and dates.
std::string TimeText(const DateTime& t);
std::string DateText(const DateTime& d);

}  // namespace qm

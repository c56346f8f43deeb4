#pragma once

#include <QColor>
#include <QDate>
#include <QString>
#include <QTime>
#include <string>
#include <string_view>

#include "protocol/DateTime.h"
#include "ui/model/Colour.h"

namespace qm {

// Conversions between the window model's plain values and Qt's.

inline QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline QColor ToQColor(Colour c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

// The time of day of `t` (dates are ignored).
inline QTime ToQTime(const DateTime& t) {
    const CivilDateTime c = t.ToCivil();
    return QTime(c.hour, c.minute, c.second, c.millisecond);
}

// The date of `d` (the time of day is ignored).
inline QDate ToQDate(const DateTime& d) {
    const CivilDateTime c = d.ToCivil();
    return QDate(c.year, c.month, c.day);
}

// A time of day as the model holds it (on day 0); an invalid time gives midnight.
inline DateTime FromQTime(const QTime& t) {
    return DateTime::FromTime(t.hour(), t.minute(), t.second(), t.msec()).value_or(DateTime());
}

// A date as the model holds it (time 00:00); an invalid date gives day 0.
inline DateTime FromQDate(const QDate& d) {
    return DateTime::FromDate(d.year(), d.month(), d.day()).value_or(DateTime());
}

}  // namespace qm

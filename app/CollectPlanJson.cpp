#include "app/CollectPlanJson.h"

#include <QJsonArray>
#include <QString>

#include "store/LocalFiles.h"

namespace qm {

namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QJsonObject LinkJson(const StationLink& link) {
    QJsonObject o;
    o["kind"] = QString::fromLatin1(LinkKindWord(link.kind));
    switch (link.kind) {
        case StationLink::Kind::Serial:
            o["port"] = Q(link.port);
            break;
        case StationLink::Kind::Radio:
            o["address"] = link.radioAddress;
            break;
        case StationLink::Kind::Bluetooth:
            o["address"] = Q(link.bluetoothAddress);
            break;
        case StationLink::Kind::Usb:
            break;
    }
    return o;
}

// When a station is visited by --serve: null for once at the start.
QJsonValue ScheduleJson(const StationTiming& t) {
    if (!t.every) return QJsonValue::Null;
    QJsonObject o;
    o["everySeconds"] = static_cast<qint64>(t.every->count());
    if (t.at) {
        const auto minutes = static_cast<int>(t.at->count());
        o["at"] = QStringLiteral("%1:%2")
                      .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                      .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    } else {
        o["at"] = QJsonValue::Null;
    }
    o["retries"] = static_cast<qint64>(t.retries);
    o["retryEverySeconds"] = static_cast<qint64>(t.retryEvery.count());
    o["secondaryEverySeconds"] = static_cast<qint64>(t.secondaryEvery.count());
    return o;
}

}  // namespace

QJsonObject PlanJson(const StationsPlan& plan, Language language) {
    QJsonArray stations;
    for (const Station& s : plan.stations) {
        QJsonObject o;
        o["name"] = Q(s.name);
        o["link"] = LinkJson(s.link);
        if (s.directories.empty()) {
            o["directories"] = QStringLiteral("all");
        } else {
            QJsonArray directories;
            for (const std::string& d : s.directories) directories.append(Q(d));
            o["directories"] = directories;
        }
        o["mode"] = QString::fromLatin1(CollectModeWord(s.mode));
        o["clock"] = QString::fromLatin1(ClockPolicyWord(s.clock));
        o["maxOffsetSeconds"] = static_cast<qint64>(s.maxOffsetSeconds);
        o["schedule"] = ScheduleJson(s.timing);
        o["folder"] = Q(PathText(s.folder));
        stations.append(o);
    }
    QJsonObject o;
    o["stationsFile"] = Q(PathText(plan.file));
    o["stations"] = stations;
    QJsonArray warnings;
    for (const StationsFileWarning& w : plan.warnings) warnings.append(Q(w.Text(language)));
    o["warnings"] = warnings;
    return o;
}

}  // namespace qm

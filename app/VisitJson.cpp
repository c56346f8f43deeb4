#include "app/VisitJson.h"

#include <cmath>

#include "app/Console.h"
#include "protocol/Cp1251.h"
#include "session/DownloadLog.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"

namespace qm {

namespace {

// The line value as a number when the title shows a whole one, and as the title's text.
void PutLine(QJsonObject& o, const std::string& text) {
    const std::optional<int> line = LineNumber(text);
    o["line"] = line ? QJsonValue(*line) : QJsonValue();
    o["lineText"] = text.empty() ? QJsonValue() : QJsonValue(Q(text));
}

std::vector<std::string> Directories(const LoggerState& logger) {
    std::vector<std::string> names;
    for (const std::string& name : logger.directories) names.push_back(Cp1251ToUtf8(name));
    return names;
}

}  // namespace

QJsonArray MessageTexts(const std::vector<VisitMessage>& messages, Language language,
                        std::size_t from) {
    QJsonArray a;
    for (std::size_t i = from; i < messages.size(); ++i) a.append(Q(messages[i].Text(language)));
    return a;
}

QJsonValue ClockJson(const std::optional<ClockReading>& r) {
    if (!r) return QJsonValue();
    QJsonObject o;
    o["clock"] = Q(IsoText(r->logger));
    o["pc"] = Q(IsoText(r->pc));
    o["offsetSeconds"] = static_cast<qint64>(r->OffsetSeconds());
    return o;
}

QJsonObject CopyJson(const VisitCopy& c, Language language) {
    QJsonObject o;
    o["directory"] = Q(c.directory);
    o["folder"] = Q(PathText(c.folder));
    o["mode"] = Q(std::string(CollectedModeWord(CollectedModeOf(c.mode))));
    if (c.day) o["day"] = Q(DayText(*c.day));
    o["files"] = static_cast<qint64>(c.result.totals.files);
    o["measurements"] = static_cast<qint64>(c.result.measurements);
    o["bytes"] = static_cast<double>(c.result.totals.bytes);
    o["seconds"] = std::round(static_cast<double>(c.elapsedMs) / 100.0) / 10;
    o["retries"] = static_cast<qint64>(c.result.totals.retries);
    const CollectionResult result = c.done    ? CollectionResult::Done
                                    : c.ended ? CollectionResultOf(*c.ended)
                                              : CollectionResult::Failed;
    o["result"] = Q(std::string(CollectionResultWord(result)));
    o["errors"] = MessageTexts(c.errors, language);
    o["warnings"] = MessageTexts(c.warnings, language);
    return o;
}

QJsonObject InfoJson(const VisitResult& r, const std::string& link, Language language) {
    const LoggerState& logger = r.logger;
    const LoggerIdentity identity = logger.identity.value_or(LoggerIdentity{});
    QJsonObject o;
    o["deviceType"] = static_cast<int>(identity.deviceType);
    o["version"] = static_cast<int>(identity.version);
    o["title"] = Q(identity.title);
    o["link"] = Q(link);
    const QJsonValue clock = ClockJson(logger.clock);
    o["clock"] = clock.isObject() ? clock.toObject()["clock"] : QJsonValue();
    o["clockOffsetSeconds"] = clock.isObject() ? clock.toObject()["offsetSeconds"] : QJsonValue();
    if (logger.batteryVolts)
        o["batteryVolts"] = std::round(*logger.batteryVolts * 10) / 10;
    else
        o["batteryVolts"] = QJsonValue();
    if (identity.keepsRemarks) {
        o["remarks"] =
            logger.remarks
                ? QJsonValue(QJsonArray{Q(logger.remarks->first), Q(logger.remarks->second)})
                : QJsonValue();
    } else if (logger.schedule) {
        // The schedule as the logger reported it.
        const DecodedSchedule& d = *logger.schedule;
        QJsonObject schedule;
        schedule["start"] = Q(IsoText(d.startDate.DatePart() + d.startTime.TimeOfDay()));
        schedule["stop"] = Q(IsoText(d.stopDate.DatePart() + d.stopTime.TimeOfDay()));
        schedule["intervalDays"] = d.fields.IntervalDays;
        schedule["intervalHours"] = d.fields.IntervalHours;
        schedule["intervalMinutes"] = d.fields.IntervalMinutes;
        o["schedule"] = schedule;
    } else {
        o["schedule"] = QJsonValue();  // not read, or not a valid schedule
    }
    const std::optional<int> line = LineNumber(logger.line);
    o["line"] = line ? QJsonValue(*line) : QJsonValue();
    o["lineText"] = logger.line.empty() ? QJsonValue() : Q(logger.line);
    QJsonArray directories;
    for (const std::string& name : Directories(logger)) directories.append(Q(name));
    o["directories"] = directories;
    o["errors"] = MessageTexts(r.sessionErrors, language);
    return o;
}

std::vector<VisitMessage> StationErrors(const VisitResult& r) {
    const std::size_t before = r.errorsBeforeCopies.value_or(r.sessionErrors.size());
    std::vector<VisitMessage> errors(r.sessionErrors.begin(),
                                     r.sessionErrors.begin() + static_cast<std::ptrdiff_t>(before));
    errors.insert(errors.end(), r.errors.begin(), r.errors.end());
    return errors;
}

std::optional<std::string> VisitError(const VisitResult& r, Language language) {
    std::string text;
    for (const VisitMessage& m : StationErrors(r))
        text += (text.empty() ? "" : "; ") + m.Text(language);
    if (text.empty()) {
        for (const VisitCopy& c : r.copies) {
            if (!c.done && !c.errors.empty()) {
                text = c.errors.front().Text(language);
                break;
            }
        }
    }
    if (text.empty()) return std::nullopt;
    return text;
}

QJsonObject StationJson(const Station& station, const VisitResult& r, Language language) {
    const LoggerState& logger = r.logger;
    QJsonObject o;
    o["name"] = Q(station.name);
    o["tried"] = r.tried;
    o["reached"] = r.reached;
    const auto& id = logger.identity;
    o["deviceType"] = id ? QJsonValue(id->deviceType) : QJsonValue();
    o["version"] = id ? QJsonValue(id->version) : QJsonValue();
    o["title"] = id ? QJsonValue(Q(id->title)) : QJsonValue();
    PutLine(o, logger.line);
    o["batteryVolts"] = logger.batteryVolts
                            ? QJsonValue(std::round(*logger.batteryVolts * 100) / 100)
                            : QJsonValue();
    o["clockOffsetSeconds"] =
        r.offsetBefore ? QJsonValue(static_cast<qint64>(*r.offsetBefore)) : QJsonValue();
    o["clockSet"] = r.offsetAfter.has_value();
    o["clockOffsetAfterSeconds"] =
        r.offsetAfter ? QJsonValue(static_cast<qint64>(*r.offsetAfter)) : QJsonValue();
    o["folder"] = Q(PathText(station.folder));
    QJsonArray copies;
    for (const VisitCopy& c : r.copies) copies.append(CopyJson(c, language));
    o["copies"] = copies;
    o["errors"] = MessageTexts(StationErrors(r), language);
    o["warnings"] = MessageTexts(r.warnings, language);
    return o;
}

}  // namespace qm

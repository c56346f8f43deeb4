#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <optional>
#include <string>
#include <vector>

#include "collect/StationsFile.h"
#include "collect/Visit.h"
#include "text/Language.h"

namespace qm {

// A visit's result as the runs without a window print it.

// The messages from `from` on, worded, as a JSON array.
QJsonArray MessageTexts(const std::vector<VisitMessage>& messages, Language language,
                        std::size_t from = 0);
// A clock reading: "clock", "pc", "offsetSeconds"; null for none.
QJsonValue ClockJson(const std::optional<ClockReading>& reading);
// One copy: "directory", "folder", "mode", ["day",] "files", "measurements", "bytes", "seconds",
// "retries", "result", "errors", "warnings".
QJsonObject CopyJson(const VisitCopy& copy, Language language);
// What --info prints of the logger read out over `link` ("usb" or the port).
QJsonObject InfoJson(const VisitResult& r, const std::string& link, Language language);
// What the station did, as --collect lists it; a station not tried has only `why` among its
// errors.
QJsonObject StationJson(const Station& station, const VisitResult& r, Language language);
// Why a visited station was not collected, in words: its own errors, or else the first of a
// copy that did not end done.
std::optional<std::string> VisitError(const VisitResult& r, Language language);
// The visit's own errors after what the session said before the copies (each copy lists its
// own).
std::vector<VisitMessage> StationErrors(const VisitResult& r);

}  // namespace qm

#include "app/DirectoryCopies.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "protocol/Cp1251.h"
#include "session/CopyProgress.h"
#include "store/Catalogue.h"
#include "store/LocalFiles.h"

namespace qm {

namespace {

const char* ModeWord(CopyMode mode) {
    switch (mode) {
        case CopyMode::New:
            return "new";
        case CopyMode::Day:
            return "day";
        case CopyMode::All:
            break;
    }
    return "all";
}

const char* EndWord(CopyResult::End end) {
    switch (end) {
        case CopyResult::End::Failed:
            return "failed";
        case CopyResult::End::Stopped:
            return "stopped";
        case CopyResult::End::Done:
            break;
    }
    return "done";
}

}  // namespace

std::string IsoText(const DateTime& t) {
    const CivilDateTime c = t.ToCivil();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
    return text;
}

std::string DayText(const DateTime& t) {
    return IsoText(t).substr(0, 10);
}

DirectoryCopies::DirectoryCopies(SessionWork& work, const LoggerState& logger,
                                 HeadlessServices& ops, ErrorStream& err, Language language,
                                 Request request, std::function<void(const std::string&)> progress)
    : work_(work),
      logger_(logger),
      ops_(ops),
      err_(err),
      language_(language),
      request_(request),
      progress_(std::move(progress)) {}

std::vector<std::string> DirectoryCopies::Listed() const {
    std::vector<std::string> names;
    for (const std::string& name : logger_.directories) names.push_back(Cp1251ToUtf8(name));
    return names;
}

void DirectoryCopies::Add(const std::vector<std::string>& names) {
    waiting_.insert(waiting_.end(), names.begin(), names.end());
}

bool DirectoryCopies::StartNext() {
    while (!waiting_.empty()) {
        const std::string name = waiting_.front();
        waiting_.pop_front();
        if (Start(name)) return true;
    }
    return false;
}

bool DirectoryCopies::Start(const std::string& name) {
    copy_ = Copy{name, ops_.errors.size(), ops_.warnings.size(), {}, false, std::nullopt};
    copy_->elapsed.start();
    const std::vector<std::string> items = Listed();
    if (std::find(items.begin(), items.end(), name) == items.end()) {
        std::string all;
        for (const std::string& item : items) all += (all.empty() ? "" : ", ") + item;
        ops_.ShowError(Text(Msg::CliNoDirectory, {name, all.empty() ? "-" : all}));
        WriteUp();
        return false;
    }
    const CopyStart start = work_.StartCopy(name, request_.mode, request_.day);
    copy_->began = start != CopyStart::Refused;
    switch (start) {
        case CopyStart::Started:
            return true;
        case CopyStart::StartedWhole:
            err_.Line(Text(Msg::CliCopiedWhole, {name}));
            return true;
        case CopyStart::Refused:
            break;
    }
    // Refused, and the reason told; a refusal without one still fails the run.
    WriteUp();
    return false;
}

void DirectoryCopies::Ended(const CopyResult& result) {
    if (copy_) copy_->result = result;
}

bool DirectoryCopies::Step(bool linkUp) {
    if (!copy_) return false;
    const CopyProgressView progress = work_.Progress();
    if (progress.active) {
        // On one line: the directory, file i of n, the measurements and the time left.
        std::string text = copy_->directory + ": " + CopyProgress::Caption(progress, language_);
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n'))
            text.replace(at, 1, " · ");
        progress_(text);
    }
    // The copy has run its finishing step, or the far end went without one.
    if (work_.CopyRunning()) return true;
    if (!copy_->result && linkUp) return true;
    WriteUp();
    if (!linkUp) {
        // The far end has gone: the other directories cannot be reached.
        waiting_.clear();
        failed_ = true;
    }
    return false;
}

void DirectoryCopies::Stop(const std::string& why) {
    if (copy_) WriteUp(why);
    waiting_.clear();
    failed_ = true;
}

void DirectoryCopies::WriteUp(const std::string& stopped) {
    err_.ClearProgress();
    // A copy that did not start has nothing; one cut short has what it had put in place.
    const CopyResult r = copy_->result  ? *copy_->result
                         : copy_->began ? work_.CopySoFar()
                                        : CopyResult{};
    const bool day = request_.mode == CopyMode::Day;
    std::vector<std::string> errors(ops_.errors.begin() + copy_->errorsAtStart, ops_.errors.end());
    if (!stopped.empty()) errors.push_back(stopped);
    // A day without a measurement is a warning of the copy, in its JSON as on standard error.
    if (day && copy_->began && r.measurements == 0 && errors.empty())
        ops_.ShowWarning(Text(Msg::CliNoDayData, {copy_->directory, DayText(request_.day)}));

    QJsonObject o;
    o["directory"] = Q(copy_->directory);
    // Where the copy went, in full even when DATA could not be made in the start folder.
    std::error_code ec;
    const auto folder = DataSetFolder(work_.DataFolder(), Utf8ToCp1251(copy_->directory));
    const auto absolute = std::filesystem::absolute(folder, ec);
    o["folder"] = Q(PathText(ec ? folder : absolute));
    // A "new" copy of a directory never copied before copies it whole: its mode says so.
    o["mode"] = ModeWord(copy_->began ? r.mode : request_.mode);
    if (day) o["day"] = Q(DayText(request_.day));
    o["files"] = static_cast<qint64>(r.totals.files);
    o["measurements"] = static_cast<qint64>(r.measurements);
    o["bytes"] = static_cast<double>(r.totals.bytes);
    o["seconds"] = std::round(copy_->elapsed.elapsed() / 100.0) / 10;
    o["retries"] = static_cast<qint64>(r.totals.retries);
    const bool done = copy_->began && copy_->result &&
                      copy_->result->end == CopyResult::End::Done && errors.empty();
    o["result"] = done ? "done" : copy_->result ? EndWord(copy_->result->end) : "failed";
    o["errors"] = Texts(errors);
    o["warnings"] = Texts(ops_.warnings, copy_->warningsAtStart);
    if (!done) failed_ = true;
    written_.append(o);
    copy_.reset();
}

}  // namespace qm

#include "session/CopyProgress.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

constexpr std::int64_t kMsPerDay = DateTime::kMsPerDay;
// An average month, for files that are not named by theirs.
constexpr double kMonthMs = 30.436875 * static_cast<double>(kMsPerDay);

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// Two digits at `at`; a blank before the second one when `blankFirst`.
std::optional<int> TwoDigits(const std::string& s, std::size_t at, bool blankFirst = false) {
    if (s.size() < at + 2 || !Digit(s[at + 1])) return std::nullopt;
    if (Digit(s[at])) return 10 * (s[at] - '0') + (s[at + 1] - '0');
    if (blankFirst && s[at] == ' ') return s[at + 1] - '0';
    return std::nullopt;
}

std::optional<std::int64_t> MonthStartMs(int year, int month) {
    const auto d = DateTime::FromDate(year, month, 1);
    if (!d) return std::nullopt;
    return d->Milliseconds();
}

// A count with its thousands grouped: "14 520" (no-break space) or "14,520".
std::string Grouped(std::int64_t n, Language language) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    const std::string separator = language == Language::English ? "," : "\xC2\xA0";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

std::string TwoDigitText(long v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

}  // namespace

std::optional<DateTime> CopyProgress::HeaderTime(const std::string& text) {
    if (text.size() < 16 || text[2] != ':' || text[5] != ' ' || text[8] != '.' || text[11] != '.')
        return std::nullopt;
    const auto hour = TwoDigits(text, 0), minute = TwoDigits(text, 3);
    const auto day = TwoDigits(text, 6, true), month = TwoDigits(text, 9);
    const auto century = TwoDigits(text, 12), year = TwoDigits(text, 14);
    if (!hour || !minute || !day || !month || !century || !year) return std::nullopt;
    return DateTime::FromCivil({100 * *century + *year, *month, *day, *hour, *minute, 0, 0});
}

std::optional<std::pair<int, int>> CopyProgress::MonthOfFileName(const std::string& name) {
    std::size_t i = 0;
    int year = 0;
    while (i < name.size() && Digit(name[i]) && i < 4) year = 10 * year + (name[i++] - '0');
    if (i == 0 || i >= name.size() || name[i] != '_') return std::nullopt;
    ++i;
    int month = 0;
    const std::size_t monthStart = i;
    while (i < name.size() && Digit(name[i]) && i - monthStart < 2)
        month = 10 * month + (name[i++] - '0');
    if (i == monthStart || month < 1 || month > 12 || year < 1) return std::nullopt;
    std::string ext = name.substr(i);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (ext != ".dat") return std::nullopt;
    return std::pair{year, month};
}

std::string CopyProgress::DurationText(double seconds, Language language) {
    long s = std::lround(std::max(0.0, seconds));
    if (s >= 3600) {
        const long minutes = (s + 30) / 60;
        return Message(Msg::DurationHours, language,
                       {std::to_string(minutes / 60), TwoDigitText(minutes % 60)});
    }
    if (s >= 60) {
        // Beyond ten minutes the seconds are only a guess: tens of them.
        if (s >= 600) s = (s + 5) / 10 * 10;
        return Message(Msg::DurationMinutes, language,
                       {std::to_string(s / 60), TwoDigitText(s % 60)});
    }
    return Message(Msg::DurationSeconds, language, {std::to_string(s)});
}

void CopyProgress::BeginListing() {
    *this = CopyProgress(*ctx_);
    active_ = true;
    listing_ = true;
    Tell();
}

void CopyProgress::FilesChosen(const std::vector<std::string>& names, std::size_t first) {
    listing_ = false;
    names_ = names;
    first_ = std::max<std::size_t>(first, 1);
    ChartFiles();
    Tell();
}

void CopyProgress::BeginDay(DateTime day) {
    *this = CopyProgress(*ctx_);
    active_ = true;
    dayBeginMs_ = day.DatePart().Milliseconds();
    names_ = {std::string()};
    ChartFiles();
    FileOpened(1);
}

void CopyProgress::RestartDay() {
    if (!active_ || !dayBeginMs_) return;
    shownBeforeRestart_ = std::max(shownBeforeRestart_, measurements_);
    measurements_ = 0;
    fileMeasurements_ = 0;
    fileFirstMs_.reset();
    fileLastMs_.reset();
    Tell();
}

void CopyProgress::FileOpened(std::size_t index) {
    if (!active_) return;
    if (current_ != 0 && current_ <= spans_.size()) CloseFile();
    current_ = index;
    fileMeasurements_ = 0;
    fileFirstMs_.reset();
    fileLastMs_.reset();
    if (!startedMs_) startedMs_ = ctx_->clock.Now().Milliseconds();
    Tell();
}

void CopyProgress::CloseFile() {
    ++filesDone_;
    measurementsDone_ += fileMeasurements_;
    if (!fileFirstMs_ || fileMeasurements_ < 2) return;
    const std::int64_t covered = *fileLastMs_ - *fileFirstMs_;
    intervals_ += fileMeasurements_ - 1;
    coveredMs_ += covered;
    // How far its data ran into its span (the copy's first file may start anywhere in it; the
    // span running now is not over).
    const FileSpan& span = spans_[current_ - 1];
    if (current_ != runningFile_ && span.beginMs && *span.endMs > *span.beginMs) {
        const double step =
            static_cast<double>(covered) / static_cast<double>(fileMeasurements_ - 1);
        fillCovered_ += std::clamp(static_cast<double>(*fileLastMs_ - *span.beginMs) + step, 0.0,
                                   static_cast<double>(*span.endMs - *span.beginMs));
        fillSpan_ += static_cast<double>(*span.endMs - *span.beginMs);
    }
}

void CopyProgress::Measurement(const std::string& headerText, std::int64_t measurements) {
    if (!active_) return;
    measurements_ = measurements;
    ++fileMeasurements_;
    if (const auto t = HeaderTime(headerText)) {
        const std::int64_t ms = t->Milliseconds();
        fileFirstMs_ = fileFirstMs_ ? std::min(*fileFirstMs_, ms) : ms;
        fileLastMs_ = fileLastMs_ ? std::max(*fileLastMs_, ms) : ms;
    }
    Tell();
}

void CopyProgress::Recount(std::int64_t measurements) {
    if (!active_) return;
    fileMeasurements_ =
        std::max<std::int64_t>(0, fileMeasurements_ - (measurements_ - measurements));
    measurements_ = measurements;
    Tell();
}

void CopyProgress::Stopping() {
    if (!active_) return;
    stopping_ = true;
    Tell();
}

void CopyProgress::End() {
    active_ = false;
    Tell();
}

void CopyProgress::ChartFiles() {
    const std::int64_t now = ctx_->clock.Now().Milliseconds();
    spans_.assign(names_.size(), {});
    for (std::size_t i = 0; i < names_.size(); ++i) {
        FileSpan& span = spans_[i];
        if (dayBeginMs_) {
            span.beginMs = *dayBeginMs_;
            span.endMs = *dayBeginMs_ + kMsPerDay;
        } else if (const auto month = MonthOfFileName(names_[i])) {
            span.beginMs = MonthStartMs(month->first, month->second);
            span.endMs = month->second == 12 ? MonthStartMs(month->first + 1, 1)
                                             : MonthStartMs(month->first, month->second + 1);
            if (!span.beginMs || !span.endMs) span = {};
        }
    }
    chartedMs_ = now;
    runningFile_ = 0;
    for (std::size_t i = 0; i < spans_.size(); ++i)
        if (spans_[i].beginMs && now > *spans_[i].beginMs && now < *spans_[i].endMs)
            runningFile_ = i + 1;
    spanAfter_.assign(names_.size() + 2, 0);
    unnamedAfter_.assign(names_.size() + 2, 0);
    for (std::size_t i = names_.size(); i >= 1; --i) {
        const FileSpan& span = spans_[i - 1];
        const bool counted = span.beginMs && i != runningFile_;
        spanAfter_[i] = spanAfter_[i + 1] + (counted ? *span.endMs - *span.beginMs : 0);
        unnamedAfter_[i] = unnamedAfter_[i + 1] + (span.beginMs ? 0 : 1);
    }
}

double CopyProgress::Fill() const {
    return fillSpan_ > 0 ? std::clamp(fillCovered_ / fillSpan_, 0.05, 1.0) : 1.0;
}

double CopyProgress::SpanEndMs(const FileSpan& span) const {
    // The span running now holds data up to about now.
    return std::min(static_cast<double>(*span.endMs),
                    std::max(static_cast<double>(chartedMs_), static_cast<double>(*span.beginMs)));
}

double CopyProgress::ExpectedEndMs(const FileSpan& span) const {
    const double begin = static_cast<double>(*span.beginMs);
    const double end = begin + Fill() * static_cast<double>(*span.endMs - *span.beginMs);
    // The logger's clock runs near the PC's: data of the span running now end about now.
    return *span.endMs > chartedMs_ && *span.beginMs < chartedMs_
               ? std::min(end, static_cast<double>(chartedMs_))
               : end;
}

std::optional<double> CopyProgress::SecondsLeft() const {
    if (!active_ || listing_ || current_ == 0 || current_ > spans_.size() || !startedMs_ ||
        measurements_ <= 0)
        return std::nullopt;
    // Measurements per millisecond of logger time, from the header times seen.
    std::int64_t intervals = intervals_, covered = coveredMs_;
    if (fileFirstMs_ && fileMeasurements_ >= 2) {
        intervals += fileMeasurements_ - 1;
        covered += *fileLastMs_ - *fileFirstMs_;
    }
    if (intervals <= 0 || covered <= 0) return std::nullopt;
    const double perMs = static_cast<double>(intervals) / static_cast<double>(covered);
    const double perFile =
        filesDone_ > 0 ? static_cast<double>(measurementsDone_) / static_cast<double>(filesDone_)
                       : perMs * kMonthMs;

    // Measurements still to come: the rest of the current file, then the files after it.
    const double fill = Fill();
    double left = 0;
    const FileSpan& current = spans_[current_ - 1];
    if (current.beginMs) {
        const double from =
            fileLastMs_ ? static_cast<double>(*fileLastMs_) : static_cast<double>(*current.beginMs);
        double end = ExpectedEndMs(current);
        // This file's data run on well past where the files before it ended (by more than a
        // tenth of its span, more than months of other lengths explain): they may fill it.
        if (from > end + 0.1 * static_cast<double>(*current.endMs - *current.beginMs))
            end = SpanEndMs(current);
        left += perMs * std::max(0.0, end - from);
    } else {
        left += std::max(0.0, perFile - static_cast<double>(fileMeasurements_));
    }
    left += perMs * fill * static_cast<double>(spanAfter_[current_ + 1]) +
            perFile * static_cast<double>(unnamedAfter_[current_ + 1]);
    if (runningFile_ > current_) {
        const FileSpan& running = spans_[runningFile_ - 1];
        left +=
            perMs * std::max(0.0, ExpectedEndMs(running) - static_cast<double>(*running.beginMs));
    }
    const double elapsedMs = static_cast<double>(ctx_->clock.Now().Milliseconds() - *startedMs_);
    if (elapsedMs <= 0) return std::nullopt;
    const double seconds = elapsedMs / static_cast<double>(measurements_) * left / 1000.0;
    // Less than a measurement or half a second to come while the copy goes on: the data are about
    // to outrun the estimate, or the last lines are awaited. How long that takes is not known; it
    // is not "0 s".
    if (left < 1 || seconds < 0.5) return std::nullopt;
    return seconds;
}

CopyProgressView CopyProgress::View() const {
    CopyProgressView v;
    v.active = active_;
    if (!active_) return v;
    v.listing = listing_;
    v.stopping = stopping_;
    v.measurements = std::max(measurements_, shownBeforeRestart_);
    if (!listing_) {
        v.files = static_cast<int>(names_.size() >= first_ ? names_.size() - first_ + 1 : 0);
        v.file = current_ >= first_ ? static_cast<int>(current_ - first_ + 1) : 0;
    }
    v.secondsLeft = SecondsLeft();
    return v;
}

void CopyProgress::Tell() {
    const CopyProgressView view = View();
    ctx_->session.Report([&view](SessionEvents& e) { e.CopyProgressed(view); });
}

std::string CopyProgress::Caption(const CopyProgressView& v, Language language) {
    if (v.stopping) return Message(Msg::ProgressStopping, language);
    if (v.listing) return Message(Msg::ProgressListing, language);
    std::string text = Message(Msg::ProgressFile, language,
                               {std::to_string(std::max(v.file, 1)), std::to_string(v.files),
                                Grouped(v.measurements, language)});
    if (v.secondsLeft)
        text += "\n" +
                Message(Msg::ProgressTimeLeft, language, {DurationText(*v.secondsLeft, language)});
    return text;
}

}  // namespace qm

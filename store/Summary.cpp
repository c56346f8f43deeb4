#include "store/Summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "store/DataSet.h"
#include "store/Gaps.h"
#include "store/LocalFiles.h"
#include "store/SensorTable.h"
#include "store/Trend.h"
#include "store/ValueLines.h"

namespace qm {

namespace {

// To `decimals` places, as the closest double to the decimal (so -3.002, not -3.0020000000000002).
double Rounded(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(v * scale) / scale;
}

// The unflagged values of sensor `s` (0-based) above `limit` °C over the health's period.
std::optional<Exceedance> ExceedanceOf(const DataSet& set, const Health& health, std::size_t s,
                                       double limit) {
    std::optional<Exceedance> out;
    for (std::size_t i = health.period.first; i < health.period.end; ++i) {
        const std::int32_t v = set.Value(i, s);
        if (v == kMissingValue || health.FlagOf(i, s) != ValueFlag::None) continue;
        const double c = v / 100.0;
        if (!(c > limit)) continue;
        if (!out) out = Exceedance{set.measurements[i].time, {}, 0, 0.0, c};
        out->last = set.measurements[i].time;
        ++out->values;
        out->maxC = std::max(out->maxC, c);
    }
    return out;
}

}  // namespace

std::optional<std::size_t> CrossingPair(std::span<const DepthValue> downward, double threshold) {
    for (std::size_t k = 1; k < downward.size(); ++k)
        if (downward[k - 1].value > threshold && downward[k].value <= threshold) return k;
    return std::nullopt;
}

std::optional<double> CrossingDepth(std::span<const DepthValue> downward, double threshold) {
    const auto k = CrossingPair(downward, threshold);
    if (!k) return std::nullopt;
    const DepthValue& a = downward[*k - 1];
    const DepthValue& b = downward[*k];
    const double t = (a.value - threshold) / (a.value - b.value);
    return a.depthMetres + t * (b.depthMetres - a.depthMetres);
}

std::size_t ExpectedMeasurements(const DataSet& set, const Period& period, std::int64_t* stepMs) {
    const auto kept = std::span(set.measurements).subspan(period.first, period.Size());
    if (stepMs) *stepMs = 0;
    if (kept.empty()) return 0;
    std::int64_t interval = UsualIntervalMinutes(kept);
    if (interval == 0) interval = UsualIntervalMinutes(set.measurements);
    if (interval <= 0) return kept.size();
    const std::int64_t step = interval * 60'000;
    if (stepMs) *stepMs = step;
    const std::int64_t start = period.fromDay ? period.fromDay->DatePart().Milliseconds()
                                              : kept.front().time.Milliseconds();
    std::int64_t expected = 0;
    if (period.toDay) {
        // 24:00 is the next day's first slot, not this period's.
        const std::int64_t end = period.toDay->DatePart().Milliseconds() + DateTime::kMsPerDay;
        expected = end > start ? (end - start + step - 1) / step : 0;
    } else {
        const std::int64_t end = kept.back().time.Milliseconds();
        expected = end >= start ? (end - start) / step + 1 : 0;
    }
    return static_cast<std::size_t>(expected);
}

namespace {

// Where the schedule of `step` milliseconds was not kept.
void FindMissing(const DataSet& set, const Period& period, std::int64_t step, Summary& out) {
    const auto kept = std::span(set.measurements).subspan(period.first, period.Size());
    for (const DataGap& g : FindGaps(kept)) {
        const double slots = static_cast<double>(g.to.Milliseconds() - g.from.Milliseconds()) /
                             static_cast<double>(step);
        out.gaps.push_back({g.from, g.to, std::llround(slots) - 1});
    }
}

void WarnOfDepthOrder(const SensorTable& table, Summary& out) {
    const SensorInfo* above = nullptr;
    for (const SensorInfo& s : table.sensors) {
        if (!s.depthMetres) continue;
        if (above && !(*s.depthMetres > *above->depthMetres))
            out.warnings.push_back({Msg::SummaryDepthOrder, above->sensor, s.sensor,
                                    *above->depthMetres, *s.depthMetres});
        above = &s;
    }
}

std::string TimeOfDayText(DateTime t) {
    const CivilDateTime c = t.ToCivil();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute);
    return text;
}

std::string MetresText(double metres) {
    char text[32];
    const auto r = std::to_chars(std::begin(text), std::end(text), metres);
    return std::string(text, r.ptr);
}

}  // namespace

std::string SummaryWarningText(const SummaryWarning& w, Language language) {
    const std::string upper = std::to_string(w.upper);
    const std::string lower = std::to_string(w.lower);
    const std::string text = Message(
        w.what, language, {upper, MetresText(w.upperMetres), lower, MetresText(w.lowerMetres)});
    // The depths are the table's: named as its lines are.
    return w.what == Msg::SummaryDepthOrder ? std::string(kSensorTableName) + ": " + text : text;
}

Summary Summarize(const DataSet& set, const SensorTable& table, Period period) {
    std::size_t sensorCount = set.sensorCount;
    if (!table.sensors.empty()) sensorCount = std::max(sensorCount, table.sensors.back().sensor);
    const Health health = AssessHealth(set, period, table, sensorCount);
    period = health.period;

    Summary out;
    out.measurements = period.Size();
    std::int64_t step = 0;
    out.expectedMeasurements = ExpectedMeasurements(set, period, &step);
    if (step > 0) FindMissing(set, period, step, out);
    WarnOfDepthOrder(table, out);
    out.intervalMinutes = UsualIntervalMinutes(
        std::span<const Measurement>(set.measurements).subspan(period.first, period.Size()));
    const MonthlyMeans months = MonthlyMeansOf(set, health, out.intervalMinutes);
    for (std::size_t s = 0; s < sensorCount; ++s) {
        SensorSummary ss;
        ss.sensor = s + 1;
        if (const SensorInfo* info = table.Find(s + 1)) {
            ss.depthMetres = info->depthMetres;
            ss.label = info->label;
            ss.limitC = info->limitC;
        }
        ss.count = health.sensors[s].count;
        ss.flags = health.sensors[s].flags;
        // More than the schedule gives, when it changed to a shorter interval, is all of it.
        ss.completeness = out.expectedMeasurements == 0
                              ? 0.0
                              : std::min(1.0, static_cast<double>(ss.count) /
                                                  static_cast<double>(out.expectedMeasurements));
        std::int64_t sum = 0;
        std::size_t used = 0;
        std::int32_t lo = 0;
        std::int32_t hi = 0;
        for (std::size_t i = period.first; i < period.end; ++i) {
            const std::int32_t v = set.Value(i, s);
            if (v == kMissingValue || health.FlagOf(i, s) != ValueFlag::None) continue;
            if (used == 0 || v < lo) lo = v;
            if (used == 0 || v > hi) hi = v;
            sum += v;
            ++used;
        }
        if (used > 0) {
            ss.min = lo / 100.0;
            ss.max = hi / 100.0;
            ss.mean = Rounded(static_cast<double>(sum) / static_cast<double>(used) / 100.0, 3);
        }
        if (ss.limitC && ss.max) {
            ss.marginC = Rounded(*ss.limitC - *ss.max, 2);
            if (*ss.max > *ss.limitC) ss.exceedance = ExceedanceOf(set, health, s, *ss.limitC);
        }
        if (const auto trend = TrendPerDecade(months, s)) ss.trendCPerDecade = Rounded(*trend, 2);
        if (ss.exceedance) {
            ss.exceedance->hours = Rounded(static_cast<double>(ss.exceedance->values) *
                                               static_cast<double>(out.intervalMinutes) / 60.0,
                                           1);
            ++out.exceeded;
        }
        out.sensors.push_back(std::move(ss));
    }

    // Down the string from the surface, the sensors to be trusted.
    std::vector<const SensorSummary*> down;
    for (const SensorSummary& ss : out.sensors)
        if (ss.depthMetres && *ss.depthMetres >= 0.0 && ss.max && !(ss.flags & (kDead | kStuck)))
            down.push_back(&ss);
    std::stable_sort(down.begin(), down.end(), [](const auto* a, const auto* b) {
        return *a->depthMetres < *b->depthMetres;
    });
    std::vector<DepthValue> maxima;
    std::vector<DepthValue> ranges;
    for (const SensorSummary* ss : down) {
        maxima.push_back({*ss->depthMetres, *ss->max});
        ranges.push_back({*ss->depthMetres, Rounded(*ss->max - *ss->min, 2)});
    }
    const auto metres = [](std::optional<double> d) -> std::optional<double> {
        if (d) return Rounded(*d, 3);
        return d;
    };
    out.activeLayerMetres = metres(CrossingDepth(maxima, kThawDegrees));
    out.zeroAmplitudeMetres = metres(CrossingDepth(ranges, kZeroAmplitudeDegrees));
    const auto warnIfWide = [&](const std::vector<DepthValue>& points, double threshold, Msg what) {
        const auto k = CrossingPair(points, threshold);
        if (!k || points[*k].depthMetres - points[*k - 1].depthMetres <= kWidestInterpolationMetres)
            return;
        out.warnings.push_back({what, down[*k - 1]->sensor, down[*k]->sensor,
                                points[*k - 1].depthMetres, points[*k].depthMetres});
    };
    warnIfWide(maxima, kThawDegrees, Msg::SummaryActiveLayerWide);
    warnIfWide(ranges, kZeroAmplitudeDegrees, Msg::SummaryZeroAmplitudeWide);
    return out;
}

std::string SummaryJson(const Summary& summary, JsonWriter::Layout layout, Language language) {
    JsonWriter w(layout);
    w.BeginObject();
    w.Key("measurements").Integer(static_cast<std::int64_t>(summary.measurements));
    w.Key("expectedMeasurements").Integer(static_cast<std::int64_t>(summary.expectedMeasurements));
    w.Key("gaps").BeginArray();
    for (const SummaryGap& g : summary.gaps) {
        w.BeginObject();
        w.Key("from").String(TimeOfDayText(g.from));
        w.Key("to").String(TimeOfDayText(g.to));
        w.Key("missing").Integer(g.missing);
        w.EndObject();
    }
    w.EndArray();
    w.Key("sensors").BeginArray();
    for (const SensorSummary& s : summary.sensors) {
        w.BeginObject();
        w.Key("sensor").Integer(static_cast<std::int64_t>(s.sensor));
        w.Key("depthMetres").Number(s.depthMetres);
        w.Key("label").String(s.label);
        w.Key("count").Integer(static_cast<std::int64_t>(s.count));
        w.Key("completeness").Number(Rounded(s.completeness, 4));
        w.Key("min").Number(s.min);
        w.Key("max").Number(s.max);
        w.Key("mean").Number(s.mean);
        w.Key("flags").BeginArray();
        for (const std::string_view word : FlagWords(s.flags)) w.String(word);
        w.EndArray();
        w.Key("limitC").Number(s.limitC);
        w.Key("marginC").Number(s.marginC);
        w.Key("exceedance");
        if (s.exceedance) {
            w.BeginObject();
            w.Key("firstTime").String(TimeOfDayText(s.exceedance->first));
            w.Key("lastTime").String(TimeOfDayText(s.exceedance->last));
            w.Key("hours").Number(s.exceedance->hours);
            w.Key("maxC").Number(s.exceedance->maxC);
            w.EndObject();
        } else {
            w.Null();
        }
        w.Key("trendCPerDecade").Number(s.trendCPerDecade);
        w.EndObject();
    }
    w.EndArray();
    w.Key("activeLayerMetres").Number(summary.activeLayerMetres);
    w.Key("zeroAmplitudeMetres").Number(summary.zeroAmplitudeMetres);
    w.Key("warnings").BeginArray();
    for (const SummaryWarning& warning : summary.warnings)
        w.String(SummaryWarningText(warning, language));
    w.EndArray();
    w.Key("exceeded").Integer(static_cast<std::int64_t>(summary.exceeded));
    w.EndObject();
    return std::move(w).Take();
}

}  // namespace qm

#include "store/Summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "store/DataSet.h"
#include "store/SensorTable.h"
#include "store/ValueLines.h"

namespace qm {

namespace {

// To `decimals` places, as the closest double to the decimal (so -3.002, not -3.0020000000000002).
double Rounded(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(v * scale) / scale;
}

// ---- JSON -------------------------------------------------------------------------------------

void PutString(std::string& out, std::string_view text) {
    out += '"';
    for (const char ch : text) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(ch));
            out += esc;
        } else {
            out += ch;
        }
    }
    out += '"';
}

void PutNumber(std::string& out, const std::optional<double>& v) {
    if (!v || !std::isfinite(*v)) {
        out += "null";
        return;
    }
    // The shortest text that reads back as the same number.
    char text[32];
    const auto r = std::to_chars(std::begin(text), std::end(text), *v == 0.0 ? 0.0 : *v);
    out.append(text, r.ptr);
}

void Key(std::string& out, std::string_view key) {
    PutString(out, key);
    out += ": ";
}

}  // namespace

std::optional<double> CrossingDepth(std::span<const DepthValue> downward, double threshold) {
    for (std::size_t k = 1; k < downward.size(); ++k) {
        const DepthValue& a = downward[k - 1];
        const DepthValue& b = downward[k];
        if (!(a.value > threshold && b.value <= threshold)) continue;
        const double t = (a.value - threshold) / (a.value - b.value);
        return a.depthMetres + t * (b.depthMetres - a.depthMetres);
    }
    return std::nullopt;
}

Summary Summarize(const DataSet& set, const SensorTable& table, Period period) {
    std::size_t sensorCount = set.sensorCount;
    if (!table.sensors.empty()) sensorCount = std::max(sensorCount, table.sensors.back().sensor);
    const Health health = AssessHealth(set, period, table, sensorCount);
    period = health.period;

    Summary out;
    out.measurements = period.Size();
    for (std::size_t s = 0; s < sensorCount; ++s) {
        SensorSummary ss;
        ss.sensor = s + 1;
        if (const SensorInfo* info = table.Find(s + 1)) {
            ss.depthMetres = info->depthMetres;
            ss.label = info->label;
        }
        ss.count = health.sensors[s].count;
        ss.flags = health.sensors[s].flags;
        ss.completeness = out.measurements == 0 ? 0.0
                                                : static_cast<double>(ss.count) /
                                                      static_cast<double>(out.measurements);
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
        out.sensors.push_back(std::move(ss));
    }

    // Down the string, the sensors to be trusted.
    std::vector<const SensorSummary*> down;
    for (const SensorSummary& ss : out.sensors)
        if (ss.depthMetres && ss.max && !(ss.flags & (kDead | kStuck))) down.push_back(&ss);
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
    return out;
}

std::string SummaryJson(const Summary& summary) {
    std::string out = "{";
    Key(out, "measurements");
    out += std::to_string(summary.measurements) + ", ";
    Key(out, "sensors");
    out += '[';
    for (std::size_t k = 0; k < summary.sensors.size(); ++k) {
        const SensorSummary& s = summary.sensors[k];
        if (k > 0) out += ", ";
        out += '{';
        Key(out, "sensor");
        out += std::to_string(s.sensor) + ", ";
        Key(out, "depthMetres");
        PutNumber(out, s.depthMetres);
        out += ", ";
        Key(out, "label");
        PutString(out, s.label);
        out += ", ";
        Key(out, "count");
        out += std::to_string(s.count) + ", ";
        Key(out, "completeness");
        PutNumber(out, Rounded(s.completeness, 4));
        out += ", ";
        Key(out, "min");
        PutNumber(out, s.min);
        out += ", ";
        Key(out, "max");
        PutNumber(out, s.max);
        out += ", ";
        Key(out, "mean");
        PutNumber(out, s.mean);
        out += ", ";
        Key(out, "flags");
        out += '[';
        const auto words = FlagWords(s.flags);
        for (std::size_t w = 0; w < words.size(); ++w) {
            if (w > 0) out += ", ";
            PutString(out, words[w]);
        }
        out += "]}";
    }
    out += "], ";
    Key(out, "activeLayerMetres");
    PutNumber(out, summary.activeLayerMetres);
    out += ", ";
    Key(out, "zeroAmplitudeMetres");
    PutNumber(out, summary.zeroAmplitudeMetres);
    out += '}';
    return out;
}

}  // namespace qm

#include "ui/viewer/DepthAxis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "store/SensorTable.h"

namespace qm {

namespace {
// A string with a single sensor at a known depth still gets a band to be seen in.
constexpr double kLoneBandMetres = 0.5;
// Deeper than any borehole: a typing slip, not a depth (the sensor table refuses it too).
constexpr double kFarthestMetres = 10000.0;
}  // namespace

const SensorRows::Row* SensorRows::RowAt(double y) const {
    for (const Row& r : rows)
        if (y >= r.top && y < r.bottom) return &r;
    if (!rows.empty() && y == rows.back().bottom) return &rows.back();
    return nullptr;
}

const SensorRows::Row* SensorRows::RowOf(std::size_t sensor) const {
    for (const Row& r : rows)
        if (r.sensor == sensor) return &r;
    return nullptr;
}

SensorRows LayOutRows(std::size_t sensorCount, const SensorTable& table) {
    SensorRows out;
    for (std::size_t s = 0; s < sensorCount; ++s) {
        const SensorInfo* info = table.Find(s + 1);
        if (info && info->depthMetres) out.rows.push_back({s, *info->depthMetres, 0, 0});
    }
    out.byDepth = !out.rows.empty();
    if (!out.byDepth) {
        for (std::size_t s = 0; s < sensorCount; ++s) {
            const double n = static_cast<double>(s + 1);
            out.rows.push_back({s, n, n - 0.5, n + 0.5});
        }
        out.top = 0.5;
        out.bottom = static_cast<double>(sensorCount) + 0.5;
        return out;
    }
    std::stable_sort(out.rows.begin(), out.rows.end(),
                     [](const auto& a, const auto& b) { return a.at < b.at; });
    auto& r = out.rows;
    for (std::size_t i = 0; i < r.size(); ++i) {
        r[i].top = i > 0 ? (r[i - 1].at + r[i].at) / 2 : r[i].at;
        r[i].bottom = i + 1 < r.size() ? (r[i].at + r[i + 1].at) / 2 : r[i].at;
    }
    // The first and the last sensor reach as far beyond themselves as to their neighbour.
    const double firstHalf = r.size() > 1 ? r.front().bottom - r.front().at : kLoneBandMetres;
    const double lastHalf = r.size() > 1 ? r.back().at - r.back().top : kLoneBandMetres;
    r.front().top = r.front().at - std::max(firstHalf, 1e-3);
    r.back().bottom = r.back().at + std::max(lastHalf, 1e-3);
    out.top = r.front().top;
    out.bottom = r.back().bottom;
    return out;
}

std::vector<int> CellRows(const SensorRows& rows) {
    if (!rows.byDepth) {
        std::vector<int> cells(rows.rows.size());
        for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<int>(i);
        return cells;
    }
    const double span = rows.bottom - rows.top;
    // The narrowest band sets the step: half of it, so that its centre cell is its own.
    double narrowest = span;
    for (const auto& r : rows.rows)
        if (r.bottom - r.top > 1e-9) narrowest = std::min(narrowest, r.bottom - r.top);
    const double wanted = std::ceil(2 * span / narrowest);
    const auto count = static_cast<std::size_t>(
        std::clamp(wanted, static_cast<double>(rows.rows.size()), double(kMostDepthCells)));
    const double step = span / static_cast<double>(count);
    std::vector<int> cells(count, -1);
    std::size_t row = 0;
    for (std::size_t c = 0; c < count; ++c) {
        const double centre = rows.top + (static_cast<double>(c) + 0.5) * step;
        while (row + 1 < rows.rows.size() && centre >= rows.rows[row].bottom) ++row;
        cells[c] = static_cast<int>(row);
    }
    return cells;
}

std::vector<double> ZeroCrossings(std::span<const DepthValue> downward) {
    std::vector<double> depths;
    for (std::size_t i = 1; i < downward.size(); ++i) {
        const DepthValue& a = downward[i - 1];
        const DepthValue& b = downward[i];
        if ((a.value > 0) == (b.value > 0)) continue;
        // Opposite sides: the values differ, and 0 °C lies between them.
        const double f = a.value / (a.value - b.value);
        depths.push_back(a.depthMetres + f * (b.depthMetres - a.depthMetres));
    }
    return depths;
}

bool ParseDepth(std::string_view text, std::optional<double>& depth) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (text.empty()) {
        depth.reset();
        return true;
    }
    std::string number(text);
    std::replace(number.begin(), number.end(), ',', '.');
    if (number.front() == '+') number.erase(0, 1);
    double d = 0;
    const char* end = number.data() + number.size();
    const auto [stop, ec] = std::from_chars(number.data(), end, d);
    if (number.empty() || ec != std::errc() || stop != end || !std::isfinite(d) ||
        std::fabs(d) > kFarthestMetres)
        return false;
    depth = d;
    return true;
}

}  // namespace qm

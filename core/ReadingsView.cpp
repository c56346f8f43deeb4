#include "core/ReadingsView.h"

#include <cmath>

namespace qm {

void ScaleValueAxis(ReadingsState& s, Chart& chart) {
    for (int i = 1; i <= s.ReadingCount; ++i) {
        if (!s.ReadingValid[i]) continue;
        if (s.Readings[i] > s.AxisMax) s.AxisMax = s.Readings[i];
        if (s.Readings[i] < s.AxisMin) s.AxisMin = s.Readings[i];
    }
    const double rawMax = s.AxisMax;
    const double rawMin = s.AxisMin;
    s.AxisMax = std::trunc(s.AxisMax);
    if (s.AxisMax != s.PreviousAxisMax && s.AxisMax >= 0) s.AxisMax += 1;
    s.AxisMin = std::trunc(s.AxisMin);
    if (s.AxisMin != s.PreviousAxisMin && s.AxisMin <= 0) s.AxisMin -= 1;
    // A new extreme just past the previous bound truncates back onto it; widen the axis so that
    // every plotted point stays visible.
    if (rawMax > s.AxisMax) s.AxisMax = std::floor(rawMax) + 1;
    if (rawMin < s.AxisMin) s.AxisMin = std::ceil(rawMin) - 1;
    chart.leftMax = s.AxisMax + 0.05;
    chart.leftMin = s.AxisMin - 0.05;
    s.PreviousAxisMax = s.AxisMax;
    s.PreviousAxisMin = s.AxisMin;
}

void ShowReadings(ReadingsState& s, const CalibrationTable& table, bool rawData,
                  WindowModel& model) {
    const int n = s.ReadingCount;
    for (int i = 1; i <= n; ++i) s.UncorrectedReadings[i] = s.Readings[i];
    for (int i = 1; i <= n; ++i) {
        if (!s.ReadingValid[i]) continue;
        if (!rawData) s.Readings[i] += table[static_cast<std::size_t>(i)] / 100.0;
        s.Readings[i] = RoundReading(s.Readings[i]);
    }
    Chart& chart = model.Chart1;
    chart.bottomMax = n + 0.5;
    chart.series1.clear();
    ++chart.series1Revision;
    s.AnyReadingValid = false;
    for (int i = 1; i <= n; ++i) s.AnyReadingValid = s.AnyReadingValid || s.ReadingValid[i];
    if (s.PreviousAnyValid)
        for (int i = 1; i <= n; ++i)
            if (s.PreviousReadingValid[i])
                chart.series2.push_back({double(i), s.PreviousReadings[i], Colour::Blue});
    for (int i = 1; i <= n; ++i) {
        if (!s.ReadingValid[i]) continue;
        chart.series1.push_back({double(i), s.Readings[i], Colour::Lime});
        s.ChartHasData = true;
    }
    for (int i = 1; i <= n; ++i) {
        s.PreviousReadingValid[i] = s.ReadingValid[i];
        s.PreviousReadings[i] = s.Readings[i];
    }
    s.ShownReadingCount = n;
    if (s.AnyReadingValid) ScaleValueAxis(s, chart);
    chart.visible = s.ChartHasData;
    s.PreviousAnyValid = s.AnyReadingValid;
    if (s.ChartHasData) {
        model.window.width = model.screenWidth;
        chart.geometry = {250, 10, model.window.width - 250, model.window.height - 100};
    }
}

}  // namespace qm

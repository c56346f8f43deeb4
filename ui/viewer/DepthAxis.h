#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "store/Summary.h"

namespace qm {

struct SensorTable;

// Where the sensors of a string lie on the heat map's vertical axis. With depths known every
// sensor that has one sits at its depth in metres and owns the band half-way to its neighbours
// above and below; sensors without a depth are left off the map. Without depths the axis counts
// sensors, one band of height 1 about each number.
struct SensorRows {
    struct Row {
        std::size_t sensor = 0;  // 0-based
        double at = 0.0;         // depth in metres, or the sensor's number
        double top = 0.0;        // the band the row covers on the axis
        double bottom = 0.0;
    };
    bool byDepth = false;
    std::vector<Row> rows;  // top to bottom
    double top = 0.0;       // the axis' extent
    double bottom = 0.0;

    // The row whose band holds `y`; nothing outside every band.
    const Row* RowAt(double y) const;
    // The row of a sensor (0-based); nothing for a sensor not on the map.
    const Row* RowOf(std::size_t sensor) const;
};

// Rows of sensors 0..sensorCount-1: by depth when the table gives at least one of them a depth.
SensorRows LayOutRows(std::size_t sensorCount, const SensorTable& table);

// The map's vertical cells: `cells` equal cells from rows.top to rows.bottom, each holding the
// row (index into rows.rows) whose band holds its centre, or -1. Fine enough that every band of
// at least one step of the grid gets a cell, and no finer than kMostDepthCells. Without depths
// one cell per row.
inline constexpr std::size_t kMostDepthCells = 600;
std::vector<int> CellRows(const SensorRows& rows);

// Going down the points of one profile, the depths where the temperature crosses 0 °C,
// interpolated linearly between the two points either side. A point at exactly 0 °C counts as
// the cold side, so a profile touching 0 °C at one sensor gives one crossing, not two.
std::vector<double> ZeroCrossings(std::span<const DepthValue> downward);

// A depth typed by the operator: a number of metres with a point or a comma before its decimals;
// nothing typed gives an unknown depth. False when the text is no depth.
bool ParseDepth(std::string_view text, std::optional<double>& depth);

}  // namespace qm

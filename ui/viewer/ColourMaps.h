#pragma once

#include <qcustomplot.h>

namespace qm {

// The heat map's colour scales.
enum class ColourMap {
    // Blue below 0 °C, white at it, red above, over a range symmetric about 0 °C: frozen and
    // thawed ground read at a glance.
    ZeroCentred,
    // One hue after another at an even step of lightness, over the values' own range: every
    // degree looks as far from the next as any other.
    Uniform,
};

// The colour of a cell without a value (missing, flagged or not measured): a grey that neither
// scale holds, so that it never reads as a temperature.
inline const QColor kNoValueColour{150, 150, 150};

QCPColorGradient GradientOf(ColourMap map);
// The range the scale spans for values from `low` to `high` (low <= high).
QCPRange ScaleRange(ColourMap map, double low, double high);

}  // namespace qm

#include "ui/viewer/ColourMaps.h"

#include <algorithm>
#include <cmath>

namespace qm {

QCPColorGradient GradientOf(ColourMap map) {
    QCPColorGradient g;
    g.clearColorStops();
    if (map == ColourMap::ZeroCentred) {
        g.setColorStopAt(0.0, QColor(5, 48, 97));
        g.setColorStopAt(0.2, QColor(33, 102, 172));
        g.setColorStopAt(0.4, QColor(146, 197, 222));
        g.setColorStopAt(0.5, QColor(247, 247, 247));
        g.setColorStopAt(0.6, QColor(244, 165, 130));
        g.setColorStopAt(0.8, QColor(178, 24, 43));
        g.setColorStopAt(1.0, QColor(103, 0, 31));
    } else {
        g.setColorStopAt(0.0, QColor(68, 1, 84));
        g.setColorStopAt(0.125, QColor(71, 45, 123));
        g.setColorStopAt(0.25, QColor(59, 82, 139));
        g.setColorStopAt(0.375, QColor(44, 114, 142));
        g.setColorStopAt(0.5, QColor(33, 145, 140));
        g.setColorStopAt(0.625, QColor(40, 174, 128));
        g.setColorStopAt(0.75, QColor(94, 201, 98));
        g.setColorStopAt(0.875, QColor(173, 220, 48));
        g.setColorStopAt(1.0, QColor(253, 231, 37));
    }
    g.setColorInterpolation(QCPColorGradient::ciRGB);
    g.setNanHandling(QCPColorGradient::nhNanColor);
    g.setNanColor(kNoValueColour);
    g.setLevelCount(256);
    return g;
}

QCPRange ScaleRange(ColourMap map, double low, double high) {
    if (map == ColourMap::ZeroCentred) {
        // At least a tenth of a degree either way, so that a string at 0 °C is white, not
        // blue and red by noise.
        const double reach = std::max({std::fabs(low), std::fabs(high), 0.1});
        return QCPRange(-reach, reach);
    }
    if (low == high) return QCPRange(low - 0.5, high + 0.5);
    return QCPRange(low, high);
}

}  // namespace qm

#pragma once

#include <QChartView>
#include <QList>
#include <QScatterSeries>
#include <QValueAxis>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/model/WindowModel.h"

namespace qm {

class ValueMark;

// The point chart: Series1 (the latest test measurement, lime, each point with a value mark on a
// light-yellow label joined to it by a short line) and Series2 (every earlier measurement, blue,
// without outline), over a bottom and a left value axis whose bounds the model sets.
class ChartView : public QChartView {
    Q_OBJECT
public:
    explicit ChartView(QWidget* parent = nullptr);
    ~ChartView() override;

    // Shows the model's chart. Series2 only grows, so only its points not drawn yet are added;
    // Series1 is rebuilt when its revision changed.
    void Apply(const Chart& model);

    QScatterSeries* Series1() const { return series1_; }
    QScatterSeries* Series2() const { return series2_; }
    QValueAxis* BottomAxis() const { return bottom_; }
    QValueAxis* LeftAxis() const { return left_; }
    // Texts of the value marks, in point order.
    QStringList MarkTexts() const;

    // Length of the line from a point to its mark, in pixels.
    static constexpr int kCalloutLength = 21;

private:
    void RebuildSeries1(const std::vector<ChartPoint>& points);
    void PlaceMarks();
    void UpdateTicks();
    static void SetTicks(QValueAxis* axis, double minimum, double maximum, double minStep,
                         int pixels, int pixelsPerTick);

    QChart* chart_;
    QScatterSeries* series1_;
    QScatterSeries* series2_;
    QValueAxis* bottom_;
    QValueAxis* left_;
    std::vector<ValueMark*> marks_;
    std::uint64_t series1Revision_ = ~std::uint64_t{0};
    std::size_t series2Drawn_ = 0;
};

}  // namespace qm

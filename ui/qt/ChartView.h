#pragma once

#include <QCategoryAxis>
#include <QChartView>
#include <QList>
#include <QScatterSeries>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/model/WindowModel.h"

namespace qm {

class ValueMark;
class HistoryLayer;

// The point chart: Series1 (the latest test measurement, lime, each point with a value mark on a
// light-yellow label joined to it by a short line) and Series2 (every earlier measurement, blue,
// without outline), over a bottom and a left value axis whose bounds the model sets.
//
// Series2 can hold tens of thousands of points after a long session. Qt Charts draws a scatter
// series as one graphics item per point, which makes every redraw and every append cost time in
// proportion to the whole history, so Series2 holds the points while a raster layer draws them:
// new points are painted onto a cached image, which is redrawn whole only when the axes or the
// plot area change.
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
    // Texts of the left axis labels, from the bottom.
    QStringList LeftLabels() const { return left_->categoriesLabels(); }
    // Texts of the value marks, in point order.
    QStringList MarkTexts() const;

    // Length of the line from a point to its mark, in pixels.
    static constexpr int kCalloutLength = 21;

private:
    void RebuildSeries1(const std::vector<ChartPoint>& points);
    void PlaceMarks();
    bool UpdateTicks(double bottomMin, double bottomMax, double leftMin, double leftMax);
    static bool SetTicks(QCategoryAxis* axis, double minimum, double maximum, double minStep,
                         int pixels, int pixelsPerTick);

    QChart* chart_;
    QScatterSeries* series1_;
    QScatterSeries* series2_;
    // Value axes labelled at round values (a category per label: Qt's dynamic ticks do not
    // follow a range change reliably).
    QCategoryAxis* bottom_;
    QCategoryAxis* left_;
    std::vector<ValueMark*> marks_;
    HistoryLayer* history_;
    std::uint64_t series1Revision_ = ~std::uint64_t{0};
    std::size_t series2Drawn_ = 0;
    bool relabelling_ = false;
};

}  // namespace qm

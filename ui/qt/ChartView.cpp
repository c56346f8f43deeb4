#include "ui/qt/ChartView.h"

#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ui/qt/Convert.h"

namespace qm {

// A value mark: the point's value on a light-yellow label that sits kCalloutLength pixels above
// the point, joined to it by a line. Qt Charts' own point labels have no background, so the marks
// are drawn here; the item's origin is the point.
class ValueMark : public QGraphicsItem {
public:
    ValueMark(QGraphicsItem* parent, QString text, QFont font)
        : QGraphicsItem(parent), text_(std::move(text)), font_(std::move(font)) {
        const QFontMetricsF fm(font_);
        const qreal w = fm.horizontalAdvance(text_) + 6;
        const qreal h = fm.height() + 2;
        label_ = QRectF(-w / 2, -ChartView::kCalloutLength - h, w, h);
        setZValue(10);
    }
    const QString& Text() const { return text_; }
    QRectF boundingRect() const override { return label_.adjusted(-1, -1, 1, 1) | QRectF(-1, -1, 2, 2); }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        p->setPen(QPen(Qt::black, 1));
        p->drawLine(QPointF(0, 0), QPointF(0, label_.bottom()));
        p->setBrush(ToQColor(Colour::LightYellow));
        p->drawRect(label_);
        p->setFont(font_);
        p->drawText(label_, Qt::AlignCenter, text_);
    }

private:
    QString text_;
    QFont font_;
    QRectF label_;
};

ChartView::ChartView(QWidget* parent)
    : QChartView(parent),
      chart_(new QChart),
      series1_(new QScatterSeries),
      series2_(new QScatterSeries),
      bottom_(new QValueAxis),
      left_(new QValueAxis) {
    setObjectName("Chart1");
    setRenderHint(QPainter::Antialiasing, false);
    chart_->legend()->hide();
    chart_->setTitle(QString());
    chart_->setBackgroundRoundness(0);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    chart_->setAnimationOptions(QChart::NoAnimation);

    series2_->setName("Series2");
    series2_->setObjectName("Series2");
    series2_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series2_->setMarkerSize(8);
    series2_->setColor(ToQColor(Colour::Blue));
    series2_->setBorderColor(Qt::transparent);  // no pointer outline
    series1_->setName("Series1");
    series1_->setObjectName("Series1");
    series1_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series1_->setMarkerSize(8);
    series1_->setColor(ToQColor(Colour::Lime));
    series1_->setBorderColor(Qt::black);

    // History first, so the latest measurement is drawn on top of it.
    chart_->addSeries(series2_);
    chart_->addSeries(series1_);
    chart_->addAxis(bottom_, Qt::AlignBottom);
    chart_->addAxis(left_, Qt::AlignLeft);
    for (QScatterSeries* s : {series2_, series1_}) {
        s->attachAxis(bottom_);
        s->attachAxis(left_);
    }
    bottom_->setLabelFormat("%g");
    left_->setLabelFormat("%g");
    bottom_->setRange(0.5, 1.5);
    left_->setRange(-1e11, 1e11);
    setChart(chart_);

    connect(chart_, &QChart::plotAreaChanged, this, [this] {
        UpdateTicks();
        PlaceMarks();
    });
}

ChartView::~ChartView() = default;

void ChartView::Apply(const Chart& model) {
    bool axesChanged = false;
    if (bottom_->min() != model.bottomMin || bottom_->max() != model.bottomMax) {
        bottom_->setRange(model.bottomMin, model.bottomMax);
        axesChanged = true;
    }
    if (left_->min() != model.leftMin || left_->max() != model.leftMax) {
        left_->setRange(model.leftMin, model.leftMax);
        axesChanged = true;
    }
    if (axesChanged) UpdateTicks();

    if (model.series2.size() < series2Drawn_) {
        series2_->clear();
        series2Drawn_ = 0;
    }
    if (model.series2.size() > series2Drawn_) {
        QList<QPointF> fresh;
        fresh.reserve(qsizetype(model.series2.size() - series2Drawn_));
        for (std::size_t i = series2Drawn_; i < model.series2.size(); ++i)
            fresh.append(QPointF(model.series2[i].x, model.series2[i].y));
        series2_->append(fresh);
        series2_->setColor(ToQColor(model.series2.back().colour));
        series2Drawn_ = model.series2.size();
    }

    if (model.series1Revision != series1Revision_) {
        RebuildSeries1(model.series1);
        series1Revision_ = model.series1Revision;
    } else if (axesChanged) {
        PlaceMarks();
    }
}

void ChartView::RebuildSeries1(const std::vector<ChartPoint>& points) {
    QList<QPointF> list;
    list.reserve(qsizetype(points.size()));
    for (const ChartPoint& p : points) list.append(QPointF(p.x, p.y));
    series1_->replace(list);
    if (!points.empty()) series1_->setColor(ToQColor(points.front().colour));

    for (ValueMark* m : marks_) delete m;
    marks_.clear();
    QFont font = this->font();
    font.setPointSize(7);
    font.setBold(false);
    for (const ChartPoint& p : points)
        marks_.push_back(new ValueMark(chart_, QString::number(p.y, 'g', 10), font));
    PlaceMarks();
}

void ChartView::PlaceMarks() {
    const QList<QPointF> points = series1_->points();
    const QRectF area = chart_->plotArea();
    for (std::size_t i = 0; i < marks_.size() && i < std::size_t(points.size()); ++i) {
        const QPointF at = chart_->mapToPosition(points[qsizetype(i)], series1_);
        marks_[i]->setPos(at);
        marks_[i]->setVisible(area.adjusted(-1, -1, 1, 1).contains(at));
    }
}

QStringList ChartView::MarkTexts() const {
    QStringList texts;
    for (const ValueMark* m : marks_) texts.append(m->Text());
    return texts;
}

void ChartView::UpdateTicks() {
    const QRectF area = chart_->plotArea();
    SetTicks(bottom_, bottom_->min(), bottom_->max(), 1.0, int(area.width()), 40);
    // The value axis is labelled in steps of at least 0.1.
    SetTicks(left_, left_->min(), left_->max(), 0.1, int(area.height()), 25);
}

// Ticks at round steps (1, 2 or 5 times a power of ten, never below `minStep`) that leave about
// `pixelsPerTick` pixels between labels.
void ChartView::SetTicks(QValueAxis* axis, double minimum, double maximum, double minStep,
                         int pixels, int pixelsPerTick) {
    const double range = maximum - minimum;
    if (!(range > 0) || !std::isfinite(range)) return;
    const int maxTicks = std::max(2, pixels / std::max(1, pixelsPerTick));
    const double raw = std::max(minStep, range / maxTicks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double f : {1.0, 2.0, 5.0, 10.0}) {
        step = f * power;
        if (step >= raw) break;
    }
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(std::ceil(minimum / step) * step);
    axis->setTickInterval(step);
}

}  // namespace qm

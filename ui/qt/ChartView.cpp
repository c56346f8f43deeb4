#include "ui/qt/ChartView.h"

#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QImage>
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
    ValueMark(QGraphicsItem* parent, QString text, const QFont& font)
        : QGraphicsItem(parent), text_(std::move(text)), font_(font) {
        const QFontMetricsF fm(font_);
        const qreal w = fm.horizontalAdvance(text_) + 6;
        const qreal h = fm.height() + 2;
        label_ = QRectF(-w / 2, -ChartView::kCalloutLength - h, w, h);
        setZValue(10);
    }
    const QString& Text() const { return text_; }
    QRectF boundingRect() const override {
        return label_.adjusted(-1, -1, 1, 1) | QRectF(-1, -1, 2, 2);
    }
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

// Draws the points of Series2 onto a cached image of the plot area. Points are painted once each;
// the image is rebuilt only when the plot area or an axis range changes. Points that land on the
// same pixel are painted once.
class HistoryLayer : public QGraphicsItem {
public:
    HistoryLayer(QChart* chart, QScatterSeries* series, QValueAxis* x, QValueAxis* y)
        : QGraphicsItem(chart), chart_(chart), series_(series), x_(x), y_(y) {
        // Above the grid and the axes, below the series.
        setZValue(3.5);
        setFlag(ItemUsesExtendedStyleOption, false);
    }
    void Invalidate() {
        prepareGeometryChange();
        valid_ = false;
        update();
    }
    void PointsAdded() { update(); }
    QRectF boundingRect() const override { return chart_->plotArea(); }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget* widget) override {
        const QRectF area = chart_->plotArea();
        if (area.isEmpty()) return;
        const qreal dpr = widget ? widget->devicePixelRatioF() : 1.0;
        const QSize pixels = (area.size() * dpr).toSize();
        const Frame frame{area, x_->min(), x_->max(), y_->min(), y_->max(), series_->color(), dpr};
        if (!valid_ || cache_.size() != pixels || !(frame == frame_)) {
            cache_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            cache_.setDevicePixelRatio(dpr);
            cache_.fill(Qt::transparent);
            taken_.assign(std::size_t(pixels.width()) * std::size_t(pixels.height()), false);
            frame_ = frame;
            MakeSprite();
            painted_ = 0;
            valid_ = true;
        }
        const QList<QPointF> points = series_->points();  // shared, not copied
        if (painted_ < std::size_t(points.size())) {
            QPainter ip(&cache_);
            const qreal sx = area.width() / (frame_.xMax - frame_.xMin);
            const qreal sy = area.height() / (frame_.yMax - frame_.yMin);
            const int w = pixels.width(), h = pixels.height();
            const QPointF spriteOffset(sprite_.width() / (2 * dpr), sprite_.height() / (2 * dpr));
            for (std::size_t i = painted_; i < std::size_t(points.size()); ++i) {
                const QPointF& v = points[qsizetype(i)];
                const QPointF at((v.x() - frame_.xMin) * sx,
                                 area.height() - (v.y() - frame_.yMin) * sy);
                const int px = int(std::floor(at.x() * dpr)), py = int(std::floor(at.y() * dpr));
                if (px >= -sprite_.width() && py >= -sprite_.height() && px < w + sprite_.width() &&
                    py < h + sprite_.height()) {
                    if (px >= 0 && py >= 0 && px < w && py < h) {
                        const std::size_t k = std::size_t(py) * std::size_t(w) + std::size_t(px);
                        if (taken_[k]) continue;
                        taken_[k] = true;
                    }
                    ip.drawImage(QPointF(px / dpr, py / dpr) - spriteOffset, sprite_);
                }
            }
            painted_ = std::size_t(points.size());
        }
        p->drawImage(area.topLeft(), cache_);
    }

private:
    struct Frame {
        QRectF area;
        double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
        QColor colour;
        qreal dpr = 1;
        bool operator==(const Frame& o) const {
            return area == o.area && xMin == o.xMin && xMax == o.xMax && yMin == o.yMin &&
                   yMax == o.yMax && colour == o.colour && dpr == o.dpr;
        }
    };
    void MakeSprite() {
        const qreal size = series_->markerSize();
        const int px = int(std::ceil((size + 2) * frame_.dpr));
        sprite_ = QImage(px, px, QImage::Format_ARGB32_Premultiplied);
        sprite_.setDevicePixelRatio(frame_.dpr);
        sprite_.fill(Qt::transparent);
        QPainter sp(&sprite_);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.setPen(Qt::NoPen);
        sp.setBrush(frame_.colour);
        const qreal c = px / (2 * frame_.dpr);
        sp.drawEllipse(QPointF(c, c), size / 2, size / 2);
    }

    QChart* chart_;
    QScatterSeries* series_;
    QValueAxis* x_;
    QValueAxis* y_;
    QImage cache_;
    QImage sprite_;
    std::vector<bool> taken_;
    Frame frame_;
    std::size_t painted_ = 0;
    bool valid_ = false;
};

ChartView::ChartView(QWidget* parent)
    : QChartView(parent),
      chart_(new QChart),
      series1_(new QScatterSeries),
      series2_(new QScatterSeries),
      bottom_(new QCategoryAxis),
      left_(new QCategoryAxis) {
    setObjectName("Chart1");
    setRenderHint(QPainter::Antialiasing, false);
    chart_->legend()->hide();
    chart_->setTitle(QString());
    chart_->setBackgroundRoundness(0);
    // Room above the plot area for the value marks of the highest points (21 px callouts).
    chart_->setMargins(QMargins(4, 30, 4, 4));
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

    chart_->addSeries(series1_);
    chart_->addAxis(bottom_, Qt::AlignBottom);
    chart_->addAxis(left_, Qt::AlignLeft);
    series1_->attachAxis(bottom_);
    series1_->attachAxis(left_);
    // Series2 is drawn by the history layer, under Series1.
    series2_->setParent(this);
    history_ = new HistoryLayer(chart_, series2_, bottom_, left_);
    for (QCategoryAxis* axis : {bottom_, left_})
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    UpdateTicks(0.5, 1.5, -1e11, 1e11);
    bottom_->setRange(0.5, 1.5);
    left_->setRange(-1e11, 1e11);
    setChart(chart_);

    connect(chart_, &QChart::plotAreaChanged, this, [this] {
        history_->Invalidate();
        if (!relabelling_ &&
            UpdateTicks(bottom_->min(), bottom_->max(), left_->min(), left_->max())) {
            relabelling_ = true;
            for (QCategoryAxis* axis : {bottom_, left_}) {
                const double max = axis->max();
                axis->setMax(max + (max - axis->min()) * 1e-9);
                axis->setMax(max);
            }
            relabelling_ = false;
        }
        PlaceMarks();
    });
}

ChartView::~ChartView() = default;

void ChartView::Apply(const Chart& model) {
    const bool axesChanged = bottom_->min() != model.bottomMin ||
                             bottom_->max() != model.bottomMax || left_->min() != model.leftMin ||
                             left_->max() != model.leftMax;
    if (axesChanged) {
        UpdateTicks(model.bottomMin, model.bottomMax, model.leftMin, model.leftMax);
        bottom_->setRange(model.bottomMin, model.bottomMax);
        left_->setRange(model.leftMin, model.leftMax);
        history_->Invalidate();
    }

    if (model.series2.size() < series2Drawn_) {
        series2_->clear();
        series2Drawn_ = 0;
        history_->Invalidate();
    }
    if (model.series2.size() > series2Drawn_) {
        QList<QPointF> fresh;
        fresh.reserve(qsizetype(model.series2.size() - series2Drawn_));
        for (std::size_t i = series2Drawn_; i < model.series2.size(); ++i)
            fresh.append(QPointF(model.series2[i].x, model.series2[i].y));
        series2_->append(fresh);
        series2_->setColor(ToQColor(model.series2.back().colour));
        series2Drawn_ = model.series2.size();
        history_->PointsAdded();
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

// Labels for the axes' ranges as they will be: Qt lays an axis out again only when its range
// changes, so the labels are set first and the range after them (or nudged when only the size of
// the plot area changed).
bool ChartView::UpdateTicks(double bottomMin, double bottomMax, double leftMin, double leftMax) {
    const QRectF area = chart_->plotArea();
    const bool bottom = SetTicks(bottom_, bottomMin, bottomMax, 1.0, int(area.width()), 40);
    // The value axis is labelled in steps of at least 0.1.
    const bool left = SetTicks(left_, leftMin, leftMax, 0.1, int(area.height()), 25);
    return bottom || left;
}

// Ticks at round steps (1, 2 or 5 times a power of ten, never below `minStep`) that leave about
// `pixelsPerTick` pixels between labels.
bool ChartView::SetTicks(QCategoryAxis* axis, double minimum, double maximum, double minStep,
                         int pixels, int pixelsPerTick) {
    const double range = maximum - minimum;
    QStringList labels;
    QList<double> values;
    if (range > 0 && std::isfinite(range)) {
        const int maxTicks = std::max(2, pixels / std::max(1, pixelsPerTick));
        const double raw = std::max(minStep, range / maxTicks);
        const double power = std::pow(10.0, std::floor(std::log10(raw)));
        double step = power;
        for (double f : {1.0, 2.0, 5.0, 10.0}) {
            step = f * power;
            if (step >= raw) break;
        }
        // Every label with the same decimals, so that Qt sizes the axis for all of them.
        const int decimals = std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
        const double first = std::ceil(minimum / step);
        for (double k = first; k * step <= maximum && k - first < 200; ++k) {
            // Round away the binary noise of k * step (and a negative zero) before labelling.
            const double v = std::round(k * step / power) * power + 0.0;
            labels.append(QString::number(v, 'f', decimals));
            values.append(v);
        }
    }
    // Relabelling moves the plot area, which asks for labels again: stop when nothing changes.
    if (labels == axis->categoriesLabels() && axis->startValue() == minimum) return false;
    for (const QString& label : axis->categoriesLabels()) axis->remove(label);
    axis->setStartValue(minimum);
    for (qsizetype i = 0; i < labels.size(); ++i) axis->append(labels[i], values[i]);
    return true;
}

}  // namespace qm

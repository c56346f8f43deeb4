#include "ui/viewer/TrumpetPlot.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <string>

#include "store/Health.h"
#include "text/Messages.h"

namespace qm {

namespace {

QString T(Msg id, Language language, std::initializer_list<std::string_view> args = {}) {
    const std::string text = Message(id, language, args);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "2.19", or "2,19" in Russian as the sensor list writes depths.
std::string Metres(double metres, Language language) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", metres);
    std::string out = text;
    if (language == Language::Russian) std::replace(out.begin(), out.end(), '.', ',');
    return out;
}

// A line across the whole plot at a depth (or down it at a temperature), and its text at the
// right-hand end.
QCPItemStraightLine* NewLine(QCustomPlot* plot, const QPen& pen) {
    auto* line = new QCPItemStraightLine(plot);
    line->setPen(pen);
    line->setSelectable(false);
    return line;
}

QCPItemText* NewLineText(QCustomPlot* plot, QColor colour) {
    auto* text = new QCPItemText(plot);
    text->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
    text->position->setTypeY(QCPItemPosition::ptPlotCoords);
    text->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
    text->setColor(colour);
    // Readable where it crosses a curve.
    text->setBrush(QColor(255, 255, 255, 200));
    text->setClipToAxisRect(true);
    text->setSelectable(false);
    return text;
}

void PlaceAcross(QCPItemStraightLine* line, QCPItemText* text, std::optional<double> depth) {
    line->setVisible(depth.has_value());
    text->setVisible(depth.has_value());
    if (!depth) return;
    line->point1->setCoords(0, *depth);
    line->point2->setCoords(1, *depth);
    text->position->setCoords(0.99, *depth);
}

}  // namespace

TrumpetPlot::TrumpetPlot(Language language, QWidget* parent)
    : QWidget(parent), language_(language) {
    setObjectName("trumpet");
    periodLabel_ = new QLabel(this);
    yearBox_ = new QComboBox(this);
    yearBox_->setObjectName("trumpetYear");
    plot_ = new QCustomPlot(this);
    plot_->setObjectName("trumpetPlot");

    auto* top = new QHBoxLayout;
    top->addWidget(periodLabel_);
    top->addWidget(yearBox_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(plot_, 1);

    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    plot_->plotLayout()->insertRow(0);
    title_ = new QCPTextElement(plot_, QString(), small);
    plot_->plotLayout()->addElement(0, 0, title_);
    // The surface at the top.
    plot_->yAxis->setRangeReversed(true);

    const auto curve = [this](QColor colour, qreal width) {
        auto* c = new QCPCurve(plot_->xAxis, plot_->yAxis);
        c->setPen(QPen(colour, width));
        c->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 4));
        return c;
    };
    min_ = curve(QColor(31, 119, 180), 1.5);
    mean_ = curve(QColor(60, 60, 60), 1.2);
    max_ = curve(QColor(214, 39, 40), 1.5);

    zero_ = NewLine(plot_, QPen(Qt::black, 1, Qt::DashLine));
    zero_->point1->setCoords(0, 0);
    zero_->point2->setCoords(0, 1);
    const QColor brown(140, 86, 75);
    activeLine_ = NewLine(plot_, QPen(brown, 1.5, Qt::DashLine));
    activeText_ = NewLineText(plot_, brown);
    const QColor grey(110, 110, 110);
    amplitudeLine_ = NewLine(plot_, QPen(grey, 1.2, Qt::DashDotLine));
    amplitudeText_ = NewLineText(plot_, grey);
    PlaceAcross(activeLine_, activeText_, std::nullopt);
    PlaceAcross(amplitudeLine_, amplitudeText_, std::nullopt);

    // The legend in a row of its own below the plot: inside it would hide the curves, which
    // spread over the whole width near the surface.
    plot_->legend->setVisible(true);
    plot_->legend->setFont(small);
    plot_->axisRect()->insetLayout()->take(plot_->legend);
    plot_->plotLayout()->addElement(2, 0, plot_->legend);
    plot_->legend->setFillOrder(QCPLegend::foColumnsFirst);
    plot_->plotLayout()->setRowStretchFactor(2, 0.001);
    // The legend's frame runs along the plot's bottom edge, a pixel past the last one drawn.
    plot_->plotLayout()->setAutoMargins(QCP::msNone);
    plot_->plotLayout()->setMargins(QMargins(0, 0, 1, 2));

    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);

    Retranslate();
    FillYearBox();
    Draw();

    connect(yearBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (filling_ || index < 0) return;
        const QVariant year = yearBox_->itemData(index);
        ChooseYear(year.isValid() ? std::optional<int>(year.toInt()) : std::nullopt);
    });
}

TrumpetPlot::~TrumpetPlot() = default;

void TrumpetPlot::SetData(const DataSet& set, const SensorTable& table) {
    set_ = set;
    table_ = table;
    years_.clear();
    for (const Measurement& m : set_.measurements) {
        const int y = m.time.ToCivil().year;
        if (years_.empty() || years_.back() != y) years_.push_back(y);
    }
    // The measurements are in time order, but nothing is lost if they were not.
    std::sort(years_.begin(), years_.end());
    years_.erase(std::unique(years_.begin(), years_.end()), years_.end());
    if (year_ && !std::binary_search(years_.begin(), years_.end(), *year_)) year_.reset();
    FillYearBox();
    Draw();
}

void TrumpetPlot::SetLanguage(Language language) {
    if (language == language_) return;
    language_ = language;
    Retranslate();
    FillYearBox();
    ShowSummary();
}

void TrumpetPlot::Retranslate() {
    periodLabel_->setText(T(Msg::TrumpetPeriod, language_));
    plot_->xAxis->setLabel(T(Msg::ViewerUnit, language_));
    min_->setName(T(Msg::TrumpetMinimum, language_));
    mean_->setName(T(Msg::TrumpetMean, language_));
    max_->setName(T(Msg::TrumpetMaximum, language_));
}

void TrumpetPlot::FillYearBox() {
    filling_ = true;
    yearBox_->clear();
    yearBox_->addItem(T(Msg::ViewerWholePeriod, language_));
    for (const int y : years_) yearBox_->addItem(QString::number(y), y);
    yearBox_->setCurrentIndex(year_ ? yearBox_->findData(*year_) : 0);
    yearBox_->setEnabled(!years_.empty());
    filling_ = false;
}

void TrumpetPlot::ChooseYear(std::optional<int> year) {
    if (year && !std::binary_search(years_.begin(), years_.end(), *year)) year.reset();
    year_ = year;
    filling_ = true;
    yearBox_->setCurrentIndex(year_ ? yearBox_->findData(*year_) : 0);
    filling_ = false;
    Draw();
}

std::optional<int> TrumpetPlot::ChosenYear() const {
    return year_;
}

void TrumpetPlot::Draw() {
    Period period{0, set_.measurements.size()};
    if (year_)
        period =
            PeriodOf(set_, DateTime::FromDate(*year_, 1, 1), DateTime::FromDate(*year_, 12, 31));
    summary_ = Summarize(set_, table_, period);
    ShowSummary();
}

void TrumpetPlot::ShowSummary() {
    byDepth_ = std::any_of(summary_.sensors.begin(), summary_.sensors.end(),
                           [](const SensorSummary& s) { return s.depthMetres.has_value(); });

    struct Row {
        double y, min, mean, max;
    };
    std::vector<Row> rows;
    for (const SensorSummary& s : summary_.sensors) {
        if ((s.flags & (kDead | kStuck)) || !s.min || !s.max || !s.mean) continue;
        if (byDepth_ && !s.depthMetres) continue;
        const double y = byDepth_ ? *s.depthMetres : static_cast<double>(s.sensor);
        rows.push_back({y, *s.min, *s.mean, *s.max});
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.y < b.y; });

    QVector<double> t, y, lo, mid, hi;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        t << static_cast<double>(k);
        y << rows[k].y;
        lo << rows[k].min;
        mid << rows[k].mean;
        hi << rows[k].max;
    }
    min_->setData(t, lo, y, true);
    mean_->setData(t, mid, y, true);
    max_->setData(t, hi, y, true);

    plot_->yAxis->setLabel(T(byDepth_ ? Msg::TrumpetDepth : Msg::ViewerSensor, language_));
    const std::optional<double> active = byDepth_ ? summary_.activeLayerMetres : std::nullopt;
    const std::optional<double> amplitude = byDepth_ ? summary_.zeroAmplitudeMetres : std::nullopt;
    PlaceAcross(activeLine_, activeText_, active);
    PlaceAcross(amplitudeLine_, amplitudeText_, amplitude);
    if (active)
        activeText_->setText(T(Msg::TrumpetActiveLayer, language_, {Metres(*active, language_)}));
    if (amplitude)
        amplitudeText_->setText(
            T(Msg::TrumpetZeroAmplitude, language_, {Metres(*amplitude, language_)}));

    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) axis->setTickLabels(!rows.empty());
    if (rows.empty()) {
        title_->setText(T(Msg::TrumpetNoValues, language_));
        plot_->xAxis->setRange(-1, 1);
        plot_->yAxis->setRange(0, 1);
    } else {
        title_->setText(year_ ? QString::number(*year_) : T(Msg::ViewerWholePeriod, language_));
        double low = rows.front().min;
        double high = rows.front().max;
        for (const Row& r : rows) {
            low = std::min(low, r.min);
            high = std::max(high, r.max);
        }
        const double pad = std::max(0.5, (high - low) * 0.05);
        plot_->xAxis->setRange(low - pad, high + pad);
        const double top = rows.front().y;
        const double bottom = rows.back().y;
        const double margin = byDepth_ ? std::max(0.1, (bottom - top) * 0.03) : 0.5;
        plot_->yAxis->setRange(top - margin, bottom + margin);
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

}  // namespace qm

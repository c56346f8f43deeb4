#include "ui/viewer/YearsPlot.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <map>
#include <string>

#include "store/ValueLines.h"
#include "text/Messages.h"

namespace qm {

namespace {

QString T(Msg id, Language language, std::initializer_list<std::string_view> args = {}) {
    const std::string text = Message(id, language, args);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

const QColor kYearColours[] = {QColor(31, 119, 180),  QColor(214, 39, 40),   QColor(44, 160, 44),
                               QColor(255, 127, 14),  QColor(148, 103, 189), QColor(140, 86, 75),
                               QColor(227, 119, 194), QColor(23, 190, 207)};

}  // namespace

double YearsPlot::DayOfYear(DateTime t) {
    const std::optional<DateTime> newYear = DateTime::FromDate(t.ToCivil().year, 1, 1);
    if (!newYear) return std::numeric_limits<double>::quiet_NaN();
    return 1.0 + static_cast<double>(t.Milliseconds() - newYear->Milliseconds()) /
                     static_cast<double>(DateTime::kMsPerDay);
}

YearsPlot::YearsPlot(Language language, QWidget* parent) : QWidget(parent), language_(language) {
    setObjectName("years");
    sensorLabel_ = new QLabel(this);
    sensorBox_ = new QComboBox(this);
    sensorBox_->setObjectName("yearsSensor");
    plot_ = new QCustomPlot(this);
    plot_->setObjectName("yearsPlot");

    auto* top = new QHBoxLayout;
    top->addWidget(sensorLabel_);
    top->addWidget(sensorBox_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(plot_, 1);

    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    plot_->plotLayout()->insertRow(0);
    title_ = new QCPTextElement(plot_, QString(), small);
    plot_->plotLayout()->addElement(0, 0, title_);
    plot_->legend->setVisible(true);
    plot_->legend->setFont(small);
    plot_->axisRect()->insetLayout()->take(plot_->legend);
    plot_->plotLayout()->addElement(2, 0, plot_->legend);
    plot_->legend->setFillOrder(QCPLegend::foColumnsFirst);
    plot_->plotLayout()->setRowStretchFactor(2, 0.001);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->axisRect()->setRangeZoom(Qt::Horizontal);
    plot_->axisRect()->setRangeDrag(Qt::Horizontal);

    SetLanguage(language);
    FillSensorBox();
    Draw();

    connect(sensorBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_ && index >= 0) ChooseSensor(static_cast<std::size_t>(index));
    });
}

YearsPlot::~YearsPlot() = default;

void YearsPlot::SetData(const DataSet& set, const SensorTable& table) {
    set_ = set;
    table_ = table;
    sensors_ = set_.sensorCount;
    if (sensor_ >= sensors_) sensor_ = 0;
    FillSensorBox();
    Draw();
}

void YearsPlot::SetLanguage(Language language) {
    language_ = language;
    sensorLabel_->setText(T(Msg::ViewerSensor, language_));
    plot_->xAxis->setLabel(T(Msg::YearsDayOfYear, language_));
    plot_->yAxis->setLabel(T(Msg::ViewerUnit, language_));
    FillSensorBox();
    Draw();
}

void YearsPlot::FillSensorBox() {
    filling_ = true;
    sensorBox_->clear();
    for (std::size_t s = 0; s < sensors_; ++s) {
        const SensorInfo* info = table_.Find(s + 1);
        if (info && !info->label.empty())
            sensorBox_->addItem(QString::fromStdString(info->label));
        else
            sensorBox_->addItem(T(Msg::ViewerSensorNumber, language_, {std::to_string(s + 1)}));
    }
    sensorBox_->setCurrentIndex(sensors_ == 0 ? -1 : static_cast<int>(sensor_));
    sensorBox_->setEnabled(sensors_ > 0);
    filling_ = false;
}

void YearsPlot::ChooseSensor(std::size_t sensor) {
    if (sensor >= sensors_) return;
    sensor_ = sensor;
    filling_ = true;
    sensorBox_->setCurrentIndex(static_cast<int>(sensor_));
    filling_ = false;
    Draw();
}

void YearsPlot::Draw() {
    plot_->clearGraphs();
    drawn_.clear();
    // Each year's keys and values, in time order within the year.
    std::map<int, std::pair<QVector<double>, QVector<double>>> byYear;
    bool any = false;
    if (sensor_ < sensors_) {
        for (std::size_t i = 0; i < set_.measurements.size(); ++i) {
            const DateTime t = set_.measurements[i].time;
            const std::int32_t v = set_.Value(i, sensor_);
            auto& [keys, values] = byYear[t.ToCivil().year];
            keys << DayOfYear(t);
            values << (v == kMissingValue ? std::numeric_limits<double>::quiet_NaN() : v / 100.0);
            any = any || v != kMissingValue;
        }
    }
    double low = 0;
    double high = 0;
    bool first = true;
    std::size_t colour = 0;
    for (auto& [year, line] : byYear) {
        QCPGraph* graph = plot_->addGraph();
        graph->setName(QString::number(year));
        graph->setPen(QPen(kYearColours[colour++ % std::size(kYearColours)], 1.2));
        graph->setData(line.first, line.second, true);
        drawn_.push_back(year);
        for (const double v : line.second) {
            if (std::isnan(v)) continue;
            low = first ? v : std::min(low, v);
            high = first ? v : std::max(high, v);
            first = false;
        }
    }
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) axis->setTickLabels(any);
    plot_->xAxis->setRange(1, 367);
    if (any) {
        const double pad = std::max(0.5, (high - low) * 0.05);
        plot_->yAxis->setRange(low - pad, high + pad);
        title_->setText(sensorBox_->currentText());
    } else {
        plot_->yAxis->setRange(-1, 1);
        title_->setText(T(Msg::YearsNoValues, language_));
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

}  // namespace qm

#pragma once

#include <QWidget>
#include <vector>

#include "store/DataSet.h"
#include "store/SensorTable.h"
#include "text/Language.h"

class QCustomPlot;
class QCPGraph;
class QCPTextElement;
class QComboBox;
class QLabel;

namespace qm {

// One sensor's record, each calendar year of the data a line of its own against the day of the
// year (1 January is day 1, 00:00; the time of day is the fraction), so that the years lie over
// one another. Missing values are gaps.
class YearsPlot : public QWidget {
    Q_OBJECT
public:
    explicit YearsPlot(Language language, QWidget* parent = nullptr);
    ~YearsPlot() override;

    // Keeps a copy of the data set and its sensor table; the sensor shown stays when the new
    // data has it (else the first).
    void SetData(const DataSet& set, const SensorTable& table);
    void SetLanguage(Language language);

    // Shows sensor `sensor` (0-based); one that the data lacks is ignored.
    void ChooseSensor(std::size_t sensor);
    std::size_t ChosenSensor() const { return sensor_; }
    // The year of each line, in the order of the graphs of Plot().
    const std::vector<int>& YearsDrawn() const { return drawn_; }

    // The day of the year of a time: 1 January 00:00 is 1.0, noon of 29 February is 60.5.
    static double DayOfYear(DateTime t);

    QCustomPlot* Plot() const { return plot_; }
    QComboBox* SensorBox() const { return sensorBox_; }

private:
    void FillSensorBox();
    void Draw();

    Language language_;
    DataSet set_;
    SensorTable table_;
    std::size_t sensors_ = 0;
    std::size_t sensor_ = 0;
    std::vector<int> drawn_;
    bool filling_ = false;

    QLabel* sensorLabel_;
    QComboBox* sensorBox_;
    QCustomPlot* plot_;
    QCPTextElement* title_ = nullptr;
};

}  // namespace qm

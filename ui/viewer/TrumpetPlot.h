#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "store/DataSet.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "text/Language.h"

class QCustomPlot;
class QCPCurve;
class QCPItemStraightLine;
class QCPItemText;
class QCPTextElement;
class QComboBox;
class QLabel;

namespace qm {

// The trumpet curve of a borehole: the minimum, mean and maximum of each sensor over a calendar
// year or the whole period, drawn against depth (down the vertical axis, the surface at the top),
// or against the sensor's number when the sensor table gives no depths. The values are the
// summary's: flagged values left out, dead and stuck sensors not drawn. A vertical line marks
// 0 °C; horizontal lines mark the active layer and the depth of zero annual amplitude, each with
// its depth written beside it, when the summary finds them.
class TrumpetPlot : public QWidget {
    Q_OBJECT
public:
    explicit TrumpetPlot(Language language, QWidget* parent = nullptr);
    ~TrumpetPlot() override;

    // Keeps a copy of the data set and its sensor table; offers the calendar years of the data
    // and keeps the chosen year when the new data has it too (else the whole period).
    void SetData(const DataSet& set, const SensorTable& table);
    void SetLanguage(Language language);

    // The calendar years the data holds, in order.
    const std::vector<int>& Years() const { return years_; }
    // Shows one calendar year, or the whole period for nothing (or a year the data lacks).
    // Summarizes again even when the choice is the same.
    void ChooseYear(std::optional<int> year);
    std::optional<int> ChosenYear() const;

    // What is drawn: the summary of the chosen period.
    const Summary& Shown() const { return summary_; }
    // True when the vertical axis is depth in metres, false when it is the sensor's number.
    bool ByDepth() const { return byDepth_; }

    QCustomPlot* Plot() const { return plot_; }
    QComboBox* YearBox() const { return yearBox_; }
    QCPCurve* MinimumCurve() const { return min_; }
    QCPCurve* MeanCurve() const { return mean_; }
    QCPCurve* MaximumCurve() const { return max_; }
    QCPItemStraightLine* ZeroLine() const { return zero_; }
    // Visible only when the summary finds the depth.
    QCPItemStraightLine* ActiveLayerLine() const { return activeLine_; }
    QCPItemText* ActiveLayerText() const { return activeText_; }
    QCPItemStraightLine* ZeroAmplitudeLine() const { return amplitudeLine_; }
    QCPItemText* ZeroAmplitudeText() const { return amplitudeText_; }

private:
    void Retranslate();
    void FillYearBox();
    // Summarizes the chosen period and shows it.
    void Draw();
    // Shows the summary held, in the language chosen.
    void ShowSummary();

    Language language_;
    DataSet set_;
    SensorTable table_;
    std::vector<int> years_;
    std::optional<int> year_;
    Summary summary_;
    bool byDepth_ = false;
    bool filling_ = false;

    QLabel* periodLabel_;
    QComboBox* yearBox_;
    QCustomPlot* plot_;
    QCPTextElement* title_ = nullptr;
    QCPCurve* min_ = nullptr;
    QCPCurve* mean_ = nullptr;
    QCPCurve* max_ = nullptr;
    QCPItemStraightLine* zero_ = nullptr;
    QCPItemStraightLine* activeLine_ = nullptr;
    QCPItemText* activeText_ = nullptr;
    QCPItemStraightLine* amplitudeLine_ = nullptr;
    QCPItemText* amplitudeText_ = nullptr;
};

}  // namespace qm

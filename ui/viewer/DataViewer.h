#pragma once

#include <QWidget>
#include <filesystem>
#include <optional>
#include <vector>

#include "store/CollectionDataSets.h"
#include "store/DataSet.h"
#include "store/Export.h"
#include "store/Health.h"
#include "store/LocalFiles.h"
#include "store/SensorTable.h"
#include "text/Language.h"
#include "ui/viewer/ColourMaps.h"
#include "ui/viewer/DepthAxis.h"

class QCustomPlot;
class QCPAxis;
class QCPAbstractItem;
class QCPAxisRect;
class QCPRange;
class QCPColorMap;
class QCPColorScale;
class QCPCurve;
class QCPItemStraightLine;
class QCPTextElement;
class QCPLayoutElement;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace qm {

class TrumpetPlot;
class YearsPlot;

// The copied data of one data-set folder on screen: a heat map of time against sensor number
// (sensor 1 at the top, as the first sensor of a string hanging down) with its colour scale, the
// time series of the sensors picked in the list, and the profile of all sensors at the time
// clicked on the map. The map and the series share their time axis: zoom (wheel) and pan (drag)
// on either moves both, never past the data; "Whole period", a double-click or Home (Ctrl+0)
// shows all of it again. The status line names the time, sensor and value under the mouse.
// Missing values are gaps: a grey of their own on the map, named under its colour scale.
//
// The folder's sensor table (sensors.csv, edited with "Sensors…") places the map's rows and the
// profile's points at the sensors' depths when it gives any; the sensor list shows each sensor's
// depth, label, completeness and health flags over the whole data set. Values flagged as spikes
// or out of range are gaps on the map and in the profile, and with dead and stuck sensors they
// are left out of the colour scale. The 0 °C isotherm is drawn over the map.
//
// A collection's data folder (DATA/<station>/<directory>) is shown as an overview of its data
// sets, "station / directory" with the last download its log holds and how it ended; the folder
// box offers the same names, and choosing one opens it.
class DataViewer : public QWidget {
    Q_OBJECT
public:
    // `dataFolder` holds the data-set folders offered for choice (the program's DATA folder).
    explicit DataViewer(std::filesystem::path dataFolder, Language language,
                        QWidget* parent = nullptr);
    ~DataViewer() override;

    void SetLanguage(Language language);
    // Offers the data-set folders of the data folder again.
    void ListFolders();
    // Reads and shows a data-set folder (or a single data file). False, with the reason shown,
    // when it cannot be read.
    bool Open(const std::filesystem::path& folder);
    // Opens the first folder of the data folder that holds data files (of a collection's data
    // folder, its overview); false, and nothing changed, when none does. Until a folder is open the
    // folder box names none.
    bool OpenFirstDataSet();
    // The data sets of the collection whose overview is shown; none while a data set is.
    const std::vector<CollectionDataSet>& Collection() const { return collection_; }
    QTreeWidget* Overview() const { return overview_; }
    // The folder (or file) shown; empty when none is.
    const std::filesystem::path& CurrentFolder() const { return current_; }
    // Writes the data set shown, with the sensor table of its folder, as CSV, XLSX or NetCDF;
    // with none (or an empty one) writes nothing and says so. The export buttons ask for the
    // file and come here.
    void ExportTo(const std::filesystem::path& file, ExportFormat format);
    // Writes the monitoring report of the data set shown over all of it (see Report.h); false,
    // with the reason shown, when nothing was written. "PDF report…" asks for the file and
    // comes here.
    bool ReportTo(const std::filesystem::path& pdf);

    const DataSet& Data() const { return set_; }
    // Sensors drawn as time series (0-based).
    std::vector<int> PickedSensors() const;
    void PickSensors(const std::vector<int>& sensors);
    // The measurement whose profile is shown.
    std::optional<std::size_t> ProfileIndex() const { return profileIndex_; }
    // Shows the profile of the measurement nearest to a time key (seconds, see TimeKey).
    void ShowProfileAt(double key);
    // Zooms the shared time axis about its centre (factor < 1 zooms in).
    void ZoomTime(double factor);
    // Shows every measurement again.
    void ResetZoom();
    // The time range of every measurement, half a usual interval added at each end: the widest
    // the time axis goes.
    QCPRange WholeTime() const;
    // "2024-03-01 11:00, sensor 2: 1.50 °C" for the cell of the map or the point of a series at
    // a pixel of the plot; empty where there is none.
    QString DescribeAt(QPoint pixel) const;

    QCustomPlot* Plot() const { return plot_; }
    QCustomPlot* ProfilePlot() const { return profile_; }
    QCPColorMap* HeatMap() const { return map_; }
    QCPAxisRect* SeriesRect() const { return seriesRect_; }
    QCPCurve* ProfileCurve() const { return profileCurve_; }
    // The tabs beside the map: the profile, the trumpet curve, the years of one sensor. The
    // latter two summarize the data set when their tab is first shown.
    QTabWidget* Tabs() const { return tabs_; }
    TrumpetPlot* Trumpet() const { return trumpet_; }
    YearsPlot* Years() const { return years_; }
    QCPCurve* Isotherm() const { return isotherm_; }

    // The sensor table read with the data set, and where the map's rows lie.
    const SensorTable& Sensors() const { return table_; }
    const SensorRows& Rows() const { return rows_; }
    const Health& SensorHealth() const { return health_; }
    void SetColourMap(ColourMap map);
    ColourMap CurrentColourMap() const { return colourMap_; }
    // Opens the editor of the sensor table (not modal to the program; its "Save" comes to
    // SaveSensorTable).
    void EditSensorTable();
    // Writes the sensor table of the folder shown and shows the data set with it. False, with
    // the reason shown, when it cannot be written.
    bool SaveSensorTable(const std::vector<SensorInfo>& sensors);

    // A time as the axes hold it: seconds since 1970 of the logger's clock (taken as UTC, so the
    // axis shows the times the headers give, whatever the PC's time zone).
    static double TimeKey(DateTime t);

private:
    void BuildPlots();
    void Retranslate();
    void ShowDataSet();
    void ReadSensorsAndHealth();
    void FillHeatMap();
    void FillIsotherm();
    void LabelDepthAxes();
    QString SensorItemText(std::size_t sensor) const;
    // The sensor's name in the series' legend: its label (or number) and depth, "T01 (0,5 м)".
    QString SeriesName(std::size_t sensor) const;
    QString DepthText(double metres) const;
    void ShowCollection(const std::filesystem::path& site, std::vector<CollectionDataSet> sets);
    void FillOverview();
    // A value (°C) that the map and the profile draw: present and not flagged; NaN otherwise.
    double Shown(std::size_t measurement, std::size_t sensor) const;
    // A sensor whose values may set the colour scale and the isotherm: neither dead nor stuck.
    bool Trusted(std::size_t sensor) const;
    std::filesystem::path TableFolder() const;
    void FillSeries();
    void MarkDownloadsAndGaps();
    void ShowMarksText();
    void ClearProfile();
    // Gives the trumpet curve and the years the data set shown, once one of their tabs is.
    void FillTabs();
    void AskExport(ExportFormat format);
    void AskReport();
    QCPRange Clamped(QCPRange range) const;
    std::optional<std::size_t> MeasurementAt(double key) const;
    void OnTimeRangeChanged(const QCPAxis* source);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::filesystem::path dataFolder_;
    std::filesystem::path current_;
    Language language_;
    DataSet set_;
    std::vector<double> keys_;  // TimeKey of each measurement
    double step_ = 3600;        // the usual time between measurements, in seconds
    double column_ = 3600;      // the time a column of the map covers
    std::optional<std::size_t> profileIndex_;
    SensorTable table_;
    std::optional<FileError> tableError_;
    Health health_;
    SensorRows rows_;
    std::vector<int> cellRows_;  // the map's vertical cells: the row each one shows
    ColourMap colourMap_ = ColourMap::ZeroCentred;

    QLabel* folderLabel_;
    QComboBox* folders_;
    QPushButton* browse_;
    QPushButton* exportCsv_;
    QPushButton* exportXlsx_;
    QPushButton* exportNetcdf_;
    QPushButton* report_;
    QPushButton* wholePeriod_;
    QLabel* summary_;
    QLabel* issues_;
    QLabel* sensorsLabel_;
    QListWidget* sensors_;
    QPushButton* editSensors_;
    QLabel* colourMapLabel_;
    QComboBox* colourMaps_;
    QCheckBox* showIsotherm_;
    QLabel* pointed_;
    QWidget* dataView_;      // the sensor list, the plots and the tabs
    QTreeWidget* overview_;  // a collection's data sets, in the data view's place
    std::vector<CollectionDataSet> collection_;
    QCustomPlot* plot_;
    QCustomPlot* profile_;
    QTabWidget* tabs_;
    TrumpetPlot* trumpet_;
    YearsPlot* years_;
    bool tabsStale_ = false;
    QCPAxisRect* seriesRect_ = nullptr;
    QCPColorMap* map_ = nullptr;
    QCPColorScale* scale_ = nullptr;
    QCPCurve* profileCurve_ = nullptr;
    QCPCurve* isotherm_ = nullptr;
    QCPTextElement* profileTitle_ = nullptr;
    QCPTextElement* scaleUnit_ = nullptr;  // "°C" upright above the colour scale
    QCPLayoutElement* noValueKey_ = nullptr;
    QCPItemStraightLine* mapCursor_ = nullptr;
    QCPItemStraightLine* seriesCursor_ = nullptr;
    std::vector<QCPAbstractItem*> marks_;  // downloads and gaps on the time axes
    QLabel* marksLabel_;
    std::size_t downloads_ = 0;
    std::optional<double> lastDownload_;  // time key of the last download logged
    std::size_t gaps_ = 0;
    QPoint pressAt_;
    std::optional<QPoint> mouseAt_;  // over the plot, for the status line
    bool syncingRange_ = false;
    bool filling_ = false;
};

}  // namespace qm

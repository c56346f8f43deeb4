#include "ui/viewer/DataViewer.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTimeZone>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "store/CollectionDataSets.h"
#include "store/CollectionLog.h"
#include "store/Export.h"
#include "store/Gaps.h"
#include "store/LocalFiles.h"
#include "store/NetcdfExport.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "store/ValueLines.h"
#include "text/Messages.h"
#include "ui/viewer/SensorTableDialog.h"
#include "ui/viewer/TrumpetPlot.h"
#include "ui/viewer/YearsPlot.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString T(Msg id, Language language, std::initializer_list<std::string_view> args = {}) {
    return Q(Message(id, language, args));
}

QString PathQ(const fs::path& p) {
    return QString::fromStdString(PathText(p));
}

// Seconds from 30 December 1899 to 1 January 1970.
constexpr double kUnixEpochSeconds = 25569.0 * 86400.0;

double Reading(std::int32_t v) {
    return v == kMissingValue ? std::numeric_limits<double>::quiet_NaN() : v / 100.0;
}

bool HasDataFiles(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string ext = it->path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".dat") return true;
    }
    return false;
}

// The key of the map's "no value" colour under its colour scale: a square of the colour and
// its name.
class NoValueKey : public QCPLayoutElement {
public:
    NoValueKey(QCustomPlot* plot, const QFont& font) : QCPLayoutElement(plot), font_(font) {
        setObjectName("noValueKey");
    }
    void SetText(const QString& text) {
        text_ = text;
        setProperty("text", text);
    }
    QSize minimumOuterSizeHint() const override {
        const QFontMetrics m(font_);
        return QSize(kSwatch + kGap + m.horizontalAdvance(text_) + 2 * kGap,
                     std::max(kSwatch, m.height()) + 2 * kGap);
    }
    QSize maximumOuterSizeHint() const override {
        return QSize(QWIDGETSIZE_MAX, minimumOuterSizeHint().height());
    }

protected:
    void draw(QCPPainter* painter) override {
        const QRect r = rect();
        const QRect swatch(r.left() + kGap, r.center().y() - kSwatch / 2, kSwatch, kSwatch);
        painter->setPen(QPen(Qt::darkGray));
        painter->setBrush(kNoValueColour);
        painter->drawRect(swatch);
        painter->setFont(font_);
        painter->setPen(Qt::black);
        painter->drawText(QRect(swatch.right() + kGap, r.top(), r.width(), r.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, text_);
    }

private:
    static constexpr int kSwatch = 10, kGap = 4;
    QFont font_;
    QString text_;
};

const QColor kSeriesColours[] = {QColor(31, 119, 180),  QColor(214, 39, 40),   QColor(44, 160, 44),
                                 QColor(255, 127, 14),  QColor(148, 103, 189), QColor(140, 86, 75),
                                 QColor(227, 119, 194), QColor(23, 190, 207)};

}  // namespace

double DataViewer::TimeKey(DateTime t) {
    return static_cast<double>(t.Milliseconds()) / 1000.0 - kUnixEpochSeconds;
}

DataViewer::DataViewer(fs::path dataFolder, Language language, QWidget* parent)
    : QWidget(parent, Qt::Window), dataFolder_(std::move(dataFolder)), language_(language) {
    setObjectName("DataViewer");
    resize(1200, 760);

    folderLabel_ = new QLabel(this);
    folders_ = new QComboBox(this);
    folders_->setObjectName("folders");
    folders_->setMinimumContentsLength(24);
    // As wide as that, however long the names of the folders: the popup shows them whole.
    folders_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    browse_ = new QPushButton(this);
    exportCsv_ = new QPushButton(this);
    exportCsv_->setObjectName("exportCsv");
    exportXlsx_ = new QPushButton(this);
    exportXlsx_->setObjectName("exportXlsx");
    exportXlsx_->setVisible(XlsxExportAvailable());
    exportNetcdf_ = new QPushButton(this);
    exportNetcdf_->setObjectName("exportNetcdf");
    exportNetcdf_->setVisible(NetcdfExportAvailable());
    report_ = new QPushButton(this);
    report_->setObjectName("report");
    wholePeriod_ = new QPushButton(this);
    wholePeriod_->setObjectName("wholePeriod");
    summary_ = new QLabel(this);
    summary_->setObjectName("summary");
    issues_ = new QLabel(this);
    issues_->setObjectName("issues");
    issues_->setStyleSheet("color: #a00000;");
    // A long summary (a folder's path) is cut, not the window widened.
    summary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* top = new QHBoxLayout;
    top->addWidget(folderLabel_);
    top->addWidget(folders_);
    top->addWidget(browse_);
    top->addStretch(1);
    top->addWidget(wholePeriod_);
    top->addWidget(exportCsv_);
    top->addWidget(exportXlsx_);
    top->addWidget(exportNetcdf_);
    top->addWidget(report_);
    // The summary and the skipped lines on a line of their own: with the buttons they made the
    // window wider than a 1,280-pixel screen.
    auto* status = new QHBoxLayout;
    status->addWidget(summary_, 1);
    status->addWidget(issues_);

    sensorsLabel_ = new QLabel(this);
    sensors_ = new QListWidget(this);
    sensors_->setObjectName("sensors");
    // Wide enough for "12  (10,5 м) T-12 — 100 %, выбросы".
    sensors_->setMaximumWidth(260);
    editSensors_ = new QPushButton(this);
    editSensors_->setObjectName("editSensors");
    colourMapLabel_ = new QLabel(this);
    colourMaps_ = new QComboBox(this);
    colourMaps_->setObjectName("colourMaps");
    colourMaps_->addItem(QString(), static_cast<int>(ColourMap::ZeroCentred));
    colourMaps_->addItem(QString(), static_cast<int>(ColourMap::Uniform));
    showIsotherm_ = new QCheckBox(this);
    showIsotherm_->setObjectName("showIsotherm");
    showIsotherm_->setChecked(true);
    auto* left = new QVBoxLayout;
    left->addWidget(sensorsLabel_);
    left->addWidget(sensors_, 1);
    left->addWidget(editSensors_);
    auto* colours = new QHBoxLayout;
    colours->addWidget(colourMapLabel_);
    colours->addWidget(colourMaps_, 1);
    left->addLayout(colours);
    left->addWidget(showIsotherm_);

    plot_ = new QCustomPlot(this);
    plot_->setObjectName("plot");
    profile_ = new QCustomPlot(this);
    profile_->setObjectName("profile");
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(plot_);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("sideTabs");
    trumpet_ = new TrumpetPlot(language_, this);
    years_ = new YearsPlot(language_, this);
    tabs_->addTab(profile_, QString());
    tabs_->addTab(trumpet_, QString());
    tabs_->addTab(years_, QString());
    splitter->addWidget(tabs_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { FillTabs(); });
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({900, 260});

    dataView_ = new QWidget(this);
    auto* body = new QHBoxLayout(dataView_);
    body->setContentsMargins(0, 0, 0, 0);
    body->addLayout(left);
    body->addWidget(splitter, 1);
    overview_ = new QTreeWidget(this);
    overview_->setObjectName("overview");
    overview_->setColumnCount(3);
    overview_->setRootIsDecorated(false);
    overview_->setVisible(false);
    connect(overview_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        Open(fs::path(item->data(0, Qt::UserRole).toString().toStdU16String()));
    });
    pointed_ = new QLabel(this);
    pointed_->setObjectName("pointed");
    pointed_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // One line's height kept, so that the plots do not jump as the mouse comes and goes.
    pointed_->setMinimumHeight(pointed_->fontMetrics().height());
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(status);
    layout->addWidget(dataView_, 1);
    layout->addWidget(overview_, 1);
    marksLabel_ = new QLabel(this);
    marksLabel_->setObjectName("marks");
    marksLabel_->setVisible(false);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(pointed_, 1);
    bottom->addWidget(marksLabel_);
    layout->addLayout(bottom);

    BuildPlots();
    Retranslate();

    connect(folders_, &QComboBox::activated, this, [this](int index) {
        Open(fs::path(folders_->itemData(index).toString().toStdU16String()));
    });
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString start = PathQ(current_.empty() ? dataFolder_ : current_);
        const QString chosen =
            QFileDialog::getExistingDirectory(this, T(Msg::ViewerTitle, language_), start);
        if (!chosen.isEmpty()) Open(fs::path(chosen.toStdU16String()));
    });
    connect(exportCsv_, &QPushButton::clicked, this, [this] { AskExport(ExportFormat::Csv); });
    connect(exportXlsx_, &QPushButton::clicked, this, [this] { AskExport(ExportFormat::Xlsx); });
    connect(exportNetcdf_, &QPushButton::clicked, this,
            [this] { AskExport(ExportFormat::Netcdf); });
    connect(report_, &QPushButton::clicked, this, [this] { AskReport(); });
    connect(wholePeriod_, &QPushButton::clicked, this, [this] { ResetZoom(); });
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Home), QKeySequence(Qt::CTRL | Qt::Key_0)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { ResetZoom(); });
    connect(editSensors_, &QPushButton::clicked, this, [this] { EditSensorTable(); });
    connect(colourMaps_, &QComboBox::activated, this, [this](int index) {
        SetColourMap(static_cast<ColourMap>(colourMaps_->itemData(index).toInt()));
    });
    connect(showIsotherm_, &QCheckBox::toggled, this, [this](bool on) {
        isotherm_->setVisible(on);
        plot_->replot();
    });
    connect(sensors_, &QListWidget::itemChanged, this, [this] {
        if (!filling_) FillSeries(), plot_->replot();
    });
    ListFolders();
    // Nothing is open yet: no map, no series, nothing to export.
    ShowDataSet();
}

DataViewer::~DataViewer() = default;

void DataViewer::BuildPlots() {
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->setAutoAddPlottableToLegend(false);
    plot_->setNoAntialiasingOnDrag(true);

    // Row 0: the heat map and its colour scale; row 1: the time series. The empty cell beside
    // the series keeps both plot areas equally wide, so their time axes line up.
    QCPAxisRect* mapRect = plot_->axisRect();
    seriesRect_ = new QCPAxisRect(plot_);
    scale_ = new QCPColorScale(plot_);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    // Beside the map: the unit (upright, as the scale's own label would not be), the scale, and
    // the colour of "no value".
    auto* scaleColumn = new QCPLayoutGrid;
    plot_->plotLayout()->addElement(0, 1, scaleColumn);
    scaleUnit_ = new QCPTextElement(plot_, QString(), small);
    scaleUnit_->setObjectName("scaleUnit");
    auto* key = new NoValueKey(plot_, small);
    noValueKey_ = key;
    scaleColumn->addElement(0, 0, scaleUnit_);
    scaleColumn->addElement(1, 0, scale_);
    scaleColumn->addElement(2, 0, key);
    scaleColumn->setRowSpacing(0);
    plot_->plotLayout()->addElement(1, 0, seriesRect_);
    plot_->plotLayout()->addElement(1, 1, new QCPLayoutElement(plot_));
    plot_->plotLayout()->setRowStretchFactor(0, 1.3);
    plot_->plotLayout()->setRowStretchFactor(1, 1.0);
    auto* margins = new QCPMarginGroup(plot_);
    mapRect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
    seriesRect_->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
    scale_->setMarginGroup(QCP::msTop | QCP::msBottom, new QCPMarginGroup(plot_));
    scale_->setType(QCPAxis::atRight);

    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setDateTimeFormat("dd.MM.yy\nhh:mm");
    for (QCPAxisRect* r : {mapRect, seriesRect_}) {
        r->axis(QCPAxis::atBottom)->setTicker(ticker);
        r->setRangeDrag(Qt::Horizontal);
        r->setRangeZoom(Qt::Horizontal);
        connect(r->axis(QCPAxis::atBottom), qOverload<const QCPRange&>(&QCPAxis::rangeChanged),
                this, [this, axis = r->axis(QCPAxis::atBottom)] { OnTimeRangeChanged(axis); });
    }
    plot_->yAxis->setRangeReversed(true);

    map_ = new QCPColorMap(plot_->xAxis, plot_->yAxis);
    map_->setColorScale(scale_);
    map_->setInterpolate(false);
    map_->setGradient(GradientOf(colourMap_));
    // Where the temperature crosses 0 °C: dark dots over the map, one per crossing and column.
    isotherm_ = new QCPCurve(plot_->xAxis, plot_->yAxis);
    isotherm_->setObjectName("isotherm");
    isotherm_->setLineStyle(QCPCurve::lsNone);
    isotherm_->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssDisc, QColor(20, 20, 20), QColor(20, 20, 20), 2.5));

    for (QCPItemStraightLine** cursor : {&mapCursor_, &seriesCursor_}) {
        *cursor = new QCPItemStraightLine(plot_);
        (*cursor)->setPen(QPen(Qt::black, 1, Qt::DashLine));
        (*cursor)->setVisible(false);
    }
    for (QCPItemPosition* p : {mapCursor_->point1, mapCursor_->point2}) {
        p->setAxes(plot_->xAxis, plot_->yAxis);
    }
    mapCursor_->setClipAxisRect(mapRect);
    for (QCPItemPosition* p : {seriesCursor_->point1, seriesCursor_->point2}) {
        p->setAxes(seriesRect_->axis(QCPAxis::atBottom), seriesRect_->axis(QCPAxis::atLeft));
    }
    seriesCursor_->setClipAxisRect(seriesRect_);

    // The legend lives in the series' plot area.
    plot_->axisRect()->insetLayout()->take(plot_->legend);
    seriesRect_->insetLayout()->addElement(plot_->legend, Qt::AlignTop | Qt::AlignRight);
    plot_->legend->setLayer("legend");
    plot_->legend->setVisible(true);
    plot_->legend->setFont(small);

    profile_->plotLayout()->insertRow(0);
    profileTitle_ = new QCPTextElement(profile_, QString(), small);
    profile_->plotLayout()->addElement(0, 0, profileTitle_);
    profile_->yAxis->setRangeReversed(true);
    profileCurve_ = new QCPCurve(profile_->xAxis, profile_->yAxis);
    profileCurve_->setPen(QPen(QColor(31, 119, 180), 1.5));
    profileCurve_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 4));

    plot_->setMouseTracking(true);
    plot_->installEventFilter(this);
}

void DataViewer::SetLanguage(Language language) {
    if (language == language_) return;
    language_ = language;
    Retranslate();
    ShowDataSet();
}

void DataViewer::Retranslate() {
    setWindowTitle(T(Msg::ViewerTitle, language_));
    folderLabel_->setText(T(Msg::ViewerFolder, language_));
    browse_->setText(T(Msg::ViewerBrowse, language_));
    exportCsv_->setText(T(Msg::ViewerExportCsv, language_));
    exportXlsx_->setText(T(Msg::ViewerExportXlsx, language_));
    exportNetcdf_->setText(T(Msg::ViewerExportNetcdf, language_));
    report_->setText(T(Msg::ViewerReport, language_));
    wholePeriod_->setText(T(Msg::ViewerWholePeriod, language_));
    wholePeriod_->setToolTip(T(Msg::ViewerWholePeriodTip, language_));
    folders_->setPlaceholderText(T(Msg::ViewerChooseFolder, language_));
    pointed_->clear();
    ShowMarksText();
    sensorsLabel_->setText(T(Msg::ViewerSensors, language_));
    plot_->yAxis->setLabel(T(Msg::ViewerSensor, language_));
    seriesRect_->axis(QCPAxis::atLeft)->setLabel(T(Msg::ViewerUnit, language_));
    scaleUnit_->setText(T(Msg::ViewerUnit, language_));
    static_cast<NoValueKey*>(noValueKey_)->SetText(T(Msg::ViewerNoValue, language_));
    overview_->setHeaderLabels({T(Msg::ViewerDataSetColumn, language_),
                                T(Msg::ViewerLastDownloadColumn, language_),
                                T(Msg::ViewerResultColumn, language_)});
    FillOverview();
    profile_->xAxis->setLabel(T(Msg::ViewerUnit, language_));
    LabelDepthAxes();
    editSensors_->setText(T(Msg::ViewerSensorTable, language_));
    colourMapLabel_->setText(T(Msg::ViewerScale, language_));
    const std::string unit = Message(Msg::ViewerUnit, language_);
    colourMaps_->setItemText(0, T(Msg::ViewerScaleZeroCentred, language_, {unit}));
    colourMaps_->setItemText(1, T(Msg::ViewerScaleUniform, language_));
    showIsotherm_->setText(T(Msg::ViewerIsotherm, language_, {unit}));
    showIsotherm_->setToolTip(T(Msg::ViewerIsothermTip, language_, {unit}));
    if (!profileIndex_) profileTitle_->setText(T(Msg::ViewerProfileHint, language_));
    tabs_->setTabText(0, T(Msg::ViewerTabProfile, language_));
    tabs_->setTabText(1, T(Msg::ViewerTabTrumpet, language_));
    tabs_->setTabText(2, T(Msg::ViewerTabYears, language_));
    trumpet_->SetLanguage(language_);
    years_->SetLanguage(language_);
}

namespace {
bool IsHidden(const fs::path& p) {
    const auto name = p.filename().u8string();
    return !name.empty() && name[0] == u8'.';
}

// The first folder inside `folder`, in name order, that holds data files; empty when none does.
fs::path FirstDataSetIn(const fs::path& folder) {
    std::vector<fs::path> inner;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError) && !IsHidden(it->path()) && HasDataFiles(it->path()))
            inner.push_back(it->path());
    }
    return inner.empty() ? fs::path() : *std::min_element(inner.begin(), inner.end());
}
}  // namespace

void DataViewer::ListFolders() {
    folders_->clear();
    std::vector<fs::path> found;
    std::error_code ec;
    // A collection's data sets lie a level further down, and are named with their station.
    for (const CollectionDataSet& d : FindCollectionDataSets(dataFolder_))
        folders_->addItem(Q(d.station + " / " + d.directory),
                          QString::fromStdU16String(d.folder.u16string()));
    for (fs::directory_iterator it(dataFolder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        // Hidden folders (a copy's staging folder among them) hold no data set.
        if (folders_->count() == 0 && it->is_directory(typeError) && !IsHidden(it->path()))
            found.push_back(it->path());
    }
    std::sort(found.begin(), found.end());
    for (const fs::path& p : found)
        folders_->addItem(PathQ(p.filename()), QString::fromStdU16String(p.u16string()));
    // The box names the folder shown, or none: a folder it named but nobody read would look like
    // one without data.
    if (current_.empty()) {
        folders_->setCurrentIndex(-1);
    } else {
        const int index = folders_->findData(QString::fromStdU16String(current_.u16string()));
        if (index < 0)
            folders_->addItem(PathQ(current_.filename()),
                              QString::fromStdU16String(current_.u16string()));
        folders_->setCurrentIndex(index < 0 ? folders_->count() - 1 : index);
    }
}

bool DataViewer::OpenFirstDataSet() {
    if (auto sets = FindCollectionDataSets(dataFolder_); !sets.empty()) {
        ShowCollection(dataFolder_, std::move(sets));
        return true;
    }
    const fs::path first = FirstDataSetIn(dataFolder_);
    return !first.empty() && Open(first);
}

bool DataViewer::Open(const fs::path& folder) {
    // A folder of data-set folders (the DATA folder itself) opens its first one with data.
    fs::path target = folder;
    std::error_code ec;
    if (fs::is_directory(folder, ec) && !HasDataFiles(folder)) {
        if (auto sets = FindCollectionDataSets(folder); !sets.empty()) {
            ShowCollection(folder, std::move(sets));
            return true;
        }
        const fs::path first = FirstDataSetIn(folder);
        if (!first.empty()) {
            dataFolder_ = folder;
            target = first;
        }
    }
    collection_.clear();
    overview_->setVisible(false);
    dataView_->setVisible(true);
    try {
        set_ = ReadDataSet(target);
    } catch (const FileError& e) {
        set_ = DataSet{};
        current_.clear();
        ReadSensorsAndHealth();
        ListFolders();
        ShowDataSet();
        tabsStale_ = true;
        FillTabs();
        summary_->setText(Q(e.Text(language_)));
        return false;
    }
    current_ = target;
    ReadSensorsAndHealth();
    ListFolders();
    ShowDataSet();
    tabsStale_ = true;
    FillTabs();
    return true;
}

void DataViewer::ShowCollection(const fs::path& site, std::vector<CollectionDataSet> sets) {
    dataFolder_ = site;
    collection_ = std::move(sets);
    set_ = DataSet{};
    current_.clear();
    ReadSensorsAndHealth();
    ListFolders();
    ShowDataSet();
    tabsStale_ = true;
    FillTabs();
    FillOverview();
    dataView_->setVisible(false);
    overview_->setVisible(true);
}

// One row per data set of the collection: its name, its last download (UTC, as the log keeps
// it) and how that ended, with the error when it failed.
void DataViewer::FillOverview() {
    overview_->clear();
    for (const CollectionDataSet& d : collection_) {
        QStringList row{Q(d.station + " / " + d.directory)};
        if (!d.last) {
            row << QString() << T(Msg::ViewerNeverDownloaded, language_);
        } else {
            QString when = Q(UtcText(d.last->time));
            when.replace('T', ' ').remove('Z');
            const Msg word = d.last->result == CollectionResult::Done ? Msg::ViewerDownloadDone
                             : d.last->result == CollectionResult::Failed
                                 ? Msg::ViewerDownloadFailed
                                 : Msg::ViewerDownloadStopped;
            QString result = T(word, language_);
            if (d.last->error) result += ": " + Q(*d.last->error);
            row << when << result;
        }
        auto* item = new QTreeWidgetItem(overview_, row);
        item->setData(0, Qt::UserRole, QString::fromStdU16String(d.folder.u16string()));
        if (d.last && d.last->result != CollectionResult::Done)
            item->setForeground(2, QColor(0xa0, 0, 0));
    }
    for (int c = 0; c < 2; ++c) overview_->resizeColumnToContents(c);
}

void DataViewer::FillTabs() {
    if (!tabsStale_ || tabs_->currentWidget() == profile_) return;
    tabsStale_ = false;
    trumpet_->SetData(set_, table_);
    years_->SetData(set_, table_);
}

fs::path DataViewer::TableFolder() const {
    std::error_code ec;
    return fs::is_regular_file(current_, ec) ? current_.parent_path() : current_;
}

// The sensor table of the folder shown, and the health of its sensors over the whole data set.
// A table that cannot be read is shown with the data's issues and the data shown without it.
void DataViewer::ReadSensorsAndHealth() {
    table_ = SensorTable{};
    tableError_.reset();
    if (!current_.empty()) {
        try {
            table_ = ReadSensorTable(TableFolder());
        } catch (const FileError& e) {
            tableError_ = e;
        }
    }
    health_ = AssessHealth(set_, PeriodOf(set_, {}, {}), table_, set_.sensorCount);
}

double DataViewer::Shown(std::size_t i, std::size_t s) const {
    const double v = Reading(set_.Value(i, s));
    if (std::isnan(v) || health_.valueFlags.size() != set_.measurements.size() * set_.sensorCount)
        return v;
    // A held value is what the sensor read, drawn; spikes and values out of range are gaps.
    const ValueFlag f = health_.FlagOf(i, s);
    return f == ValueFlag::None || f == ValueFlag::Stuck ? v
                                                         : std::numeric_limits<double>::quiet_NaN();
}

bool DataViewer::Trusted(std::size_t s) const {
    return s < health_.sensors.size() && (health_.sensors[s].flags & (kDead | kStuck)) == 0;
}

QString DataViewer::SensorItemText(std::size_t s) const {
    // "3  (2,0 м) T-2 — 98 %, выбросы"
    QString text = QString::number(s + 1);
    const SensorInfo* info = table_.Find(s + 1);
    if (info && info->depthMetres) text += "  " + DepthText(*info->depthMetres);
    if (info && !info->label.empty()) text += ' ' + Q(info->label);
    if (s < health_.sensors.size() && health_.period.Size() > 0) {
        const std::size_t count = health_.sensors[s].count;
        // Of what the schedule gives the data set, as the summary counts it.
        const std::size_t total =
            std::max<std::size_t>(1, ExpectedMeasurements(set_, health_.period));
        // Rounded, but 99 % until every value is there: 100 would hide a missing one.
        const long percent = count >= total
                                 ? 100
                                 : std::min(99L, std::lround(100.0 * static_cast<double>(count) /
                                                             static_cast<double>(total)));
        text += QString::fromUtf8(" — %1 %").arg(percent);
        const unsigned flags = health_.sensors[s].flags;
        const std::pair<unsigned, Msg> words[] = {{kDead, Msg::ViewerFlagDead},
                                                  {kStuck, Msg::ViewerFlagStuck},
                                                  {kSpikes, Msg::ViewerFlagSpikes},
                                                  {kRange, Msg::ViewerFlagRange}};
        for (const auto& [flag, word] : words)
            if (flags & flag) text += ", " + T(word, language_);
    }
    return text;
}

QString DataViewer::DepthText(double metres) const {
    QString depth = QString::number(metres, 'f', 2);
    if (depth.endsWith('0')) depth.chop(1);
    if (language_ == Language::Russian) depth.replace('.', ',');
    return T(Msg::ViewerDepthOf, language_, {depth.toStdString()});
}

QString DataViewer::SeriesName(std::size_t s) const {
    const SensorInfo* info = table_.Find(s + 1);
    QString name = info && !info->label.empty()
                       ? Q(info->label)
                       : T(Msg::ViewerSensorNumber, language_, {std::to_string(s + 1)});
    if (info && info->depthMetres) name += ' ' + DepthText(*info->depthMetres);
    return name;
}

void DataViewer::LabelDepthAxes() {
    const QString label = T(rows_.byDepth ? Msg::ViewerDepthAxis : Msg::ViewerSensor, language_);
    plot_->yAxis->setLabel(label);
    profile_->yAxis->setLabel(label);
}

void DataViewer::SetColourMap(ColourMap map) {
    colourMap_ = map;
    colourMaps_->setCurrentIndex(colourMaps_->findData(static_cast<int>(map)));
    map_->setGradient(GradientOf(map));
    FillHeatMap();
    plot_->replot();
}

void DataViewer::EditSensorTable() {
    if (current_.empty()) return;
    // Every sensor of the data set, and any the table names beyond them.
    std::size_t count = set_.sensorCount;
    if (!table_.sensors.empty()) count = std::max(count, table_.sensors.back().sensor);
    std::vector<SensorInfo> rows;
    for (std::size_t s = 1; s <= count; ++s) {
        const SensorInfo* info = table_.Find(s);
        rows.push_back(info ? *info : SensorInfo{s, std::nullopt, {}});
    }
    auto* dialog = new SensorTableDialog(rows, language_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { SaveSensorTable(dialog->Result()); });
    dialog->open();
}

bool DataViewer::SaveSensorTable(const std::vector<SensorInfo>& sensors) {
    if (current_.empty()) return false;
    try {
        WriteSensorTable(TableFolder(), sensors);
    } catch (const FileError& e) {
        QMessageBox::critical(this, T(Msg::ViewerError, language_), Q(e.Text(language_)));
        return false;
    }
    const std::optional<std::size_t> shown = profileIndex_;
    ReadSensorsAndHealth();
    ShowDataSet();
    tabsStale_ = true;
    FillTabs();
    if (shown && *shown < keys_.size()) ShowProfileAt(keys_[*shown]);
    summary_->setText(
        T(Msg::ViewerSensorTableSaved, language_, {PathText(TableFolder() / kSensorTableName)}));
    return true;
}

void DataViewer::ShowDataSet() {
    keys_.clear();
    keys_.reserve(set_.measurements.size());
    for (const Measurement& m : set_.measurements) keys_.push_back(TimeKey(m.time));

    // The usual interval: the median of the steps, so that gaps and bursts do not set it.
    std::vector<double> steps;
    for (std::size_t i = 1; i < keys_.size(); ++i) steps.push_back(keys_[i] - keys_[i - 1]);
    steps.erase(std::remove_if(steps.begin(), steps.end(), [](double s) { return s <= 0; }),
                steps.end());
    step_ = 3600;
    if (!steps.empty()) {
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        step_ = steps[steps.size() / 2];
    }

    if (!collection_.empty()) {
        summary_->setText(T(Msg::ViewerCollection, language_,
                            {PathText(dataFolder_), std::to_string(collection_.size())}));
    } else if (set_.measurements.empty()) {
        summary_->setText(T(Msg::ViewerNoData, language_));
    } else {
        summary_->setText(T(
            Msg::ViewerSummary, language_,
            {std::to_string(set_.measurements.size()), std::to_string(set_.sensorCount),
             TableTime(set_.measurements.front().time), TableTime(set_.measurements.back().time)}));
    }
    const std::size_t tableIssues = table_.issues.size() + (tableError_ ? 1 : 0);
    const auto warnings = Summarize(set_, table_, health_.period).warnings;
    issues_->setVisible(set_.issueCount + tableIssues + warnings.size() > 0);
    issues_->setText(
        T(Msg::ViewerIssues, language_, {std::to_string(set_.issueCount + tableIssues)}));
    QStringList lines;
    if (tableError_) lines << Q(tableError_->Text(language_));
    for (const SensorTableIssue& issue : table_.issues)
        lines << Q(SensorTableIssueText(issue, language_));
    for (const SummaryWarning& warning : warnings)
        lines << Q(SummaryWarningText(warning, language_));
    for (std::size_t i = 0; i < set_.issues.size() && i < 40; ++i)
        lines << Q(IssueText(set_.issues[i], language_));
    if (set_.issueCount > 40) lines << "…";
    issues_->setToolTip(lines.join('\n'));
    exportCsv_->setEnabled(HasTable(set_));
    exportXlsx_->setEnabled(HasTable(set_));
    exportNetcdf_->setEnabled(HasTable(set_));
    report_->setEnabled(HasTable(set_));
    wholePeriod_->setEnabled(!keys_.empty());
    editSensors_->setEnabled(!current_.empty() && set_.sensorCount > 0);
    pointed_->clear();

    // The picked sensors stay picked when they exist in the new set; otherwise the top, the
    // middle and the bottom of the string.
    std::vector<int> picked = PickedSensors();
    const int n = static_cast<int>(set_.sensorCount);
    picked.erase(std::remove_if(picked.begin(), picked.end(), [n](int s) { return s >= n; }),
                 picked.end());
    if (picked.empty() && n > 0) picked = n >= 3 ? std::vector{0, n / 2, n - 1} : std::vector{0};
    filling_ = true;
    sensors_->clear();
    for (int s = 0; s < n; ++s) {
        auto* item = new QListWidgetItem(SensorItemText(static_cast<std::size_t>(s)), sensors_);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(std::find(picked.begin(), picked.end(), s) != picked.end()
                                ? Qt::Checked
                                : Qt::Unchecked);
    }
    filling_ = false;

    // Without data the axes keep their frames but show no numbers: sensors 0 to 5 at times of
    // 1970 would read as data.
    for (QCPAxis* axis :
         {plot_->xAxis, plot_->yAxis, seriesRect_->axis(QCPAxis::atBottom),
          seriesRect_->axis(QCPAxis::atLeft), scale_->axis(), profile_->xAxis, profile_->yAxis})
        axis->setTickLabels(!keys_.empty());
    FillHeatMap();
    FillSeries();
    MarkDownloadsAndGaps();
    // The last measurement's profile takes the place of the one shown before, in one replot.
    if (keys_.empty()) {
        ClearProfile();
    } else {
        plot_->xAxis->setRange(WholeTime());
        ShowProfileAt(keys_.back());
    }
    plot_->replot();
}

// The downloads of the collection log as green lines on both time axes, and the stretches
// without measurements as grey bands, so that what is missing is seen, and when it was looked
// for.
void DataViewer::MarkDownloadsAndGaps() {
    for (QCPAbstractItem* item : marks_) plot_->removeItem(item);
    marks_.clear();
    lastDownload_.reset();
    const std::vector<DataGap> gaps = FindGaps(set_.measurements);
    const CollectionLogRead log =
        current_.empty() ? CollectionLogRead{} : ReadCollectionLog(current_);
    const QCPAxisRect* rects[] = {plot_->axisRect(), seriesRect_};
    for (const QCPAxisRect* rect : rects) {
        QCPAxis* x = rect->axis(QCPAxis::atBottom);
        QCPAxis* y = rect->axis(QCPAxis::atLeft);
        for (const DataGap& gap : gaps) {
            auto* band = new QCPItemRect(plot_);
            band->setObjectName("gap");
            band->setClipAxisRect(const_cast<QCPAxisRect*>(rect));
            for (QCPItemPosition* p : {band->topLeft, band->bottomRight}) {
                p->setAxes(x, y);
                p->setTypeY(QCPItemPosition::ptAxisRectRatio);
                p->setAxisRect(const_cast<QCPAxisRect*>(rect));
            }
            band->topLeft->setCoords(TimeKey(gap.from), 0);
            band->bottomRight->setCoords(TimeKey(gap.to), 1);
            band->setPen(Qt::NoPen);
            band->setBrush(QColor(128, 128, 128, 70));
            marks_.push_back(band);
        }
        for (const CollectionRecord& r : log.records) {
            // The log keeps UTC; the data are in the logger's local time, as the PC shows it.
            const QDateTime local = QDateTime::fromSecsSinceEpoch(r.time.time_since_epoch().count(),
                                                                  QTimeZone::systemTimeZone());
            const double key = static_cast<double>(
                QDateTime(local.date(), local.time(), QTimeZone::utc()).toSecsSinceEpoch());
            lastDownload_ = std::max(lastDownload_.value_or(key), key);
            auto* line = new QCPItemStraightLine(plot_);
            line->setObjectName("download");
            line->setClipAxisRect(const_cast<QCPAxisRect*>(rect));
            for (QCPItemPosition* p : {line->point1, line->point2}) p->setAxes(x, y);
            line->point1->setCoords(key, 0);
            line->point2->setCoords(key, 1);
            line->setPen(QPen(
                r.result == CollectionResult::Done ? QColor(0, 150, 0) : QColor(200, 120, 0), 1.5));
            marks_.push_back(line);
        }
    }
    downloads_ = log.records.size();
    gaps_ = gaps.size();
    ShowMarksText();
}

void DataViewer::ShowMarksText() {
    marksLabel_->setVisible(downloads_ > 0 || gaps_ > 0);
    marksLabel_->setText(T(Msg::ViewerCollectionsAndGaps, language_,
                           {std::to_string(downloads_), std::to_string(gaps_)}));
}

void DataViewer::FillHeatMap() {
    const auto sensors = set_.sensorCount;
    rows_ = LayOutRows(sensors, table_);
    cellRows_ = CellRows(rows_);
    LabelDepthAxes();
    QCPColorMapData* cells = map_->data();
    // Beside the measurements (on to the last download, say) there is no value either.
    plot_->axisRect()->setBackground(keys_.empty() ? QBrush(Qt::NoBrush) : QBrush(kNoValueColour));
    if (keys_.empty() || rows_.rows.empty()) {
        cells->clear();
        map_->setVisible(false);
        isotherm_->data()->clear();
        return;
    }
    map_->setVisible(true);
    // One column per usual interval; a very long or dense set shares columns.
    constexpr double kMaxColumns = 20000;
    const double span = keys_.back() - keys_.front();
    const double cell = std::max(step_, span / kMaxColumns);
    column_ = cell;
    const int columns = std::max(2, static_cast<int>(std::lround(span / cell)) + 1);
    const int height = static_cast<int>(cellRows_.size());
    cells->setSize(columns, height);
    QCPRange vertical(1, std::max<double>(1, static_cast<double>(sensors)));
    if (rows_.byDepth) {
        // Cells of equal height from the top of the first band to the bottom of the last; the
        // range names the centres of the first and the last cell.
        const double h = (rows_.bottom - rows_.top) / height;
        vertical = QCPRange(rows_.top + h / 2, rows_.bottom - h / 2);
    }
    cells->setRange(QCPRange(keys_.front(), keys_.front() + (columns - 1) * cell), vertical);
    cells->fill(std::numeric_limits<double>::quiet_NaN());
    double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
    std::vector<double> rowValues(rows_.rows.size());
    for (std::size_t i = 0; i < set_.measurements.size(); ++i) {
        const int column = static_cast<int>(std::lround((keys_[i] - keys_.front()) / cell));
        for (std::size_t r = 0; r < rows_.rows.size(); ++r) {
            const std::size_t s = rows_.rows[r].sensor;
            const double v = Shown(i, s);
            rowValues[r] = v;
            // Spikes, values out of range and dead or stuck sensors do not set the scale.
            if (!std::isnan(v) && Trusted(s)) low = std::min(low, v), high = std::max(high, v);
        }
        for (int c = 0; c < height; ++c) {
            const int r = cellRows_[static_cast<std::size_t>(c)];
            if (r >= 0) cells->setCell(column, c, rowValues[static_cast<std::size_t>(r)]);
        }
    }
    if (low > high) low = 0, high = 1;
    map_->setDataRange(ScaleRange(colourMap_, low, high));
    plot_->yAxis->setRange(rows_.top, rows_.bottom);
    FillIsotherm();
}

// For each column of the map (every measurement, or every few of a long set), the depths where
// neighbouring trusted sensors with a shown value lie either side of 0 °C.
void DataViewer::FillIsotherm() {
    constexpr std::size_t kMostColumns = 5000;
    const std::size_t n = keys_.size();
    const std::size_t stride = std::max<std::size_t>(1, (n + kMostColumns - 1) / kMostColumns);
    QVector<double> order, keys, depths;
    std::vector<DepthValue> profile;
    profile.reserve(rows_.rows.size());
    for (std::size_t i = 0; i < n; i += stride) {
        profile.clear();
        for (const SensorRows::Row& row : rows_.rows) {
            const double v = Shown(i, row.sensor);
            if (!std::isnan(v) && Trusted(row.sensor)) profile.push_back({row.at, v});
        }
        for (const double d : ZeroCrossings(profile)) {
            order.push_back(static_cast<double>(order.size()));
            keys.push_back(keys_[i]);
            depths.push_back(d);
        }
    }
    isotherm_->setData(order, keys, depths, true);
}

void DataViewer::FillSeries() {
    plot_->clearGraphs();
    QCPAxis* x = seriesRect_->axis(QCPAxis::atBottom);
    QCPAxis* y = seriesRect_->axis(QCPAxis::atLeft);
    int colour = 0;
    double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
    for (int s : PickedSensors()) {
        QVector<double> keys, values;
        keys.reserve(static_cast<qsizetype>(keys_.size()));
        values.reserve(static_cast<qsizetype>(keys_.size()));
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            // A pause in the measurements is a gap too, not a straight line across it.
            if (i > 0 && keys_[i] - keys_[i - 1] > 1.5 * step_) {
                keys.push_back((keys_[i] + keys_[i - 1]) / 2);
                values.push_back(std::nan(""));
            }
            const double v = Reading(set_.Value(i, static_cast<std::size_t>(s)));
            keys.push_back(keys_[i]);
            values.push_back(v);
            if (!std::isnan(v)) low = std::min(low, v), high = std::max(high, v);
        }
        QCPGraph* g = plot_->addGraph(x, y);
        g->setData(keys, values, true);
        // A one-pixel pen: wider antialiased lines of a year of points redraw thirty times slower.
        g->setPen(QPen(kSeriesColours[colour++ % std::size(kSeriesColours)], 1));
        g->setName(SeriesName(static_cast<std::size_t>(s)));
        g->addToLegend();
    }
    if (low <= high) {
        const double pad = std::max(0.1, (high - low) * 0.05);
        y->setRange(low - pad, high + pad);
    }
    plot_->legend->setVisible(plot_->graphCount() > 0);
}

void DataViewer::ClearProfile() {
    profileIndex_.reset();
    profileCurve_->data()->clear();
    mapCursor_->setVisible(false);
    seriesCursor_->setVisible(false);
    profileTitle_->setText(T(Msg::ViewerProfileHint, language_));
    profile_->replot();
}

void DataViewer::ShowProfileAt(double key) {
    if (keys_.empty()) return;
    auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
    if (it == keys_.end() || (it != keys_.begin() && key - *(it - 1) < *it - key)) --it;
    const std::size_t i = static_cast<std::size_t>(it - keys_.begin());
    profileIndex_ = i;
    // Down the string as the map's rows lie: by depth, or by number; flagged values are gaps.
    QVector<double> t, values, positions;
    double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
    for (const SensorRows::Row& row : rows_.rows) {
        const double v = Shown(i, row.sensor);
        t.push_back(static_cast<double>(t.size()));
        values.push_back(v);
        positions.push_back(row.at);
        if (!std::isnan(v)) low = std::min(low, v), high = std::max(high, v);
    }
    profileCurve_->setData(t, values, positions, true);
    if (low <= high) {
        const double pad = std::max(0.1, (high - low) * 0.08);
        profile_->xAxis->setRange(low - pad, high + pad);
    }
    profile_->yAxis->setRange(rows_.top, rows_.bottom);
    const Measurement& m = set_.measurements[i];
    QString title = Q(TableTime(m.time));
    if (!m.text.empty()) title += "  " + Q(m.text);
    profileTitle_->setText(title);
    for (QCPItemStraightLine* cursor : {mapCursor_, seriesCursor_}) {
        cursor->point1->setCoords(keys_[i], 0);
        cursor->point2->setCoords(keys_[i], 1);
        cursor->setVisible(true);
    }
    profile_->replot();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void DataViewer::ZoomTime(double factor) {
    plot_->xAxis->scaleRange(factor, plot_->xAxis->range().center());
    plot_->replot();
}

void DataViewer::ResetZoom() {
    if (keys_.empty()) return;
    plot_->xAxis->setRange(WholeTime());
    plot_->replot();
}

QCPRange DataViewer::WholeTime() const {
    if (keys_.empty()) return plot_->xAxis->range();
    // On to the last download logged, which comes after the measurements it fetched: its line
    // shows.
    const double last = std::max(keys_.back(), lastDownload_.value_or(keys_.back()));
    return QCPRange(keys_.front() - step_ / 2, last + step_ / 2);
}

QCPRange DataViewer::Clamped(QCPRange range) const {
    if (keys_.empty()) return range;
    const QCPRange whole = WholeTime();
    if (range.size() >= whole.size()) return whole;
    // Closer than one usual interval shows nothing more, only emptier axes.
    const double least = std::min(whole.size(), step_);
    if (range.size() < least) {
        const double centre = range.center();
        range = QCPRange(centre - least / 2, centre + least / 2);
    }
    if (range.lower < whole.lower) range += whole.lower - range.lower;
    if (range.upper > whole.upper) range -= range.upper - whole.upper;
    return range;
}

std::optional<std::size_t> DataViewer::MeasurementAt(double key) const {
    if (keys_.empty()) return std::nullopt;
    auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
    if (it == keys_.end() || (it != keys_.begin() && key - *(it - 1) < *it - key)) --it;
    // Within the column of the map that shows it; a pause between measurements is nobody's.
    if (std::abs(*it - key) > column_ / 2) return std::nullopt;
    return static_cast<std::size_t>(it - keys_.begin());
}

QString DataViewer::DescribeAt(QPoint pixel) const {
    QCPAxisRect* const mapRect = plot_->axisRect();
    const bool onMap = mapRect->rect().contains(pixel);
    if (!onMap && !seriesRect_->rect().contains(pixel)) return {};
    QCPAxisRect* const rect = onMap ? mapRect : seriesRect_;
    const auto i = MeasurementAt(rect->axis(QCPAxis::atBottom)->pixelToCoord(pixel.x()));
    if (!i) return {};
    long sensor = -1;
    if (onMap) {
        const SensorRows::Row* row = rows_.RowAt(plot_->yAxis->pixelToCoord(pixel.y()));
        if (!row) return {};
        sensor = static_cast<long>(row->sensor);
    } else {
        // The picked sensor whose point is nearest to the mouse, up or down.
        const QCPAxis* values = seriesRect_->axis(QCPAxis::atLeft);
        double nearest = std::numeric_limits<double>::max();
        for (int s : PickedSensors()) {
            const double v = Reading(set_.Value(*i, static_cast<std::size_t>(s)));
            if (std::isnan(v)) continue;
            const double distance = std::abs(values->coordToPixel(v) - pixel.y());
            if (distance < nearest) nearest = distance, sensor = s;
        }
        if (sensor < 0) return {};
    }
    const std::string time = TableTime(set_.measurements[*i].time);
    const std::string number = std::to_string(sensor + 1);
    const std::int32_t value = set_.Value(*i, static_cast<std::size_t>(sensor));
    if (value == kMissingValue) return T(Msg::ViewerMissingAt, language_, {time, number});
    return T(Msg::ViewerValueAt, language_,
             {time, number, TableValue(value), Message(Msg::ViewerUnit, language_)});
}

std::vector<int> DataViewer::PickedSensors() const {
    std::vector<int> picked;
    for (int i = 0; i < sensors_->count(); ++i)
        if (sensors_->item(i)->checkState() == Qt::Checked) picked.push_back(i);
    return picked;
}

void DataViewer::PickSensors(const std::vector<int>& picked) {
    filling_ = true;
    for (int i = 0; i < sensors_->count(); ++i) {
        const bool on = std::find(picked.begin(), picked.end(), i) != picked.end();
        sensors_->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
    FillSeries();
    plot_->replot();
}

void DataViewer::OnTimeRangeChanged(const QCPAxis* source) {
    if (syncingRange_) return;
    syncingRange_ = true;
    // Zoom and pan stay on the data, on the axis moved too.
    const QCPRange range = Clamped(source->range());
    for (QCPAxis* axis : {plot_->xAxis, seriesRect_->axis(QCPAxis::atBottom)})
        if (axis->range() != range) axis->setRange(range);
    syncingRange_ = false;
    // A wheel step moves the data under a mouse that stays where it is.
    if (mouseAt_) pointed_->setText(DescribeAt(*mouseAt_));
}

bool DataViewer::eventFilter(QObject* watched, QEvent* event) {
    // A click on the map (not the end of a drag) shows the profile at that time.
    if (watched == plot_ && event->type() == QEvent::MouseButtonPress) {
        pressAt_ = static_cast<QMouseEvent*>(event)->pos();
    } else if (watched == plot_ && event->type() == QEvent::MouseButtonRelease) {
        const QPoint at = static_cast<QMouseEvent*>(event)->pos();
        if ((at - pressAt_).manhattanLength() <= 3 && plot_->axisRect()->rect().contains(at))
            ShowProfileAt(plot_->xAxis->pixelToCoord(at.x()));
    } else if (watched == plot_ && event->type() == QEvent::MouseButtonDblClick) {
        ResetZoom();
    } else if (watched == plot_ && event->type() == QEvent::MouseMove) {
        mouseAt_ = static_cast<QMouseEvent*>(event)->pos();
        pointed_->setText(DescribeAt(*mouseAt_));
    } else if (watched == plot_ && event->type() == QEvent::Leave) {
        mouseAt_.reset();
        pointed_->clear();
    }
    return QWidget::eventFilter(watched, event);
}

void DataViewer::AskExport(ExportFormat format) {
    // No file is asked for when there is nothing to write.
    if (current_.empty() || !HasTable(set_)) {
        summary_->setText(T(Msg::ViewerNothingToExport, language_));
        return;
    }
    struct Kind {
        Msg title;
        const char* extension;
        const char* filter;
    };
    const Kind kind =
        format == ExportFormat::Xlsx     ? Kind{Msg::ViewerExportXlsx, ".xlsx", "XLSX (*.xlsx)"}
        : format == ExportFormat::Netcdf ? Kind{Msg::ViewerExportNetcdf, ".nc", "NetCDF (*.nc)"}
                                         : Kind{Msg::ViewerExportCsv, ".csv", "CSV (*.csv)"};
    // The data set's name beside its folder: DATA/Котельная.csv; a single file's name without
    // its ".dat".
    std::error_code ec;
    const fs::path name =
        fs::is_regular_file(current_, ec) ? current_.parent_path() / current_.stem() : current_;
    const QString proposal = PathQ(name) + kind.extension;
    const QString file =
        QFileDialog::getSaveFileName(this, T(kind.title, language_), proposal, kind.filter);
    if (!file.isEmpty()) ExportTo(fs::path(file.toStdU16String()), format);
}

void DataViewer::ExportTo(const fs::path& file, ExportFormat format) {
    if (current_.empty() || !HasTable(set_)) {
        summary_->setText(T(Msg::ViewerNothingToExport, language_));
        return;
    }
    try {
        // The sensor table as the folder holds it now (one that cannot be read leaves the
        // sensors known by number, as the command line does); shown with it, so that what is
        // on screen and what is written agree.
        const std::vector<SensorInfo> before = table_.sensors;
        ReadSensorsAndHealth();
        if (table_.sensors != before) {
            ShowDataSet();
            tabsStale_ = true;
            FillTabs();
        }
        const SensorTable& table = table_;
        switch (format) {
            case ExportFormat::Csv:
                ExportCsv(set_, table, file);
                break;
            case ExportFormat::Xlsx:
                ExportXlsx(set_, table, file);
                break;
            case ExportFormat::Netcdf:
                ExportNetcdf(set_, table, DataSetName(current_), file);
                break;
        }
        summary_->setText(T(Msg::ViewerExported, language_, {PathText(file)}));
    } catch (const FileError& e) {
        QMessageBox::critical(this, T(Msg::ViewerError, language_), Q(e.Text(language_)));
    }
}

}  // namespace qm

#include "ui/viewer/Report.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFontDatabase>
#include <QPageSize>
#include <QPdfWriter>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "store/CollectionLog.h"
#include "store/Export.h"
#include "store/Gaps.h"
#include "store/Health.h"
#include "store/LocalFiles.h"
#include "store/NetcdfExport.h"
#include "store/Summary.h"
#include "store/Trend.h"
#include "store/ValueLines.h"
#include "text/Messages.h"
#include "ui/viewer/ColourMaps.h"
#include "ui/viewer/DataViewer.h"
#include "ui/viewer/DepthAxis.h"
#include "ui/viewer/TrumpetPlot.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

// A file that remembers whether any write to it fell short, and how much went through.
class CheckedFile : public QFile {
public:
    using QFile::QFile;
    bool Failed() const { return failed_; }
    qint64 Written() const { return written_; }

protected:
    qint64 writeData(const char* data, qint64 length) override {
        const qint64 n = QFile::writeData(data, length);
        if (n != length) failed_ = true;
        if (n > 0) written_ += n;
        return n;
    }

private:
    bool failed_ = false;
    qint64 written_ = 0;
};

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString T(Msg id, Language language, std::initializer_list<std::string_view> args = {}) {
    return Q(Message(id, language, args));
}

// A number as the report's language writes it: a decimal comma in Russian.
std::string Num(double v, int decimals, Language language) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    std::string out = text;
    if (out == "-0" || out.find_first_not_of("-0.,") == std::string::npos) {
        // "-0.0" reads as a sign of nothing.
        if (out.front() == '-') out.erase(0, 1);
    }
    if (language == Language::Russian) std::replace(out.begin(), out.end(), '.', ',');
    return out;
}

std::string Num(const std::optional<double>& v, int decimals, Language language) {
    return v ? Num(*v, decimals, language) : std::string();
}

// The measurements of the period as a data set of their own, for the viewer's plots.
DataSet Slice(const DataSet& set, Period period) {
    DataSet out;
    out.sensorCount = set.sensorCount;
    out.files = set.files;
    out.measurements.assign(set.measurements.begin() + static_cast<std::ptrdiff_t>(period.first),
                            set.measurements.begin() + static_cast<std::ptrdiff_t>(period.end));
    for (Measurement& m : out.measurements) {
        const auto values = set.ValuesOf(m);
        m.first = static_cast<std::uint32_t>(out.values.size());
        out.values.insert(out.values.end(), values.begin(), values.end());
    }
    return out;
}

// The months' colours of the profiles, January to December.
constexpr std::array<QRgb, 12> kMonthColours = {0x1f3a93, 0x2e86de, 0x48dbfb, 0x10ac84,
                                                0x1dd1a1, 0xfeca57, 0xff9f43, 0xee5253,
                                                0xc0392b, 0x8e44ad, 0x5f27cd, 0x576574};

struct Cell {
    QString text;
    bool marked = false;
};

// A4 pages drawn top to bottom in millimetres.
class Pages {
public:
    static constexpr double kLeft = 15.0;
    static constexpr double kTop = 15.0;
    static constexpr double kWidth = 180.0;
    static constexpr double kBottom = 282.0;

    Pages(QPdfWriter& writer, QCPPainter& painter, QString footer)
        : writer_(writer), p_(painter), footer_(std::move(footer)) {
        dpmm_ = writer.resolution() / 25.4;
        Footer();
    }

    double Px(double mm) const { return mm * dpmm_; }
    double y = kTop;

    void NewPage() {
        writer_.newPage();
        ++page_;
        y = kTop;
        Footer();
    }
    void Need(double mm) {
        if (y + mm > kBottom) NewPage();
    }
    QFont Font(double points, bool bold = false) const {
        QFont f = QApplication::font();
        f.setPointSizeF(points);
        f.setBold(bold);
        // No ligatures: the words of the report are copied and searched as they are typed.
        f.setStyleStrategy(QFont::PreferNoShaping);
        return f;
    }
    // A paragraph wrapped across the width.
    void Text(const QString& text, double points, bool bold = false, double gapAfter = 1.0) {
        p_.setFont(Font(points, bold));
        p_.setPen(Qt::black);
        const QRectF room(Px(kLeft), 0, Px(kWidth), 10000);
        const QRectF need = p_.boundingRect(room, Qt::TextWordWrap, text);
        Need(need.height() / dpmm_ + gapAfter);
        p_.drawText(QRectF(Px(kLeft), Px(y), Px(kWidth), need.height()), Qt::TextWordWrap, text);
        y += need.height() / dpmm_ + gapAfter;
    }
    // A table; the header comes again on every page it runs onto.
    void Table(const std::vector<double>& widths, const std::vector<QString>& header,
               const std::vector<std::vector<Cell>>& rows, double points, double rowMm,
               const QFont* lastColumnFont = nullptr) {
        const auto drawRow = [&](const std::vector<Cell>& cells, bool head) {
            double x = kLeft;
            const bool rowMarked = !head && std::all_of(cells.begin(), cells.end(),
                                                        [](const Cell& c) { return c.marked; });
            if (head || rowMarked) {
                p_.fillRect(QRectF(Px(kLeft), Px(y), Px(Sum(widths)), Px(rowMm)),
                            head ? QColor(230, 230, 230) : QColor(255, 225, 225));
            }
            for (std::size_t c = 0; c < widths.size() && c < cells.size(); ++c) {
                QFont f = Font(points, head || cells[c].marked);
                if (!head && lastColumnFont && c + 1 == widths.size()) f = *lastColumnFont;
                p_.setFont(f);
                p_.setPen(cells[c].marked && !head ? QColor(180, 0, 0) : QColor(Qt::black));
                const QRectF box(Px(x + 0.8), Px(y), Px(widths[c] - 1.6), Px(rowMm));
                const QString text = QFontMetricsF(f, &writer_)
                                         .elidedText(cells[c].text, Qt::ElideRight, box.width());
                p_.drawText(box, Qt::AlignVCenter | Qt::AlignLeft, text);
                x += widths[c];
            }
            p_.setPen(QPen(QColor(170, 170, 170), 0));
            p_.drawLine(QPointF(Px(kLeft), Px(y + rowMm)),
                        QPointF(Px(kLeft + Sum(widths)), Px(y + rowMm)));
            y += rowMm;
        };
        std::vector<Cell> head;
        head.reserve(header.size());
        for (const QString& h : header) head.push_back({h, false});
        Need(2 * rowMm);
        drawRow(head, true);
        for (const auto& row : rows) {
            if (y + rowMm > kBottom) {
                NewPage();
                drawRow(head, true);
            }
            drawRow(row, false);
        }
        y += 2.0;
    }
    // A plot of the viewer drawn into a box of the page: text, axes and lines as vectors.
    void Plot(QCustomPlot& plot, double x, double widthMm, double heightMm) {
        p_.save();
        p_.translate(Px(x), Px(y));
        p_.setMode(QCPPainter::pmVectorized);
        p_.setMode(QCPPainter::pmNoCaching);
        const int width = static_cast<int>(Px(widthMm));
        const int height = static_cast<int>(Px(heightMm));
        // A legend's frame runs along the bottom edge of its box, a pixel past the last one
        // drawn: kept inside, as the trumpet keeps its own.
        plot.plotLayout()->setAutoMargins(QCP::msNone);
        plot.plotLayout()->setMargins(QMargins(0, 0, 1, 2));
        plot.toPainter(&p_, width, height);
        p_.restore();
    }

private:
    static double Sum(const std::vector<double>& w) {
        double s = 0;
        for (const double v : w) s += v;
        return s;
    }
    void Footer() {
        p_.save();
        p_.setFont(Font(7));
        p_.setPen(QColor(90, 90, 90));
        p_.drawText(QRectF(Px(kLeft), Px(287), Px(kWidth), Px(5)), Qt::AlignLeft, footer_);
        p_.drawText(QRectF(Px(kLeft), Px(287), Px(kWidth), Px(5)), Qt::AlignRight,
                    QString::number(page_));
        p_.restore();
    }

    QPdfWriter& writer_;
    QCPPainter& p_;
    QString footer_;
    double dpmm_ = 1.0;
    int page_ = 1;
};

struct FileDigest {
    std::string name;
    std::uintmax_t size = 0;
    std::string sha256;
};

std::optional<FileDigest> DigestOf(const fs::path& file) {
    QFile f(Q(PathText(file)));
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f)) return std::nullopt;
    return FileDigest{PathText(file.filename()), static_cast<std::uintmax_t>(f.size()),
                      hash.result().toHex().toStdString()};
}

QSharedPointer<QCPAxisTickerDateTime> TimeTicker() {
    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setDateTimeFormat("dd.MM.yy");
    return ticker;
}

double Key(DateTime t) {
    return DataViewer::TimeKey(t);
}

// The isopleths: the period's values by depth over time, the 0 °C isotherm over them.
void FillIsopleths(QCustomPlot& plot, const DataSet& set, const Health& health,
                   const SensorTable& table, Language language) {
    const SensorRows rows = LayOutRows(set.sensorCount, table);
    QCPAxis* x = plot.xAxis;
    QCPAxis* y = plot.yAxis;
    x->setTicker(TimeTicker());
    y->setRangeReversed(true);
    y->setLabel(rows.byDepth ? T(Msg::ViewerDepthAxis, language) : T(Msg::ViewerSensor, language));
    auto* map = new QCPColorMap(x, y);
    // The unit upright above the colour scale, as the viewer shows it.
    auto* scaleColumn = new QCPLayoutGrid;
    plot.plotLayout()->addElement(0, 1, scaleColumn);
    auto* scale = new QCPColorScale(&plot);
    scaleColumn->addElement(0, 0, new QCPTextElement(&plot, T(Msg::ViewerUnit, language)));
    scaleColumn->addElement(1, 0, scale);
    scaleColumn->setRowSpacing(0);
    scale->setType(QCPAxis::atRight);
    // The bar ends where the map does, not level with the time axis's labels.
    auto* bottoms = new QCPMarginGroup(&plot);
    plot.axisRect()->setMarginGroup(QCP::msBottom, bottoms);
    scale->setMarginGroup(QCP::msBottom, bottoms);
    map->setColorScale(scale);
    map->setGradient(GradientOf(ColourMap::ZeroCentred));
    map->setInterpolate(false);
    if (set.measurements.empty() || rows.rows.empty()) return;

    std::vector<double> keys;
    for (const Measurement& m : set.measurements) keys.push_back(Key(m.time));
    const double step =
        std::max<double>(60.0, static_cast<double>(UsualIntervalMinutes(set.measurements)) * 60);
    // Finer than 150 dpi over the width and the height of the box it is drawn in.
    constexpr int kColumns = 1200;
    constexpr int kCells = 720;
    const double first = keys.front();
    const double last = std::max(keys.back(), first + step);
    map->data()->setSize(kColumns, kCells);
    const double cellHeight = (rows.bottom - rows.top) / kCells;
    const double columnWidth = (last - first) / kColumns;
    map->data()->setRange(QCPRange(first + columnWidth / 2, last - columnWidth / 2),
                          QCPRange(rows.top + cellHeight / 2, rows.bottom - cellHeight / 2));
    const auto shown = [&](std::size_t i, std::size_t s) {
        const std::int32_t v = set.Value(i, s);
        if (v == kMissingValue || health.FlagOf(i, s) != ValueFlag::None)
            return std::numeric_limits<double>::quiet_NaN();
        return v / 100.0;
    };
    const auto trusted = [&](std::size_t s) {
        return (health.sensors[s].flags & (kDead | kStuck)) == 0;
    };
    std::vector<const SensorRows::Row*> cellRow(kCells);
    for (int c = 0; c < kCells; ++c)
        cellRow[static_cast<std::size_t>(c)] = rows.RowAt(rows.top + (c + 0.5) * cellHeight);
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (int col = 0; col < kColumns; ++col) {
        const double key = first + (col + 0.5) * columnWidth;
        const auto at = std::lower_bound(keys.begin(), keys.end(), key);
        std::size_t i = static_cast<std::size_t>(at - keys.begin());
        if (i == keys.size() || (i > 0 && key - keys[i - 1] < keys[i] - key)) --i;
        const bool near = std::fabs(keys[i] - key) <= std::max(1.5 * step, columnWidth);
        for (int c = 0; c < kCells; ++c) {
            const SensorRows::Row* row = cellRow[static_cast<std::size_t>(c)];
            const double v =
                near && row ? shown(i, row->sensor) : std::numeric_limits<double>::quiet_NaN();
            map->data()->setCell(col, c, v);
            if (row && !std::isnan(v) && trusted(row->sensor))
                low = std::min(low, v), high = std::max(high, v);
        }
    }
    if (low > high) low = 0, high = 1;
    map->setDataRange(ScaleRange(ColourMap::ZeroCentred, low, high));
    x->setRange(first, last);
    y->setRange(rows.top, rows.bottom);

    auto* isotherm = new QCPCurve(x, y);
    isotherm->setLineStyle(QCPCurve::lsNone);
    isotherm->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssDisc, QColor(20, 20, 20), QColor(20, 20, 20), 1.5));
    const std::size_t stride = std::max<std::size_t>(1, keys.size() / 1500);
    QVector<double> order, ks, depths;
    std::vector<DepthValue> profile;
    for (std::size_t i = 0; i < keys.size(); i += stride) {
        profile.clear();
        for (const SensorRows::Row& row : rows.rows) {
            const double v = shown(i, row.sensor);
            if (!std::isnan(v) && trusted(row.sensor)) profile.push_back({row.at, v});
        }
        for (const double d : ZeroCrossings(profile)) {
            order.push_back(static_cast<double>(order.size()));
            ks.push_back(keys[i]);
            depths.push_back(d);
        }
    }
    isotherm->setData(order, ks, depths, true);
}

// The profiles of the measurement nearest 12:00 on the 15th of each month of `months`.
void FillProfiles(QCustomPlot& plot, const DataSet& set, const Health& health,
                  const SensorTable& table, const std::vector<MonthSpan>& months,
                  Language language) {
    const SensorRows rows = LayOutRows(set.sensorCount, table);
    plot.yAxis->setRangeReversed(true);
    plot.yAxis->setLabel(rows.byDepth ? T(Msg::ViewerDepthAxis, language)
                                      : T(Msg::ViewerSensor, language));
    plot.xAxis->setLabel(QStringLiteral("°C"));
    // The legend in rows of its own below the plot: inside it would hide the curves, which
    // spread over the whole width near the surface.
    plot.legend->setVisible(true);
    QFont small = plot.legend->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    plot.legend->setFont(small);
    plot.axisRect()->insetLayout()->take(plot.legend);
    plot.plotLayout()->addElement(1, 0, plot.legend);
    plot.plotLayout()->setRowStretchFactor(1, 0.001);
    plot.plotLayout()->setRowSpacing(2);
    plot.legend->setIconSize(16, 8);
    plot.legend->setIconTextPadding(3);
    plot.legend->setWrap(4);
    plot.legend->setFillOrder(QCPLegend::foColumnsFirst, true);
    if (!months.empty()) {
        // Above the plot, as the trumpet's period above it: the months it draws.
        char span[40];
        std::snprintf(span, sizeof span, "%02d.%04d – %02d.%04d", months.front().month,
                      months.front().year, months.back().month, months.back().year);
        QFont titleFont = plot.font();
        titleFont.setPointSizeF(titleFont.pointSizeF() * 0.9);
        plot.plotLayout()->insertRow(0);
        plot.plotLayout()->addElement(
            0, 0, new QCPTextElement(&plot, QString::fromUtf8(span), titleFont));
    }
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (const MonthSpan& month : months) {
        const DateTime noon = *DateTime::FromCivil({month.year, month.month, 15, 12, 0, 0, 0});
        std::optional<std::size_t> best;
        for (std::size_t i = 0; i < set.measurements.size(); ++i) {
            const DateTime t = set.measurements[i].time;
            if (t < month.start || t >= month.end) continue;
            const auto off = std::llabs(t.Milliseconds() - noon.Milliseconds());
            if (!best ||
                off < std::llabs(set.measurements[*best].time.Milliseconds() - noon.Milliseconds()))
                best = i;
        }
        if (!best) continue;
        QVector<double> order, values, at;
        for (const SensorRows::Row& row : rows.rows) {
            const std::int32_t v = set.Value(*best, row.sensor);
            if (v == kMissingValue || health.FlagOf(*best, row.sensor) != ValueFlag::None) continue;
            order.push_back(static_cast<double>(order.size()));
            values.push_back(v / 100.0);
            at.push_back(row.at);
            low = std::min(low, v / 100.0), high = std::max(high, v / 100.0);
        }
        auto* curve = new QCPCurve(plot.xAxis, plot.yAxis);
        curve->setData(order, values, at, true);
        curve->setPen(QPen(QColor(kMonthColours[static_cast<std::size_t>(month.month - 1)]), 1.2));
        curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 3));
        char name[16];
        std::snprintf(name, sizeof name, "%02d.%04d", month.month, month.year);
        curve->setName(QString::fromLatin1(name));
    }
    if (low <= high) plot.xAxis->setRange(low - 0.5, high + 0.5);
    plot.yAxis->setRange(rows.top, rows.bottom);
    auto* zero = new QCPItemStraightLine(&plot);
    zero->setPen(QPen(Qt::black, 1, Qt::DashLine));
    zero->point1->setCoords(0, 0);
    zero->point2->setCoords(0, 1);
}

}  // namespace

bool WriteReport(const ReportRequest& request, const DataSet& set, const SensorTable& table) {
    const Language lang = request.language;
    const Period period = PeriodOf(set, request.fromDay, request.toDay);
    if (period.Size() == 0) return false;

    const Summary summary = Summarize(set, table, period);
    const std::size_t sensorCount = summary.sensors.size();
    const Health health = AssessHealth(set, period, table, sensorCount);
    DataSet slice = Slice(set, period);
    slice.sensorCount = sensorCount;
    const Health sliceHealth = AssessHealth(slice, PeriodOf(slice, {}, {}), table, sensorCount);
    const MonthlyMeans months = MonthlyMeansOf(set, health, summary.intervalMinutes);
    const DateTime first = set.measurements[period.first].time;
    const DateTime last = set.measurements[period.end - 1].time;

    // The files read, with their digests.
    std::error_code ec;
    const bool isFolder = fs::is_directory(request.folder, ec);
    std::vector<FileDigest> digests;
    for (const fs::path& name : set.files)
        if (auto d = DigestOf(isFolder ? request.folder / name : request.folder))
            digests.push_back(std::move(*d));
    if (isFolder && fs::exists(request.folder / kSensorTableName, ec))
        if (auto d = DigestOf(request.folder / kSensorTableName)) digests.push_back(std::move(*d));

    // The downloads of the period (by their UTC time) and the logger they name.
    std::vector<CollectionRecord> downloads;
    std::optional<CollectionRecord> logger;
    if (isFolder) {
        const CollectionLogRead log = ReadCollectionLog(request.folder);
        const auto utc = [](DateTime t) {
            return std::chrono::sys_seconds(std::chrono::seconds(
                t.Milliseconds() / 1000 - static_cast<std::int64_t>(25569) * 86400));
        };
        const auto from = utc(first.DatePart());
        const auto to = utc(last.DatePart() + DateTime::FromMilliseconds(DateTime::kMsPerDay));
        for (const CollectionRecord& r : log.records) {
            if (r.deviceType) logger = r;
            if (r.time >= from && r.time < to) downloads.push_back(r);
        }
    }

    const std::string name = DataSetName(request.folder);
    LibraryStagedFile staged(request.pdf);
    // The writer writes through a file of our own that notes a write that fails (a full disk):
    // the PDF writer itself goes on and says nothing.
    CheckedFile out(Q(PathText(staged.Staging())));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileError(Msg::ReportFailed, request.pdf);
    {
        QPdfWriter writer(&out);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        // The plots are laid out as on a screen: a pixel of their pens is a quarter of a mm.
        writer.setResolution(96);
        writer.setCreator(QStringLiteral("QM Controller ") + Q(request.programVersion));
        writer.setTitle(T(Msg::ReportHeading, lang) + QStringLiteral(": ") + Q(name));
        QCPPainter painter;
        if (!painter.begin(&writer)) throw FileError(Msg::ReportFailed, request.pdf);
        Pages pages(writer, painter,
                    Q(name) + (request.title.empty() ? QString() : " — " + Q(request.title)));

        // The title block.
        pages.Text(T(Msg::ReportHeading, lang), 15, true, 1.5);
        if (!request.title.empty()) pages.Text(Q(request.title), 12, true, 2.0);
        pages.Text(T(Msg::ReportDataSet, lang, {name}), 9);
        if (logger)
            pages.Text(T(Msg::ReportLogger, lang,
                         {std::to_string(*logger->deviceType),
                          logger->version ? std::to_string(*logger->version) : "?"}),
                       9);
        else
            pages.Text(T(Msg::ReportLoggerUnknown, lang), 9);
        if (isFolder) {
            const CollectionLogRead log = ReadCollectionLog(request.folder);
            std::string times;
            const std::size_t n = log.records.size();
            for (std::size_t k = n > 3 ? n - 3 : 0; k < n; ++k) {
                if (!times.empty()) times += ", ";
                times += UtcText(log.records[k].time);
            }
            if (!times.empty()) pages.Text(T(Msg::ReportLastDownloads, lang, {times}), 9);
        }
        pages.Text(T(Msg::ReportPeriod, lang, {TableTime(first), TableTime(last)}), 9);
        pages.Text(T(Msg::ReportInterval, lang, {std::to_string(summary.intervalMinutes)}), 9);
        std::size_t values = 0;
        for (const SensorSummary& s : summary.sensors) values += s.count;
        // Against what the logger's schedule gives the period, as each sensor's.
        const std::size_t expected = summary.expectedMeasurements * sensorCount;
        const double completeness = expected == 0
                                        ? 0.0
                                        : std::min(100.0, 100.0 * static_cast<double>(values) /
                                                              static_cast<double>(expected));
        pages.Text(T(Msg::ReportMeasurements, lang,
                     {std::to_string(summary.measurements), std::to_string(sensorCount),
                      Num(completeness, 1, lang)}),
                   9);
        pages.Text(T(Msg::ReportMade, lang, {request.madeAt, request.programVersion}), 9, false,
                   3.0);
        for (const Msg who : {Msg::ReportPrepared, Msg::ReportChecked})
            pages.Text(T(who, lang) + QStringLiteral("  ____________________________  ") +
                           T(Msg::ReportSignature, lang),
                       9, false, 2.5);
        pages.y += 2;

        // The sensor table.
        pages.Text(T(Msg::ReportSensorsHeading, lang), 11, true, 1.5);
        std::vector<std::vector<Cell>> rows;
        for (const SensorSummary& s : summary.sensors) {
            const bool marked = s.exceedance.has_value();
            std::string flags;
            for (const std::string_view word : FlagWords(s.flags)) {
                if (!flags.empty()) flags += ' ';
                flags += word;
            }
            std::vector<Cell> row = {{QString::number(s.sensor) + (marked ? "*" : ""), marked},
                                     {Q(Num(s.depthMetres, 2, lang)), marked},
                                     {Q(s.label), marked},
                                     {QString::number(s.count), marked},
                                     {Q(Num(100.0 * s.completeness, 1, lang)), marked},
                                     {Q(Num(s.min, 2, lang)), marked},
                                     {Q(Num(s.mean, 2, lang)), marked},
                                     {Q(Num(s.max, 2, lang)), marked},
                                     {Q(Num(s.limitC, 1, lang)), marked},
                                     {Q(Num(s.marginC, 2, lang)), marked},
                                     {Q(Num(s.trendCPerDecade, 2, lang)), marked},
                                     {Q(flags), marked}};
            rows.push_back(std::move(row));
        }
        pages.Table({9, 15, 21, 15, 17, 12, 12, 12, 13, 13, 17, 24},
                    {T(Msg::ReportColumnSensor, lang), T(Msg::ReportColumnDepth, lang),
                     T(Msg::ReportColumnLabel, lang), T(Msg::ReportColumnCount, lang),
                     T(Msg::ReportColumnCompleteness, lang), T(Msg::ReportColumnMin, lang),
                     T(Msg::ReportColumnMean, lang), T(Msg::ReportColumnMax, lang),
                     T(Msg::ReportColumnLimit, lang), T(Msg::ReportColumnMargin, lang),
                     T(Msg::ReportColumnTrend, lang), T(Msg::ReportColumnFlags, lang)},
                    rows, 6.5, 4.2);
        pages.Text(T(Msg::ReportTemperatures, lang), 7, false, 2.0);

        // The plots.
        pages.NewPage();
        pages.Text(T(Msg::ReportIsopleths, lang), 11, true, 1.0);
        {
            QCustomPlot plot;
            FillIsopleths(plot, slice, sliceHealth, table, lang);
            pages.Plot(plot, Pages::kLeft, Pages::kWidth, 105);
            pages.y += 108;
        }
        {
            TrumpetPlot trumpet(lang);
            trumpet.SetData(slice, table);
            trumpet.ChooseYear(std::nullopt);
            QCustomPlot& plot = *trumpet.Plot();
            if (trumpet.ByDepth()) {
                QVector<double> order, limits, depths;
                for (const SensorSummary& s : summary.sensors)
                    if (s.limitC && s.depthMetres) {
                        order.push_back(static_cast<double>(order.size()));
                        limits.push_back(*s.limitC);
                        depths.push_back(*s.depthMetres);
                    }
                if (!order.isEmpty()) {
                    auto* curve = new QCPCurve(plot.xAxis, plot.yAxis);
                    curve->setData(order, limits, depths, true);
                    curve->setPen(QPen(QColor(200, 0, 0), 1.5, Qt::DashLine));
                    curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssTriangle, 5));
                    curve->setName(T(Msg::ReportLimitCurve, lang));
                    // Widened to the limits only: the depths keep the trumpet's margins.
                    const auto [low, high] = std::minmax_element(limits.begin(), limits.end());
                    const QCPRange shown = plot.xAxis->range();
                    if (*low < shown.lower || *high > shown.upper)
                        plot.xAxis->setRange(std::min(shown.lower, *low - 0.5),
                                             std::max(shown.upper, *high + 0.5));
                }
                // On half a page a line of words across the plot would lie over the curves and
                // the limits: the lines carry only their depths, at the right, where the
                // ground is colder than the summer's maximum, and the legend names them.
                const std::array<std::pair<QCPItemStraightLine*, QCPItemText*>, 2> lines = {
                    std::pair{trumpet.ActiveLayerLine(), trumpet.ActiveLayerText()},
                    std::pair{trumpet.ZeroAmplitudeLine(), trumpet.ZeroAmplitudeText()}};
                for (const auto& [line, text] : lines) {
                    if (!line->visible()) continue;
                    const QString words = text->text();
                    const qsizetype colon = words.lastIndexOf(QStringLiteral(": "));
                    if (colon <= 0) continue;
                    text->setText(words.mid(colon + 2));
                    QFont small = text->font();
                    small.setPointSizeF(small.pointSizeF() * 0.8);
                    text->setFont(small);
                    text->setPadding(QMargins(2, 0, 2, 0));
                    // Nothing drawn: an entry of the legend with the line's pen.
                    auto* key = new QCPGraph(plot.xAxis, plot.yAxis);
                    key->setPen(line->pen());
                    key->setName(words.left(colon));
                }
                // Under the active layer's line: above it the summer's maximum runs out to the
                // right.
                trumpet.ActiveLayerText()->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
                // The curves in the first column, the lines in the second: the box is half the
                // page wide.
                plot.legend->setIconSize(20, 10);
                plot.legend->setWrap(3);
                plot.legend->setFillOrder(QCPLegend::foRowsFirst, true);
            }
            pages.Text(T(Msg::ReportTrumpet, lang), 9, true, 0.5);
            const double top = pages.y;
            pages.Plot(plot, Pages::kLeft, 88, 120);
            pages.y = top;
        }
        {
            // A plot of at most twelve months; the latest beside the trumpet, the earlier ones
            // below, two a row.
            std::vector<std::vector<MonthSpan>> groups;
            for (std::size_t k = 0; k < months.months.size(); k += 12)
                groups.emplace_back(months.months.begin() + static_cast<std::ptrdiff_t>(k),
                                    months.months.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                k + 12, months.months.size())));
            std::reverse(groups.begin(), groups.end());
            const double top = pages.y;
            pages.y = top + 122;
            for (std::size_t g = 0; g < groups.size(); ++g) {
                QCustomPlot plot;
                FillProfiles(plot, slice, sliceHealth, table, groups[g], lang);
                if (g == 0) {
                    pages.y = top;
                    pages.Plot(plot, Pages::kLeft + 92, 88, 120);
                    pages.y = top + 122;
                    continue;
                }
                // The earlier years two a row below.
                const bool left = g % 2 == 1;
                if (left) pages.Need(122);
                pages.Plot(plot, Pages::kLeft + (left ? 0 : 92), 88, 120);
                if (!left || g + 1 == groups.size()) pages.y += 122;
            }
            pages.Text(T(Msg::ReportProfiles, lang), 8, false, 2.0);
        }

        // The monthly means, twelve months a page.
        std::vector<std::vector<bool>> exceededIn(months.months.size(),
                                                  std::vector<bool>(sensorCount, false));
        {
            std::size_t m = 0;
            for (std::size_t i = period.first; i < period.end; ++i) {
                while (m + 1 < months.months.size() &&
                       set.measurements[i].time >= months.months[m].end)
                    ++m;
                for (std::size_t s = 0; s < sensorCount; ++s) {
                    const auto& limit = summary.sensors[s].limitC;
                    const std::int32_t v = set.Value(i, s);
                    if (!limit || v == kMissingValue || health.FlagOf(i, s) != ValueFlag::None)
                        continue;
                    if (v / 100.0 > *limit) exceededIn[m][s] = true;
                }
            }
        }
        pages.NewPage();
        pages.Text(T(Msg::ReportMonthlyHeading, lang), 11, true, 1.0);
        for (std::size_t k = 0; k < months.months.size(); k += 12) {
            // A block of twelve months whole on a page.
            pages.Need(4.0 * static_cast<double>(sensorCount + 1) + 2.0);
            const std::size_t end = std::min(k + 12, months.months.size());
            std::vector<QString> header = {T(Msg::ReportColumnSensor, lang),
                                           T(Msg::ReportColumnDepth, lang)};
            std::vector<double> widths = {9, 15};  // "Depth, m" whole
            for (std::size_t m = k; m < end; ++m) {
                char text[16];
                std::snprintf(text, sizeof text, "%02d.%02d", months.months[m].month,
                              months.months[m].year % 100);
                header.push_back(QString::fromLatin1(text));
                widths.push_back(13);
            }
            std::vector<std::vector<Cell>> cells;
            for (std::size_t s = 0; s < sensorCount; ++s) {
                std::vector<Cell> row = {{QString::number(s + 1), false},
                                         {Q(Num(summary.sensors[s].depthMetres, 2, lang)), false}};
                for (std::size_t m = k; m < end; ++m) {
                    const bool over = exceededIn[m][s];
                    row.push_back({Q(Num(months.Mean(m, s), 1, lang)) + (over ? "*" : ""), over});
                }
                cells.push_back(std::move(row));
            }
            pages.Table(widths, header, cells, 6.5, 4.0);
        }
        pages.Text(T(Msg::ReportMonthlyNote, lang), 7, false, 3.0);

        // The conclusion.
        pages.Need(40);
        pages.Text(T(Msg::ReportConclusion, lang), 11, true, 1.5);
        bool anyLimit = false;
        for (const SensorSummary& s : summary.sensors) {
            anyLimit = anyLimit || s.limitC.has_value();
            if (!s.exceedance) continue;
            std::string where = s.depthMetres ? Num(*s.depthMetres, 2, lang) +
                                                    (lang == Language::Russian ? " м" : " m")
                                              : std::string();
            if (!s.label.empty()) where += (where.empty() ? "" : ", ") + s.label;
            pages.Text(T(Msg::ReportExceeded, lang,
                         {std::to_string(s.sensor), where, Num(*s.limitC, 1, lang),
                          TableTime(s.exceedance->first), TableTime(s.exceedance->last),
                          Num(s.exceedance->hours, 1, lang), Num(s.exceedance->maxC, 2, lang)}),
                       9);
        }
        if (summary.exceeded == 0)
            pages.Text(T(anyLimit ? Msg::ReportNoneExceeded : Msg::ReportNoLimits, lang), 9);
        pages.Text(summary.activeLayerMetres
                       ? T(Msg::ReportActiveLayer, lang, {Num(*summary.activeLayerMetres, 2, lang)})
                       : T(Msg::ReportNoActiveLayer, lang),
                   9);
        pages.Text(summary.zeroAmplitudeMetres ? T(Msg::ReportZeroAmplitude, lang,
                                                   {Num(*summary.zeroAmplitudeMetres, 2, lang)})
                                               : T(Msg::ReportNoZeroAmplitude, lang),
                   9);
        std::string trends;
        for (const SensorSummary& s : summary.sensors)
            if (s.trendCPerDecade) {
                if (!trends.empty()) trends += "; ";
                trends += std::to_string(s.sensor) + ": " + (*s.trendCPerDecade > 0 ? "+" : "") +
                          Num(*s.trendCPerDecade, 2, lang) + " °C";
            }
        if (!trends.empty()) pages.Text(T(Msg::ReportTrends, lang, {trends}), 9);
        std::string flagged;
        for (const SensorSummary& s : summary.sensors) {
            if (s.flags == 0) continue;
            if (!flagged.empty()) flagged += "; ";
            flagged += std::to_string(s.sensor) + " (";
            bool firstWord = true;
            for (const std::string_view word : FlagWords(s.flags)) {
                if (!firstWord) flagged += ", ";
                flagged += word;
                firstWord = false;
            }
            flagged += ')';
        }
        pages.Text(
            flagged.empty() ? T(Msg::ReportNoFlags, lang) : T(Msg::ReportFlagged, lang, {flagged}),
            9, false, 4.0);

        // The appendix.
        pages.Need(30);
        pages.Text(T(Msg::ReportAppendix, lang), 11, true, 1.5);
        std::vector<std::vector<Cell>> fileRows;
        fileRows.reserve(digests.size());
        for (const FileDigest& d : digests)
            fileRows.push_back(
                {{Q(d.name), false}, {QString::number(d.size), false}, {Q(d.sha256), false}});
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(6.5);
        pages.Table({40, 20, 120},
                    {T(Msg::ReportColumnFile, lang), T(Msg::ReportColumnSize, lang),
                     QStringLiteral("SHA-256")},
                    fileRows, 7, 4.0, &mono);
        if (downloads.empty()) {
            pages.Text(T(Msg::ReportNoDownloads, lang), 8);
        } else {
            std::vector<std::vector<Cell>> downloadRows;
            for (const CollectionRecord& r : downloads) {
                const char* result = r.result == CollectionResult::Done     ? "done"
                                     : r.result == CollectionResult::Failed ? "failed"
                                                                            : "stopped";
                downloadRows.push_back(
                    {{Q(UtcText(r.time)), false},
                     {Q(r.station), false},
                     {QString::fromLatin1(result), r.result != CollectionResult::Done},
                     {r.clockOffsetSeconds ? QString::number(*r.clockOffsetSeconds) : QString(),
                      false}});
            }
            pages.Table({45, 60, 35, 40},
                        {T(Msg::ReportColumnTime, lang), T(Msg::ReportColumnStation, lang),
                         T(Msg::ReportColumnResult, lang), T(Msg::ReportColumnOffset, lang)},
                        downloadRows, 7, 4.0);
        }
        if (!painter.end()) throw FileError(Msg::ReportFailed, request.pdf);
    }
    // The writer closed: the staged file is whole when every write went through.
    out.close();
    if (out.Failed() || out.Written() == 0 || !fs::exists(staged.Staging(), ec) ||
        fs::file_size(staged.Staging(), ec) != static_cast<std::uintmax_t>(out.Written()))
        throw FileError(Msg::ReportFailed, request.pdf);
    staged.Finish();
    return true;
}

}  // namespace qm

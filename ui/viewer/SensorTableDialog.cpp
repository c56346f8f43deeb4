#include "ui/viewer/SensorTableDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <charconv>
#include <cmath>
#include <string>

#include "text/Messages.h"
#include "ui/viewer/DepthAxis.h"

namespace qm {

namespace {
QString T(Msg id, Language language, std::initializer_list<std::string_view> args = {}) {
    const std::string text = Message(id, language, args);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

QString SensorTableDialog::DepthText(double metres, Language language) {
    char text[32];
    const auto r = std::to_chars(std::begin(text), std::end(text), metres);
    QString out = QString::fromLatin1(text, static_cast<qsizetype>(r.ptr - text));
    if (language == Language::Russian) out.replace('.', ',');
    return out;
}

SensorTableDialog::SensorTableDialog(const std::vector<SensorInfo>& rows, Language language,
                                     QWidget* parent)
    : QDialog(parent), language_(language) {
    setObjectName("sensorTableDialog");
    setWindowTitle(T(Msg::ViewerSensorTableTitle, language));
    table_ = new QTableWidget(static_cast<int>(rows.size()), 4, this);
    table_->setObjectName("sensorTable");
    table_->setHorizontalHeaderLabels(
        {T(Msg::ViewerSensor, language), T(Msg::ViewerDepthColumn, language),
         T(Msg::ViewerLabelColumn, language), T(Msg::ViewerLimitColumn, language)});
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const SensorInfo& info = rows[static_cast<std::size_t>(r)];
        auto* number = new QTableWidgetItem(QString::number(info.sensor));
        number->setFlags(Qt::ItemIsEnabled);
        table_->setItem(r, 0, number);
        table_->setItem(r, 1,
                        new QTableWidgetItem(
                            info.depthMetres ? DepthText(*info.depthMetres, language) : QString()));
        table_->setItem(r, 2, new QTableWidgetItem(QString::fromStdString(info.label)));
        table_->setItem(
            r, 3,
            new QTableWidgetItem(info.limitC ? DepthText(*info.limitC, language) : QString()));
    }
    auto* hint = new QLabel(T(Msg::ViewerSensorTableHint, language), this);
    hint->setWordWrap(true);
    problem_ = new QLabel(this);
    problem_->setObjectName("problem");
    problem_->setStyleSheet("color: #a00000;");
    problem_->setWordWrap(true);
    problem_->setVisible(false);
    save_ = new QPushButton(T(Msg::ViewerSave, language), this);
    save_->setObjectName("save");
    save_->setDefault(true);
    cancel_ = new QPushButton(T(Msg::ViewerCancel, language), this);
    cancel_->setObjectName("cancel");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(hint);
    layout->addWidget(problem_);
    layout->addLayout(buttons);
    resize(560, 520);

    connect(save_, &QPushButton::clicked, this, [this] { Save(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    // A fault once shown goes when the cell is typed again.
    connect(table_, &QTableWidget::itemChanged, this, [this] { problem_->setVisible(false); });
}

std::vector<SensorInfo> SensorTableDialog::Read(bool& ok) {
    std::vector<SensorInfo> rows;
    ok = false;
    for (int r = 0; r < table_->rowCount(); ++r) {
        const auto text = [&](int column) {
            const QTableWidgetItem* item = table_->item(r, column);
            return item ? item->text() : QString();
        };
        SensorInfo info;
        info.sensor = text(0).toULong();
        const QString depth = text(1);
        if (!ParseDepth(depth.toStdString(), info.depthMetres)) {
            problem_->setText(T(Msg::ViewerBadDepth, language_,
                                {std::to_string(info.sensor), depth.trimmed().toStdString()}));
            problem_->setVisible(true);
            table_->setCurrentCell(r, 1);
            return {};
        }
        // A label is one line of the table file.
        info.label = text(2).simplified().toStdString();
        // A limit is typed as a depth is, in degrees no ground comes near.
        const QString limit = text(3);
        if (!ParseDepth(limit.toStdString(), info.limitC) ||
            (info.limitC && std::fabs(*info.limitC) > 100.0)) {
            problem_->setText(T(Msg::ViewerBadLimit, language_,
                                {std::to_string(info.sensor), limit.trimmed().toStdString()}));
            problem_->setVisible(true);
            table_->setCurrentCell(r, 3);
            return {};
        }
        if (info.sensor > 0) rows.push_back(std::move(info));
    }
    problem_->setVisible(false);
    ok = true;
    return rows;
}

QString SensorTableDialog::Problem() const {
    return problem_->isVisibleTo(this) ? problem_->text() : QString();
}

void SensorTableDialog::Save() {
    bool ok = false;
    std::vector<SensorInfo> rows = Read(ok);
    if (!ok) return;
    result_ = std::move(rows);
    accept();
}

}  // namespace qm

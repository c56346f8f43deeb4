// The viewer's "PDF report…": the report of the data set shown, over all of it.
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>

#include "store/Export.h"
#include "text/Messages.h"
#include "ui/viewer/DataViewer.h"
#include "ui/viewer/Report.h"

namespace qm {

namespace fs = std::filesystem;

namespace {
QString Text(Msg id, Language language, std::initializer_list<std::string_view> args = {}) {
    const std::string text = Message(id, language, args);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

void DataViewer::AskReport() {
    if (current_.empty() || !HasTable(set_)) {
        summary_->setText(Text(Msg::ViewerNothingToExport, language_));
        return;
    }
    std::error_code ec;
    const fs::path name =
        fs::is_regular_file(current_, ec) ? current_.parent_path() / current_.stem() : current_;
    const QString proposal = QString::fromStdU16String(name.u16string()) + ".pdf";
    const QString file = QFileDialog::getSaveFileName(this, Text(Msg::ViewerReport, language_),
                                                      proposal, "PDF (*.pdf)");
    if (!file.isEmpty()) ReportTo(fs::path(file.toStdU16String()));
}

bool DataViewer::ReportTo(const fs::path& pdf) {
    if (current_.empty() || !HasTable(set_)) {
        summary_->setText(Text(Msg::ViewerNothingToExport, language_));
        return false;
    }
    ReportRequest request;
    request.folder = current_;
    request.pdf = pdf;
    request.language = language_;
    request.programVersion = QCoreApplication::applicationVersion().toStdString();
    request.madeAt = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm").toStdString();
    try {
        // The sensor table as the folder holds it now, as the exports take it.
        SensorTable table;
        try {
            table = ReadSensorTable(TableFolder());
        } catch (const FileError&) {
            table = table_;
        }
        if (!WriteReport(request, set_, table)) {
            summary_->setText(Text(Msg::ViewerNothingToExport, language_));
            return false;
        }
    } catch (const FileError& e) {
        const std::string text = e.Text(language_);
        QMessageBox::critical(this, Text(Msg::ViewerError, language_),
                              QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        return false;
    }
    summary_->setText(Text(Msg::ReportWritten, language_, {PathText(pdf)}));
    return true;
}

}  // namespace qm

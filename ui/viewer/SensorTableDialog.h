#pragma once

#include <QDialog>
#include <vector>

#include "store/SensorTable.h"
#include "text/Language.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace qm {

// The sensor table of a data set in an editable table: sensor, depth in metres, label, design
// limit in °C. "Save" checks every depth and limit first and closes only when all are numbers
// (or empty); the rows are then
// Result(). "Cancel" closes and leaves everything as it was.
class SensorTableDialog : public QDialog {
    Q_OBJECT
public:
    SensorTableDialog(const std::vector<SensorInfo>& rows, Language language,
                      QWidget* parent = nullptr);

    QTableWidget* Table() const { return table_; }
    // The rows as typed when they are all good; otherwise the first fault is shown in the
    // dialog and the result is empty with `ok` false.
    std::vector<SensorInfo> Read(bool& ok);
    // What "Save" accepted.
    const std::vector<SensorInfo>& Result() const { return result_; }
    // The line that says what is wrong with the table typed; empty when nothing is.
    QString Problem() const;

    // Depth as the operator's language writes it: "2,5" or "2.5".
    static QString DepthText(double metres, Language language);

private:
    void Save();

    Language language_;
    QTableWidget* table_;
    QLabel* problem_;
    QPushButton* save_;
    QPushButton* cancel_;
    std::vector<SensorInfo> result_;
};

}  // namespace qm

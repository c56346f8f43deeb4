#include "ui/qt/QtServices.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>

#include "ui/qt/Convert.h"

namespace qm {

namespace {
QString BoxTitle() {
    return QApplication::applicationDisplayName();
}
}  // namespace

void QtOperatorServices::ShowWarning(const std::string& text) {
    QMessageBox::warning(parent_, BoxTitle(), ToQString(text));
}

bool QtOperatorServices::Confirm(const std::string& text) {
    return QMessageBox::warning(parent_, BoxTitle(), ToQString(text),
                                QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Ok;
}

void QtOperatorServices::ShowError(const std::string& text) {
    QMessageBox::critical(parent_, BoxTitle(), ToQString(text));
}

void QtOperatorServices::Beep() {
    QApplication::beep();
}

// Leaves the event loop without closing the windows, so no close handler runs.
void QtOperatorServices::Quit() {
    QCoreApplication::exit(0);
}

DateTime QtPcClock::Now() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return DateTime::FromCivil(
               {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()})
        .value_or(DateTime());
}

}  // namespace qm

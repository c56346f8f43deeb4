#include "ui/qt/QtServices.h"

#include <QApplication>
#include <QDateTime>

#include "ui/qt/Convert.h"

namespace qm {

namespace {
QString BoxTitle() {
    return QApplication::applicationDisplayName();
}
}  // namespace

// Leaves the event loop without closing the windows, so no close handler runs.
QtOperatorServices::QtOperatorServices(QWidget* parent, std::function<void()> exit)
    : parent_(parent), exit_(exit ? std::move(exit) : [] { QCoreApplication::exit(0); }) {}

QtOperatorServices::~QtOperatorServices() {
    delete shown_.data();
}

void QtOperatorServices::ShowWarning(const std::string& text) {
    Enqueue(QMessageBox::Warning, text);
}

void QtOperatorServices::ShowError(const std::string& text) {
    Enqueue(QMessageBox::Critical, text);
}

void QtOperatorServices::Enqueue(QMessageBox::Icon icon, const std::string& text) {
    waiting_.push_back({icon, ToQString(text)});
    if (shown_ || showQueued_) return;
    showQueued_ = true;
    QMetaObject::invokeMethod(
        &context_, [this] { ShowNext(); }, Qt::QueuedConnection);
}

// Opens the next box without an event loop of its own; its close brings the one after it.
void QtOperatorServices::ShowNext() {
    showQueued_ = false;
    if (shown_) return;
    if (waiting_.empty()) {
        if (quitRequested_) exit_();
        return;
    }
    const Message m = std::move(waiting_.front());
    waiting_.pop_front();
    auto* box = new QMessageBox(m.icon, BoxTitle(), m.text, QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, &context_, [this] {
        shown_ = nullptr;  // the box deletes itself later
        showQueued_ = true;
        QMetaObject::invokeMethod(
            &context_, [this] { ShowNext(); }, Qt::QueuedConnection);
    });
    shown_ = box;
    box->open();
}

bool QtOperatorServices::Confirm(const std::string& text) {
    return QMessageBox::warning(parent_, BoxTitle(), ToQString(text),
                                QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Ok;
}

void QtOperatorServices::Beep() {
    QApplication::beep();
}

// A message the program gave just before (why it ends) is still shown first.
void QtOperatorServices::Quit() {
    if (!shown_ && waiting_.empty() && !showQueued_) {
        exit_();
        return;
    }
    quitRequested_ = true;
}

}  // namespace qm

#include "ui/qt/ParametersDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>

#include "ui_ParametersDialog.h"

namespace qm {

ParametersDialog::ParametersDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ParametersDialog>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
}

ParametersDialog::~ParametersDialog() = default;

bool ParametersDialog::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate && onActivate_) onActivate_();
    return handled;
}

void ParametersDialog::closeEvent(QCloseEvent* event) {
    if (onClose_ && onClose_()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ParametersDialog::keyPressEvent(QKeyEvent* event) {
    // Escape is the close box; Enter does nothing by itself (OK is a button like any other).
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
    QDialog::keyPressEvent(event);
}

}  // namespace qm

#include "ui/qt/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>

#include "ui/qt/ChartView.h"
#include "ui_MainWindow.h"

namespace qm {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindow>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // A narrow face of the sans-serif family where the platform has one: the captions were
    // measured for a narrow bold face.
    QFont f = font();
    f.setStretch(QFont::SemiCondensed);
    setFont(f);
    // Group captions sit on the frame line, and tabs are tight enough for three on a page.
    // Groups paint their whole rectangle, the strip above the frame and the caption included:
    // the program places several over other controls and the chart, and a sheet that draws a
    // border turns the widgets' own background filling off.
    setStyleSheet(
        "QGroupBox { border: 1px solid palette(mid); margin-top: 6px;"
        " background-color: palette(window); background-clip: margin; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0px;"
        " background-color: palette(window); }"
        "QTabBar::tab { padding: 3px 5px; border: 1px solid palette(mid); border-bottom: none;"
        " border-top-left-radius: 2px; border-top-right-radius: 2px; background: palette(button); }"
        "QTabBar::tab:selected { background: palette(window); }"
        "QTabBar::tab:!selected { margin-top: 2px; }");

    // The chart lies under the designed controls: the groups that the program moves over it
    // (battery, calibration, modems) stay in sight.
    chart_ = new ChartView(ui_->centralwidget);
    chart_->hide();
    chart_->lower();

    popup_ = new QMenu(this);
    popup_->setObjectName("PopupMenu1");
    // The items' captions and check marks come from the model, as the controls' do.
    const auto add = [this](const char* name, bool checkable) {
        QAction* a = popup_->addAction(QString());
        a->setObjectName(name);
        a->setCheckable(checkable);
    };
    add("pmBluetooth", false);
    popup_->addSeparator()->setObjectName("N1");
    add("pmRus", true);
    add("pmEng", true);
    add("pmCalibration", false);
    add("pmDataOnDisk", false);
}

MainWindow::~MainWindow() = default;

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    popup_->popup(event->globalPos());
    event->accept();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (onClose_) onClose_();
    event->accept();
    emit Closed();
}

}  // namespace qm

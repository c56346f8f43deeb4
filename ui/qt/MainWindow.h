#pragma once

#include <QMainWindow>
#include <QMenu>
#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace qm {

class ChartView;

// The main window: the designed form (every control named as in the window model), the chart
// placed in code, and the context menu PopupMenu1 opened with a right click anywhere on the
// window. It has a fixed single border and no maximise button; its size follows the model.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    ChartView* Chart() const { return chart_; }
    QMenu* PopupMenu() const { return popup_; }
    // Runs when the operator closes the window (the close is never refused).
    void SetCloseHandler(std::function<void()> handler) { onClose_ = std::move(handler); }

signals:
    // The window has been closed (after the close handler ran).
    void Closed();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::MainWindow> ui_;
    ChartView* chart_;
    QMenu* popup_;
    std::function<void()> onClose_;
};

}  // namespace qm

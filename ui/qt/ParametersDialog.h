#pragma once

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class ParametersDialog;
}

namespace qm {

// The measurement-parameters dialog. It behaves as a modal window without a modal loop: the core
// shows it and disables the main window. Its activation and its close box are reported to the
// owner, which decides what happens (the close box does not hide it by itself).
class ParametersDialog : public QDialog {
    Q_OBJECT
public:
    explicit ParametersDialog(QWidget* parent = nullptr);
    ~ParametersDialog() override;

    void SetActivateHandler(std::function<void()> handler) { onActivate_ = std::move(handler); }
    // Returns true when the owner has taken care of the close (the dialog then stays as the
    // model says); false lets the dialog hide itself.
    void SetCloseHandler(std::function<bool()> handler) { onClose_ = std::move(handler); }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::ParametersDialog> ui_;
    std::function<void()> onActivate_;
    std::function<bool()> onClose_;
};

}  // namespace qm

#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>

#include "core/Services.h"

namespace qm {

// Message boxes, the beep and the end of the program for the core, on the desktop.
//
// Warnings and errors are shown after the handler that raised them has returned, one box at a
// time in the order they came, so no event reaches the controller inside its own handler. Only
// Confirm, whose answer the caller needs, waits for the operator.
class QtOperatorServices : public OperatorServices {
public:
    // Boxes are shown over `parent` (may be null, or set later). `exit` ends the program; by
    // default it leaves the application's event loop.
    explicit QtOperatorServices(QWidget* parent = nullptr, std::function<void()> exit = {});
    ~QtOperatorServices() override;
    void SetParent(QWidget* parent) { parent_ = parent; }

    void ShowWarning(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void Beep() override;
    // Ends the program, once every message still waiting has been seen.
    void Quit() override;

    // The box on the screen now (null when none is).
    QMessageBox* ShownBox() const { return shown_; }
    // Messages waiting behind it.
    std::size_t Waiting() const { return waiting_.size(); }

private:
    struct Message {
        QMessageBox::Icon icon;
        QString text;
    };
    void Enqueue(QMessageBox::Icon icon, const std::string& text);
    void ShowNext();

    QPointer<QWidget> parent_;
    std::function<void()> exit_;
    QObject context_;  // runs the queued calls; they die with the services
    std::deque<Message> waiting_;
    QPointer<QMessageBox> shown_;
    bool showQueued_ = false;
    bool quitRequested_ = false;
};

}  // namespace qm

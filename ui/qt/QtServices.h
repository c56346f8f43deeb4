#pragma once

#include <QPointer>
#include <QWidget>

#include "core/Services.h"

namespace qm {

// Message boxes, the beep and the end of the program for the core, on the desktop.
class QtOperatorServices : public OperatorServices {
public:
    // Boxes are shown over `parent` (may be null, or set later).
    explicit QtOperatorServices(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void ShowWarning(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void Beep() override;
    void Quit() override;

private:
    QPointer<QWidget> parent_;
};

// The PC's local date and time.
class QtPcClock : public PcClock {
public:
    DateTime Now() override;
};

}  // namespace qm

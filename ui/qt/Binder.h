#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ui/model/WindowModel.h"

class QWidget;
class QAction;
class QTimer;

namespace qm {

class Controller;
class MainWindow;
class ModelTimers;
class ParametersDialog;

// Mirrors the window model into the widgets after every controller event, and turns widget
// events into controller calls by the control's name. With a mirror interval, the controls are
// mirrored at most once per interval while events come faster (a copy's replies), and always
// after the last one; the timers and the operator's own events are mirrored at once. While it
// mirrors, widget signals are blocked, so nothing it sets comes back as an edit. It also runs one
// QTimer per model timer. The forms carry no captions, positions or sizes: the first mirror, in the
// constructor, gives the windows and every control their designed look from the model.
//
// Names it reports besides the controls' own: "Parameters.<control>" for the dialog's controls,
// "Parameters.Activate" when the dialog becomes active, "Parameters.Close" for its close box, a
// group box's name for a click on the group itself, and the context menu items' names.
class Binder : public QObject {
    Q_OBJECT
public:
    Binder(Controller& controller, MainWindow& window, ParametersDialog& dialog);
    ~Binder() override;

    // Shows the model. Runs by itself after every controller event.
    void Sync();
    // Mirrors the controls of events that come in quick succession at most once per `ms`
    // (0: after every event).
    void SetMirrorInterval(int ms);
    // The interval the program uses: far more often than the eye can follow a count, far less
    // often than the replies of a copy come in.
    static constexpr int kMirrorIntervalMs = 50;

    // The widget of a main-window control (nullptr for an unknown name).
    QWidget* Widget(std::string_view name) const;
    // Names of model controls that have no widget of the right kind (empty when the forms match).
    const std::vector<std::string>& Missing() const { return missing_; }
    // How many widget properties the last Sync changed (0 when the widgets already showed the
    // model).
    int LastSyncChanges() const { return changes_; }
    // How many times the window has been mirrored.
    long SyncCount() const { return syncCount_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Connect(std::string_view name, const ControlPtr& control, QWidget* w,
                 const QString& prefix);
    void SyncControl(const ControlPtr& control, QWidget* w);
    void SyncCommon(const Control& c, QWidget* w, bool autoSize);
    void SyncRadioGroup(const RadioGroup& g, QWidget* w);
    void SyncWindows();
    void SyncMenu();
    // A controller event has changed the model.
    void ModelChanged();
    // Runs a controller event unless the binder is mirroring (then the event is the binder's own).
    template <typename F>
    void Send(F&& f);

    Controller& controller_;
    MainWindow& window_;
    ParametersDialog& dialog_;
    std::map<std::string, QWidget*, std::less<>> widgets_;
    std::map<std::string, QWidget*, std::less<>> dialogWidgets_;
    std::map<std::string, QAction*, std::less<>> actions_;
    std::map<QWidget*, std::vector<std::string>> radioItems_;
    std::map<QObject*, QString> clickableGroups_;
    ModelTimers* timers_ = nullptr;
    std::vector<std::string> missing_;
    int mainFocusRequests_ = 0;
    std::map<QWidget*, int> focusRequests_;
    bool syncing_ = false;
    bool syncAgain_ = false;
    int changes_ = 0;
    long syncCount_ = 0;
    int mirrorIntervalMs_ = 0;
    QTimer* mirrorTimer_ = nullptr;  // a mirror that waits for its interval
    QElapsedTimer sinceSync_;
};

}  // namespace qm

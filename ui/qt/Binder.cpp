#include "ui/qt/Binder.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <type_traits>

#include "core/Controller.h"
#include "ui/qt/ChartView.h"
#include "ui/qt/Convert.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/ModelTimers.h"
#include "ui/qt/ParametersDialog.h"
#include "ui/qt/ShapeWidget.h"

namespace qm {
namespace {

// Buttons, check and radio buttons, group titles, tabs and menu items take "&" as the mark of a
// keyboard shortcut: doubled, it shows as written ("Set current date&time").
QString Literal(std::string_view caption) {
    return ToQString(caption).replace(u'&', QStringLiteral("&&"));
}

// Whether `w` is the kind of widget that shows a control of type T.
template <typename T>
bool Fits(QWidget* w) {
    if constexpr (std::is_same_v<T, Button>) return qobject_cast<QPushButton*>(w);
    if constexpr (std::is_same_v<T, Label>) return qobject_cast<QLabel*>(w);
    if constexpr (std::is_same_v<T, GroupBox> || std::is_same_v<T, RadioGroup>)
        return qobject_cast<QGroupBox*>(w);
    if constexpr (std::is_same_v<T, TabSheet>)
        return qobject_cast<QTabWidget*>(w->parentWidget() ? w->parentWidget()->parentWidget()
                                                           : nullptr);
    if constexpr (std::is_same_v<T, EditBox>) return qobject_cast<QLineEdit*>(w);
    if constexpr (std::is_same_v<T, CheckBox>) return qobject_cast<QCheckBox*>(w);
    if constexpr (std::is_same_v<T, SpinEdit>)
        return qobject_cast<QSpinBox*>(w) || qobject_cast<QDoubleSpinBox*>(w);
    if constexpr (std::is_same_v<T, DateTimeEdit>) return qobject_cast<QDateTimeEdit*>(w);
    if constexpr (std::is_same_v<T, ComboBox>) return qobject_cast<QComboBox*>(w);
    if constexpr (std::is_same_v<T, PageControl>) return qobject_cast<QTabWidget*>(w);
    if constexpr (std::is_same_v<T, ProgressBar>) return qobject_cast<QProgressBar*>(w);
    if constexpr (std::is_same_v<T, Shape>) return qobject_cast<ShapeWidget*>(w);
    if constexpr (std::is_same_v<T, Chart>) return qobject_cast<ChartView*>(w);
    return false;
}

// The tab widget that holds page `page`, and the page's index in it.
std::pair<QTabWidget*, int> TabOf(QWidget* page) {
    QWidget* stack = page->parentWidget();
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    return {tabs, tabs ? tabs->indexOf(page) : -1};
}

bool ExplicitlyEnabled(const QWidget* w) {
    return !w->testAttribute(Qt::WA_ForceDisabled);
}

}  // namespace

Binder::Binder(Controller& controller, MainWindow& window, ParametersDialog& dialog)
    : controller_(controller), window_(window), dialog_(dialog) {
    WindowModel& m = controller_.MutableModel();
    for (const ControlRef& r : m.Controls()) {
        QWidget* w = window_.findChild<QWidget*>(ToQString(r.name));
        const bool fits =
            w && std::visit([&](auto* c) { return Fits<std::remove_pointer_t<decltype(c)>>(w); },
                            r.control);
        if (!fits) {
            missing_.emplace_back(r.name);
            continue;
        }
        widgets_.emplace(std::string(r.name), w);
        Connect(r.name, r.control, w, QString());
    }
    for (const ControlRef& r : m.Parameters.Controls()) {
        QWidget* w = dialog_.findChild<QWidget*>(ToQString(r.name));
        const bool fits =
            w && std::visit([&](auto* c) { return Fits<std::remove_pointer_t<decltype(c)>>(w); },
                            r.control);
        if (!fits) {
            missing_.push_back("Parameters." + std::string(r.name));
            continue;
        }
        dialogWidgets_.emplace(std::string(r.name), w);
        Connect(r.name, r.control, w, "Parameters.");
    }
    for (const MenuItemRef& item : m.MenuItems()) {
        QAction* a = window_.PopupMenu()->findChild<QAction*>(ToQString(item.name));
        if (!a) {
            for (QAction* candidate : window_.PopupMenu()->actions())
                if (candidate->objectName() == ToQString(item.name)) a = candidate;
        }
        if (!a) {
            missing_.emplace_back(item.name);
            continue;
        }
        actions_.emplace(std::string(item.name), a);
        if (a->isSeparator()) continue;
        const std::string name(item.name);
        connect(a, &QAction::triggered, this,
                [this, name] { Send([&] { controller_.Click(name); }); });
    }

    timers_ = new ModelTimers([this](WindowTimerId id) { controller_.OnTimer(id); }, this);

    window_.SetCloseHandler([this] { controller_.FormClose(); });
    // Activation is reported from the event loop: it can arrive while the binder is showing the
    // dialog, and the core's answer must not run inside that.
    dialog_.SetActivateHandler([this] {
        QMetaObject::invokeMethod(
            this, [this] { Send([&] { controller_.Click("Parameters.Activate"); }); },
            Qt::QueuedConnection);
    });
    dialog_.SetCloseHandler([this] {
        if (controller_.HasClickHandler("Parameters.Close")) {
            Send([&] { controller_.Click("Parameters.Close"); });
            return true;
        }
        controller_.MutableModel().Parameters.window.visible = false;
        return false;
    });

    mirrorTimer_ = new QTimer(this);
    mirrorTimer_->setSingleShot(true);
    connect(mirrorTimer_, &QTimer::timeout, this, [this] { Sync(); });
    controller_.SetChangedCallback([this] { ModelChanged(); });
    Sync();
}

void Binder::SetMirrorInterval(int ms) {
    mirrorIntervalMs_ = std::max(0, ms);
}

void Binder::ModelChanged() {
    if (mirrorIntervalMs_ == 0 || syncing_) {
        Sync();
        return;
    }
    // The window's timers at once: a label hides a second after it was shown, not after the
    // next mirror.
    timers_->Sync(controller_.MutableModel());
    if (mirrorTimer_->isActive()) return;
    const qint64 since = sinceSync_.isValid() ? sinceSync_.elapsed() : mirrorIntervalMs_;
    mirrorTimer_->start(static_cast<int>(std::max<qint64>(0, mirrorIntervalMs_ - since)));
}

Binder::~Binder() {
    controller_.SetChangedCallback({});
}

QWidget* Binder::Widget(std::string_view name) const {
    auto it = widgets_.find(name);
    return it == widgets_.end() ? nullptr : it->second;
}

template <typename F>
void Binder::Send(F&& f) {
    if (syncing_) return;  // a change the binder made itself
    f();
    Sync();
}

void Binder::Connect(std::string_view controlName, const ControlPtr& control, QWidget* w,
                     const QString& prefix) {
    const std::string name = prefix.toStdString() + std::string(controlName);
    std::visit(
        [&](auto* c) {
            using T = std::remove_pointer_t<decltype(c)>;
            if constexpr (std::is_same_v<T, Button>) {
                connect(qobject_cast<QPushButton*>(w), &QPushButton::clicked, this,
                        [this, name] { Send([&] { controller_.Click(name); }); });
            } else if constexpr (std::is_same_v<T, EditBox>) {
                connect(qobject_cast<QLineEdit*>(w), &QLineEdit::textEdited, this,
                        [this, name](const QString& text) {
                            Send([&] { controller_.TextEdited(name, text.toStdString()); });
                        });
            } else if constexpr (std::is_same_v<T, CheckBox>) {
                connect(qobject_cast<QCheckBox*>(w), &QCheckBox::toggled, this,
                        [this, name](bool on) { Send([&] { controller_.Checked(name, on); }); });
            } else if constexpr (std::is_same_v<T, SpinEdit>) {
                if (auto* s = qobject_cast<QSpinBox*>(w))
                    connect(s, &QSpinBox::valueChanged, this, [this, name](int v) {
                        Send([&] { controller_.NumberEdited(name, v); });
                    });
                if (auto* d = qobject_cast<QDoubleSpinBox*>(w))
                    connect(d, &QDoubleSpinBox::valueChanged, this, [this, name](double v) {
                        Send([&] { controller_.NumberEdited(name, v); });
                    });
            } else if constexpr (std::is_same_v<T, DateTimeEdit>) {
                auto* e = qobject_cast<QDateTimeEdit*>(w);
                if (c->mode == DateTimeEdit::Mode::Time)
                    connect(e, &QDateTimeEdit::timeChanged, this, [this, name](QTime t) {
                        Send([&] { controller_.DateTimeEdited(name, FromQTime(t)); });
                    });
                else
                    connect(e, &QDateTimeEdit::dateChanged, this, [this, name](QDate d) {
                        Send([&] { controller_.DateTimeEdited(name, FromQDate(d)); });
                    });
            } else if constexpr (std::is_same_v<T, ComboBox>) {
                connect(qobject_cast<QComboBox*>(w), &QComboBox::currentIndexChanged, this,
                        [this, name](int i) { Send([&] { controller_.Selected(name, i); }); });
            } else if constexpr (std::is_same_v<T, RadioGroup>) {
                auto* buttons = new QButtonGroup(w);
                buttons->setObjectName(ToQString(controlName) + "Buttons");
                connect(buttons, &QButtonGroup::idClicked, this,
                        [this, name](int id) { Send([&] { controller_.Selected(name, id); }); });
                auto* layout = new QVBoxLayout(w);
                layout->setContentsMargins(8, 4, 8, 4);
                layout->setSpacing(2);
                layout->addStretch();
            } else if constexpr (std::is_same_v<T, PageControl>) {
                // Page changes are the view's own: the model only remembers the page.
                PageControl* model = c;
                connect(qobject_cast<QTabWidget*>(w), &QTabWidget::currentChanged, this,
                        [this, model](int i) {
                            if (!syncing_) model->activePage = i;
                        });
            } else if constexpr (std::is_same_v<T, GroupBox>) {
                clickableGroups_.emplace(w, QString::fromStdString(name));
                w->installEventFilter(this);
            }
        },
        control);
}

bool Binder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto it = clickableGroups_.find(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (it != clickableGroups_.end() && mouse->button() == Qt::LeftButton &&
            static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint())) {
            const std::string name = it->second.toStdString();
            Send([&] { controller_.Click(name); });
        }
    }
    return QObject::eventFilter(watched, event);
}

void Binder::Sync() {
    if (syncing_) {
        syncAgain_ = true;
        return;
    }
    syncing_ = true;
    ++syncCount_;
    mirrorTimer_->stop();
    sinceSync_.start();
    changes_ = 0;
    int rounds = 0;
    do {
        syncAgain_ = false;
        WindowModel& m = controller_.MutableModel();
        for (const ControlRef& r : m.Controls())
            if (auto it = widgets_.find(r.name); it != widgets_.end())
                SyncControl(r.control, it->second);
        for (const ControlRef& r : m.Parameters.Controls())
            if (auto it = dialogWidgets_.find(r.name); it != dialogWidgets_.end())
                SyncControl(r.control, it->second);
        SyncMenu();
        SyncWindows();
        timers_->Sync(controller_.MutableModel());
    } while (syncAgain_ && ++rounds < 4);
    syncing_ = false;
}

void Binder::SyncCommon(const Control& c, QWidget* w, bool autoSize) {
    if (w->isVisibleTo(w->parentWidget()) != c.visible) {
        w->setVisible(c.visible);
        ++changes_;
    }
    if (ExplicitlyEnabled(w) != c.enabled) {
        w->setEnabled(c.enabled);
        ++changes_;
    }
    const QColor colour = ToQColor(c.fontColour);
    if (w->palette().color(QPalette::Active, QPalette::WindowText) != colour) {
        QPalette p = w->palette();
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
            for (QPalette::ColorRole role :
                 {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                p.setColor(g, role, colour);
        w->setPalette(p);
        // Under the window's style sheet a spin or date editor draws its digits in an inner line
        // edit that was given a palette of its own when it was polished, which the editor's
        // palette no longer reaches: the line edit takes the colour too.
        if (qobject_cast<QAbstractSpinBox*>(w))
            if (auto* digits = w->findChild<QLineEdit*>()) {
                QPalette dp = digits->palette();
                for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
                    dp.setColor(g, QPalette::Text, colour);
                digits->setPalette(dp);
            }
        ++changes_;
    }
    // An empty rectangle leaves the widget where its parent put it.
    if (c.geometry != Rect{}) {
        const QPoint at(c.geometry.left, c.geometry.top);
        const QSize size = autoSize ? w->sizeHint() : QSize(c.geometry.width, c.geometry.height);
        if (w->geometry() != QRect(at, size)) {
            w->setGeometry(QRect(at, size));
            ++changes_;
        }
    }
}

void Binder::SyncControl(const ControlPtr& control, QWidget* w) {
    const QSignalBlocker block(w);
    std::visit(
        [&](auto* c) {
            using T = std::remove_pointer_t<decltype(c)>;
            const QString caption = Literal(c->caption);
            if constexpr (std::is_same_v<T, TabSheet>) {
                auto [tabs, index] = TabOf(w);
                if (!tabs || index < 0) return;
                const QSignalBlocker blockTabs(tabs);
                if (tabs->tabText(index) != caption) tabs->setTabText(index, caption), ++changes_;
                if (tabs->isTabVisible(index) != c->visible)
                    tabs->setTabVisible(index, c->visible), ++changes_;
                if (tabs->isTabEnabled(index) != c->enabled)
                    tabs->setTabEnabled(index, c->enabled), ++changes_;
                return;
            } else if constexpr (std::is_same_v<T, Label>) {
                // A label without a buddy shows "&" as it is.
                auto* l = qobject_cast<QLabel*>(w);
                const QString text = ToQString(c->caption);
                if (l->text() != text) l->setText(text), ++changes_;
            } else if constexpr (std::is_same_v<T, Button>) {
                auto* b = qobject_cast<QPushButton*>(w);
                if (b->text() != caption) b->setText(caption), ++changes_;
            } else if constexpr (std::is_same_v<T, GroupBox>) {
                auto* g = qobject_cast<QGroupBox*>(w);
                if (g->title() != caption) g->setTitle(caption), ++changes_;
            } else if constexpr (std::is_same_v<T, EditBox>) {
                auto* e = qobject_cast<QLineEdit*>(w);
                const QString text = ToQString(c->text);
                if (e->text() != text) e->setText(text), ++changes_;
            } else if constexpr (std::is_same_v<T, CheckBox>) {
                auto* b = qobject_cast<QCheckBox*>(w);
                if (b->text() != caption) b->setText(caption), ++changes_;
                if (b->isChecked() != c->checked) b->setChecked(c->checked), ++changes_;
            } else if constexpr (std::is_same_v<T, SpinEdit>) {
                if (auto* s = qobject_cast<QSpinBox*>(w)) {
                    const int lo = int(std::lround(c->minimum)), hi = int(std::lround(c->maximum));
                    if (s->minimum() != lo || s->maximum() != hi) s->setRange(lo, hi), ++changes_;
                    const int v = int(std::lround(c->value));
                    if (s->value() != v) s->setValue(v), ++changes_;
                } else if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) {
                    if (d->minimum() != c->minimum || d->maximum() != c->maximum)
                        d->setRange(c->minimum, c->maximum), ++changes_;
                    if (d->value() != c->value) d->setValue(c->value), ++changes_;
                }
            } else if constexpr (std::is_same_v<T, DateTimeEdit>) {
                auto* e = qobject_cast<QDateTimeEdit*>(w);
                if (c->mode == DateTimeEdit::Mode::Time) {
                    const QTime t = ToQTime(c->value);
                    if (e->time() != t) e->setTime(t), ++changes_;
                } else {
                    const QDate d = ToQDate(c->value);
                    if (e->date() != d) e->setDate(d), ++changes_;
                }
            } else if constexpr (std::is_same_v<T, ComboBox>) {
                auto* box = qobject_cast<QComboBox*>(w);
                bool same = box->count() == qsizetype(c->items.size());
                for (int i = 0; same && i < box->count(); ++i)
                    same = box->itemText(i) == ToQString(c->items[std::size_t(i)]);
                if (!same) {
                    box->clear();
                    for (const std::string& item : c->items) box->addItem(ToQString(item));
                    ++changes_;
                }
                if (box->currentIndex() != c->itemIndex)
                    box->setCurrentIndex(c->itemIndex), ++changes_;
                auto& seen = focusRequests_[w];
                if (seen != c->focusRequests) {
                    seen = c->focusRequests;
                    box->setFocus();
                }
            } else if constexpr (std::is_same_v<T, RadioGroup>) {
                auto* g = qobject_cast<QGroupBox*>(w);
                if (g->title() != caption) g->setTitle(caption), ++changes_;
                SyncRadioGroup(*c, w);
            } else if constexpr (std::is_same_v<T, PageControl>) {
                auto* tabs = qobject_cast<QTabWidget*>(w);
                if (tabs->currentIndex() != c->activePage)
                    tabs->setCurrentIndex(c->activePage), ++changes_;
            } else if constexpr (std::is_same_v<T, ProgressBar>) {
                auto* bar = qobject_cast<QProgressBar*>(w);
                if (bar->maximum() != c->maximum) bar->setMaximum(c->maximum), ++changes_;
                if (bar->value() != c->position) bar->setValue(c->position), ++changes_;
            } else if constexpr (std::is_same_v<T, Shape>) {
                auto* s = qobject_cast<ShapeWidget*>(w);
                const QColor brush = ToQColor(c->brush), pen = ToQColor(c->pen);
                if (s->BrushColour() != brush || s->PenColour() != pen)
                    s->SetColours(brush, pen), ++changes_;
                const QString tip = c->showHint ? ToQString(c->hint) : QString();
                if (s->toolTip() != tip) s->setToolTip(tip), ++changes_;
            } else if constexpr (std::is_same_v<T, Chart>) {
                qobject_cast<ChartView*>(w)->Apply(*c);
            }
            if constexpr (std::is_same_v<T, Label>)
                SyncCommon(*c, w, c->autoSize);
            else
                SyncCommon(*c, w, false);
        },
        control);
}

void Binder::SyncRadioGroup(const RadioGroup& g, QWidget* w) {
    auto* buttons = w->findChild<QButtonGroup*>();
    auto* layout = qobject_cast<QVBoxLayout*>(w->layout());
    if (!buttons || !layout) return;
    std::vector<std::string>& shown = radioItems_[w];
    if (shown != g.items) {
        for (QAbstractButton* b : buttons->buttons()) {
            buttons->removeButton(b);
            delete b;
        }
        int id = 0;
        for (const std::string& item : g.items) {
            auto* b = new QRadioButton(Literal(item), w);
            buttons->addButton(b, id);
            layout->insertWidget(id, b);
            ++id;
        }
        shown = g.items;
        ++changes_;
    }
    const QSignalBlocker block(buttons);
    if (buttons->checkedId() != g.itemIndex) {
        if (QAbstractButton* b = buttons->button(g.itemIndex)) {
            b->setChecked(true);
        } else if (QAbstractButton* checked = buttons->checkedButton()) {
            buttons->setExclusive(false);
            checked->setChecked(false);
            buttons->setExclusive(true);
        }
        ++changes_;
    }
}

void Binder::SyncWindows() {
    WindowModel& m = controller_.MutableModel();
    const QString title = ToQString(m.window.title);
    if (window_.windowTitle() != title) window_.setWindowTitle(title), ++changes_;
    if (window_.size() != QSize(m.window.width, m.window.height)) {
        window_.setFixedSize(m.window.width, m.window.height);
        ++changes_;
    }
    if (window_.pos() != QPoint(m.window.left, m.window.top)) {
        window_.move(m.window.left, m.window.top);
        ++changes_;
    }
    if (ExplicitlyEnabled(&window_) != m.window.enabled) {
        window_.setEnabled(m.window.enabled);
        ++changes_;
    }
    if (mainFocusRequests_ != m.window.focusRequests) {
        mainFocusRequests_ = m.window.focusRequests;
        window_.activateWindow();
    }

    Window& d = m.Parameters.window;
    const QString dialogTitle = ToQString(d.title);
    if (dialog_.windowTitle() != dialogTitle) dialog_.setWindowTitle(dialogTitle), ++changes_;
    if (dialog_.size() != QSize(d.width, d.height)) {
        dialog_.setFixedSize(d.width, d.height);
        ++changes_;
    }
    if (dialog_.pos() != QPoint(d.left, d.top)) dialog_.move(d.left, d.top), ++changes_;
    if (ExplicitlyEnabled(&dialog_) != d.enabled) dialog_.setEnabled(d.enabled), ++changes_;
    if (dialog_.isVisible() != d.visible) {
        dialog_.setVisible(d.visible);
        ++changes_;
    }
    if (focusRequests_[&dialog_] != d.focusRequests) {
        focusRequests_[&dialog_] = d.focusRequests;
        if (d.visible) {
            dialog_.raise();
            dialog_.activateWindow();
        }
    }
}

void Binder::SyncMenu() {
    for (const MenuItemRef& item : controller_.MutableModel().MenuItems()) {
        auto it = actions_.find(item.name);
        if (it == actions_.end() || it->second->isSeparator()) continue;
        QAction* a = it->second;
        const QSignalBlocker block(a);
        const QString text = Literal(item.item->caption);
        if (a->text() != text) a->setText(text), ++changes_;
        if (a->isEnabled() != item.item->enabled) a->setEnabled(item.item->enabled), ++changes_;
        if (a->isChecked() != item.item->checked) a->setChecked(item.item->checked), ++changes_;
    }
}

}  // namespace qm

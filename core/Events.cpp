// Widget events by control name: clicks and value edits reach their handlers through one table.
#include <variant>

#include "core/Controller.h"

namespace qm {

void Controller::RegisterHandlers() {
    RegisterCoreHandlers();
    RegisterMeasureHandlers();
    RegisterModemHandlers();
    RegisterLanguageHandlers();
    RegisterCopyHandlers();
    RegisterLinkHandlers();
}

void Controller::RegisterCoreHandlers() {
    OnClick("bClock", &Controller::bClockClick);
    OnClick("bSynch", &Controller::bSynchClick);
    OnClick("bTest", &Controller::bTestClick);
    OnClick("pmBluetooth", &Controller::pmBluetoothClick);
}

bool Controller::HasClickHandler(std::string_view name) const {
    return clicks_.contains(name);
}

void Controller::RunChange(std::string_view name) {
    if (auto it = changes_.find(name); it != changes_.end()) (this->*(it->second))();
}

void Controller::Click(std::string_view name) {
    // Click handlers are entry points of their own (they run their Run wrapper).
    if (auto it = clicks_.find(name); it != clicks_.end()) (this->*(it->second))();
}

namespace {
template <typename T>
T* As(WindowModel& m, std::string_view name) {
    const auto p = m.Find(name);
    if (!p) return nullptr;
    T* const* c = std::get_if<T*>(&*p);
    return c ? *c : nullptr;
}
}  // namespace

void Controller::TextEdited(std::string_view name, const std::string& text) {
    Run([&] {
        if (EditBox* e = As<EditBox>(m_, name)) ChangeValue(name, e->text, text);
    });
}

void Controller::NumberEdited(std::string_view name, double value) {
    Run([&] {
        if (SpinEdit* e = As<SpinEdit>(m_, name)) ChangeValue(name, e->value, value);
    });
}

void Controller::DateTimeEdited(std::string_view name, DateTime value) {
    Run([&] {
        if (DateTimeEdit* e = As<DateTimeEdit>(m_, name)) ChangeValue(name, e->value, value);
    });
}

void Controller::Checked(std::string_view name, bool checked) {
    Run([&] {
        if (CheckBox* c = As<CheckBox>(m_, name)) ChangeValue(name, c->checked, checked);
    });
}

void Controller::Selected(std::string_view name, int index) {
    Run([&] {
        if (ComboBox* c = As<ComboBox>(m_, name)) {
            if (c->itemIndex == index) return;
            c->itemIndex = index;
            c->text = index >= 0 && index < static_cast<int>(c->items.size())
                          ? c->items[static_cast<std::size_t>(index)]
                          : std::string();
        } else if (RadioGroup* g = As<RadioGroup>(m_, name)) {
            if (g->itemIndex == index) return;
            g->itemIndex = index;
        } else {
            return;
        }
        RunChange(name);
    });
}

}  // namespace qm

// The controller's wiring: parts and their handlers, the timers, widget events by name, the
// language menu, and the start and close of the main window.
#include "core/Controller.h"

#include <variant>

#include "core/BatteryView.h"
#include "text/Captions.h"
#include "ui/model/WindowCaptions.h"

namespace qm {

Controller::Controller(PcClock& clock, OperatorServices& ops)
    : ops_(ops), work_(clock), ctx_(m_, session_, ops) {
    ctx_.runChange = [this](std::string_view name) { RunChange(name); };
    work_.SetAfterEachEvent([this] { AfterEachEvent(); });
    session_.Listen(problems_);
    session_.Listen(retryView_);
    session_.Listen(copyPresenter_);
    session_.Listen(portView_);
    session_.Listen(radioView_);
    session_.Listen(btView_);
    session_.Listen(readOutView_);
    session_.Listen(clockView_);
    session_.Listen(remarksPresenter_);
    session_.Listen(testPresenter_);
    session_.Listen(schedulePresenter_);
    session_.Listen(copyResult_);
    RegisterHandlers();
}

Controller::~Controller() {
    work_.SetAfterEachEvent({});
    for (SessionEvents* l : std::initializer_list<SessionEvents*>{
             &problems_, &retryView_, &copyPresenter_, &portView_, &radioView_, &btView_,
             &readOutView_, &clockView_, &remarksPresenter_, &testPresenter_, &schedulePresenter_,
             &copyResult_})
        session_.StopListening(*l);
}

void Controller::RegisterHandlers() {
    Handlers& h = handlers_;
    clockView_.Register(h);
    testPresenter_.Register(h);
    portView_.Register(h);
    schedulePresenter_.Register(h);
    calibrationView_.Register(h, test_.Readings());
    remarksPresenter_.Register(h);
    btView_.Register(h);
    radioView_.Register(h);
    h.OnClick("pmRus", [this] { SetLanguage(Language::Russian); });
    h.OnClick("pmEng", [this] { SetLanguage(Language::English); });
    copyPresenter_.Register(h);
    h.OnClick("bSetPort", [this] { bSetPortClick(); });
}

void Controller::SetUpFolders(const std::filesystem::path& startFolder) {
    btView_.SetStartFolder(startFolder);
    work_.SetUpFolders(startFolder);
}

void Controller::FormCreate(int screenWidth, int screenHeight) {
    Run([&] {
        m_.screenWidth = screenWidth;
        m_.screenHeight = screenHeight;
        m_.window.top = 8;
        m_.window.left = 8;
        m_.window.width = 370;
        m_.window.height = screenHeight - 60;
        m_.Chart1.geometry = {250, 10, m_.window.width - 250, m_.window.height - 100};
        m_.Chart1.visible = false;
        testPresenter_.ResetChart();
        work_.Start();
        m_.GroupBox4.geometry.top = 10;
        m_.GroupBox4.geometry.left = 100;
        m_.GroupBox4.visible = false;
        m_.PageControl1.activePage = 0;
        m_.DateData.value = ctx_.clock.Now().DatePart();
        m_.pComment.geometry.top = m_.GroupBox2.geometry.top;
        m_.pComment.geometry.left = m_.GroupBox2.geometry.left;
        m_.Label7.caption = "ver 5.1";
    });
}

void Controller::FormClose() {
    // The operator's boxes choose: through the Bluetooth modem, else over an open serial port.
    work_.Close(m_.CheckBox2.checked, m_.CheckBox3.checked);
}

void Controller::OnTimer(WindowTimerId id) {
    Run([&] {
        switch (id) {
            case WindowTimerId::SysTimer:
                readOutView_.SysTimerTimer();
                break;
            case WindowTimerId::TimerBar:
                readOutView_.TimerBarTimer();
                break;
        }
    });
}

void Controller::bClockClick() {
    Run([&] { clockView_.bClockClick(); });
}
void Controller::bSynchClick() {
    Run([&] { clockView_.bSynchClick(); });
}
void Controller::bTestClick() {
    Run([&] { test_.Measure(); });
}
void Controller::pmBluetoothClick() {
    Click("pmBluetooth");
}
void Controller::LoadBluetoothDeviceList() {
    btView_.LoadBluetoothDeviceList();
}
void Controller::Button6Click() {
    Run([&] { btView_.Button6Click(); });
}
void Controller::bRStartClick() {
    Run([&] { radioView_.bRStartClick(); });
}
void Controller::pmRusClick() {
    Click("pmRus");
}
void Controller::pmEngClick() {
    Click("pmEng");
}

// The language in force is the check mark of pmEng; both items set both marks themselves (they
// are not a radio group), then assign their captions.
void Controller::SetLanguage(Language language) {
    work_.SetLanguage(language);
    m_.pmEng.checked = language == Language::English;
    m_.pmRus.checked = language == Language::Russian;
    ApplyCaptions(m_, language);
    if (const auto volts = sequence_.BatteryVolts(); volts && m_.GroupBox3.visible)
        ShowBattery(m_, *volts, language);
    radioView_.ShowCaptions();
    copyPresenter_.ShowProgress();
    copyResult_.Show();
}

Language Controller::CurrentLanguage() const {
    return SelectedLanguage(m_);
}

void Controller::ChooseLanguage(Language language) {
    Click(language == Language::English ? "pmEng" : "pmRus");
}

bool Controller::HasClickHandler(std::string_view name) const {
    return handlers_.Click(name) != nullptr;
}

void Controller::RunChange(std::string_view name) {
    if (const Handlers::Fn* f = handlers_.Change(name)) (*f)();
}

bool Controller::SendsRequest(std::string_view name) {
    // The day copy's "select" sends nothing yet, but locks the window for a copy: armed while a
    // listing runs, it would be left locked when that listing replaces the data group.
    for (std::string_view n : {"bAllData", "bNewData", "bSelect", "bCopy", "bTest", "bClock",
                               "bSynch", "bDelete", "bRemark", "bCalibr", "Parameters.Button1"})
        if (n == name) return true;
    return false;
}

void Controller::Click(std::string_view name) {
    const Handlers::Fn* f = handlers_.Click(name);
    if (!f) return;
    if (x_.Outstanding && SendsRequest(name)) {
        deferredClick_ = std::string(name);
        return;
    }
    Run(*f);
}

void Controller::AfterEachEvent() {
    RunDeferredClick();
    if (changed_) changed_();
}

void Controller::RunDeferredClick() {
    if (deferredClick_.empty() || x_.Outstanding) return;
    const std::string name = std::move(deferredClick_);
    deferredClick_.clear();
    Click(name);
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
        if (EditBox* e = As<EditBox>(m_, name)) ctx_.ChangeValue(name, e->text, text);
    });
}

void Controller::NumberEdited(std::string_view name, double value) {
    Run([&] {
        if (SpinEdit* e = As<SpinEdit>(m_, name)) ctx_.ChangeValue(name, e->value, value);
    });
}

void Controller::DateTimeEdited(std::string_view name, DateTime value) {
    Run([&] {
        if (DateTimeEdit* e = As<DateTimeEdit>(m_, name)) ctx_.ChangeValue(name, e->value, value);
    });
}

void Controller::Checked(std::string_view name, bool checked) {
    Run([&] {
        if (CheckBox* c = As<CheckBox>(m_, name)) ctx_.ChangeValue(name, c->checked, checked);
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

#include "ui/model/WindowModel.h"

#include "text/Captions.h"

namespace qm {
namespace {

template <typename C>
void Design(C& c, const char* caption, Rect r, bool visible) {
    c.caption = caption;
    c.geometry = r;
    c.visible = visible;
}

void Place(Control& c, Rect r) {
    c.geometry = r;
}

}  // namespace

// One row for every timer, in the order of their ids.
constexpr bool EveryTimerInItsRow() {
    for (std::size_t i = 0; i < std::size(kTimers); ++i)
        if (static_cast<std::size_t>(kTimers[i].id) != i) return false;
    return std::size(kTimers) == static_cast<std::size_t>(WindowTimerId::TimerBar) + 1;
}
static_assert(EveryTimerInItsRow());

const char* TimerName(WindowTimerId id) {
    for (const TimerRow& row : kTimers)
        if (row.id == id) return row.name;
    return "";
}

Timer& WindowModel::TimerById(WindowTimerId id) {
    for (const TimerRow& row : kTimers)
        if (row.id == id) return this->*row.timer;
    return SysTimer;
}

ParametersModel::ParametersModel() {
    window.title = "Параметры измерения";
    window.width = 332;
    window.height = 272;
    window.visible = false;
    Design(Label1, "Текущее время:", {40, 40, 0, 0}, true);
    Design(Label4, "", {150, 40, 0, 0}, true);
    Design(Label7, "", {232, 40, 0, 0}, true);
    Design(Label2, "Начало:", {40, 64, 0, 0}, true);
    Design(Label5, "", {150, 64, 0, 0}, true);
    Design(Label8, "", {232, 64, 0, 0}, true);
    Design(Label3, "Окончание:", {40, 88, 0, 0}, true);
    Design(Label6, "", {150, 88, 0, 0}, true);
    Design(Label9, "", {232, 88, 0, 0}, true);
    Design(Label12, "Интевал:", {40, 112, 0, 0}, true);
    Design(Label13, "дни:", {120, 112, 0, 0}, true);
    Design(Label16, "", {184, 112, 0, 0}, true);
    Design(Label14, "часы:", {120, 132, 0, 0}, true);
    Design(Label17, "", {184, 132, 0, 0}, true);
    Design(Label15, "минуты:", {120, 152, 0, 0}, true);
    Design(Label18, "", {184, 152, 0, 0}, true);
    Design(Label10, "Количество измерений:", {40, 184, 0, 0}, true);
    Design(Label11, "", {224, 184, 0, 0}, true);
    Design(Button1, "OK", {56, 216, 75, 25}, true);
    Design(Button2, "Отмена", {168, 216, 75, 25}, true);
    for (Label* value : {&Label4, &Label7, &Label5, &Label8, &Label6, &Label9, &Label16, &Label17,
                         &Label18, &Label11})
        value->fontColour = Colour::Navy;
}

WindowModel::WindowModel() {
    window.title = "=";

    Design(Label7, "ver 5.2", {8, 8, 39, 13}, true);
    Design(bSynch, "Синхронизация", {72, 24, 120, 25}, false);
    Design(bClock, "Текущее время", {72, 56, 120, 25}, false);
    Design(Label2, "", {64, 96, 45, 13}, false);
    Label2.fontColour = Colour::Navy;
    Design(GroupBox3, " Батарея ", {192, 96, 76, 33}, false);
    Design(Shape1, "", {8, 14, 60, 14}, true);

    Design(GroupBox2, " Измерение ", {8, 136, 249, 201}, false);
    Place(PageControl1, {8, 18, 233, 143});
    Design(TabSheet1, "Начало", {}, true);
    Design(TabSheet2, "Окончание", {}, true);
    Design(TabSheet3, "Интервал", {}, true);
    Place(TimeStart, {8, 12, 97, 22});
    Place(DateStart, {112, 12, 105, 22});
    Design(bCurrent1, "Установить текущие время и дату", {8, 52, 209, 25}, true);
    Place(TimeStop, {8, 12, 97, 22});
    Place(DateStop, {112, 12, 105, 22});
    Design(bCurrent2, "Установить текущие время и дату", {8, 52, 209, 25}, true);
    Design(Label3, "Сутки:", {16, 14, 70, 13}, true);
    Design(Label4, "Часы:", {16, 44, 70, 13}, true);
    Design(Label5, "Минуты:", {16, 74, 70, 13}, true);
    for (Label* unit : {&Label3, &Label4, &Label5}) unit->autoSize = false;
    Place(DayEdit, {96, 10, 65, 22});
    Place(HourEdit, {96, 40, 65, 22});
    Place(MinEdit, {96, 70, 65, 22});
    TimeStart.mode = DateTimeEdit::Mode::Time;
    TimeStop.mode = DateTimeEdit::Mode::Time;
    DayEdit.maximum = 100;
    HourEdit.maximum = 23;
    MinEdit.maximum = 59;
    Design(bSet, "Установка", {64, 168, 120, 25}, true);
    bSet.enabled = false;

    Design(bTest, "Тест - измерение", {72, 352, 120, 25}, false);
    Design(ProgressBar1, "", {56, 384, 150, 10}, false);
    Design(Label6, "Двнных нет.", {102, 392, 75, 13}, false);

    Design(GroupBox1, " Данные ", {50, 408, 177, 257}, false);
    Place(ComboBox1, {8, 22, 161, 22});
    Design(bAllData, "Копировать", {8, 56, 77, 25}, true);
    Design(bNewData, "Новые", {92, 56, 77, 25}, true);
    Design(bSelect, "Выбрать", {8, 90, 77, 25}, true);
    Design(bDelete, "Удалить", {92, 90, 77, 25}, true);
    Design(bCopy, "Копировать", {8, 160, 77, 25}, false);
    Design(bCancel, "Отмена", {92, 160, 77, 25}, false);
    Design(DateData, "", {8, 128, 161, 22}, false);
    Design(lMeasureCounter, "", {8, 200, 161, 13}, false);
    lMeasureCounter.autoSize = false;
    lMeasureCounter.fontColour = Colour::Red;
    Design(bStop, "Стоп", {92, 160, 77, 25}, false);
    Design(lProgress, "", {8, 670, 354, 30}, false);
    lProgress.autoSize = false;
    lProgress.fontColour = Colour::Navy;
    Design(lCopyResult, "", {8, 670, 354, 60}, false);
    lCopyResult.autoSize = false;
    lCopyResult.fontColour = Colour::Navy;

    Design(pComment, " Комментарий к измерению ", {8, 136, 249, 169}, false);
    Place(pRemark1, {8, 28, 233, 22});
    Place(pRemark2, {8, 60, 233, 22});
    pRemark1.text = "12345678901234567890";
    pRemark2.text = "12345678901234567890";
    Design(bRemark, "Установка", {64, 104, 120, 25}, true);

    // The chart is placed when the window is created, from the window's size.
    Design(Chart1, "", {}, false);
    Design(lRetry, "", {56, 396, 190, 13}, false);
    lRetry.fontColour = Colour::Red;

    Design(CalibrBox, " Калибровка ", {272, 16, 169, 129}, false);
    Design(Label1, "T_check:", {8, 26, 64, 13}, true);
    Label1.autoSize = false;
    Place(Edit1, {76, 22, 85, 22});
    Design(bCalibr, "Запись", {40, 56, 89, 25}, true);
    bCalibr.enabled = false;
    Design(CheckBox1, "Исходные данные", {8, 96, 153, 19}, true);

    Design(gbR_Modem, " R-модем ", {496, 88, 241, 137}, true);
    Design(cbRAddress, "R-адрес не установлен", {8, 22, 225, 19}, true);
    cbRAddress.checked = true;
    Design(eRAddress, "", {8, 46, 81, 22}, false);
    eRAddress.text = "255";
    Place(cbR_Modem, {8, 76, 161, 22});
    cbR_Modem.items = {"Однократный", "Ежесекундный", "Программный"};
    Design(bRStart, "Старт", {8, 104, 81, 25}, true);

    Design(BTmodem, "BT-окружение", {416, 208, 305, 353}, false);
    Design(RadioGroup1, " BT-приборы ", {8, 20, 289, 249}, true);
    Design(Button6, "Установить связь", {8, 280, 145, 25}, true);
    Button6.enabled = false;
    Design(Label10, "", {8, 314, 289, 13}, false);
    Design(Label9, "", {8, 332, 289, 13}, false);
    Label10.autoSize = false;
    Label9.autoSize = false;
    Label9.fontColour = Colour::Maroon;
    Design(CheckBox2, "PowerDown", {176, 284, 121, 19}, true);
    CheckBox2.checked = true;

    Design(GroupBox4, " Bluetooth ", {100, 10, 153, 153}, false);
    Design(Label8, "Com-порт:", {8, 26, 70, 13}, true);
    Label8.autoSize = false;
    Place(SpinEdit1, {80, 22, 65, 22});
    Place(portDevice, {8, 50, 137, 22});
    SpinEdit1.minimum = 1;
    SpinEdit1.maximum = 100;
    SpinEdit1.value = 1;
    Design(bSetPort, "Установка", {8, 80, 137, 25}, true);
    Design(CheckBox3, "PowerDown", {8, 114, 137, 19}, true);
    CheckBox3.checked = true;

    pmBluetooth.caption = "Bluetooth";
    N1.caption = "-";
    pmRus.caption = "Rus";
    pmRus.checked = true;
    pmEng.caption = "Eng";
    pmCalibration.caption = "Калибровка";
    pmDataOnDisk.caption = DataOnDiskCaption(Language::Russian);

    for (const TimerRow& row : kTimers)
        if (row.intervalMs > 0) (this->*row.timer).interval = row.intervalMs;
}

std::vector<ControlRef> WindowModel::Controls() {
    return {
        {"Label7", &Label7},
        {"bSynch", &bSynch},
        {"bClock", &bClock},
        {"Label2", &Label2},
        {"GroupBox3", &GroupBox3},
        {"Shape1", &Shape1},
        {"GroupBox2", &GroupBox2},
        {"PageControl1", &PageControl1},
        {"TabSheet1", &TabSheet1},
        {"TabSheet2", &TabSheet2},
        {"TabSheet3", &TabSheet3},
        {"bCurrent1", &bCurrent1},
        {"bCurrent2", &bCurrent2},
        {"TimeStart", &TimeStart},
        {"DateStart", &DateStart},
        {"TimeStop", &TimeStop},
        {"DateStop", &DateStop},
        {"DayEdit", &DayEdit},
        {"HourEdit", &HourEdit},
        {"MinEdit", &MinEdit},
        {"Label3", &Label3},
        {"Label4", &Label4},
        {"Label5", &Label5},
        {"bSet", &bSet},
        {"bTest", &bTest},
        {"ProgressBar1", &ProgressBar1},
        {"Label6", &Label6},
        {"GroupBox1", &GroupBox1},
        {"ComboBox1", &ComboBox1},
        {"bAllData", &bAllData},
        {"bNewData", &bNewData},
        {"bSelect", &bSelect},
        {"bDelete", &bDelete},
        {"bCopy", &bCopy},
        {"bCancel", &bCancel},
        {"DateData", &DateData},
        {"lMeasureCounter", &lMeasureCounter},
        {"bStop", &bStop},
        {"lProgress", &lProgress},
        {"lCopyResult", &lCopyResult},
        {"pComment", &pComment},
        {"pRemark1", &pRemark1},
        {"pRemark2", &pRemark2},
        {"bRemark", &bRemark},
        {"Chart1", &Chart1},
        {"CalibrBox", &CalibrBox},
        {"Label1", &Label1},
        {"Edit1", &Edit1},
        {"bCalibr", &bCalibr},
        {"CheckBox1", &CheckBox1},
        {"gbR_Modem", &gbR_Modem},
        {"cbRAddress", &cbRAddress},
        {"eRAddress", &eRAddress},
        {"cbR_Modem", &cbR_Modem},
        {"bRStart", &bRStart},
        {"BTmodem", &BTmodem},
        {"RadioGroup1", &RadioGroup1},
        {"Button6", &Button6},
        {"Label10", &Label10},
        {"Label9", &Label9},
        {"CheckBox2", &CheckBox2},
        {"GroupBox4", &GroupBox4},
        {"Label8", &Label8},
        {"SpinEdit1", &SpinEdit1},
        {"portDevice", &portDevice},
        {"bSetPort", &bSetPort},
        {"CheckBox3", &CheckBox3},
        {"lRetry", &lRetry},
    };
}

std::vector<ControlRef> ParametersModel::Controls() {
    return {
        {"Label1", &Label1},   {"Label2", &Label2},   {"Label3", &Label3},   {"Label4", &Label4},
        {"Label5", &Label5},   {"Label6", &Label6},   {"Label7", &Label7},   {"Label8", &Label8},
        {"Label9", &Label9},   {"Label10", &Label10}, {"Label11", &Label11}, {"Label12", &Label12},
        {"Label13", &Label13}, {"Label14", &Label14}, {"Label15", &Label15}, {"Label16", &Label16},
        {"Label17", &Label17}, {"Label18", &Label18}, {"Button1", &Button1}, {"Button2", &Button2},
    };
}

std::vector<MenuItemRef> WindowModel::MenuItems() {
    return {{"pmBluetooth", &pmBluetooth},
            {"N1", &N1},
            {"pmRus", &pmRus},
            {"pmEng", &pmEng},
            {"pmCalibration", &pmCalibration},
            {"pmDataOnDisk", &pmDataOnDisk}};
}

std::optional<ControlPtr> WindowModel::Find(std::string_view name) {
    for (const ControlRef& r : Controls())
        if (r.name == name) return r.control;
    return std::nullopt;
}

Control& BaseOf(const ControlPtr& p) {
    return std::visit([](auto* c) -> Control& { return *c; }, p);
}

}  // namespace qm

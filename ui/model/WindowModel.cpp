#include "ui/model/WindowModel.h"

#include "ui/model/Captions.h"

namespace qm {
namespace {

template <typename C>
void Design(C& c, const char* caption, Rect r, bool visible) {
    c.caption = caption;
    c.geometry = r;
    c.visible = visible;
}

}  // namespace

const char* TimerName(TimerId id) {
    switch (id) {
        case TimerId::StartTimer:
            return "StartTimer";
        case TimerId::SysTimer:
            return "SysTimer";
        case TimerId::TimerBar:
            return "TimerBar";
        case TimerId::Timer1:
            return "Timer1";
        case TimerId::Timer2:
            return "Timer2";
        case TimerId::Timer3:
            return "Timer3";
        case TimerId::Timer4:
            return "Timer4";
        case TimerId::BTtimer:
            return "BTtimer";
        case TimerId::ReplyTimer:
            return "ReplyTimer";
    }
    return "";
}

Timer& WindowModel::TimerById(TimerId id) {
    switch (id) {
        case TimerId::StartTimer:
            return StartTimer;
        case TimerId::SysTimer:
            return SysTimer;
        case TimerId::TimerBar:
            return TimerBar;
        case TimerId::Timer1:
            return Timer1;
        case TimerId::Timer2:
            return Timer2;
        case TimerId::Timer3:
            return Timer3;
        case TimerId::Timer4:
            return Timer4;
        case TimerId::BTtimer:
            return BTtimer;
        case TimerId::ReplyTimer:
            return ReplyTimer;
    }
    return StartTimer;
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
    Design(TabSheet1, "Начало", {}, true);
    Design(TabSheet2, "Окончание", {}, true);
    Design(TabSheet3, "Интервал", {}, true);
    Design(bCurrent1, "Установить текущие время и дату", {}, true);
    Design(bCurrent2, "Установить текущие время и дату", {}, true);
    Design(Label3, "Сутки:", {}, true);
    Design(Label4, "Часы:", {}, true);
    Design(Label5, "Минуты:", {}, true);
    TimeStart.mode = DateTimeEdit::Mode::Time;
    TimeStop.mode = DateTimeEdit::Mode::Time;
    DayEdit.maximum = 100;
    HourEdit.maximum = 23;
    MinEdit.maximum = 59;
    Design(bSet, "Установка", {}, true);
    bSet.enabled = false;

    Design(bTest, "Тест - измерение", {72, 352, 120, 25}, false);
    Design(ProgressBar1, "", {56, 384, 150, 10}, false);
    Design(Label6, "Двнных нет.", {102, 392, 75, 13}, false);

    Design(GroupBox1, " Данные ", {50, 408, 177, 257}, false);
    Design(bAllData, "Копировать", {}, true);
    Design(bNewData, "Новые", {}, true);
    Design(bSelect, "Выбрать", {}, true);
    Design(bDelete, "Удалить", {}, true);
    Design(bCopy, "Копировать", {}, false);
    Design(bCancel, "Отмена", {}, false);
    Design(DateData, "", {}, false);
    Design(lMeasureCounter, "", {}, false);
    lMeasureCounter.fontColour = Colour::Red;

    Design(pComment, " Комментарий к измерению ", {8, 136, 249, 169}, false);
    pRemark1.text = "12345678901234567890";
    pRemark2.text = "12345678901234567890";
    Design(bRemark, "Установка", {}, true);

    Design(Chart1, "", {}, false);
    Design(lRetry, "", {56, 396, 190, 13}, false);
    lRetry.fontColour = Colour::Red;

    Design(CalibrBox, " Калибровка ", {272, 16, 169, 129}, false);
    Design(Label1, "T_check:", {}, true);
    Design(bCalibr, "Запись", {}, true);
    bCalibr.enabled = false;
    Design(CheckBox1, "Исходные данные", {}, true);

    Design(gbR_Modem, " R-модем ", {496, 88, 241, 137}, true);
    Design(cbRAddress, "R-адрес не установлен", {}, true);
    cbRAddress.checked = true;
    eRAddress.text = "255";
    eRAddress.visible = false;
    cbR_Modem.items = {"Однократный", "Ежесекундный", "Программный"};
    Design(bRStart, "Старт", {}, true);

    Design(BTmodem, "BT-окружение", {416, 208, 305, 353}, false);
    Design(RadioGroup1, " BT-приборы ", {}, true);
    Design(Button6, "Установить связь", {}, true);
    Button6.enabled = false;
    Design(Label10, "", {}, false);
    Design(Label9, "", {}, false);
    Label9.fontColour = Colour::Maroon;
    Design(CheckBox2, "PowerDown", {}, true);
    CheckBox2.checked = true;

    Design(GroupBox4, " Bluetooth ", {100, 10, 153, 153}, false);
    Design(Label8, "Com-порт:", {}, true);
    SpinEdit1.minimum = 1;
    SpinEdit1.maximum = 100;
    SpinEdit1.value = 1;
    Design(bSetPort, "Установка", {}, true);
    Design(CheckBox3, "PowerDown", {}, true);
    CheckBox3.checked = true;

    pmBluetooth.caption = "Bluetooth";
    N1.caption = "-";
    pmRus.caption = "Rus";
    pmRus.checked = true;
    pmEng.caption = "Eng";
    pmCalibration.caption = "Калибровка";
    pmDataOnDisk.caption = DataOnDiskCaption(false);

    StartTimer.interval = 300;
    SysTimer.interval = 100;
    TimerBar.interval = 100;
    Timer3.interval = 1000;
    Timer2.interval = 1000;
    BTtimer.interval = 1000;
    Timer1.interval = 15000;
    Timer4.interval = 1000;
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

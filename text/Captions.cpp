#include "text/Captions.h"

namespace qm {

namespace {
constexpr auto MW = CaptionOwner::MainWindow;
constexpr auto PD = CaptionOwner::ParametersDialog;
}  // namespace

// Texts exactly as the window shows them, blanks included. "Tect" in row 11 is written in Latin
// letters, and rows 12, 18, 20, 22, 26 to 29, 35 to 37 and 39 differ from the design captions;
// both are how the program has always shown them.
const std::array<CaptionRow, 40> kCaptionTable = {{
    {MW, "bSynch", "Синхронизация", "Synchronizing"},
    {MW, "bClock", "Текущее время", "Current time"},
    {MW, "GroupBox2", " Измерение ", " Measurement "},
    {MW, "pComment", " Комментарий к измерению ", " Mesurement remark "},
    {MW, "TabSheet1", "Начало", "Start"},
    {MW, "TabSheet2", "Окончание", "Finish"},
    {MW, "TabSheet3", "Интервал", "Interval"},
    {MW, "bCurrent1", "Установить текущие время и дату", "Set current date&time"},
    {MW, "bCurrent2", "Установить текущие время и дату", "Set current date&time"},
    {MW, "bSet", "Установка", "Set"},
    {MW, "bTest", "Tect - измерение", "Test measurement"},
    {MW, "Label6", "Данных нет", "No data"},
    {MW, "GroupBox1", " Данные ", " Data "},
    {MW, "bAllData", "Копировать", "Copy"},
    {MW, "bNewData", "Новые", "New"},
    {MW, "bSelect", "Выбрать", "Select"},
    {MW, "bCancel", "Отмена", "Cancel"},
    {MW, "bDelete", "УдалитьErase", "Erase"},
    {MW, "bCopy", "Копировать", "Copy"},
    {MW, "Label8", "Com-порт", "Com-port"},
    {MW, "bSetPort", "Установка", "Set port"},
    {MW, "BTmodem", " BT-окружение ", "BT-surrounding"},
    {MW, "RadioGroup1", " BT-приборы ", "BT-devices"},
    {MW, "Button6", "Установить связь", "Dial"},
    {PD, kParametersTitle, "Параметры измерения", "Measure parameters"},
    {PD, "Label1", "Текущее время;", "Current time"},
    {PD, "Label2", "Начадо", "Start:"},
    {PD, "Label3", "Окончание", "Finish:"},
    {PD, "Label12", "Интервал:", "Interval:"},
    {PD, "Label13", "дни:", "days:"},
    {PD, "Label14", "часы:", "hours:"},
    {PD, "Label15", "минуты:", "minutes:"},
    {PD, "Label10", "Количество измерений:", "Total measurements:"},
    {PD, "Button2", "Отмена", "Cancel"},
    {MW, "Label3", "сутки:", "days:"},
    {MW, "Label4", "часы:", "hours:"},
    {MW, "Label5", "минуты:", "minutes:"},
    {MW, "GroupBox3", " Батарея ", " Battery "},
    {MW, "bRemark", "Установить", "Set"},
    {MW, "bStop", "Стоп", "Stop"},
}};

std::string_view MeasurementsCaption(Language language) {
    return language == Language::English ? "Measurements: " : "Измерений: ";
}

std::string_view NoDataCaption(Language language) {
    return language == Language::English ? "No data" : "Нет данных";
}

std::string_view DataOnDiskCaption(Language language) {
    return language == Language::English ? "Data on disk" : "Данные на диске";
}

std::string_view DeleteConfirmationText(Language language) {
    return language == Language::English ? "Are You sure?" : "Вы уверены?";
}

}  // namespace qm

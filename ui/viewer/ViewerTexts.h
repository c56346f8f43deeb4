#pragma once

#include <string_view>

namespace qm {

// Texts of the data viewer, in Russian and English; the main window's language picks one.
enum class ViewerText {
    Title,
    Folder,
    Browse,
    Sensors,
    Sensor,
    SensorNumber,  // "%1": the number
    Time,
    Unit,
    Summary,  // "%1" measurements, "%2" sensors, "%3" first and "%4" last time
    NoData,
    Issues,  // "%1" lines
    ProfileHint,
    ExportCsv,
    ExportXlsx,
    Error,
    Exported,  // "%1" the file
};

constexpr std::string_view Text(ViewerText id, bool english) {
    switch (id) {
        case ViewerText::Title:
            return english ? "Data on disk" : "Данные на диске";
        case ViewerText::Folder:
            return english ? "Folder:" : "Папка:";
        case ViewerText::Browse:
            return english ? "Browse…" : "Обзор…";
        case ViewerText::Sensors:
            return english ? "Sensors" : "Датчики";
        case ViewerText::Sensor:
            return english ? "Sensor" : "Датчик";
        case ViewerText::SensorNumber:
            return english ? "Sensor %1" : "Датчик %1";
        case ViewerText::Time:
            return english ? "Time" : "Время";
        case ViewerText::Unit:
            return "°C";
        case ViewerText::Summary:
            return english ? "Measurements: %1, sensors: %2, %3 – %4"
                           : "Измерений: %1, датчиков: %2, %3 – %4";
        case ViewerText::NoData:
            return english ? "No data" : "Нет данных";
        case ViewerText::Issues:
            return english ? "Lines skipped or damaged: %1" : "Пропущено или повреждено строк: %1";
        case ViewerText::ProfileHint:
            return english ? "Profile: click the map" : "Профиль: щёлкните по карте";
        case ViewerText::ExportCsv:
            return english ? "Export CSV…" : "Экспорт CSV…";
        case ViewerText::ExportXlsx:
            return english ? "Export XLSX…" : "Экспорт XLSX…";
        case ViewerText::Error:
            return english ? "Error" : "Ошибка";
        case ViewerText::Exported:
            return english ? "Written: %1" : "Записан: %1";
    }
    return {};
}

}  // namespace qm

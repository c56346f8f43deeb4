#include "text/Messages.h"

#include <cerrno>

namespace qm {

namespace {
using M = Msg;
}

// Russian quotes names with «», English with "". Names of files the program itself reads
// (Device.txt, Temp.bin) and of the system's pieces (udev, hidraw, README) stay as they are.
const std::array<MessageRow, kMessageCount> kMessageTable = {{
    {M::SerialAdapterNoLogger,
     "На последовательном порту {1} не ответил ни один логгер: устройство на нём называет себя "
     "USB-модемом.",
     "No logger answered on the serial port {1}: the device there reports itself as a USB modem "
     "adapter."},
    {M::PortOpenFailed,
     "Не удалось открыть последовательный порт {1}: {2}. Выберите другой порт и снова нажмите "
     "«{3}».",
     "Cannot open the serial port {1}: {2}. Choose another port and press \"{3}\" again."},
    {M::PortLost,
     "Связь через последовательный порт {1} потеряна: устройство на другом конце отключилось. "
     "Выберите порт и нажмите «{2}», чтобы подключиться снова.",
     "The connection through the serial port {1} is lost: the device at the far end went away. "
     "Choose a port and press \"{2}\" to connect again."},
    {M::CopyResultDone, "Скопировано файлов: {1}, измерений: {2}\nза {3}, повторов: {4}",
     "Copied {1} files, {2} measurements\nin {3}, {4} retries"},
    {M::CopyResultStopped,
     "Остановлено. Сохранено файлов: {1}, измерений: {2}\nза {3}, повторов: {4}",
     "Stopped. Kept {1} files, {2} measurements\nin {3}, {4} retries"},
    {M::CopyResultFailed, "Прервано. Сохранено файлов: {1}, измерений: {2}\nза {3}, повторов: {4}",
     "Broken off. Kept {1} files, {2} measurements\nin {3}, {4} retries"},
    {M::CopyResultDropped, "незаконченный файл «{1}» не сохранён",
     "the unfinished file \"{1}\" was not kept"},
    {M::CopyResultFilesLeft, "не скопировано файлов: {1}", "{1} files not copied"},
    {M::CollectionLogNotWritten,
     "Данные скопированы, но запись о копировании в журнал не внесена: {1}",
     "The data were copied, but the copy could not be recorded in the collection log: {1}"},
    {M::PortOpenFailedNoWindow, "Не удалось открыть последовательный порт {1}: {2}.",
     "Cannot open the serial port {1}: {2}."},
    {M::PortLostNoWindow,
     "Связь через последовательный порт {1} потеряна: устройство на другом конце отключилось.",
     "The connection through the serial port {1} is lost: the device at the far end went away."},
    {M::HidNoReadWrite,
     "Логгер найден ({1}), но открыть его для чтения и записи не удалось. В Linux у пользователя "
     "должен быть доступ к этому устройству hidraw: добавьте правило udev из README, затем "
     "отключите и снова подключите логгер. Иначе устройство занято другой программой: закройте "
     "её и снова подключите логгер.",
     "The logger was found ({1}) but cannot be opened for reading and writing. On Linux the user "
     "needs access to this hidraw device: add the udev rule of the README, then unplug the "
     "logger and plug it in again. Otherwise another program holds the device: close it and "
     "plug the logger in again."},
    {M::SerialErrorSuffix, " (ошибка {1})", " (Error: {1})"},
    {M::SerialOpen, "Не удалось открыть COM-порт", "Unable to open com port"},
    {M::SerialWrite, "Не удалось записать в порт", "WriteFile function failed"},
    {M::SerialRead, "Не удалось прочитать из порта", "ReadFile function failed"},
    {M::SerialPurge, "Не удалось очистить очереди порта", "PurgeComm function failed"},
    {M::SerialSetState, "Не удалось задать параметры линии", "SetCommState function failed"},
    {M::SerialSetTimeouts, "Не удалось задать тайм-ауты порта", "SetCommTimeouts failed"},
    {M::SerialSetupQueues, "Не удалось задать размеры очередей порта", "SetupComm function failed"},
    {M::SerialCountBytes, "Не удалось узнать число принятых байтов",
     "ClearCommError function failed"},
    {M::SerialNotOpen, "Порт не открыт", "Port Not Open"},
    {M::RadioStop, "Стоп", "Stop"},

    {M::DirectoryTooLong, "Имя папки «{1}» слишком длинное, чтобы передать его логгеру.",
     "The directory name \"{1}\" is too long to be sent to the logger."},
    {M::DirectoryTooLongNotDeleted,
     "Имя папки «{1}» слишком длинное, чтобы передать его логгеру; ничего не удалено.",
     "The directory name \"{1}\" is too long to be sent to the logger; nothing was deleted."},
    {M::DirectoryTooLongNotCopied,
     "Имя папки «{1}» слишком длинное, чтобы передать его логгеру; ничего не скопировано.",
     "The directory name \"{1}\" is too long to be sent to the logger; nothing was copied."},
    {M::FolderNameRefused,
     "Имя папки «{1}», полученное от логгера, нельзя сделать именем локальной папки ({2}); "
     "ничего не скопировано.",
     "The directory name \"{1}\" from the logger cannot be used as a local folder name ({2}); "
     "nothing was copied."},
    {M::ResumeFileGone,
     "Файла «{1}», на котором закончилось прошлое копирование, на логгере больше нет. "
     "Копируются все файлы папки «{2}».",
     "The file \"{1}\", where the last copy ended, is no longer on the logger. All files of "
     "\"{2}\" are copied."},
    {M::ResumeTooManyLines,
     "В локальной копии «{1}» больше строк ({2}), чем логгер может пропустить по запросу. Файл "
     "копируется целиком.",
     "The local copy of \"{1}\" holds {2} lines, more than the logger can be asked to skip. The "
     "file is copied whole."},
    {M::FileNameRefused,
     "Имя файла «{1}» из папки «{2}» логгера нельзя сделать именем локального файла ({3}); файл "
     "пропущен.",
     "The file name \"{1}\" listed by the logger in \"{2}\" cannot be used as a local file name "
     "({3}); the file is skipped."},
    {M::PathTooLongSkipped,
     "Путь «{1}» слишком длинный, чтобы передать его логгеру; файл пропущен.",
     "The path \"{1}\" is too long to be sent to the logger; the file is skipped."},
    {M::PathTooLongForResume,
     "Путь «{1}» слишком длинный для запроса продолжения; файл копируется целиком.",
     "The path \"{1}\" is too long for a resume request; the file is copied whole."},
    {M::LocalCopyMissing,
     "Локальной копии «{1}» от прошлого копирования нет; файл копируется целиком.",
     "The local copy \"{1}\" of the last copy is missing; the file is copied whole."},
    {M::PathTooLongNotCopied,
     "Путь «{1}» слишком длинный, чтобы передать его логгеру; ничего не скопировано.",
     "The path \"{1}\" is too long to be sent to the logger; nothing was copied."},

    {M::NameEmpty, "имя пустое", "the name is empty"},
    {M::NameDots, "имя обозначает папку, а не файл в ней",
     "the name points to a folder, not into one"},
    {M::NameControlCharacter, "в имени есть управляющий символ",
     "the name holds a control character"},
    {M::NameSeparator, "в имени есть разделитель пути", "the name holds a path separator"},
    {M::NameCharacter, "в имени есть символ {1}", "the name holds the character {1}"},
    {M::NameUnmappedByte, "в имени есть байт, которому не соответствует ни один символ",
     "the name holds a byte that has no character"},
    {M::NameTrailingDotOrBlank, "имя оканчивается точкой или пробелом, которые Windows отбрасывает",
     "the name ends with a dot or a blank, which Windows drops"},
    {M::NameDevice, "в Windows это имя устройства", "the name is a device name on Windows"},
    {M::NameShortAlias,
     "в Windows это имя может быть коротким именем другого файла или папки, которые уже есть там",
     "on Windows the name can be the short name of another file or folder already there"},
    {M::NameResumeRecord,
     "так называется запись, по которой программа продолжает копирование (Temp.bin)",
     "the program keeps the record of where a copy ended under this name (Temp.bin)"},
    {M::NameStagingFolder, "так называется папка, в которой программа собирает копируемые файлы",
     "the program assembles the files it copies in a folder of this name"},
    {M::NameOwnFile, "под этим именем программа хранит в папке данных свой собственный файл",
     "the program keeps a file of its own under this name in the data folder"},

    {M::FileCreateStaging, "Не удалось начать новое содержимое файла «{1}»: {2}",
     "Cannot create the new content of \"{1}\": {2}"},
    {M::FileRead, "Не удалось прочитать «{1}»: {2}", "Cannot read \"{1}\": {2}"},
    {M::FileCopyHeld, "Не удалось перенести строки, уже записанные в «{1}»: {2}",
     "Cannot copy the lines already held by \"{1}\": {2}"},
    {M::FileWrite, "Не удалось записать в «{1}»: {2}", "Cannot write to \"{1}\": {2}"},
    {M::FileFinish, "Не удалось завершить запись «{1}»: {2}", "Cannot finish writing \"{1}\": {2}"},
    {M::FileReplace, "Не удалось заменить «{1}» новым содержимым: {2}",
     "Cannot replace \"{1}\" with its new content: {2}"},
    {M::FileOpen, "Не удалось открыть «{1}»: {2}", "Cannot open \"{1}\": {2}"},
    {M::FileCreateFolder, "Не удалось создать папку «{1}»: {2}",
     "Cannot create the folder \"{1}\": {2}"},
    {M::ResumeRecordBad, "В записи о продолжении «{1}» нет имени файла и числа строк",
     "The resume record \"{1}\" does not hold a file name and a line count"},
    {M::DataInDocuments, "Данные: {1}", "Data: {1}"},
    {M::DataInDocumentsWhy,
     "Программа запущена в папке {2}, где нельзя хранить данные, поэтому папка DATA и файл "
     "Device.txt находятся в папке {1}.",
     "The program was started in {2}, where it cannot keep data, so the DATA folder and "
     "Device.txt are in {1}."},

    {M::DataSetMissing, "«{1}» не существует", "\"{1}\" does not exist"},
    {M::DataFileTooLarge, "«{1}» слишком велик для файла данных",
     "\"{1}\" is too large for a data file"},
    {M::FolderList, "Не удалось прочитать содержимое папки «{1}»: {2}", "Cannot list \"{1}\": {2}"},
    {M::SheetTooManyRows, "Не удалось записать «{1}»: измерений больше, чем строк в листе",
     "Cannot write \"{1}\": more measurements than a sheet has rows"},
    {M::WorkbookFailed, "Не удалось записать книгу «{1}»: {2}",
     "Cannot write the workbook \"{1}\": {2}"},
    {M::XlsxNotBuilt, "Не удалось записать «{1}»: в этой сборке программы нет экспорта XLSX",
     "Cannot write \"{1}\": this build of the program has no XLSX export"},
    {M::NetcdfFailed, "Не удалось записать файл NetCDF «{1}»: {2}",
     "Cannot write the NetCDF file \"{1}\": {2}"},
    {M::NetcdfNotBuilt,
     "Не удалось записать «{1}»: в этой сборке программы нет экспорта NetCDF (его нет в сборке "
     "для Windows)",
     "Cannot write \"{1}\": this build of the program has no NetCDF export (the Windows build "
     "has none)"},
    {M::ExportNeedsOutput, "Для --export укажите --csv ФАЙЛ, --xlsx ФАЙЛ или --netcdf ФАЙЛ",
     "--export needs --csv FILE, --xlsx FILE or --netcdf FILE"},
    {M::ExportMoreIssues, "... и ещё {1}", "... and {1} more"},
    {M::ExportNothing, "В «{1}» нет измерений; ничего не записано",
     "No measurements in \"{1}\"; nothing written"},
    {M::ExportEmpty, "«{1}» не записан: нет ни одного измерения для экспорта",
     "\"{1}\" not written: there is no measurement to export"},
    {M::ExportWritten, "Записано измерений: {1}, датчиков: {2}, из файлов: {3}",
     "{1} measurements of {2} sensors from {3} files"},
    {M::SensorTableNoHeader, "первая строка должна быть «{1}»; таблица датчиков не прочитана",
     "the first line must be \"{1}\"; the sensor table is not read"},
    {M::SensorTableBadSensor,
     "номер датчика должен быть целым числом от 1 до {1}; строка пропущена",
     "the sensor number must be a whole number from 1 to {1}; line skipped"},
    {M::SensorTableBadDepth,
     "глубина должна быть числом метров с точкой или пустой; строка пропущена",
     "the depth must be a number of metres with a decimal point, or empty; line skipped"},
    {M::SensorTableRepeated, "этот датчик уже указан выше; строка пропущена",
     "this sensor is already given above; line skipped"},
    {M::SensorTableBadFields, "нужны три поля: датчик, глубина, подпись; строка пропущена",
     "three fields are needed: sensor, depth, label; line skipped"},
    {M::SummaryNothing, "В «{1}» нет измерений за выбранный период",
     "No measurements in \"{1}\" in the period chosen"},
    {M::SummaryDepthOrder,
     "глубины не растут с номерами датчиков: датчик {1} на {2} м, датчик {3} на {4} м",
     "the depths do not grow with the sensor numbers: sensor {1} at {2} m, sensor {3} at {4} m"},
    {M::SummaryActiveLayerWide,
     "слой сезонного оттаивания найден между датчиками {1} ({2} м) и {3} ({4} м), дальше 5 м друг "
     "от друга",
     "the active layer is interpolated between sensors {1} ({2} m) and {3} ({4} m), more than 5 m "
     "apart"},
    {M::SummaryZeroAmplitudeWide,
     "глубина нулевых годовых амплитуд найдена между датчиками {1} ({2} м) и {3} ({4} м), дальше "
     "5 м друг от друга",
     "the depth of zero annual amplitude is interpolated between sensors {1} ({2} m) and {3} ({4} "
     "m), more than 5 m apart"},
    {M::AfterNeedsMilliseconds, "--after принимает число миллисекунд",
     "--after takes a number of milliseconds"},
    {M::ViewerNotBuilt, "В этой сборке программы нет просмотра данных",
     "This build of the program has no data viewer"},
    {M::ScreenshotNotWritten, "Не удалось записать снимок окна в «{1}»",
     "Cannot write the screenshot to \"{1}\""},

    {M::ViewerTitle, "Данные на диске", "Data on disk"},
    {M::ViewerFolder, "Папка:", "Folder:"},
    {M::ViewerBrowse, "Обзор…", "Browse…"},
    {M::ViewerSensors, "Датчики", "Sensors"},
    {M::ViewerSensor, "Датчик", "Sensor"},
    {M::ViewerSensorNumber, "Датчик {1}", "Sensor {1}"},
    {M::ViewerUnit, "°C", "°C"},
    {M::ViewerSummary, "Измерений: {1}, датчиков: {2}, {3} – {4}",
     "Measurements: {1}, sensors: {2}, {3} – {4}"},
    {M::ViewerNoData, "Нет данных", "No data"},
    {M::ViewerIssues, "Пропущено или повреждено строк: {1}", "Lines skipped or damaged: {1}"},
    {M::ViewerProfileHint, "Профиль: щёлкните по карте", "Profile: click the map"},
    {M::ViewerExportCsv, "Экспорт CSV…", "Export CSV…"},
    {M::ViewerExportXlsx, "Экспорт XLSX…", "Export XLSX…"},
    {M::ViewerExportNetcdf, "Экспорт NetCDF…", "Export NetCDF…"},
    {M::ViewerError, "Ошибка", "Error"},
    {M::ViewerExported, "Записан: {1}", "Written: {1}"},
    {M::ViewerChooseFolder, "выберите папку", "choose a folder"},
    {M::ViewerNothingToExport, "Нечего экспортировать: откройте папку с измерениями",
     "Nothing to export: open a folder with measurements"},
    {M::ViewerCollectionsAndGaps,
     "Загрузок в журнале: {1} (зелёные линии), пропусков в данных: {2} (серые полосы)",
     "Downloads logged: {1} (green lines), gaps in the data: {2} (grey bands)"},
    {M::ViewerWholePeriod, "Весь период", "Whole period"},
    {M::ViewerWholePeriodTip, "Показать все измерения (двойной щелчок по графику, Home или Ctrl+0)",
     "Show every measurement (double-click the plot, Home or Ctrl+0)"},
    {M::ViewerValueAt, "{1}, датчик {2}: {3} {4}", "{1}, sensor {2}: {3} {4}"},
    {M::ViewerMissingAt, "{1}, датчик {2}: нет значения", "{1}, sensor {2}: no value"},
    {M::ViewerTabProfile, "Профиль", "Profile"},
    {M::ViewerTabTrumpet, "Огибающие", "Trumpet curve"},
    {M::ViewerTabYears, "По годам", "Years"},
    {M::TrumpetPeriod, "Период:", "Period:"},
    {M::TrumpetMinimum, "Минимум", "Minimum"},
    {M::TrumpetMean, "Среднее", "Mean"},
    {M::TrumpetMaximum, "Максимум", "Maximum"},
    {M::TrumpetDepth, "Глубина, м", "Depth, m"},
    {M::TrumpetActiveLayer, "Сезонно-талый слой: {1} м", "Active layer: {1} m"},
    {M::TrumpetZeroAmplitude, "Нулевая годовая амплитуда: {1} м", "Zero annual amplitude: {1} m"},
    {M::TrumpetNoValues, "Нет значений за период (неисправные датчики не показаны)",
     "No values in the period (failed sensors are not shown)"},
    {M::YearsDayOfYear, "День года", "Day of year"},
    {M::YearsNoValues, "Нет значений этого датчика", "No values of this sensor"},
    {M::ViewerDepthAxis, "Глубина, м", "Depth, m"},
    {M::ViewerDepthOf, "({1} м)", "({1} m)"},
    {M::ViewerFlagDead, "не работает", "dead"},
    {M::ViewerFlagStuck, "залип", "stuck"},
    {M::ViewerFlagSpikes, "выбросы", "spikes"},
    {M::ViewerFlagRange, "вне диапазона", "out of range"},
    {M::ViewerScale, "Шкала:", "Scale:"},
    {M::ViewerScaleZeroCentred, "0 {1} по центру", "0 {1} in the middle"},
    {M::ViewerScaleUniform, "равномерная", "uniform"},
    {M::ViewerIsotherm, "Изотерма 0 {1}", "0 {1} isotherm"},
    {M::ViewerIsothermTip, "Где температура переходит через 0 {1} между соседними датчиками",
     "Where the temperature passes 0 {1} between neighbouring sensors"},
    {M::ViewerSensorTable, "Датчики…", "Sensors…"},
    {M::ViewerSensorTableTitle, "Глубины и подписи датчиков", "Depths and labels of the sensors"},
    {M::ViewerSensorTableHint,
     "Глубина в метрах, дробная часть через запятую или точку; пустая — глубина неизвестна",
     "Depth in metres, decimals after a point or a comma; empty when the depth is unknown"},
    {M::ViewerDepthColumn, "Глубина, м", "Depth, m"},
    {M::ViewerLabelColumn, "Подпись", "Label"},
    {M::ViewerSave, "Сохранить", "Save"},
    {M::ViewerCancel, "Отмена", "Cancel"},
    {M::ViewerBadDepth,
     "Датчик {1}: «{2}» — не глубина. Введите число метров, например 2,5 или 2.5",
     "Sensor {1}: \"{2}\" is no depth. Type a number of metres, e.g. 2.5 or 2,5"},
    {M::ViewerSensorTableSaved, "Записан: {1}", "Written: {1}"},

    {M::CliNeedsLink, "Укажите, где логгер: --port УСТРОЙСТВО или --usb",
     "Say where the logger is: --port DEVICE or --usb"},
    {M::CliOneCommand, "Укажите одну команду: --info, --copy, --copy-all или --sync-clock",
     "Give one command: --info, --copy, --copy-all or --sync-clock"},
    {M::CliWorksOnlyWith, "{1} действует только вместе с {2}", "{1} works only with {2}"},
    {M::CliNotWith, "{1} не действует вместе с {2}", "{1} does not work with {2}"},
    {M::CliExclusive, "{1} и {2} исключают друг друга", "{1} and {2} exclude each other"},
    {M::CliUnknownOption, "Неизвестный параметр {1}; все параметры перечисляет --help",
     "Unknown option {1}; --help lists every option"},
    {M::CliMissingValue, "После {1} нужно значение: {1} {2}", "{1} needs a value: {1} {2}"},
    {M::CliUnexpectedValue, "{1} не принимает значения, а получил «{2}»",
     "{1} takes no value, but was given \"{2}\""},
    {M::CliUnexpectedArgument, "Лишний аргумент «{1}»: значения пишутся после своих параметров",
     "Unexpected argument \"{1}\": values follow their options"},
    {M::CliBadDay, "--day принимает дату в виде ГГГГ-ММ-ДД, а не «{1}»",
     "--day takes a date as YYYY-MM-DD, not \"{1}\""},
    {M::CliBadDate, "{1} принимает дату в виде ГГГГ-ММ-ДД, а не «{2}»",
     "{1} takes a date as YYYY-MM-DD, not \"{2}\""},
    {M::CliFromAfterTo, "Начало периода --from {1} позже его конца --to {2}",
     "The period's start --from {1} is after its end --to {2}"},
    {M::CliBadLanguage, "--lang принимает ru или en, а не «{1}»",
     "--lang takes ru or en, not \"{1}\""},
    {M::CliBadTimeLimit, "--time-limit принимает число секунд больше нуля, а не «{1}»",
     "--time-limit takes a number of seconds above zero, not \"{1}\""},
    {M::CliBadDeviceType, "--device-type принимает число от 0 до 255, а не «{1}»",
     "--device-type takes a number from 0 to 255, not \"{1}\""},
    {M::CliBadVia, "--via принимает radio или bluetooth, а не «{1}»",
     "--via takes \"radio\" or \"bluetooth\", not \"{1}\""},
    {M::CliBadFaults, "--faults: неизвестный ключ или значение вне допустимых пределов в «{1}»",
     "--faults: unknown key or value out of range in \"{1}\""},
    {M::CliNoUsbLogger, "Логгер на USB не найден", "No logger found on USB"},
    {M::CliPortNoLogger, "На последовательном порту {1} логгер не ответил",
     "No logger answered on the serial port {1}"},
    {M::CliModemAdapter,
     "На USB найден модем, а не логгер; через модем из командной строки работает только сбор "
     "по файлу станций (--collect)",
     "A USB modem, not a logger, was found; through a modem the command line works only as a "
     "collection from a stations file (--collect)"},
    {M::CliNoDirectory, "На логгере нет каталога «{1}». Каталоги логгера: {2}",
     "The logger has no directory \"{1}\". Its directories: {2}"},
    {M::CliNoDirectories, "На логгере нет каталогов с данными",
     "The logger has no data directories"},
    {M::CliCopiedWhole, "Каталог «{1}» ещё не копировался: он копируется целиком",
     "The directory \"{1}\" has not been copied before: it is copied whole"},
    {M::CliNoDayData, "В каталоге «{1}» нет измерений за {2}",
     "The directory \"{1}\" holds no measurements of {2}"},
    {M::CliTimeLimit, "Отведённое время ({1} с) истекло; работа прервана",
     "The time limit ({1} s) has run out; the work was stopped"},
    {M::CollectStation, "Станция {1} из {2} «{3}»: {4}", "Station {1} of {2} \"{3}\": {4}"},
    {M::CollectLinking, "связь…", "linking…"},
    {M::CollectReadingOut, "чтение логгера…", "reading the logger out…"},
    {M::CollectNoConnect, "модем не соединился с {1} за {2} вызова",
     "the modem did not connect to {1} in {2} calls"},
    {M::CollectNoAnswer, "логгер не ответил", "the logger did not answer"},
    {M::CollectNeedsRadio, "на USB нет радиомодема", "no radio modem on USB"},
    {M::CollectNeedsBluetooth, "на USB нет Bluetooth-модема", "no Bluetooth modem on USB"},
    {M::CollectNoDemoUsb, "в виртуальной сети нет логгера на USB",
     "the virtual network has no logger on USB"},
    {M::CollectNoFolder, "не удалось создать папку {1}", "the folder {1} could not be made"},
    {M::CollectClockSet, "часы логгера расходились с компьютером на {1} с и установлены",
     "the logger's clock was {1} s off the PC's and has been set"},
    {M::CollectClockNotSet,
     "часы логгера расходятся с компьютером на {1} с; установить их не удалось",
     "the logger's clock is {1} s off the PC's; it could not be set"},
    {M::CollectNotReached, "Станция «{1}»: {2}", "Station \"{1}\": {2}"},
    {M::CollectSkipped, "не собрана: время истекло", "not collected: the time ran out"},
    {M::CliLoggerGone, "Логгер отключён от USB; работа прервана",
     "The logger was unplugged from USB; the work was stopped"},
    {M::CliConfirmation, "{1} — ответ: «Отмена»", "{1} — answered Cancel"},

    {M::NoDeviceList, "Нет файла Device.txt", "No Device.txt"},
    {M::DeviceListTooLong,
     "В файле {1} адресов: {2}. Набрать можно только первые {3}; не вошли: {4}.",
     "{1} holds {2} addresses; only the first {3} can be dialled, {4} were left out."},
    {M::DeviceListLineLeftOut, "строка {1}", "line {1}"},
    {M::DeviceListLinesLeftOut, "строки с {1} по {2}", "lines {1} to {2}"},
    {M::ChooseDeviceFirst, "Сначала выберите в списке прибор для вызова.",
     "Choose the device to dial from the list first."},
    {M::DeviceLineTooLong,
     "Строка {1} файла Device.txt («{2}») слишком длинная для вызова: строке вызова «{3}» нужно "
     "байтов: {4}, а модем принимает за раз только {5}. Сократите строку или выберите другой "
     "прибор.",
     "Line {1} of Device.txt (\"{2}\") is too long to be dialled: the call \"{3}\" needs {4} "
     "bytes, but the modem takes {5} bytes at a time. Shorten that line or choose another "
     "device."},

    {M::ScheduleInvalid,
     "Логгер прислал в расписании измерений неверное значение: {1} ({2}); расписание показано "
     "не полностью.",
     "The logger sent an invalid {1} in its measurement schedule ({2}); the schedule shown is "
     "incomplete."},
    {M::ScheduleStartTime, "время начала", "start time"},
    {M::ScheduleStopTime, "время окончания", "stop time"},
    {M::ScheduleStartDate, "дата начала", "start date"},
    {M::ScheduleStopDate, "дата окончания", "stop date"},

    {M::CorrectionsLimited,
     "Некоторые поправки выходят за пределы того, что может хранить логгер, и ограничены ими:",
     "Some corrections are beyond what the logger can hold and are limited to it:"},
    {M::CorrectionLimited, "показание {1}: {2} записывается как {3}",
     "reading {1}: {2} is written as {3}"},

    {M::ReasonNone, "система не сообщила причину", "the system gave no reason"},
    {M::ReasonOther, "системная ошибка {1}", "system error {1}"},
    {M::ReasonNoEntry, "нет такого файла или папки", "No such file or directory"},
    {M::ReasonAccess, "доступ запрещён", "Permission denied"},
    {M::ReasonPermission, "операция не разрешена", "Operation not permitted"},
    {M::ReasonNoSpace, "на диске нет места", "No space left on device"},
    {M::ReasonReadOnly, "файловая система доступна только для чтения", "Read-only file system"},
    {M::ReasonExists, "файл уже существует", "File exists"},
    {M::ReasonNotDirectory, "часть пути не является папкой", "Not a directory"},
    {M::ReasonIsDirectory, "это папка", "Is a directory"},
    {M::ReasonTooManyFiles, "открыто слишком много файлов", "Too many open files"},
    {M::ReasonNameTooLong, "слишком длинное имя", "File name too long"},
    {M::ReasonIo, "ошибка ввода-вывода", "Input/output error"},
    {M::ReasonBusy, "устройство занято", "Device or resource busy"},
    {M::ReasonPortHeld, "порт занят другой программой", "another program is using the port"},
    {M::ReasonNoDevice, "устройство не найдено", "No such device"},
    {M::ReasonInvalid, "недопустимый аргумент", "Invalid argument"},
    {M::ReasonNotEmpty, "папка не пуста", "Directory not empty"},
    {M::ReasonCrossDevice, "перемещение между дисками невозможно", "Invalid cross-device link"},

    {M::NoReply,
     "Логгер не ответил {2}: {1} — запрос и три повтора остались без ответа. Проверьте связь и "
     "повторите действие.",
     "The logger did not answer {2}: {1} — the request and three retries went unanswered. Check "
     "the link and try again."},
    {M::RetryCaption, "Нет ответа, повтор {1} из {2}", "No answer, retry {1} of {2}"},
    {M::ClockNotAccepted,
     "Логгер не принимает установку часов: после {1} попыток часы всё ещё не читаются.",
     "The logger does not accept the clock: after {1} attempts its clock still cannot be read."},
    {M::ListingTooLong, "Список каталога {1} не кончается: показаны первые {2} записей.",
     "The listing of {1} does not end: the first {2} entries are shown."},
    {M::ListingRefused, "Логгер отказал в списке каталога {1} (ответ {2}): копирование прервано.",
     "The logger refused the listing of {1} (reply {2}): the copy has stopped."},
    {M::TestRefused, "Логгер ответил на тест-измерение кодом {1}: измерение прервано.",
     "The logger answered the test measurement with status {1}: the measurement has stopped."},
    {M::CopyReplyRefused,
     "Логгер ответил на копирование {1} кодом {2}: копирование прервано, скопированное "
     "полностью сохранено.",
     "The logger answered the copy of {1} with status {2}: the copy has stopped, what was copied "
     "whole is kept."},
    {M::WhatIdentify, "опознание", "the identification"},
    {M::WhatLineValue, "запрос значения линии", "the line value request"},
    {M::WhatClock, "чтение или установка часов", "reading or setting the clock"},
    {M::WhatSchedule, "чтение или запись расписания", "reading or writing the schedule"},
    {M::WhatBattery, "запрос батареи", "the battery request"},
    {M::WhatCalibration, "чтение калибровки", "reading the calibration"},
    {M::WhatListing, "чтение списка данных", "reading the data list"},
    {M::WhatCopy, "копирование файла {1}", "copying the file {1}"},
    {M::WhatTest, "тест-измерение", "the test measurement"},
    {M::WhatRemarks, "чтение или запись комментария", "reading or writing the remark"},
    {M::WhatDelete, "удаление каталога", "deleting the directory"},
    {M::WhatModem, "запрос модема", "the modem request"},
    {M::LinkUsb, "по USB", "over USB"},
    {M::LinkSerial, "через последовательный порт {1}", "through the serial port {1}"},
    {M::LinkRadio, "через радиомодем", "through the radio modem"},
    {M::LinkBluetooth, "через Bluetooth-модем", "through the Bluetooth modem"},
    {M::ProgressListing, "Чтение списка файлов…", "Reading the list of files…"},
    {M::ProgressFile, "Файл {1} из {2} · измерений: {3}", "File {1} of {2} · measurements: {3}"},
    {M::ProgressTimeLeft, "Осталось около {1}", "About {1} left"},
    {M::ProgressStopping, "Копирование останавливается…", "Stopping the copy…"},
    {M::DurationHours, "{1} ч {2} мин", "{1} h {2} min"},
    {M::DurationMinutes, "{1} мин {2} с", "{1} min {2} s"},
    {M::DurationSeconds, "{1} с", "{1} s"},

    {M::StationsFileUnreadable, "Не удалось прочитать файл станций «{1}»: {2}.",
     "Cannot read the stations file \"{1}\": {2}."},
    {M::StationsFileAt, "Файл станций «{1}», строка {2}: {3}.",
     "The stations file \"{1}\", line {2}: {3}."},
    {M::StationsFileAtColumn, "Файл станций «{1}», строка {2}, позиция {3}: {4}.",
     "The stations file \"{1}\", line {2}, column {3}: {4}."},
    {M::StationsFileWhole, "Файл станций «{1}»: {2}.", "The stations file \"{1}\": {2}."},
    {M::StationsSyntax, "ошибка синтаксиса TOML ({1})", "TOML syntax error ({1})"},
    {M::StationsLetterOutsideQuotes,
     "знак вне кавычек: такие знаки, как и буквы, кроме латинских, допустимы только в тексте в "
     "кавычках и в комментариях",
     "a character outside quotes: such characters, like letters other than Latin ones, may "
     "stand only in quoted text and in comments"},
    {M::StationsUnknownKey, "неизвестный ключ «{1}» (опечатка?)",
     "unknown key \"{1}\" (a typing error?)"},
    {M::StationsWrongType, "значением «{1}» должно быть: {2}", "\"{1}\" takes {2}"},
    {M::StationsTypeString, "строка в кавычках", "a quoted string"},
    {M::StationsTypeInteger, "целое число", "a whole number"},
    {M::StationsTypeBoolean, "логическое значение (true или false)", "true or false"},
    {M::StationsTypeStringList, "список строк в квадратных скобках",
     "a list of strings in square brackets"},
    {M::StationsTypeTable, "таблица (раздел в квадратных скобках)",
     "a table (a section in square brackets)"},
    {M::StationsTypeTableList, "список таблиц (разделы в двойных квадратных скобках)",
     "a list of tables (sections in double square brackets)"},
    {M::StationsEmptyValue, "значение «{1}» пустое", "\"{1}\" is empty"},
    {M::StationsNoName, "у станции нет имени", "the station has no name"},
    {M::StationsSameName, "станция «{1}» уже описана в строке {2}",
     "the station \"{1}\" is already described on line {2}"},
    {M::StationsBadName, "имя станции «{1}» не может быть именем папки: {2}",
     "the station name \"{1}\" cannot be a folder name: {2}"},
    {M::StationsNoLink, "у станции «{1}» не указано, как с ней связаться (один из ключей {2})",
     "the station \"{1}\" has no link (one of the keys {2})"},
    {M::StationsManyLinks, "у станции «{1}» указано больше одной связи: {2}",
     "the station \"{1}\" has more than one link: {2}"},
    {M::StationsRadioAddress, "радиоадрес {1} вне пределов от 0 до 254",
     "the radio address {1} is outside 0 to 254"},
    {M::StationsBluetoothAddress,
     "адрес Bluetooth «{1}» должен состоять ровно из 12 шестнадцатеричных цифр",
     "the Bluetooth address \"{1}\" must be exactly 12 hexadecimal digits"},
    {M::StationsBadWord, "«{2}» не может быть значением «{1}»; возможны: {3}",
     "\"{2}\" is not a value of \"{1}\"; it may be {3}"},
    {M::StationsNegative, "значение «{1}» не может быть отрицательным: {2}",
     "\"{1}\" cannot be negative: {2}"},
    {M::StationsDirectoryName,
     "имя папки «{1}» нельзя передать логгеру: в кодировке Windows-1251 нет его символов",
     "the directory name \"{1}\" cannot be sent to the logger: Windows-1251 has no "
     "characters for it"},
    {M::StationsNone, "в файле не описано ни одной станции", "the file describes no station"},

    {M::InternalError, "Внутренняя ошибка программы: {1}", "Internal error: {1}"},
}};

std::string Message(Msg id, Language language, std::initializer_list<std::string_view> args) {
    const MessageRow& row = kMessageTable[static_cast<std::size_t>(id)];
    const std::string_view text = language == Language::English ? row.english : row.russian;
    std::string out;
    out.reserve(text.size() + 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' &&
            text[i + 2] == '}') {
            const auto n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < args.size()) out += *(args.begin() + n);
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

namespace {

struct ReasonRow {
    std::errc code;
    Msg text;
};

constexpr ReasonRow kReasons[] = {
    {std::errc::no_such_file_or_directory, M::ReasonNoEntry},
    {std::errc::permission_denied, M::ReasonAccess},
    {std::errc::operation_not_permitted, M::ReasonPermission},
    {std::errc::no_space_on_device, M::ReasonNoSpace},
    {std::errc::read_only_file_system, M::ReasonReadOnly},
    {std::errc::file_exists, M::ReasonExists},
    {std::errc::not_a_directory, M::ReasonNotDirectory},
    {std::errc::is_a_directory, M::ReasonIsDirectory},
    {std::errc::too_many_files_open, M::ReasonTooManyFiles},
    {std::errc::filename_too_long, M::ReasonNameTooLong},
    {std::errc::io_error, M::ReasonIo},
    {std::errc::device_or_resource_busy, M::ReasonBusy},
    {std::errc::no_such_device, M::ReasonNoDevice},
    {std::errc::no_such_device_or_address, M::ReasonNoDevice},
    {std::errc::invalid_argument, M::ReasonInvalid},
    {std::errc::directory_not_empty, M::ReasonNotEmpty},
    {std::errc::cross_device_link, M::ReasonCrossDevice},
};

}  // namespace

std::string SystemReason(std::error_code ec, Language language) {
    if (!ec) return Message(M::ReasonNone, language);
    if (language == Language::English) return ec.message();
    // A platform code (a Windows error number, say) is compared through its portable condition.
    for (const ReasonRow& r : kReasons)
        if (ec == r.code) return Message(r.text, language);
    return Message(M::ReasonOther, language, {std::to_string(ec.value())});
}

std::string SystemReason(int errnoValue, Language language) {
    return SystemReason(
        errnoValue != 0 ? std::error_code(errnoValue, std::generic_category()) : std::error_code(),
        language);
}

}  // namespace qm

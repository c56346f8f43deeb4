#include "app/Options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <utility>

namespace qm {

namespace {

using enum Mode;

constexpr Modes kEveryMode = Modes::All();
constexpr Modes kWithoutWindow = {Info, Copy, CopyAll, SyncClock};
constexpr Modes kWithoutWindowOrCollect = {Info, Copy, CopyAll, SyncClock, Collect, Serve};

// Every option, once. The help lists them in this order, each under the heading of the first
// mode that accepts it (or under "every mode").
constexpr std::array kOptions = {
    OptionRow{.name = "help",
              .shortNames = "h?",
              .helpRu = "Показать все параметры всех режимов и выйти.",
              .helpEn = "Show every option of every mode and exit.",
              .modes = kEveryMode,
              .selects = Help},
    OptionRow{.name = "help-all",
              .helpRu = "То же, а также собственные параметры Qt для окна программы.",
              .helpEn = "The same, with Qt's own options of the window.",
              .modes = kEveryMode,
              .selects = Help},
    OptionRow{.name = "version",
              .helpRu = "Показать название и версию программы и выйти.",
              .helpEn = "Show the program's name and version and exit.",
              .modes = kEveryMode,
              .selects = Version},
    OptionRow{.name = "lang",
              .valueRu = "ЯЗЫК",
              .valueEn = "LANG",
              .helpRu = "Язык окна и сообщений: ru (по умолчанию) или en.",
              .helpEn = "Language of the window and of the messages: ru (the default) or en.",
              .modes = kEveryMode},

    OptionRow{
        .name = "port",
        .valueRu = "УСТРОЙСТВО",
        .valueEn = "DEVICE",
        .helpRu = "Открыть при запуске последовательный порт УСТРОЙСТВО (например, /dev/rfcomm0, "
                  "COM3); там же ищет логгер работа без окна.",
        .helpEn = "Open the serial port DEVICE at start (e.g. /dev/rfcomm0, COM3); a run without a "
                  "window reaches its logger there too.",
        .modes = {Window, Info, Copy, CopyAll, SyncClock}},
    OptionRow{
        .name = "screenshot",
        .valueRu = "ФАЙЛ",
        .valueEn = "FILE",
        .helpRu = "Сохранить главное окно (с --view — окно просмотра данных) в PNG-файл ФАЙЛ и "
                  "выйти.",
        .helpEn = "Save the main window (with --view: the viewer) to the PNG file FILE and quit.",
        .modes = {Window, Demo, View}},
    OptionRow{
        .name = "after",
        .valueRu = "МС",
        .valueEn = "MS",
        .helpRu = "Снять окно через МС миллисекунд после запуска (по умолчанию 6000, для окна "
                  "просмотра данных 1000).",
        .helpEn = "Take the screenshot MS milliseconds after start (6000 by default, 1000 for the "
                  "viewer).",
        .modes = {Window, Demo, View}},

    OptionRow{.name = "demo",
              .helpRu = "Работать с виртуальным логгером внутри программы, без оборудования "
                        "(с --collect и --serve — с виртуальной сетью логгеров за USB-модемами).",
              .helpEn = "Run against a virtual logger in this process, without hardware (with "
                        "--collect and --serve: a virtual network of loggers behind USB modems).",
              .modes = {Demo, Collect, Serve},
              .selects = Demo},
    OptionRow{.name = "device-type",
              .valueRu = "N",
              .valueEn = "N",
              .helpRu = "Тип виртуального логгера, от 0 до 255 (88 — модель со строками примечаний "
                        "вместо расписания).",
              .helpEn =
                  "Device type of the virtual logger, 0 to 255 (88: a model with remark lines "
                  "instead of a schedule).",
              .modes = {Demo}},
    OptionRow{
        .name = "via",
        .valueRu = "МОДЕМ",
        .valueEn = "MODEM",
        .helpRu = "Связь с виртуальным логгером через виртуальный USB-модем: radio или bluetooth.",
        .helpEn = "Reach the virtual logger through a virtual USB modem: radio or bluetooth.",
        .modes = {Demo}},
    OptionRow{.name = "faults",
              .valueRu = "ОПИСАНИЕ",
              .valueEn = "SPEC",
              .helpRu = "Связь с виртуальным логгером с потерями, например lose-reply=20,delay=50. "
                        "ОПИСАНИЕ — список через запятую из:\n"
                        "    lose-request=N  каждый N-й запрос теряется, логгер его не видит\n"
                        "    lose-reply=N    каждый N-й ответ теряется после выполнения запроса\n"
                        "    garble=N        в каждом N-м ответе изменён один байт\n"
                        "    garble-at=K     какой байт меняет garble, от байта длины (0) дальше\n"
                        "    stray=N         за каждым N-м ответом следует байт помех\n"
                        "    loss=P          каждый запрос и ответ теряется с вероятностью P %\n"
                        "    seed=S          начальное число этих вероятностей (по умолчанию 1)\n"
                        "    delay=MS        каждый ответ задерживается на MS миллисекунд\n"
                        "    delay-on=C:MS   а ответы на запросы с кодом команды C — на MS мс\n"
                        "                    (один раз для каждого кода; например,\n"
                        "                    delay-on=67:2200,delay-on=69:500)",
              .helpEn =
                  "A lossy link to the virtual logger, e.g. lose-reply=20,delay=50. SPEC is a "
                  "comma-separated list of:\n"
                  "    lose-request=N  every Nth request is lost before the logger sees it\n"
                  "    lose-reply=N    every Nth reply is lost after the logger acted on it\n"
                  "    garble=N        one byte of every Nth reply is changed\n"
                  "    garble-at=K     the byte garble changes, from the length byte (0) on\n"
                  "    stray=N         one byte of noise follows every Nth reply\n"
                  "    loss=P          each request and reply is lost with P percent chance\n"
                  "    seed=S          the seed of those chances (1 by default)\n"
                  "    delay=MS        every reply waits MS milliseconds\n"
                  "    delay-on=C:MS   replies to requests of command code C wait MS ms\n"
                  "                    instead (once for each code; e.g.\n"
                  "                    delay-on=67:2200,delay-on=69:500)",
              .modes = {Demo, Collect, Serve}},

    OptionRow{.name = "usb",
              .helpRu = "Первый логгер на USB, вместо --port.",
              .helpEn = "The first logger on USB, instead of --port.",
              .modes = kWithoutWindow},
    OptionRow{.name = "info",
              .helpRu = "Прочитать логгер и вывести его данные в JSON.",
              .helpEn = "Read the logger out and print what it holds as JSON.",
              .modes = {Info},
              .selects = Info},
    OptionRow{
        .name = "copy",
        .valueRu = "КАТАЛОГ",
        .valueEn = "DIR",
        .helpRu = "Скопировать каталог логгера КАТАЛОГ в DATA рабочей папки и вывести итог в JSON.",
        .helpEn = "Copy the logger directory DIR into DATA of the working directory and print a "
                  "summary as JSON.",
        .modes = {Copy},
        .selects = Copy},
    OptionRow{.name = "new",
              .helpRu = "С --copy или --copy-all: копировать только новое с прошлого копирования "
                        "(каталог, который ещё не копировался, копируется целиком).",
              .helpEn = "With --copy or --copy-all: copy only what is new since the last copy (a "
                        "directory never copied before is copied whole).",
              .modes = {Copy, CopyAll}},
    OptionRow{.name = "day",
              .valueRu = "ГГГГ-ММ-ДД",
              .valueEn = "YYYY-MM-DD",
              .helpRu = "С --copy: копировать только измерения этого дня.",
              .helpEn = "With --copy: copy the measurements of that day only.",
              .modes = {Copy}},
    OptionRow{.name = "copy-all",
              .helpRu = "Скопировать все каталоги логгера, один за другим.",
              .helpEn = "Copy every directory of the logger, one after another.",
              .modes = {CopyAll},
              .selects = CopyAll},
    OptionRow{
        .name = "sync-clock",
        .helpRu = "Установить часы логгера по часам компьютера; вывести расхождение до и после.",
        .helpEn = "Set the logger's clock from the PC clock; print the offset before and after.",
        .modes = {SyncClock},
        .selects = SyncClock},
    OptionRow{
        .name = "collect",
        .valueRu = "СТАНЦИИ",
        .valueEn = "STATIONS",
        .helpRu = "Собрать данные логгеров из файла станций СТАНЦИИ (TOML) одного за другим; итог "
                  "по станциям в JSON, журнал collection.jsonl в каждой папке данных. Выход: 0 — "
                  "собраны все, 1 — не все, 2 — ни одна станция не ответила или файл не годится.",
        .helpEn = "Collect the loggers of the stations file STATIONS (TOML) one after another; a "
                  "JSON result per station, the log collection.jsonl in every data-set folder. "
                  "Exit 0: all collected, 1: not all, 2: no station reached or a bad file.",
        .modes = {Collect},
        .selects = Collect},
    OptionRow{
        .name = "serve",
        .valueRu = "СТАНЦИИ",
        .valueEn = "STATIONS",
        .helpRu =
            "Собирать данные станций файла СТАНЦИИ по их расписанию (every, at, retries, "
            "retry_every, secondary_every), пока сбор не остановят (SIGTERM, SIGINT, Ctrl+C); "
            "после каждого опроса — журналы и status.json, status.html. --time-limit "
            "ограничивает каждый опрос. Выход: 0 — остановлен, 2 — файл не годится или "
            "другой сбор уже идёт с той же папкой данных.",
        .helpEn = "Collect the stations of STATIONS on their schedules (every, at, retries, "
                  "retry_every, secondary_every) until stopped (SIGTERM, SIGINT, Ctrl+C); the logs "
                  "and status.json, status.html after every visit. --time-limit bounds each visit. "
                  "Exit 0: stopped, 2: a bad file or another collection running with the same "
                  "data folder.",
        .modes = {Serve},
        .selects = Serve},
    OptionRow{
        .name = "status",
        .valueRu = "СТАНЦИИ",
        .valueEn = "STATIONS",
        .helpRu = "Вывести состояние станций файла СТАНЦИИ после их последних опросов (status.json "
                  "его папки данных). Выход: 0 — все в порядке, 1 — какая-то станция не собрана "
                  "или по ней действует тревога, 2 — файл не годится, 3 — состояния ещё нет.",
        .helpEn =
            "Print the status of the stations of STATIONS after their last visits (status.json "
            "of its data folder). Exit 0: all well, 1: some station not collected or "
            "alarmed, 2: a bad file, 3: no status yet.",
        .modes = {Status},
        .selects = Status},
    OptionRow{
        .name = "archive-sync",
        .valueRu = "ПАПКА|СТАНЦИИ",
        .valueEn = "FOLDER|STATIONS",
        .helpRu = "Отправить в архив PostgreSQL всё, чего в нём нет, из наборов данных папки ПАПКА "
                  "(с --archive URL) или папок файла станций СТАНЦИИ (его [archive]); итог "
                  "{\"rowsSent\", \"rowsNew\", \"rowsLeftOut\", \"seconds\"} в JSON. Выход: 0 — "
                  "отправлено, 1 — сервер не принял, 2 — параметры или файл станций не годятся.",
        .helpEn = "Push into the PostgreSQL archive whatever it lacks of the data sets in FOLDER "
                  "(with --archive URL) or in the folders of the stations file STATIONS (its "
                  "[archive]); the result {\"rowsSent\", \"rowsNew\", \"rowsLeftOut\", "
                  "\"seconds\"} as JSON. Exit 0: pushed, 1: the server failed, 2: bad options or "
                  "stations file.",
        .modes = {ArchiveSync},
        .selects = ArchiveSync},
    OptionRow{.name = "archive",
              .valueRu = "URL",
              .valueEn = "URL",
              .helpRu = "Архив PostgreSQL (postgresql://[пользователь@][сервер][:порт]/база[?...]; "
                        "пароль — не в адресе, а в PGPASSFILE или ~/.pgpass) для --archive-sync "
                        "ПАПКА, а также для --copy и --copy-all: скопированное ставится в очередь "
                        ".qmc-outbox набора данных и отправляется.",
              .helpEn = "The PostgreSQL archive (postgresql://[user@][host][:port]/db[?...]; the "
                        "password not in the URL but in PGPASSFILE or ~/.pgpass) for "
                        "--archive-sync FOLDER, and for --copy and --copy-all: what they copy "
                        "is queued in .qmc-outbox of the data set and pushed.",
              .modes = {ArchiveSync, Copy, CopyAll}},
    OptionRow{
        .name = "archive-init",
        .valueRu = "URL",
        .valueEn = "URL",
        .helpRu = "Создать схему qm архива PostgreSQL URL (один раз, от имени владельца базы).",
        .helpEn = "Make the schema qm of the PostgreSQL archive URL (once, as the "
                  "database's owner).",
        .modes = {ArchiveInit},
        .selects = ArchiveInit},
    OptionRow{.name = "dry-run",
              .helpRu = "С --collect: вывести план сбора в JSON, не открывая ни одного порта.",
              .helpEn = "With --collect: print the plan as JSON and open no port.",
              .modes = {Collect}},
    OptionRow{.name = "time-limit",
              .valueRu = "СЕКУНДЫ",
              .valueEn = "SECONDS",
              .helpRu =
                  "Закончить работу не позже чем через СЕКУНДЫ (по умолчанию 600, для копирования "
                  "21600).",
              .helpEn = "End the run after SECONDS at most (by default 600, and 21600 for copies).",
              .modes = kWithoutWindowOrCollect},

    OptionRow{
        .name = "view",
        .valueRu = "ПАПКА",
        .valueEn = "FOLDER",
        .helpRu = "Показать измерения папки данных (или папки DATA: её первой папки данных) в окне "
                  "просмотра.",
        .helpEn = "Show the measurements of a data-set folder (or of the DATA folder: its first "
                  "data set) in the viewer.",
        .modes = {View},
        .selects = View},
    OptionRow{
        .name = "export",
        .valueRu = "ПАПКА",
        .valueEn = "FOLDER",
        .helpRu = "Записать измерения папки данных таблицей, без окна; нужны --csv, --xlsx или "
                  "--netcdf (в любом сочетании).",
        .helpEn = "Write the measurements of a data-set folder as a table, without a window; needs "
                  "--csv, --xlsx or --netcdf (in any combination).",
        .modes = {Export},
        .selects = Export},
    OptionRow{.name = "csv",
              .valueRu = "ФАЙЛ",
              .valueEn = "FILE",
              .helpRu = "С --export: записать таблицу в ФАЙЛ в формате CSV.",
              .helpEn = "With --export: write the table as CSV to FILE.",
              .modes = {Export}},
    OptionRow{.name = "xlsx",
              .valueRu = "ФАЙЛ",
              .valueEn = "FILE",
              .helpRu = "С --export: записать таблицу в ФАЙЛ в формате XLSX, с листами датчиков "
                        "(sensors) и отмеченных значений (flags).",
              .helpEn = "With --export: write the table as XLSX to FILE, with the sheets of the "
                        "sensors (sensors) and of the flagged values (flags).",
              .modes = {Export}},
    OptionRow{.name = "netcdf",
              .valueRu = "ФАЙЛ",
              .valueEn = "FILE",
              .helpRu = "С --export: записать измерения в ФАЙЛ в формате NetCDF (соглашения CF: "
                        "ряд профилей температуры по глубине, с отметками значений). Нет в сборке "
                        "для Windows.",
              .helpEn = "With --export: write the measurements as NetCDF to FILE (CF conventions: "
                        "a time series of temperature profiles by depth, with the values' flags). "
                        "Not in the Windows build.",
              .modes = {Export}},
    OptionRow{
        .name = "summary",
        .valueRu = "ПАПКА",
        .valueEn = "FOLDER",
        .helpRu = "Вывести в JSON сводку папки данных: по каждому датчику число значений, полноту, "
                  "минимум, максимум, среднее и признаки неисправности (dead, stuck, spikes, "
                  "range), предел, запас и превышение, тренд за десятилетие, глубину сезонного "
                  "оттаивания и нулевых амплитуд. Выход: 0 — выведено, 1 — за период нет "
                  "измерений, 3 — выведено, и какой-то датчик превысил свой предел.",
        .helpEn = "Print a summary of a data-set folder as JSON: per sensor the count of values, "
                  "completeness, minimum, maximum, mean and fault flags (dead, stuck, spikes, "
                  "range), limit, margin and exceedance, trend per decade, the active layer and "
                  "the depth of zero amplitude. Exit 0: printed, 1: no measurements in the "
                  "period, 3: printed, and some sensor exceeded its limit.",
        .modes = {Summary},
        .selects = Summary},
    OptionRow{.name = "from",
              .valueRu = "ГГГГ-ММ-ДД",
              .valueEn = "YYYY-MM-DD",
              .helpRu = "С --summary и --report: первый день периода (по умолчанию — первое "
                        "измерение).",
              .helpEn = "With --summary and --report: the first day of the period (by default the "
                        "first measurement).",
              .modes = {Summary, Report}},
    OptionRow{.name = "to",
              .valueRu = "ГГГГ-ММ-ДД",
              .valueEn = "YYYY-MM-DD",
              .helpRu = "С --summary и --report: последний день периода, включительно (по "
                        "умолчанию — последнее измерение).",
              .helpEn = "With --summary and --report: the last day of the period, included (by "
                        "default the last measurement).",
              .modes = {Summary, Report}},
    OptionRow{
        .name = "report",
        .valueRu = "ПАПКА",
        .valueEn = "FOLDER",
        .helpRu = "Записать отчёт о мониторинге скважины по папке данных в PDF-файл (--pdf), без "
                  "окна: титул, таблица датчиков с пределами и трендами, термоизоплеты, "
                  "температурная «труба», профили, среднемесячные температуры, заключение и "
                  "SHA-256 прочитанных файлов. Выход: 0 — записан, 1 — ничего не записано, 2 — "
                  "неверные параметры или программа собрана без окна просмотра.",
        .helpEn = "Write the monitoring report of a borehole from a data-set folder to a PDF file "
                  "(--pdf), without a window: title block, sensor table with limits and trends, "
                  "isopleths, trumpet curve, profiles, monthly means, conclusion and the SHA-256 "
                  "of the files read. Exit 0: written, 1: nothing written, 2: bad options or no "
                  "viewer in this build.",
        .modes = {Report},
        .selects = Report},
    OptionRow{.name = "pdf",
              .valueRu = "ФАЙЛ",
              .valueEn = "FILE",
              .helpRu = "С --report: записать отчёт в ФАЙЛ (PDF, A4).",
              .helpEn = "With --report: write the report to FILE (PDF, A4).",
              .modes = {Report}},
    OptionRow{.name = "report-title",
              .valueRu = "ТЕКСТ",
              .valueEn = "TEXT",
              .helpRu = "С --report: заголовок отчёта (например, объект и номер скважины).",
              .helpEn = "With --report: the report's title (e.g. the site and the borehole's "
                        "number).",
              .modes = {Report}},
};

// Options that cannot stand together, worded in this order.
constexpr std::array<std::array<std::string_view, 2>, 3> kExclusive = {{
    {"port", "demo"},
    {"port", "usb"},
    {"new", "day"},
}};

// Qt's own options of a window program, which QGuiApplication and QApplication take out of the
// arguments (and its platform plugins, e.g. xcb's -display). Written with one dash or two.
struct QtOption {
    std::string_view name;
    std::string_view value;  // the value's name; empty for a switch
    bool takesNext;          // the value is the next argument (else only "-name=value")
};
constexpr std::array<QtOption, 23> kQtOptions = {{
    {"platform", "NAME", true},
    {"platformpluginpath", "PATH", true},
    {"platformtheme", "NAME", true},
    {"plugin", "NAME", true},
    {"qwindowgeometry", "GEOMETRY", true},
    {"qwindowtitle", "TITLE", true},
    {"qwindowicon", "FILE", true},
    {"geometry", "GEOMETRY", true},
    {"title", "TITLE", true},
    {"icon", "FILE", true},
    {"display", "DISPLAY", true},
    {"name", "NAME", true},
    {"visual", "ID", true},
    {"session", "ID", true},
    {"style", "STYLE", true},
    {"stylesheet", "FILE", true},
    {"reverse", "", false},
    {"widgetcount", "", false},
    {"sync", "", false},
    {"nograb", "", false},
    {"dograb", "", false},
    {"testability", "", false},
    {"qmljsdebugger", "=OPTIONS", false},
}};

const OptionRow* Find(std::string_view name) {
    for (const OptionRow& o : kOptions)
        if (o.name == name) return &o;
    return nullptr;
}

const OptionRow* FindShort(char letter) {
    for (const OptionRow& o : kOptions)
        if (o.shortNames.find(letter) != std::string_view::npos) return &o;
    return nullptr;
}

const QtOption* FindQt(std::string_view name) {
    for (const QtOption& o : kQtOptions)
        if (o.name == name) return &o;
    return nullptr;
}

std::size_t IndexOf(const OptionRow& o) {
    return static_cast<std::size_t>(&o - kOptions.data());
}

// The form of a text in the language chosen.
std::string_view In(Language language, std::string_view russian, std::string_view english) {
    return language == Language::English ? english : russian;
}

std::string Dashed(std::string_view name) {
    return "--" + std::string(name);
}

// A whole number, optionally signed, and nothing else.
std::optional<long long> ParseNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return std::nullopt;
    long long n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return n;
}

std::optional<DateTime> ParseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    const auto number = [&](std::size_t from, std::size_t n) {
        return static_cast<int>(*ParseNumber(text.substr(from, n)));
    };
    return DateTime::FromDate(number(0, 4), number(5, 2), number(8, 2));
}

// An argument that is an option, never the value of the one before it. "-" alone is a value; a
// value that starts with a dash is given as --name=VALUE.
bool LooksLikeOption(std::string_view arg) {
    return arg.size() >= 2 && arg[0] == '-';
}

// The walk over the arguments: which options were given (the first place of each, the last
// value), and the first argument that cannot be read.
struct Given {
    std::size_t place = 0;
    std::string value;
};

class Walk {
public:
    explicit Walk(const std::vector<std::string>& args) {
        bool optionsEnded = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (optionsEnded || a.size() < 2 || a[0] != '-') {
                Fail(OptionError{Msg::CliUnexpectedArgument, {a}});
                continue;
            }
            if (a == "--") {
                optionsEnded = true;
                continue;
            }
            const bool twoDashes = a[1] == '-';
            const std::string_view body = std::string_view(a).substr(twoDashes ? 2 : 1);
            const std::size_t equals = body.find('=');
            const std::string_view name = body.substr(0, equals);
            const std::optional<std::string_view> inlineValue =
                equals == std::string_view::npos ? std::nullopt
                                                 : std::optional(body.substr(equals + 1));
            if (const QtOption* qt = FindQt(name)) {
                if (qt->takesNext && !inlineValue) ++i;
                continue;
            }
            const OptionRow* row = twoDashes                          ? Find(name)
                                   : name.size() == 1 && !inlineValue ? FindShort(name[0])
                                                                      : nullptr;
            if (!row) {
                // As written, without its value.
                Fail(OptionError{Msg::CliUnknownOption, {a.substr(0, a.find('='))}});
                continue;
            }
            std::string value;
            if (!row->valueEn.empty()) {
                if (inlineValue) {
                    value = *inlineValue;
                } else if (i + 1 < args.size() && !LooksLikeOption(args[i + 1])) {
                    value = args[++i];
                } else {
                    // The value left out: the option that follows is read as itself, so
                    // that a --lang after it words the refusal.
                    missingValue_ = row;
                    Fail(OptionError{Msg::CliMissingValue, {Dashed(row->name)}});
                    continue;
                }
            } else if (inlineValue) {
                Fail(OptionError{Msg::CliUnexpectedValue,
                                 {Dashed(row->name), std::string(*inlineValue)}});
                continue;
            }
            std::optional<Given>& g = given_[IndexOf(*row)];
            if (!g) g = Given{i, {}};
            g->value = std::move(value);
        }
    }

    const std::optional<Given>& operator[](std::string_view name) const {
        return given_[IndexOf(*Find(name))];
    }
    bool Has(std::string_view name) const { return (*this)[name].has_value(); }
    const std::string& Value(std::string_view name) const { return (*this)[name]->value; }

    // The options given, in the order of their first place.
    std::vector<const OptionRow*> InOrder() const {
        std::vector<const OptionRow*> list;
        for (const OptionRow& o : kOptions)
            if (given_[IndexOf(o)]) list.push_back(&o);
        std::stable_sort(list.begin(), list.end(), [this](const auto* a, const auto* b) {
            return given_[IndexOf(*a)]->place < given_[IndexOf(*b)]->place;
        });
        return list;
    }

    const std::optional<OptionError>& FirstError() const { return error_; }
    // The option whose value is missing, for the value's name in the message's language.
    const OptionRow* MissingValue() const { return missingValue_; }

private:
    void Fail(OptionError e) {
        if (!error_) error_ = std::move(e);
    }
    std::array<std::optional<Given>, kOptions.size()> given_{};
    std::optional<OptionError> error_;
    const OptionRow* missingValue_ = nullptr;
};

// The mode options joined for a message: "--copy, --copy-all".
std::string ModeOptionsAccepting(const OptionRow& option) {
    std::string list;
    for (const OptionRow& o : kOptions) {
        if (!o.selects || *o.selects == Help || !option.modes.Has(*o.selects)) continue;
        if (!list.empty()) list += ", ";
        list += Dashed(o.name);
    }
    return list;
}

std::optional<OptionError> ChooseMode(const Walk& walk, Options& o) {
    const OptionRow* chosen = nullptr;
    for (const OptionRow* row : walk.InOrder()) {
        if (!row->selects) continue;
        // With a stations file, --demo asks for the virtual network, not the demo window.
        if (*row->selects == Demo && (walk.Has("collect") || walk.Has("serve"))) continue;
        if (!chosen) {
            chosen = row;
            continue;
        }
        if (RunsWithoutWindow(*chosen->selects) && RunsWithoutWindow(*row->selects))
            return OptionError{Msg::CliOneCommand, {}};
        return OptionError{Msg::CliExclusive, {Dashed(chosen->name), Dashed(row->name)}};
    }
    o.mode = chosen ? *chosen->selects : Window;
    return std::nullopt;
}

std::optional<OptionError> CheckCombination(const Walk& walk, Mode mode) {
    for (const auto& [a, b] : kExclusive)
        if (walk.Has(a) && walk.Has(b))
            return OptionError{Msg::CliExclusive, {Dashed(a), Dashed(b)}};
    for (const OptionRow* row : walk.InOrder()) {
        if (row->modes.Has(mode)) continue;
        const bool onlyWithoutWindow = [&] {
            for (const Mode m : {Window, Demo, Export, View, Summary, Report})
                if (row->modes.Has(m)) return false;
            return true;
        }();
        // A run without a window that lacks its command.
        if (mode == Window && onlyWithoutWindow) return OptionError{Msg::CliOneCommand, {}};
        if (!row->modes.Has(Window))
            return OptionError{Msg::CliWorksOnlyWith,
                               {Dashed(row->name), ModeOptionsAccepting(*row)}};
        std::string modeOption;
        for (const OptionRow& m : kOptions)
            if (m.selects == mode) modeOption = Dashed(m.name);
        return OptionError{Msg::CliNotWith, {Dashed(row->name), modeOption}};
    }
    return std::nullopt;
}

std::optional<OptionError> ReadValues(const Walk& walk, Options& o) {
    if (walk.Has("port")) o.port = walk.Value("port");
    o.usb = walk.Has("usb");

    // The window, the demo and the viewer.
    if (walk.Has("screenshot")) o.screenshot = walk.Value("screenshot");
    o.screenshotAfterMs = o.mode == View ? kViewerScreenshotAfterMs : kWindowScreenshotAfterMs;
    if (walk.Has("after")) {
        const auto ms = ParseNumber(walk.Value("after"));
        if (!ms || *ms < 0 || *ms > 24LL * 3600 * 1000)
            return OptionError{Msg::AfterNeedsMilliseconds, {}};
        o.screenshotAfterMs = static_cast<int>(*ms);
    }

    // The demo.
    if (walk.Has("device-type")) {
        const auto type = ParseNumber(walk.Value("device-type"));
        if (!type || *type < 0 || *type > 255)
            return OptionError{Msg::CliBadDeviceType, {walk.Value("device-type")}};
        o.deviceType = static_cast<int>(*type);
    }
    if (walk.Has("via")) {
        o.via = walk.Value("via");
        if (!o.via.empty() && o.via != "radio" && o.via != "bluetooth")
            return OptionError{Msg::CliBadVia, {o.via}};
    }
    if (walk.Has("faults")) {
        const auto faults = sim::ParseLinkFaults(walk.Value("faults"));
        if (!faults) return OptionError{Msg::CliBadFaults, {walk.Value("faults")}};
        o.faults = *faults;
    }

    // The runs without a window.
    if (walk.Has("copy")) o.directory = walk.Value("copy");
    o.newData = walk.Has("new");
    if (walk.Has("day")) {
        o.day = ParseDay(walk.Value("day"));
        if (!o.day) return OptionError{Msg::CliBadDay, {walk.Value("day")}};
    }
    if (RunsWithoutWindow(o.mode) && (!o.usb && (!o.port || o.port->empty())))
        return OptionError{Msg::CliNeedsLink, {}};
    const bool copies = o.mode == Copy || o.mode == CopyAll || o.mode == Collect || o.mode == Serve;
    o.timeLimitSeconds = copies ? kCopyLimitSeconds : kReadOutLimitSeconds;
    if (walk.Has("time-limit")) {
        const auto seconds = ParseNumber(walk.Value("time-limit"));
        if (!seconds || *seconds <= 0 || *seconds > kLongestTimeLimitSeconds)
            return OptionError{Msg::CliBadTimeLimit, {walk.Value("time-limit")}};
        o.timeLimitSeconds = static_cast<int>(*seconds);
    }

    // The collection.
    if (walk.Has("collect")) o.stationsFile = walk.Value("collect");
    if (walk.Has("serve")) o.stationsFile = walk.Value("serve");
    if (walk.Has("status")) o.stationsFile = walk.Value("status");
    o.dryRun = walk.Has("dry-run");
    o.demoNetwork = (o.mode == Collect || o.mode == Serve) && walk.Has("demo");

    // The copied data.
    if (walk.Has("export")) o.folder = walk.Value("export");
    if (walk.Has("view")) o.folder = walk.Value("view");
    if (walk.Has("summary")) o.folder = walk.Value("summary");
    if (walk.Has("report")) o.folder = walk.Value("report");
    for (const auto& [name, day] : {std::pair{"from", &o.fromDay}, std::pair{"to", &o.toDay}}) {
        if (!walk.Has(name)) continue;
        *day = ParseDay(walk.Value(name));
        if (!*day) return OptionError{Msg::CliBadDate, {Dashed(name), walk.Value(name)}};
    }
    if (o.fromDay && o.toDay && *o.fromDay > *o.toDay)
        return OptionError{Msg::CliFromAfterTo, {walk.Value("from"), walk.Value("to")}};
    if (walk.Has("csv")) o.csv = walk.Value("csv");
    if (walk.Has("xlsx")) o.xlsx = walk.Value("xlsx");
    if (walk.Has("netcdf")) o.netcdf = walk.Value("netcdf");
    if (o.mode == Export && !o.csv && !o.xlsx && !o.netcdf)
        return OptionError{Msg::ExportNeedsOutput, {}};
    if (walk.Has("archive-sync")) o.archiveSync = walk.Value("archive-sync");
    if (walk.Has("archive")) o.archiveUrl = walk.Value("archive");
    if (walk.Has("archive-init")) o.archiveUrl = walk.Value("archive-init");
    if (walk.Has("pdf")) o.pdf = walk.Value("pdf");
    if (walk.Has("report-title")) o.reportTitle = walk.Value("report-title");
    if (o.mode == Report && !o.pdf) return OptionError{Msg::ReportNeedsPdf, {}};
    return std::nullopt;
}

// ---- The help ---------------------------------------------------------------------------------

enum class Section { Every, Window, Demo, WithoutWindow, Collect, Data };

Section SectionOf(const OptionRow& o) {
    if (o.modes == kEveryMode) return Section::Every;
    for (const Mode m : {Window, Demo, Info, Copy, CopyAll, SyncClock, Collect, Serve, Status,
                         ArchiveSync, ArchiveInit, Export, View, Summary, Report}) {
        if (!o.modes.Has(m)) continue;
        if (m == Window) return Section::Window;
        if (m == Demo) return Section::Demo;
        if (m == Collect || m == Serve || m == Status || m == ArchiveSync || m == ArchiveInit)
            return Section::Collect;
        if (RunsWithoutWindow(m)) return Section::WithoutWindow;
        return Section::Data;
    }
    return Section::Every;
}

struct SectionText {
    Section section;
    std::string_view russian;
    std::string_view english;
};
constexpr std::array<SectionText, 6> kSections = {{
    {Section::Every, "Во всех режимах:", "Every mode:"},
    {Section::Window,
     "Окно программы (когда не указан ни один режим):", "The window (when no mode is given):"},
    {Section::Demo, "Окно с виртуальным логгером, без оборудования (--demo):",
     "The window against a virtual logger, without hardware (--demo):"},
    {Section::WithoutWindow,
     "Без окна и без дисплея: одна из команд --info, --copy, --copy-all, --sync-clock и "
     "--port УСТРОЙСТВО или --usb; результат в JSON на стандартном выводе, сообщения на "
     "стандартном потоке ошибок:",
     "Without a window or a display: one of the commands --info, --copy, --copy-all, "
     "--sync-clock, with --port DEVICE or --usb; the result as JSON on standard output, "
     "messages on standard error:"},
    {Section::Collect,
     "Сбор данных многих логгеров по файлу станций, без окна (--collect, --serve, --status):",
     "Collecting many loggers from a stations file, without a window (--collect, --serve, "
     "--status):"},
    {Section::Data, "Скопированные данные, без логгера (--export, --view, --summary, --report):",
     "Copied data, without a logger (--export, --view, --summary, --report):"},
}};

constexpr std::size_t kHelpWidth = 79;
constexpr std::size_t kHelpColumn = 28;

// Characters, not bytes, of a UTF-8 text.
std::size_t Width(std::string_view text) {
    std::size_t n = 0;
    for (const char ch : text)
        if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80) ++n;
    return n;
}

// `text` wrapped at word boundaries into lines of at most `width` characters; a line of the
// text that starts with a blank is kept as it is.
std::vector<std::string> Wrap(std::string_view text, std::size_t width) {
    std::vector<std::string> lines;
    while (true) {
        const std::size_t end = text.find('\n');
        const std::string_view paragraph = text.substr(0, end);
        if (!paragraph.empty() && paragraph.front() == ' ') {
            lines.emplace_back(paragraph);
        } else {
            std::string line;
            std::size_t at = 0;
            while (at < paragraph.size()) {
                const std::size_t space = paragraph.find(' ', at);
                const std::string_view word = paragraph.substr(at, space - at);
                if (!line.empty() && Width(line) + 1 + Width(word) > width) {
                    lines.push_back(line);
                    line.clear();
                }
                if (!line.empty()) line += ' ';
                line += word;
                at = space == std::string_view::npos ? paragraph.size() : space + 1;
            }
            lines.push_back(line);
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

void AddEntry(std::string& out, const std::string& names, std::string_view help) {
    out += "  " + names;
    const std::size_t used = 2 + Width(names);
    const std::vector<std::string> lines = Wrap(help, kHelpWidth - kHelpColumn);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i].front() == ' ') {
            // A line kept as it is (a table) starts at the names' margin.
            out += "\n  " + lines[i];
            continue;
        }
        if (i == 0 && used + 2 <= kHelpColumn) {
            out += std::string(kHelpColumn - used, ' ');
        } else {
            out += '\n';
            out += std::string(kHelpColumn, ' ');
        }
        out += lines[i];
    }
    out += '\n';
}

void AddParagraph(std::string& out, std::string_view text) {
    for (const std::string& line : Wrap(text, kHelpWidth)) out += line + '\n';
}

}  // namespace

std::span<const OptionRow> OptionTable() {
    return kOptions;
}

Options ParseOptions(const std::vector<std::string>& args) {
    Options o;
    const Walk walk(args);
    // The language first, so that every message is worded in it.
    const std::string lang = walk.Has("lang") ? walk.Value("lang") : std::string();
    o.language = lang == "en" ? Language::English : Language::Russian;
    const auto fail = [&o](OptionError e) {
        o.error = std::move(e);
        return o;
    };
    if (const auto& e = walk.FirstError()) {
        OptionError error = *e;
        // The value's name in the message's language.
        if (error.id == Msg::CliMissingValue)
            error.args.emplace_back(
                In(o.language, walk.MissingValue()->valueRu, walk.MissingValue()->valueEn));
        return fail(std::move(error));
    }
    if (walk.Has("help") || walk.Has("help-all")) {
        o.mode = Help;
        o.qtOptions = walk.Has("help-all");
        return o;
    }
    if (walk.Has("version")) {
        o.mode = Version;
        return o;
    }
    if (walk.Has("lang") && lang != "ru" && lang != "en")
        return fail(OptionError{Msg::CliBadLanguage, {lang}});
    if (auto e = ChooseMode(walk, o)) return fail(std::move(*e));
    if (auto e = CheckCombination(walk, o.mode)) return fail(std::move(*e));
    if (auto e = ReadValues(walk, o)) return fail(std::move(*e));
    return o;
}

std::string ErrorText(const Options& options) {
    if (!options.error) return {};
    const std::vector<std::string>& a = options.error->args;
    switch (a.size()) {
        case 0:
            return Message(options.error->id, options.language);
        case 1:
            return Message(options.error->id, options.language, {a[0]});
        default:
            return Message(options.error->id, options.language, {a[0], a[1]});
    }
}

std::string HelpText(Language language, bool qtOptions) {
    std::string out;
    out += In(language, "Использование: qm-controller [ПАРАМЕТРЫ]\n",
              "Usage: qm-controller [OPTIONS]\n");
    AddParagraph(out, In(language,
                         "Управляет регистраторами данных QM Controller: окно программы, "
                         "работа без окна и скопированные данные.",
                         "Controls QM Controller measurement data loggers: the window, "
                         "runs without a window, and the copied data."));
    for (const SectionText& s : kSections) {
        out += '\n';
        AddParagraph(out, In(language, s.russian, s.english));
        for (const OptionRow& o : kOptions) {
            if (SectionOf(o) != s.section) continue;
            std::string names;
            for (const char letter : o.shortNames) names += std::string("-") + letter + ", ";
            names += Dashed(o.name);
            const std::string_view value = In(language, o.valueRu, o.valueEn);
            if (!value.empty()) names += " " + std::string(value);
            AddEntry(out, names, In(language, o.helpRu, o.helpEn));
        }
    }
    if (qtOptions) {
        out += '\n';
        AddParagraph(out, In(language,
                             "Собственные параметры Qt для окна, их обрабатывает Qt (см. "
                             "документацию Qt о QGuiApplication и QApplication):",
                             "Qt's own options of the window, taken by Qt (see Qt's "
                             "documentation of QGuiApplication and QApplication):"));
        std::string line = " ";
        for (const QtOption& q : kQtOptions) {
            std::string entry = " -" + std::string(q.name);
            if (!q.value.empty())
                entry += (q.value.front() == '=' ? "" : " ") + std::string(q.value);
            if (Width(line) + Width(entry) > kHelpWidth) {
                out += line + '\n';
                line = " ";
            }
            line += entry;
        }
        out += line + '\n';
    }
    out += '\n';
    AddParagraph(out, In(language,
                         "Код завершения: 0 — сделано; 1 — работа не удалась (без окна, "
                         "экспорт, снимок окна) или для сводки нет измерений; 2 — командную строку "
                         "нельзя использовать или "
                         "работа без окна не нашла логгер; 3 — таблица записана, но часть "
                         "строк файлов данных или таблицы датчиков пропущена, или сводка выведена, "
                         "и датчик превысил свой предел.",
                         "Exit status: 0 done; 1 the work failed (a run without a window, an "
                         "export, a screenshot) or a summary has no measurements; 2 the command "
                         "line cannot be used, or a run "
                         "without a window reached no logger; 3 the export was written, but "
                         "lines of the data files or of the sensor table were skipped, or a "
                         "summary was printed and a sensor exceeded its limit."));
    return out;
}

}  // namespace qm

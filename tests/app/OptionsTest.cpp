// The program's command line: one table of every option, one parse into Options. Every mode is
// recognised, options that cannot stand together and bad values are refused with a message in
// the language of --lang, and the help lists every option of the table. On Linux the program
// itself is run too, with no display, for the exit status and the messages a script sees.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/Options.h"
#include "sim/FaultyDevice.h"
#include "sim/VirtualLogger.h"
#include "store/Export.h"
#include "tests/support/WarmingBorehole.h"

#ifdef QMC_CONTROLLER
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qm::test {
namespace {

Options Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "qm-controller");
    return ParseOptions(args);
}

// The error of a command line that must be refused, as its message id.
Msg ErrorOf(const std::vector<std::string>& args) {
    const Options o = Parse(args);
    EXPECT_TRUE(o.error) << "accepted: " << ::testing::PrintToString(args);
    return o.error ? o.error->id : Msg::InternalError;
}

TEST(Options, NoOptionOpensTheWindowInRussian) {
    const Options o = Parse({});
    EXPECT_FALSE(o.error);
    EXPECT_EQ(o.mode, Mode::Window);
    EXPECT_EQ(o.language, Language::Russian);
    EXPECT_FALSE(o.port);
    EXPECT_TRUE(o.screenshot.empty());
    EXPECT_EQ(o.screenshotAfterMs, kWindowScreenshotAfterMs);
    EXPECT_EQ(o.deviceType, sim::LoggerConfig{}.deviceType);
}

TEST(Options, EveryModeIsRecognisedByItsOption) {
    const std::vector<std::pair<std::vector<std::string>, Mode>> cases = {
        {{"--port", "/dev/rfcomm0"}, Mode::Window},
        {{"--demo"}, Mode::Demo},
        {{"--info", "--usb"}, Mode::Info},
        {{"--port", "/dev/ttyUSB0", "--copy", "OBJ_A01"}, Mode::Copy},
        {{"--copy-all", "--usb"}, Mode::CopyAll},
        {{"--sync-clock", "--port", "COM3"}, Mode::SyncClock},
        {{"--export", "DATA/OBJ", "--csv", "out.csv"}, Mode::Export},
        {{"--view", "DATA"}, Mode::View},
        {{"--status", "stations.toml"}, Mode::Status},
        {{"--archive-sync", "DATA", "--archive", "postgresql:///qm"}, Mode::ArchiveSync},
        {{"--archive-init", "postgresql:///qm"}, Mode::ArchiveInit},
        {{"--summary", "DATA/OBJ"}, Mode::Summary},
        {{"--summary", "DATA/OBJ", "--from", "2024-01-01", "--to", "2024-12-31"}, Mode::Summary},
        {{"--help"}, Mode::Help},
        {{"-h"}, Mode::Help},
        {{"-?"}, Mode::Help},
        {{"--help-all"}, Mode::Help},
        {{"--version"}, Mode::Version},
    };
    for (const auto& [args, mode] : cases) {
        const Options o = Parse(args);
        EXPECT_FALSE(o.error) << ::testing::PrintToString(args) << ": " << ErrorText(o);
        EXPECT_EQ(o.mode, mode) << ::testing::PrintToString(args);
    }
    EXPECT_TRUE(Parse({"--help-all"}).qtOptions);
    EXPECT_FALSE(Parse({"--help"}).qtOptions);
}

TEST(Options, ValuesAreTakenInBothSpellingsAndTheLastOneCounts) {
    Options o = Parse({"--port=/dev/ttyS0", "--lang=en"});
    EXPECT_EQ(o.port, "/dev/ttyS0");
    EXPECT_EQ(o.language, Language::English);
    o = Parse({"--lang", "en", "--lang", "ru"});
    EXPECT_EQ(o.language, Language::Russian);
    // A value that starts with a dash is given with "=".
    o = Parse({"--usb", "--copy=-odd-", "--lang", "en"});
    EXPECT_FALSE(o.error) << ErrorText(o);
    EXPECT_EQ(o.directory, "-odd-");
    // Names are UTF-8 as given.
    o = Parse({"--usb", "--copy", "Котельная"});
    EXPECT_EQ(o.directory, "Котельная");
}

TEST(Options, TheWindowAndTheDemoTakeTheirValues) {
    Options o = Parse({"--demo", "--device-type", "88", "--via", "bluetooth", "--faults",
                       "lose-reply=20,delay=50", "--screenshot", "s.png", "--after", "0"});
    ASSERT_FALSE(o.error) << ErrorText(o);
    EXPECT_EQ(o.mode, Mode::Demo);
    EXPECT_EQ(o.deviceType, 88);
    EXPECT_EQ(o.via, "bluetooth");
    EXPECT_EQ(o.faults.loseEveryNthReply, 20);
    EXPECT_EQ(o.screenshot, "s.png");
    EXPECT_EQ(o.screenshotAfterMs, 0);
    EXPECT_EQ(Parse({"--demo", "--via", "radio"}).via, "radio");
    // The viewer waits less for its screenshot.
    o = Parse({"--view", "DATA", "--screenshot", "v.png"});
    EXPECT_EQ(o.folder, "DATA");
    EXPECT_EQ(o.screenshotAfterMs, kViewerScreenshotAfterMs);
}

TEST(Options, RunsWithoutAWindowTakeTheirValues) {
    Options o = Parse({"--port", "/dev/ttyUSB0", "--copy", "OBJ_A01", "--day", "2024-02-29"});
    ASSERT_FALSE(o.error) << ErrorText(o);
    EXPECT_EQ(o.port, "/dev/ttyUSB0");
    EXPECT_FALSE(o.usb);
    EXPECT_EQ(o.directory, "OBJ_A01");
    EXPECT_EQ(o.day, DateTime::FromDate(2024, 2, 29));
    EXPECT_FALSE(o.newData);
    EXPECT_EQ(o.timeLimitSeconds, kCopyLimitSeconds);

    o = Parse({"--usb", "--copy-all", "--new", "--lang", "en"});
    ASSERT_FALSE(o.error) << ErrorText(o);
    EXPECT_TRUE(o.usb);
    EXPECT_FALSE(o.port);
    EXPECT_TRUE(o.newData);
    EXPECT_EQ(o.language, Language::English);
    EXPECT_EQ(o.timeLimitSeconds, kCopyLimitSeconds);

    o = Parse({"--usb", "--copy-all", "--archive", "postgresql://qm@host/db"});
    EXPECT_EQ(o.archiveUrl, "postgresql://qm@host/db");
    EXPECT_TRUE(Parse({"--usb", "--info", "--archive", "postgresql:///qm"}).error);

    o = Parse({"--usb", "--info"});
    EXPECT_EQ(o.timeLimitSeconds, kReadOutLimitSeconds);
    o = Parse({"--usb", "--sync-clock", "--time-limit", "30"});
    EXPECT_EQ(o.timeLimitSeconds, 30);
}

TEST(Options, TheExportTakesItsFolderAndFiles) {
    const Options o = Parse({"--export", "DATA/Котельная", "--xlsx", "k.xlsx", "--csv", "k.csv"});
    ASSERT_FALSE(o.error) << ErrorText(o);
    EXPECT_EQ(o.folder, "DATA/Котельная");
    EXPECT_EQ(o.csv, "k.csv");
    EXPECT_EQ(o.xlsx, "k.xlsx");
    EXPECT_FALSE(Parse({"--export", "D", "--xlsx", "k.xlsx"}).csv);
    // NetCDF alone, or beside the other two.
    const Options nc = Parse({"--export", "D", "--netcdf", "k.nc"});
    ASSERT_FALSE(nc.error) << ErrorText(nc);
    EXPECT_EQ(nc.netcdf, "k.nc");
    EXPECT_FALSE(nc.csv || nc.xlsx);
    const Options all =
        Parse({"--export", "D", "--netcdf", "k.nc", "--csv", "k.csv", "--xlsx", "k.xlsx"});
    ASSERT_FALSE(all.error) << ErrorText(all);
    EXPECT_TRUE(all.netcdf && all.csv && all.xlsx);
}

TEST(Options, TheSummaryTakesItsFolderAndAPeriodOfWholeDays) {
    Options o =
        Parse({"--summary", "DATA/Скважина 3", "--to", "2024-06-30", "--from", "2024-01-01"});
    ASSERT_FALSE(o.error) << ErrorText(o);
    EXPECT_EQ(o.folder, "DATA/Скважина 3");
    EXPECT_EQ(o.fromDay, DateTime::FromDate(2024, 1, 1));
    EXPECT_EQ(o.toDay, DateTime::FromDate(2024, 6, 30));
    // One day is a period too; no bound means the whole data set.
    o = Parse({"--summary", "D", "--from", "2024-02-29", "--to", "2024-02-29"});
    EXPECT_FALSE(o.error) << ErrorText(o);
    o = Parse({"--summary", "D"});
    EXPECT_FALSE(o.fromDay || o.toDay);

    for (const char* bad : {"2024-02-30", "2024-1-01", "01.01.2024", "", "2024-13-01"}) {
        o = Parse({"--summary", "D", "--from", bad});
        ASSERT_TRUE(o.error) << bad;
        EXPECT_EQ(o.error->id, Msg::CliBadDate) << bad;
        EXPECT_EQ(o.error->args, (std::vector<std::string>{"--from", bad}));
    }
    EXPECT_EQ(ErrorOf({"--summary", "D", "--to", "soon"}), Msg::CliBadDate);
    o = Parse({"--summary", "D", "--from", "2024-03-01", "--to", "2024-02-01", "--lang", "en"});
    EXPECT_EQ(ErrorText(o),
              "The period's start --from 2024-03-01 is after its end --to 2024-02-01");
    EXPECT_EQ(ErrorOf({"--summary"}), Msg::CliMissingValue);
    EXPECT_EQ(ErrorOf({"--from", "2024-01-01"}), Msg::CliWorksOnlyWith);
    EXPECT_EQ(ErrorOf({"--export", "D", "--csv", "c", "--to", "2024-01-01"}),
              Msg::CliWorksOnlyWith);
    EXPECT_EQ(ErrorOf({"--summary", "D", "--export", "D", "--csv", "c"}), Msg::CliExclusive);
    EXPECT_EQ(ErrorOf({"--summary", "D", "--usb"}), Msg::CliWorksOnlyWith);
    EXPECT_EQ(ErrorOf({"--summary", "D", "--port", "COM3"}), Msg::CliNotWith);
}

TEST(Options, TheReportTakesItsFolderAFileATitleAndAPeriod) {
    const Options o = Parse(
        {"--report", "D", "--pdf", "r.pdf", "--from", "2024-01-01", "--report-title", "Объект 5"});
    EXPECT_EQ(o.mode, Mode::Report);
    EXPECT_EQ(o.folder, "D");
    EXPECT_EQ(o.pdf, "r.pdf");
    EXPECT_EQ(o.reportTitle, "Объект 5");
    EXPECT_EQ(o.fromDay, DateTime::FromDate(2024, 1, 1));
    EXPECT_EQ(ErrorOf({"--report", "D"}), Msg::ReportNeedsPdf);
    EXPECT_EQ(ErrorOf({"--summary", "D", "--pdf", "r.pdf"}), Msg::CliWorksOnlyWith);
}

TEST(Options, OptionsThatCannotStandTogetherAreRefused) {
    EXPECT_EQ(ErrorOf({"--demo", "--port", "/dev/null"}), Msg::CliExclusive);
    EXPECT_EQ(ErrorOf({"--usb", "--port", "/dev/null", "--info"}), Msg::CliExclusive);
    EXPECT_EQ(ErrorOf({"--usb", "--copy", "X", "--new", "--day", "2024-01-01"}), Msg::CliExclusive);
    // Two modes.
    EXPECT_EQ(ErrorOf({"--usb", "--info", "--copy", "X"}), Msg::CliOneCommand);
    EXPECT_EQ(ErrorOf({"--usb", "--info", "--sync-clock"}), Msg::CliOneCommand);
    EXPECT_EQ(ErrorOf({"--export", "D", "--csv", "c", "--view", "D"}), Msg::CliExclusive);
    EXPECT_EQ(ErrorOf({"--demo", "--info"}), Msg::CliExclusive);
    EXPECT_EQ(ErrorOf({"--view", "D", "--usb", "--copy-all"}), Msg::CliExclusive);
    // An option of another mode.
    EXPECT_EQ(ErrorOf({"--usb", "--info", "--new"}), Msg::CliWorksOnlyWith);
    EXPECT_EQ(ErrorOf({"--usb", "--copy-all", "--day", "2024-01-01"}), Msg::CliWorksOnlyWith);
    EXPECT_EQ(ErrorOf({"--csv", "out.csv"}), Msg::CliWorksOnlyWith);
    EXPECT_EQ(ErrorOf({"--device-type", "88"}), Msg::CliWorksOnlyWith);
    EXPECT_EQ(ErrorOf({"--view", "D", "--xlsx", "x"}), Msg::CliWorksOnlyWith);
    EXPECT_EQ(ErrorOf({"--summary", "D", "--netcdf", "x.nc"}), Msg::CliWorksOnlyWith);
    EXPECT_EQ(ErrorOf({"--usb", "--info", "--screenshot", "s.png"}), Msg::CliNotWith);
    EXPECT_EQ(ErrorOf({"--export", "D", "--csv", "c", "--port", "COM3"}), Msg::CliNotWith);
    // Options of a run without a window, but no command.
    EXPECT_EQ(ErrorOf({"--usb"}), Msg::CliOneCommand);
    EXPECT_EQ(ErrorOf({"--port", "/dev/null", "--time-limit", "5"}), Msg::CliOneCommand);

    const Options o = Parse({"--port", "/dev/null", "--demo", "--lang", "en"});
    EXPECT_EQ(ErrorText(o), "--port and --demo exclude each other");
    EXPECT_EQ(ErrorText(Parse({"--usb", "--info", "--new", "--lang", "en"})),
              "--new works only with --copy, --copy-all");
    EXPECT_EQ(ErrorText(Parse({"--usb", "--info", "--screenshot", "s", "--lang", "en"})),
              "--screenshot does not work with --info");
}

TEST(Options, BadValuesAreRefused) {
    EXPECT_EQ(ErrorOf({"--demo", "--device-type", "256"}), Msg::CliBadDeviceType);
    EXPECT_EQ(ErrorOf({"--demo", "--device-type=-1"}), Msg::CliBadDeviceType);
    EXPECT_EQ(ErrorOf({"--demo", "--device-type", "8x"}), Msg::CliBadDeviceType);
    EXPECT_EQ(ErrorOf({"--demo", "--via", "modem"}), Msg::CliBadVia);
    EXPECT_EQ(ErrorOf({"--demo", "--faults", "lose-everything=1"}), Msg::CliBadFaults);
    EXPECT_EQ(ErrorOf({"--demo", "--after=-5"}), Msg::AfterNeedsMilliseconds);
    EXPECT_EQ(ErrorOf({"--view", "D", "--screenshot", "s", "--after", "soon"}),
              Msg::AfterNeedsMilliseconds);
    EXPECT_EQ(ErrorOf({"--lang", "de"}), Msg::CliBadLanguage);
    EXPECT_EQ(ErrorOf({"--export", "D", "--csv", "c", "--lang", "fr"}), Msg::CliBadLanguage);
    EXPECT_EQ(ErrorOf({"--port", "/dev/null", "--copy", "X", "--day", "2024-02-30"}),
              Msg::CliBadDay);
    EXPECT_EQ(ErrorOf({"--port", "/dev/null", "--copy", "X", "--day", "2024-2-3"}), Msg::CliBadDay);
    EXPECT_EQ(ErrorOf({"--usb", "--info", "--time-limit", "0"}), Msg::CliBadTimeLimit);
    EXPECT_EQ(ErrorOf({"--usb", "--info", "--time-limit", "999999999"}), Msg::CliBadTimeLimit);
    EXPECT_EQ(ErrorOf({"--info"}), Msg::CliNeedsLink);
    EXPECT_EQ(ErrorOf({"--port", "", "--info"}), Msg::CliNeedsLink);
    EXPECT_EQ(ErrorOf({"--export", "D"}), Msg::ExportNeedsOutput);

    EXPECT_EQ(ErrorText(Parse({"--demo", "--device-type", "300", "--lang", "en"})),
              "--device-type takes a number from 0 to 255, not \"300\"");
    EXPECT_EQ(ErrorText(Parse({"--usb", "--copy", "X", "--day", "1.1.2024"})),
              "--day принимает дату в виде ГГГГ-ММ-ДД, а не «1.1.2024»");
}

TEST(Options, UnknownOptionsAndStrayArgumentsAreRefused) {
    EXPECT_EQ(ErrorOf({"--bogus"}), Msg::CliUnknownOption);
    EXPECT_EQ(ErrorOf({"--usb", "--info", "--bogus=1"}), Msg::CliUnknownOption);
    EXPECT_EQ(ErrorOf({"-x"}), Msg::CliUnknownOption);
    EXPECT_EQ(ErrorOf({"-info"}), Msg::CliUnknownOption);
    EXPECT_EQ(ErrorOf({"--usb", "--info=yes"}), Msg::CliUnexpectedValue);
    EXPECT_EQ(ErrorOf({"--usb", "--info", "stray"}), Msg::CliUnexpectedArgument);
    EXPECT_EQ(ErrorOf({"--", "--demo"}), Msg::CliUnexpectedArgument);
    EXPECT_EQ(ErrorOf({"--usb", "--info", "--port"}), Msg::CliMissingValue);

    EXPECT_EQ(ErrorText(Parse({"--bogus=1"})),
              "Неизвестный параметр --bogus; все параметры перечисляет --help");
    EXPECT_EQ(ErrorText(Parse({"--lang", "en", "--copy"})), "--copy needs a value: --copy DIR");
    EXPECT_EQ(ErrorText(Parse({"--copy"})), "После --copy нужно значение: --copy КАТАЛОГ");
    // The first argument that cannot be read is the one named.
    EXPECT_EQ(ErrorText(Parse({"--nope", "--bogus", "--lang", "en"})),
              "Unknown option --nope; --help lists every option");
}

TEST(Options, MessagesAreInTheLanguageOfLangWhereverItStands) {
    EXPECT_EQ(ErrorText(Parse({"--info"})), "Укажите, где логгер: --port УСТРОЙСТВО или --usb");
    EXPECT_EQ(ErrorText(Parse({"--info", "--lang", "en"})),
              "Say where the logger is: --port DEVICE or --usb");
    EXPECT_EQ(ErrorText(Parse({"--bogus", "--lang=en"})),
              "Unknown option --bogus; --help lists every option");
    // A language that cannot be used is named in Russian, as the window starts.
    EXPECT_EQ(ErrorText(Parse({"--lang", "de"})), "--lang принимает ru или en, а не «de»");
    EXPECT_EQ(ErrorText(Parse({})), "");
}

TEST(Options, QtsOwnOptionsOfTheWindowAreLetThrough) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-platform", "offscreen", "--demo"},
          {"--platform", "offscreen", "--demo"},
          {"-style=fusion", "-reverse", "--demo"},
          {"--demo", "-qwindowgeometry", "800x600+0+0", "-platform", "offscreen"}}) {
        const Options o = Parse(args);
        EXPECT_FALSE(o.error) << ::testing::PrintToString(args) << ": " << ErrorText(o);
        EXPECT_EQ(o.mode, Mode::Demo);
    }
    // They do no harm where there is no window.
    EXPECT_EQ(Parse({"-platform", "offscreen", "--usb", "--info"}).mode, Mode::Info);
}

TEST(Options, HelpIsGivenWhateverElseTheCommandLineAsks) {
    // As Qt's parser did: an argument that cannot be read still comes first.
    EXPECT_EQ(Parse({"--info", "--help"}).mode, Mode::Help);
    EXPECT_EQ(Parse({"--export", "D", "--help"}).mode, Mode::Help);
    EXPECT_EQ(Parse({"--view", "D", "-h", "--lang", "en"}).language, Language::English);
    EXPECT_EQ(ErrorOf({"--help", "--bogus"}), Msg::CliUnknownOption);
}

TEST(Options, TheTableDeclaresEachOptionOnceAndEveryModeHasItsOption) {
    std::set<std::string_view> names;
    std::set<char> letters;
    for (const OptionRow& o : OptionTable()) {
        EXPECT_TRUE(names.insert(o.name).second) << o.name;
        for (const char c : o.shortNames) EXPECT_TRUE(letters.insert(c).second) << c;
        EXPECT_FALSE(o.helpRu.empty()) << o.name;
        EXPECT_FALSE(o.helpEn.empty()) << o.name;
        EXPECT_EQ(o.valueRu.empty(), o.valueEn.empty()) << o.name;
        if (o.selects) {
            EXPECT_TRUE(o.modes.Has(*o.selects)) << o.name;
        }
    }
    for (const Mode m :
         {Mode::Demo, Mode::Info, Mode::Copy, Mode::CopyAll, Mode::SyncClock, Mode::Collect,
          Mode::Serve, Mode::Status, Mode::ArchiveSync, Mode::ArchiveInit, Mode::Export, Mode::View,
          Mode::Summary, Mode::Report, Mode::Help, Mode::Version}) {
        bool selected = false;
        for (const OptionRow& o : OptionTable()) selected = selected || o.selects == m;
        EXPECT_TRUE(selected) << static_cast<int>(m);
    }
    // The spelling of every option, as scripts, the manual page and the README use them.
    const std::set<std::string_view> expected = {
        "help",        "help-all",     "version",     "lang",  "port",         "screenshot",
        "after",       "demo",         "device-type", "via",   "faults",       "usb",
        "info",        "copy",         "new",         "day",   "copy-all",     "sync-clock",
        "time-limit",  "export",       "csv",         "xlsx",  "view",         "collect",
        "dry-run",     "summary",      "from",        "to",    "netcdf",       "report",
        "pdf",         "report-title", "status",      "serve", "archive-sync", "archive",
        "archive-init"};
    EXPECT_EQ(names, expected);
}

TEST(Options, HelpListsEveryOptionOfEveryModeInBothLanguages) {
    for (const Language language : {Language::Russian, Language::English}) {
        const std::string help = HelpText(language);
        for (const OptionRow& o : OptionTable()) {
            const std::string_view value = language == Language::English ? o.valueEn : o.valueRu;
            const std::string entry =
                "--" + std::string(o.name) + (o.valueEn.empty() ? "" : " " + std::string(value));
            EXPECT_NE(help.find("  " + entry), std::string::npos) << entry << " in:\n" << help;
            const std::string_view text = language == Language::English ? o.helpEn : o.helpRu;
            const std::string firstWords(text.substr(0, 12));
            EXPECT_NE(help.find(firstWords), std::string::npos) << firstWords;
        }
        // Those the window's help once left out.
        for (const char* name : {"--view", "--export", "--csv", "--xlsx", "--netcdf", "--summary"})
            EXPECT_NE(help.find(name), std::string::npos) << name;
        EXPECT_NE(help.find("-h, -?, --help"), std::string::npos);
        // Qt's own options only when asked for.
        EXPECT_EQ(help.find("-platform"), std::string::npos);
        EXPECT_NE(HelpText(language, true).find("-platform NAME"), std::string::npos);
    }
    EXPECT_NE(HelpText(Language::Russian).find("Использование"), std::string::npos);
    EXPECT_NE(HelpText(Language::English).find("Usage"), std::string::npos);
}

TEST(Options, TheHelpOfFaultsNamesEveryKeyTheVirtualLinkTakes) {
    const OptionRow* faults = nullptr;
    for (const OptionRow& o : OptionTable())
        if (o.name == "faults") faults = &o;
    ASSERT_NE(faults, nullptr);
    std::istringstream keys(sim::kLinkFaultsHelp);
    std::string key;
    int count = 0;
    for (std::string line; std::getline(keys, line);) {
        std::istringstream words(line);
        if (!(words >> key) || key.find('=') == std::string::npos) continue;
        ++count;
        EXPECT_NE(faults->helpEn.find("    " + key + " "), std::string_view::npos) << key;
        EXPECT_NE(faults->helpRu.find("    " + key + " "), std::string_view::npos) << key;
        // What the help names is what the parse takes.
        const std::string example = key.substr(0, key.find('=') + 1) + "1";
        if (key.rfind("delay-on", 0) != 0) {
            EXPECT_FALSE(Parse({"--demo", "--faults", example}).error) << example;
        }
    }
    EXPECT_GE(count, 9);
}

#ifdef QMC_CONTROLLER
// The program itself, as a script runs it: no display of any kind in the environment.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& arg) {
    std::string q = "'";
    for (const char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ProgramRun Program(const std::vector<std::string>& args) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto out = dir / ("qm-options-test-out-" + std::to_string(::getpid()));
    const auto err = dir / ("qm-options-test-err-" + std::to_string(::getpid()));
    std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + Quoted(QMC_CONTROLLER);
    for (const std::string& a : args) command += " " + Quoted(a);
    command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    ProgramRun r;
    r.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}

TEST(Program, AnUnknownOptionEndsWithStatusTwoAndAMessageInTheLanguageChosen) {
    ProgramRun r = Program({"--bogus"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "qm-controller: Неизвестный параметр --bogus; все параметры перечисляет --help\n");
    EXPECT_TRUE(r.out.empty());
    r = Program({"--bogus", "--lang", "en"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "qm-controller: Unknown option --bogus; --help lists every option\n");
}

TEST(Program, EveryModesCommandLineErrorNeedsNoDisplay) {
    // Each of these would need a window if it could be used; refused, none asks for a display.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--demo", "--port", "/dev/null", "--lang", "en"},
          {"--demo", "--device-type", "300", "--lang", "en"},
          {"--view", "DATA", "--export", "DATA", "--csv", "x.csv", "--lang", "en"},
          {"--port", "/dev/null", "--usb", "--info", "--lang", "en"},
          {"--export", "DATA", "--lang", "en"}}) {
        const ProgramRun r = Program(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args) << r.err;
        EXPECT_EQ(r.err.rfind("qm-controller: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find("display"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Program({"--demo", "--port", "/dev/null", "--lang", "en"}).err,
              "qm-controller: --port and --demo exclude each other\n");
}

TEST(Program, HelpListsEveryOptionWithoutADisplay) {
    for (const Language language : {Language::Russian, Language::English}) {
        const ProgramRun r = language == Language::English ? Program({"--help", "--lang", "en"})
                                                           : Program({"--help"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
        EXPECT_EQ(r.out, HelpText(language));
        for (const OptionRow& o : OptionTable())
            EXPECT_NE(r.out.find("--" + std::string(o.name)), std::string::npos) << o.name;
    }
    // Asked for beside a mode, the help is the same: every option of every mode.
    EXPECT_EQ(Program({"--export", "x", "--help"}).out, HelpText(Language::Russian));
    EXPECT_EQ(Program({"--view", "x", "-h", "--lang", "en"}).out, HelpText(Language::English));
    EXPECT_EQ(Program({"--help-all"}).out, HelpText(Language::Russian, true));
}

// An option is never a value; each export file stands alone; a damaged sensor table gives 3.
TEST(Program, OptionsTakeNoOptionForAValueAndExportsEndAsTheirFilesDo) {
    for (const OptionRow& o : OptionTable()) {
        if (o.valueEn.empty()) continue;
        const std::string name = "--" + std::string(o.name);
        EXPECT_EQ(ErrorText(Parse({name, "--lang", "en"})),
                  name + " needs a value: " + name + " " + std::string(o.valueEn));
    }
    EXPECT_EQ(Program({"--copy", "--lang", "en"}).err,
              "qm-controller: --copy needs a value: --copy DIR\n");
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("qm-export-test-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "2024_3.dat", std::ios::binary)
        << "10:00 05.03.2024\r\n   1.50  -0.25\r\n";
    const fs::path xlsx = folder / "ok.xlsx";
    ProgramRun r = Program({"--export", folder.string(), "--csv", (folder / "no/x.csv").string(),
                            "--xlsx", xlsx.string(), "--lang", "en"});
    EXPECT_EQ(r.status, XlsxExportAvailable() ? 1 : 2) << r.err;
    EXPECT_EQ(fs::exists(xlsx), XlsxExportAvailable()) << r.err;
    std::ofstream(folder / "sensors.csv", std::ios::binary)
        << "sensor,depth_m,label\n1,0.2,\n1,x\n";
    r = Program({"--export", folder.string(), "--csv", (folder / "ok.csv").string()});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_TRUE(fs::exists(folder / "ok.csv"));
    EXPECT_EQ(r.err.rfind((folder / "sensors.csv").string() + ":3: ", 0), 0u) << r.err;
    fs::remove_all(folder);
}

TEST(Program, TheSummaryPrintsOneJsonObjectOrSaysWhyNot) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("qm-summary-test-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "2024_3.dat", std::ios::binary)
        << "title\r\n"
           "10:00 05.03.2024\r\n   1.50  -0.25\r\n"
           "11:00 05.03.2024\r\n   2.50  -0.75\r\n"
           "10:00 06.03.2024\r\n   3.50\r\n";
    std::ofstream(folder / "sensors.csv", std::ios::binary)
        << "sensor,depth_m,label\n1,0.2,верх\n2,1.5,\n3,x,\n";

    ProgramRun r = Program({"--summary", folder.string(), "--to", "2024-03-05", "--lang", "en"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Indented as --info prints, keys in their order.
    EXPECT_EQ(r.out.rfind("{\n    \"measurements\": 2,\n    \"expectedMeasurements\": 14,\n"
                          "    \"gaps\": [],\n    \"sensors\": [\n        {\n"
                          "            \"sensor\": 1,\n            \"depthMetres\": 0.2,\n"
                          "            \"label\": \"верх\",\n            \"count\": 2,\n"
                          "            \"completeness\": 0.1429,\n            \"min\": 1.5,\n"
                          "            \"max\": 2.5,\n            \"mean\": 2,\n"
                          "            \"flags\": [],\n            \"limitC\": null,\n"
                          "            \"marginC\": null,\n            \"exceedance\": null,\n"
                          "            \"trendCPerDecade\": null\n        },\n",
                          0),
              0u)
        << r.out;
    // Where 2.5 °C at 0.2 m and -0.25 °C at 1.5 m put 0 °C.
    EXPECT_NE(r.out.find("    \"activeLayerMetres\": 1.382,\n    \"zeroAmplitudeMetres\": null,\n"
                         "    \"warnings\": [],\n    \"exceeded\": 0\n}\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, (folder / "sensors.csv").string() +
                         ":4: the depth must be a number of metres with a decimal point, "
                         "or empty; line skipped\n");

    r = Program({"--summary", folder.string(), "--from", "2024-03-07"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("нет измерений за выбранный период"), std::string::npos) << r.err;
    r = Program({"--summary", (folder / "none").string()});
    EXPECT_EQ(r.status, 1);
    r = Program({"--summary", folder.string(), "--from", "5 March"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty());
    fs::remove_all(folder);
}

class WarmingBoreholeRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder =
            std::filesystem::temp_directory_path() / ("qm-warming-" + std::to_string(::getpid()));
        WriteWarmingBorehole(folder);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(folder); }
    static inline std::filesystem::path folder;
};

TEST_F(WarmingBoreholeRun, TheSummaryEndsWithThreeWhenALimitWasExceeded) {
    ProgramRun r = Program({"--summary", folder.string()});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.out.find("\"exceeded\": 1\n}"), std::string::npos) << r.out;
    // 2022 holds only the flagged spike above the limit.
    r = Program({"--summary", folder.string(), "--from", "2022-01-01", "--to", "2022-12-31"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"exceeded\": 0\n}"), std::string::npos) << r.out;
}

TEST_F(WarmingBoreholeRun, TheReportHoldsTheTitleEverySensorTheConclusionAndTheDigests) {
    const std::filesystem::path pdf = folder.parent_path() / (folder.filename().string() + ".pdf");
    ProgramRun r = Program({"--report", folder.string(), "--pdf", pdf.string(), "--lang", "en",
                            "--report-title", "Site 5, borehole 2"});
    ASSERT_EQ(r.status, 0) << r.err;
    const ProgramRun text = [&] {
        ProgramRun t;
        const std::string out = pdf.string() + ".txt";
        t.status =
            std::system(("pdftotext -layout " + Quoted(pdf.string()) + " " + Quoted(out)).c_str());
        t.out = ReadAll(out);
        std::filesystem::remove(out);
        return t;
    }();
    ASSERT_EQ(text.status, 0) << "pdftotext (poppler-utils) is needed";
    const std::string& t = text.out;
    for (const char* piece :
         {"Ground temperature monitoring report", "Site 5, borehole 2", "Data set: qm-warming-",
          "Period: 2021-01-01 00:00 to 2023-12-31 23:00", "Measurement interval: 60 min",
          "Measurements: 26280; sensors: 3", "Prepared:", "Checked:", "верх", "середина", "низ",
          "Conclusion", "the limit of 5.0 °C was exceeded from 2023-08-01 00:00", "20.0 h",
          "Sensors with flags: 1 (spikes).", "2021_1.dat", "2023_12.dat", "sensors.csv"})
        EXPECT_NE(t.find(piece), std::string::npos) << piece << " in:\n" << t;
    // Every file read, with its SHA-256 as sha256sum gives it.
    const std::string sums = folder.string() + ".sums";
    ASSERT_EQ(std::system(("cd " + Quoted(folder.string()) + " && sha256sum *.dat sensors.csv > " +
                           Quoted(sums))
                              .c_str()),
              0);
    std::istringstream lines(ReadAll(sums));
    std::filesystem::remove(sums);
    std::string digest, name;
    std::size_t files = 0;
    while (lines >> digest >> name) {
        EXPECT_NE(t.find(digest), std::string::npos) << name;
        ++files;
    }
    EXPECT_EQ(files, 37u);
    std::filesystem::remove(pdf);

    // A period without a measurement writes nothing.
    r = Program({"--report", folder.string(), "--pdf", pdf.string(), "--from", "2030-01-01"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(pdf));
}
#endif

}  // namespace
}  // namespace qm::test

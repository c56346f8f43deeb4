#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

#include "collect/StationsFile.h"
#include "store/LocalFiles.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// The stations file a field engineer writes, in a folder of its own.
class StationsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        folder = fs::temp_directory_path() /
                 ("qm_stations_" + std::to_string(rd()) + "_" + std::to_string(rd())) /
                 Utf8Path("Объект");
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder.parent_path(), ec);
    }
    fs::path Write(const std::string& text) const {
        const fs::path file = folder / Utf8Path("станции.toml");
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    StationsPlan Plan(const std::string& text) const {
        StationsFileRead read = ReadStationsFile(Write(text));
        if (const auto* e = std::get_if<StationsFileError>(&read)) {
            ADD_FAILURE() << e->Text(Language::English);
            return {};
        }
        return std::get<StationsPlan>(std::move(read));
    }
    StationsFileError Error(const std::string& text) const {
        StationsFileRead read = ReadStationsFile(Write(text));
        if (const auto* e = std::get_if<StationsFileError>(&read)) return *e;
        ADD_FAILURE() << "accepted:\n" << text;
        return {};
    }

    fs::path folder;
};

TEST_F(StationsFileTest, TheDocumentedFileGivesEveryStationWithItsDefaultsAndOverrides) {
    // An absolute data folder, as a literal string: Windows paths hold backslashes.
    const fs::path elsewhere = folder.parent_path() / Utf8Path("другие данные");
    const StationsPlan plan = Plan(R"(
[defaults]                 # every key optional
mode = "new"
clock = "set"
max_offset_s = 90

[[station]]
name = "Скважина 7"
port = "/dev/rfcomm0"
directories = ["Котельная"]
mode = "all"

[[station]]
name = "Имя и ИЗБА"
usb = true

[[station]]
name = "Мост"
radio = 12
clock = "check"
max_offset_s = 0

[[station]]
name = "Склад"
bluetooth = "00a1b2c3d4eF"
directories = ["2026", "Котельная", "2026"]
data = ')" + PathText(elsewhere) + R"('
)");
    ASSERT_EQ(plan.stations.size(), 4u);
    EXPECT_EQ(plan.file, folder / Utf8Path("станции.toml"));

    const Station& well = plan.stations[0];
    EXPECT_EQ(well.name, "Скважина 7");
    EXPECT_EQ(well.line, 7);
    EXPECT_EQ(well.link, (StationLink{StationLink::Kind::Serial, "/dev/rfcomm0", 0, ""}));
    EXPECT_EQ(well.directories, std::vector<std::string>{"Котельная"});
    EXPECT_EQ(well.mode, CollectMode::All);
    EXPECT_EQ(well.clock, ClockPolicy::Set);
    EXPECT_EQ(well.maxOffsetSeconds, 90);
    // A relative data folder is the stations file's neighbour, not the working folder's.
    EXPECT_EQ(well.folder, folder / "DATA" / Utf8Path("Скважина 7"));
    EXPECT_TRUE(well.folder.is_absolute());

    // "И" is the bytes D0 98 in UTF-8: no reason to refuse the name.
    const Station& usb = plan.stations[1];
    EXPECT_EQ(usb.link.kind, StationLink::Kind::Usb);
    EXPECT_TRUE(usb.directories.empty()) << "every directory";
    EXPECT_EQ(usb.mode, CollectMode::New);

    const Station& bridge = plan.stations[2];
    EXPECT_EQ(bridge.link, (StationLink{StationLink::Kind::Radio, "", 12, ""}));
    EXPECT_EQ(bridge.clock, ClockPolicy::Check);
    EXPECT_EQ(bridge.maxOffsetSeconds, 0);

    const Station& store = plan.stations[3];
    EXPECT_EQ(store.link.kind, StationLink::Kind::Bluetooth);
    EXPECT_EQ(store.link.bluetoothAddress, "00A1B2C3D4EF");
    EXPECT_EQ(store.directories, (std::vector<std::string>{"2026", "Котельная"}));
    EXPECT_EQ(store.folder, elsewhere / Utf8Path("Склад"));
}

TEST_F(StationsFileTest, WithoutDefaultsEveryStationTakesTheBuiltInOnes) {
    const StationsPlan plan = Plan(
        "[[station]]\nname = \"A\"\nradio = 0\n"
        "[[station]]\nname = \"B\"\nradio = 254\n");
    ASSERT_EQ(plan.stations.size(), 2u);
    for (const Station& s : plan.stations) {
        EXPECT_EQ(s.mode, CollectMode::New);
        EXPECT_EQ(s.clock, ClockPolicy::Check);
        EXPECT_EQ(s.maxOffsetSeconds, 60);
        EXPECT_EQ(s.folder.parent_path(), folder / "DATA");
    }
    EXPECT_EQ(plan.stations[1].link.radioAddress, 254);
}

TEST_F(StationsFileTest, ScheduleAlarmsAndMailAreReadWithTheirDefaults) {
    const StationsPlan plan = Plan(R"(
[defaults]
every = "1d"
at = "2:30"
retries = 0
[alarms]
stale_hours = 1.5
failures = 3
limits = true
[mail]
server = "smtp.example.org"
from = "qm@example.org"
to = ["a@example.org", "b@example.org"]
password_file = "secret/pw"
[[station]]
name = "A"
usb = true
[[station]]
name = "B"
radio = 1
every = "20m"
retry_every = "30s"
[[station]]
name = "C"
radio = 2
every = "90m"
secondary_every = "3h"
)");
    ASSERT_EQ(plan.stations.size(), 3u);
    using std::chrono::seconds;
    EXPECT_EQ(plan.stations[0].timing, (StationTiming{seconds(86400), std::chrono::minutes(150), 0,
                                                      seconds(300), seconds(3600)}));
    // Retries are never further apart than the visits themselves.
    EXPECT_EQ(plan.stations[1].timing, (StationTiming{seconds(1200), std::chrono::minutes(150), 0,
                                                      seconds(30), seconds(1200)}));
    EXPECT_EQ(plan.stations[2].timing.secondaryEvery, seconds(3 * 3600));
    EXPECT_EQ(plan.alarms.staleHours, 1.5);
    EXPECT_EQ(plan.alarms.failures, 3);
    EXPECT_TRUE(plan.alarms.limits);
    EXPECT_EQ(plan.alarms.repeat, seconds(86400));
    ASSERT_TRUE(plan.mail);
    EXPECT_EQ(plan.mail->port, 587);
    EXPECT_TRUE(plan.mail->starttls);
    EXPECT_EQ(plan.mail->to.size(), 2u);
    EXPECT_EQ(plan.mail->passwordFile, folder / "secret" / "pw");
    // No "every": once, at the start.
    EXPECT_FALSE(Plan("[[station]]\nname = \"A\"\nusb = true\n").stations[0].timing.every);
}

struct Refused {
    const char* what;
    std::string text;
    int line;
    Msg reason;
};

TEST_F(StationsFileTest, EveryFaultIsRefusedWithItsLine) {
    const std::string a = "[[station]]\nname = \"A\"\n";  // a station without its link yet
    const Refused cases[] = {
        {"syntax", "[[station]\nname = \"A\"\n", 1, Msg::StationsSyntax},
        {"syntax later", a + "port = \"x\"\nmode = new\n", 4, Msg::StationsSyntax},
        {"unknown key", a + "usb = true\nnmae = \"B\"\n", 4, Msg::StationsUnknownKey},
        {"unknown section", "[default]\nmode = \"all\"\n" + a + "usb = true\n", 1,
         Msg::StationsUnknownKey},
        {"unknown default", "[defaults]\n\nmax_offset = 5\n" + a + "usb = true\n", 3,
         Msg::StationsUnknownKey},
        {"radio as text", a + "radio = \"12\"\n", 3, Msg::StationsWrongType},
        {"usb as number", a + "usb = 1\n", 3, Msg::StationsWrongType},
        {"directories as text", a + "usb = true\ndirectories = \"x\"\n", 4, Msg::StationsWrongType},
        {"a directory as number", a + "usb = true\ndirectories = [\"x\",\n 7]\n", 5,
         Msg::StationsWrongType},
        {"fractional limit", a + "usb = true\nmax_offset_s = 1.5\n", 4, Msg::StationsWrongType},
        {"defaults not a table", "defaults = 3\n" + a + "usb = true\n", 1, Msg::StationsWrongType},
        {"station not a table", "station = \"A\"\n", 1, Msg::StationsWrongType},
        {"name as number", "[[station]]\nname = 7\nusb = true\n", 2, Msg::StationsWrongType},
        {"no name", "[[station]]\nname = \"A\"\nusb = true\n\n[[station]]\nusb = true\n", 5,
         Msg::StationsNoName},
        {"empty name", "[[station]]\nname = \"\"\nusb = true\n", 2, Msg::StationsEmptyValue},
        {"one name twice", a + "usb = true\n[[station]]\nname = \"a\"\nradio = 3\n", 4,
         Msg::StationsSameName},
        {"one Cyrillic name twice",
         "[[station]]\nname = \"Ёлка\"\nusb = true\n[[station]]\nname = \"ёЛКА\"\nusb = true\n", 4,
         Msg::StationsSameName},
        {"separator", "[[station]]\nname = \"a/b\"\nusb = true\n", 2, Msg::StationsBadName},
        {"parent", "[[station]]\nusb = true\nname = \"..\"\n", 3, Msg::StationsBadName},
        {"device", "[[station]]\nname = \"con.txt\"\nusb = true\n", 2, Msg::StationsBadName},
        {"colon", "[[station]]\nname = \"C:x\"\nusb = true\n", 2, Msg::StationsBadName},
        {"trailing dot", "[[station]]\nname = \"Мост.\"\nusb = true\n", 2, Msg::StationsBadName},
        {"no link", a + "mode = \"all\"\n", 1, Msg::StationsNoLink},
        {"usb = false", a + "usb = false\n", 1, Msg::StationsNoLink},
        {"two links", a + "radio = 3\n\nport = \"/dev/ttyS0\"\n", 5, Msg::StationsManyLinks},
        {"empty port", a + "port = \"\"\n", 3, Msg::StationsEmptyValue},
        {"radio 255", a + "radio = 255\n", 3, Msg::StationsRadioAddress},
        {"radio below 0", a + "radio = -1\n", 3, Msg::StationsRadioAddress},
        {"bluetooth short", a + "bluetooth = \"00112233445\"\n", 3, Msg::StationsBluetoothAddress},
        {"bluetooth not hex", a + "bluetooth = \"0011223344GG\"\n", 3,
         Msg::StationsBluetoothAddress},
        {"bluetooth with colons", a + "bluetooth = \"00:11:22:33:44:55\"\n", 3,
         Msg::StationsBluetoothAddress},
        {"mode word", a + "usb = true\nmode = \"everything\"\n", 4, Msg::StationsBadWord},
        {"clock word", "[defaults]\nclock = \"Set\"\n" + a + "usb = true\n", 2,
         Msg::StationsBadWord},
        {"negative limit", a + "usb = true\nmax_offset_s = -1\n", 4, Msg::StationsNegative},
        {"empty data", "[defaults]\ndata = \"\"\n" + a + "usb = true\n", 2,
         Msg::StationsEmptyValue},
        {"directory outside Windows-1251",
         a + "usb = true\ndirectories = [\"\xE2\x82\xAC\xF0\x9F\x98\x80\"]\n", 4,
         Msg::StationsDirectoryName},
        {"a folder of the collection", "[[station]]\nname = \"Status.JSON\"\nusb = true\n", 2,
         Msg::StationsBadName},
        {"the staging folder", "[[station]]\nname = \".QMC-staging\"\nusb = true\n", 2,
         Msg::StationsBadName},
        {"duration without unit", a + "usb = true\nevery = \"300\"\n", 4, Msg::StationsBadDuration},
        {"duration as number", a + "usb = true\nevery = 300\n", 4, Msg::StationsWrongType},
        {"duration 0", a + "usb = true\nretry_every = \"0m\"\n", 4, Msg::StationsBadDuration},
        {"negative duration", "[alarms]\nrepeat = \"-5m\"\n" + a + "usb = true\n", 2,
         Msg::StationsBadDuration},
        {"fractional duration", a + "usb = true\nevery = \"1.5h\"\n", 4, Msg::StationsBadDuration},
        {"duration overflow", a + "usb = true\nevery = \"99999999999999999999d\"\n", 4,
         Msg::StationsBadDuration},
        {"time of day", a + "usb = true\nevery = \"1d\"\nat = \"24:00\"\n", 5,
         Msg::StationsBadTimeOfDay},
        {"at without every", a + "usb = true\nat = \"02:30\"\n", 4, Msg::StationsAtWithoutEvery},
        {"at of defaults without every", "[defaults]\nat = \"02:30\"\n" + a + "usb = true\n", 3,
         Msg::StationsAtWithoutEvery},
        {"negative retries", a + "usb = true\nretries = -1\n", 4, Msg::StationsNegative},
        {"no failures", "[alarms]\nfailures = 0\n" + a + "usb = true\n", 2,
         Msg::StationsNotPositive},
        {"stale as text", "[alarms]\nstale_hours = \"2\"\n" + a + "usb = true\n", 2,
         Msg::StationsWrongType},
        {"alarm key", "[alarms]\nbattery = 3.1\n" + a + "usb = true\n", 2, Msg::StationsUnknownKey},
        {"mail without to", "\n[mail]\nserver = \"s\"\nfrom = \"f\"\n" + a + "usb = true\n", 2,
         Msg::StationsMissingKey},
        {"line break in an address",
         "[mail]\nserver = \"s\"\nfrom = \"f\"\nto = [\"a\", \"b\\r\\nBcc: c\"]\n" + a +
             "usb = true\n",
         4, Msg::StationsControlCharacter},
        {"mail port", "[mail]\nport = 0\n" + a + "usb = true\n", 2, Msg::StationsMailPort},
        {"no station", "[defaults]\nmode = \"all\"\n", 0, Msg::StationsNone},
        {"empty file", "", 0, Msg::StationsNone},
        {"empty list", "station = []\n", 1, Msg::StationsNone},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.what);
        const StationsFileError e = Error(c.text);
        EXPECT_EQ(e.reason, c.reason) << e.Text(Language::English);
        EXPECT_EQ(e.line, c.line) << e.Text(Language::English);
        EXPECT_EQ(e.file, folder / Utf8Path("станции.toml"));
    }
}

TEST_F(StationsFileTest, AFaultIsToldInBothLanguagesWithWhereItIs) {
    const std::string path = PathText(folder / Utf8Path("станции.toml"));
    StationsFileError e = Error("[[station]]\nname = \"Мост\"\nusb = true\nmode = \"всё\"\n");
    EXPECT_EQ(e.Text(Language::Russian), "Файл станций «" + path +
                                             "», строка 4, позиция 8: «всё» не может быть "
                                             "значением «mode»; возможны: new, all.");
    EXPECT_EQ(e.Text(Language::English), "The stations file \"" + path +
                                             "\", line 4, column 8: \"всё\" is not a value of "
                                             "\"mode\"; it may be new, all.");

    // A parameter that is a text of the table itself follows the language too.
    e = Error("[[station]]\nname = \"a|b\"\nusb = true\n");
    EXPECT_NE(e.Text(Language::Russian).find("не может быть именем папки: в имени есть символ |"),
              std::string::npos)
        << e.Text(Language::Russian);
    EXPECT_NE(e.Text(Language::English)
                  .find("cannot be a folder name: the name holds the "
                        "character |"),
              std::string::npos)
        << e.Text(Language::English);
    e = Error("[[station]]\nname = \"A\"\nradio = \"1\"\n");
    EXPECT_NE(e.Text(Language::Russian).find("значением «radio» должно быть: целое число"),
              std::string::npos)
        << e.Text(Language::Russian);

    e = Error("# nothing yet\n");
    EXPECT_EQ(e.Text(Language::English),
              "The stations file \"" + path + "\": the file describes no station.");
    e = Error("[[station]]\nname = \"A\"\n");
    EXPECT_EQ(e.Text(Language::Russian),
              "Файл станций «" + path +
                  "», строка 1: у станции «A» не указано, как с ней "
                  "связаться (один из ключей port, usb, radio, bluetooth).");
}

TEST_F(StationsFileTest, AFileThatCannotBeReadIsRefusedWithTheSystemsReason) {
    const fs::path missing = folder / "none.toml";
    const StationsFileRead read = ReadStationsFile(missing);
    ASSERT_TRUE(std::holds_alternative<StationsFileError>(read));
    const auto& e = std::get<StationsFileError>(read);
    EXPECT_EQ(e.reason, Msg::StationsFileUnreadable);
    EXPECT_EQ(e.line, 0);
    EXPECT_EQ(e.Text(Language::Russian), "Не удалось прочитать файл станций «" + PathText(missing) +
                                             "»: нет такого файла или папки.");

    const StationsFileRead dir = ReadStationsFile(folder);
    ASSERT_TRUE(std::holds_alternative<StationsFileError>(dir));
    EXPECT_EQ(std::get<StationsFileError>(dir).reason, Msg::StationsFileUnreadable);
}

TEST_F(StationsFileTest, LettersOtherThanLatinStandOnlyInQuotesAndComments) {
    // In quotes and comments: read as written; a single-quoted text keeps its backslashes and
    // quotes.
    const auto good = ParseStationsFile(
        "# Станции у реки\n[[station]] # первая\nname = \"Скважина 7\"\n"
        "port = 'C:\\QM\\\"Ж'\ndirectories = [\"\"\"Котельная\"\"\", 'Теплица', \"\\u0416\"]\n",
        folder / "s.toml");
    ASSERT_TRUE(std::holds_alternative<StationsPlan>(good))
        << std::get<StationsFileError>(good).Text(Language::English);
    const Station& station = std::get<StationsPlan>(good).stations[0];
    EXPECT_EQ(station.directories, (std::vector<std::string>{"Котельная", "Теплица", "Ж"}));
    EXPECT_EQ(station.link.port, "C:\\QM\\\"Ж");
    // A Cyrillic key, a letter after a value and a Unicode blank are refused at their place,
    // before the parser sees them.
    struct Case {
        const char* text;
        int line, column;
    };
    for (const Case& c :
         {Case{"[[station]]\nимя = \"A\"\n", 2, 1}, Case{"[[station]]\nname = \"A\" Ж\n", 2, 12},
          Case{"\xC2\xA0[[station]]\n", 1, 1}}) {
        const auto read = ParseStationsFile(c.text, folder / "s.toml");
        ASSERT_TRUE(std::holds_alternative<StationsFileError>(read)) << c.text;
        const auto& e = std::get<StationsFileError>(read);
        EXPECT_EQ(e.reason, Msg::StationsLetterOutsideQuotes) << c.text;
        EXPECT_EQ(e.line, c.line) << c.text;
        EXPECT_EQ(e.column, c.column) << c.text;
    }
}

TEST_F(StationsFileTest, TheFileAsEditorsSaveItAndStationsThatShareALogger) {
    // Notepad's byte-order mark; Cyrillic, backslashes and closing quotes in '''…'''.
    const StationsPlan plan = Plan(
        "\xEF\xBB\xBF[[station]]\nname = '''Скважина'''\nusb = true\n"
        "directories = ['''C:\\Котельная''', '''Мост\"''''']\n"
        "[[station]]\nname = \"B\"\nusb = true\n[[station]]\nname = \"C\"\nport = \"COM3\"\n"
        "[[station]]\nname = \"D\"\nport = \"com3\"\n[[station]]\nname = \"E\"\nradio = 5\n"
        "[[station]]\nname = \"F\"\nradio = 6\n[[station]]\nname = \"G\"\nradio = 5\n");
    ASSERT_EQ(plan.stations.size(), 7u);
    EXPECT_EQ(plan.stations[0].name, "Скважина");
    EXPECT_EQ(plan.stations[0].directories,
              (std::vector<std::string>{"C:\\Котельная", "Мост\"''"}));
    // Warned of, not refused: one logger may rightly be two stations.
    std::vector<int> lines;
    for (const StationsFileWarning& w : plan.warnings) lines.push_back(w.line);
    ASSERT_EQ(lines, (std::vector<int>{5, 11, 20}));
    EXPECT_NE(
        plan.warnings[0].Text(Language::English).find("\"B\" reaches its logger as \"Скважина\""),
        std::string::npos);

    struct Case {
        const char* what;
        std::string text;
        int line, column;
        Msg reason;
    };
    const std::string a = "[[station]]\nname = \"A\"\nusb = true\n";
    std::string many;
    for (int i = 0; i <= 1000; ++i)
        many += "[[station]]\nname = \"S" + std::to_string(i) + "\"\nradio = 1\n";
    for (const Case& c : {
             Case{"Windows-1251", a + "directories = [\"\xCA\xEE\xF2\"]\n", 4, 17,
                  Msg::StationsNotUtf8},
             Case{"column after Cyrillic", a + "directories = [\"Котельная\", 7]\n", 4, 29,
                  Msg::StationsWrongType},
             Case{"no directories", a + "directories = []\n", 4, 15, Msg::StationsNoDirectories},
             Case{"1001 stations", many, 3001, 1, Msg::StationsTooMany},
             Case{"over 1 MB", a + std::string(1024 * 1024, '#'), 0, 0, Msg::StationsTooLarge},
         }) {
        SCOPED_TRACE(c.what);
        const StationsFileError e = Error(c.text);
        EXPECT_EQ(std::tuple(e.reason, e.line, e.column), std::tuple(c.reason, c.line, c.column))
            << e.Text(Language::English);
    }
}

TEST_F(StationsFileTest, DamagedFilesAreRefusedWithoutACrash) {
    const std::string good = R"([defaults]
mode = "new"
clock = "set"
max_offset_s = 60
data = "DATA"
[[station]]
name = "Скважина 7"
port = "/dev/rfcomm0"
directories = ["Котельная"]
[[station]]
name = "Мост"
bluetooth = "001122334455"
)";
    std::mt19937 random(7);
    const std::string noise = "[]{}=\"'#\n\\,.-+0123456789 ab\xD0\xff";
    int accepted = 0;
    for (int i = 0; i < 400; ++i) {
        std::string text = good;
        for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n) {
            const std::size_t at = random() % text.size();
            switch (random() % 3) {
                case 0:
                    text[at] = noise[random() % noise.size()];
                    break;
                case 1:
                    text.erase(at, 1 + random() % 8);
                    break;
                default:
                    text.insert(at, 1, noise[random() % noise.size()]);
            }
        }
        const StationsFileRead read = ParseStationsFile(text, folder / "x.toml");
        if (const auto* e = std::get_if<StationsFileError>(&read)) {
            EXPECT_FALSE(e->Text(Language::Russian).empty());
            EXPECT_GE(e->line, 0);
        } else {
            ++accepted;
            for (const Station& s : std::get<StationsPlan>(read).stations)
                EXPECT_FALSE(s.name.empty());
        }
    }
    EXPECT_LT(accepted, 400);
}

}  // namespace
}  // namespace qm::test

#include <gtest/gtest.h>

#include <set>

#include "store/LocalFiles.h"
#include "tests/support/Rig.h"
#include "text/Captions.h"
#include "text/Messages.h"

namespace qm::test {
namespace {

struct LanguageRig {
    LanguageRig() : rig(logger) { rig.controller.FormCreate(1024, 768); }
    const WindowModel& M() { return rig.Model(); }
    ScriptedDevice logger;
    Rig rig;
};

TEST(Language, TheStartShowsTheDesignCaptionsInRussian) {
    LanguageRig t;
    EXPECT_TRUE(t.M().pmRus.checked);
    EXPECT_FALSE(t.M().pmEng.checked);
    EXPECT_EQ(t.rig.controller.CurrentLanguage(), Language::Russian);
    EXPECT_EQ(t.M().bDelete.caption, "Удалить");
    EXPECT_EQ(t.M().Label6.caption, "Двнных нет.");
    EXPECT_EQ(t.M().Parameters.Label2.caption, "Начало:");
    EXPECT_EQ(t.M().bTest.caption, "Тест - измерение");
}

TEST(Language, EnglishReCaptionsTheWindowAndTheDialog) {
    LanguageRig t;
    t.rig.controller.Click("pmEng");
    EXPECT_TRUE(t.M().pmEng.checked);
    EXPECT_FALSE(t.M().pmRus.checked);
    EXPECT_EQ(t.rig.controller.CurrentLanguage(), Language::English);
    EXPECT_EQ(t.M().bSynch.caption, "Synchronizing");
    EXPECT_EQ(t.M().pComment.caption, " Mesurement remark ");
    EXPECT_EQ(t.M().bCurrent2.caption, "Set current date&time");
    EXPECT_EQ(t.M().bTest.caption, "Test measurement");
    EXPECT_EQ(t.M().bDelete.caption, "Erase");
    EXPECT_EQ(t.M().bSetPort.caption, "Set port");
    EXPECT_EQ(t.M().BTmodem.caption, "BT-surrounding");
    EXPECT_EQ(t.M().Button6.caption, "Dial");
    EXPECT_EQ(t.M().Label3.caption, "days:");
    EXPECT_EQ(t.M().GroupBox3.caption, " Battery ");
    EXPECT_EQ(t.M().bRemark.caption, "Set");
    EXPECT_EQ(t.M().Parameters.window.title, "Measure parameters");
    EXPECT_EQ(t.M().Parameters.Label1.caption, "Current time");
    EXPECT_EQ(t.M().Parameters.Label2.caption, "Start:");
    EXPECT_EQ(t.M().Parameters.Label10.caption, "Total measurements:");
    EXPECT_EQ(t.M().Parameters.Button2.caption, "Cancel");
    // Dialog rows leave the main window's controls of the same name alone.
    EXPECT_EQ(t.M().Label10.caption, "");
    EXPECT_EQ(t.M().Label2.caption, "");
    EXPECT_EQ(t.M().Label1.caption, "T_check:");
    // Captions no row names keep their design text.
    EXPECT_EQ(t.M().gbR_Modem.caption, " R-модем ");
    EXPECT_EQ(t.M().CheckBox2.caption, "PowerDown");
    EXPECT_EQ(t.M().Parameters.Button1.caption, "OK");
    EXPECT_EQ(t.M().Label7.caption, "ver 5.1");
}

TEST(Language, BackToRussianShowsTheRussianColumnNotTheDesign) {
    LanguageRig t;
    t.rig.controller.Click("pmEng");
    t.rig.controller.Click("pmRus");
    EXPECT_TRUE(t.M().pmRus.checked);
    EXPECT_FALSE(t.M().pmEng.checked);
    EXPECT_EQ(t.rig.controller.CurrentLanguage(), Language::Russian);
    EXPECT_EQ(t.M().bDelete.caption, "УдалитьErase");
    EXPECT_EQ(t.M().Label6.caption, "Данных нет");
    EXPECT_EQ(t.M().bTest.caption, "T\x65\x63t - измерение");  // Latin "Tect"
    EXPECT_EQ(t.M().Label8.caption, "Com-порт");
    EXPECT_EQ(t.M().BTmodem.caption, " BT-окружение ");
    EXPECT_EQ(t.M().Label3.caption, "сутки:");
    EXPECT_EQ(t.M().bRemark.caption, "Установить");
    EXPECT_EQ(t.M().Parameters.window.title, "Параметры измерения");
    EXPECT_EQ(t.M().Parameters.Label1.caption, "Текущее время;");
    EXPECT_EQ(t.M().Parameters.Label2.caption, "Начадо");
    EXPECT_EQ(t.M().Parameters.Label3.caption, "Окончание");
    EXPECT_EQ(t.M().Parameters.Label12.caption, "Интервал:");
}

TEST(Language, EveryRowNamesAControlOfItsWindow) {
    LanguageRig t;
    WindowModel& m = t.rig.Model();
    std::set<std::string_view> main, dialog;
    for (const ControlRef& r : m.Controls()) main.insert(r.name);
    for (const ControlRef& r : m.Parameters.Controls()) dialog.insert(r.name);
    dialog.insert(kParametersTitle);
    std::set<std::pair<int, std::string_view>> seen;
    for (const CaptionRow& row : kCaptionTable) {
        const bool mainWindow = row.owner == CaptionOwner::MainWindow;
        EXPECT_TRUE((mainWindow ? main : dialog).contains(row.control)) << row.control;
        EXPECT_TRUE(seen.insert({mainWindow ? 0 : 1, row.control}).second) << row.control;
    }
}

TEST(Language, RunTimeMessagesFollowTheLanguage) {
    EXPECT_EQ(MeasurementsCaption(Language::Russian), "Измерений: ");
    EXPECT_EQ(MeasurementsCaption(Language::English), "Measurements: ");
    EXPECT_EQ(NoDataCaption(Language::Russian), "Нет данных");
    EXPECT_EQ(NoDataCaption(Language::English), "No data");
    EXPECT_EQ(DeleteConfirmationText(Language::Russian), "Вы уверены?");
    EXPECT_EQ(DeleteConfirmationText(Language::English), "Are You sure?");
}

// ---- Run-time messages ----------------------------------------------------------------------

// The words of a text in Latin letters, placeholders left out.
// Latin words of a text, leaving out command-line options ("--copy-all"), which stay as they are
// in both languages.
std::vector<std::string> LatinWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool option = false;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char ch = i < text.size() ? text[i] : ' ';
        if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')) {
            if (word.empty()) option = i >= 2 && text.substr(i - 2, 2) == "--";
            word += ch;
            continue;
        }
        if (option && ch == '-') continue;  // inside an option's name
        if (!word.empty() && !option) words.push_back(word);
        word.clear();
        option = false;
    }
    return words;
}

bool HasCyrillic(std::string_view text) {
    // Cyrillic letters are two UTF-8 bytes led by 0xD0 or 0xD1.
    for (const char ch : text)
        if (static_cast<unsigned char>(ch) == 0xD0 || static_cast<unsigned char>(ch) == 0xD1)
            return true;
    return false;
}

std::set<char> Placeholders(std::string_view text) {
    std::set<char> marks;
    for (std::size_t i = 0; i + 2 < text.size(); ++i)
        if (text[i] == '{' && text[i + 2] == '}') marks.insert(text[i + 1]);
    return marks;
}

TEST(Messages, EveryRowHasBothLanguagesWithTheSameParameters) {
    // Names the Russian texts may carry as they are: files, systems and their pieces.
    const std::set<std::string> names = {
        "Device", "txt", "Temp", "bin", "DATA", "README", "udev", "hidraw", "Linux", "Windows",
        "USB", "COM", "XLSX", "Bluetooth", "ru", "en", "CSV", "NetCDF", "UTC",
        // Values of command-line options, which stay as they are.
        "radio", "bluetooth",
        // The stations file's format and its words.
        "TOML", "UTF", "true", "false", "mail", "alarms", "command",
        // The program's name, a file format, and the unit.
        "QM", "Controller", "PDF", "C",
        // Keys, as the keyboard names them.
        "Home", "Ctrl",
        // The archive's server, and where its password is kept.
        "PostgreSQL", "URL", "password", "file", "pgpass"};
    for (std::size_t i = 0; i < kMessageTable.size(); ++i) {
        const MessageRow& row = kMessageTable[i];
        EXPECT_EQ(static_cast<std::size_t>(row.id), i) << "row out of place: " << row.english;
        EXPECT_FALSE(row.russian.empty());
        EXPECT_FALSE(row.english.empty());
        EXPECT_EQ(Placeholders(row.russian), Placeholders(row.english)) << row.english;
        // A unit symbol, and a text that is only its parameters, read the same in both languages.
        if (row.id == Msg::ViewerUnit || row.id == Msg::Verbatim || row.id == Msg::ReasonSerial)
            continue;
        EXPECT_NE(row.russian, row.english);
        // The number sign heads a column in Russian as it stands.
        if (row.id != Msg::ReportColumnSensor) {
            EXPECT_TRUE(HasCyrillic(row.russian)) << row.russian;
        }
        EXPECT_FALSE(HasCyrillic(row.english)) << row.english;
        for (const std::string& w : LatinWords(row.russian))
            EXPECT_TRUE(names.contains(w)) << "\"" << w << "\" in: " << row.russian;
    }
}

// Message() fills only {1}..{9}: a brace of any other kind, or a Qt-style %1, would reach the
// operator as it is; a gap in the numbering means a parameter that is never shown.
TEST(Messages, PlaceholdersAreWellFormedAndNumberedFromOne) {
    for (const MessageRow& row : kMessageTable) {
        for (const std::string_view text : {row.russian, row.english}) {
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '{') {
                    EXPECT_TRUE(i + 2 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' &&
                                text[i + 2] == '}')
                        << text;
                } else if (text[i] == '%') {
                    EXPECT_FALSE(i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9')
                        << text;
                }
            }
            const std::set<char> marks = Placeholders(text);
            char expected = '1';
            for (const char mark : marks) EXPECT_EQ(mark, expected++) << text;
        }
    }
}

TEST(Messages, TheViewerWordsItsTextsAsItAlwaysHas) {
    EXPECT_EQ(Message(Msg::ViewerSummary, Language::English, {"12", "3", "t1", "t2"}),
              "Measurements: 12, sensors: 3, t1 – t2");
    EXPECT_EQ(Message(Msg::ViewerSummary, Language::Russian, {"12", "3", "t1", "t2"}),
              "Измерений: 12, датчиков: 3, t1 – t2");
    EXPECT_EQ(Message(Msg::ViewerSensorNumber, Language::English, {"7"}), "Sensor 7");
    EXPECT_EQ(Message(Msg::ViewerSensorNumber, Language::Russian, {"7"}), "Датчик 7");
    EXPECT_EQ(Message(Msg::ViewerIssues, Language::Russian, {"2"}),
              "Пропущено или повреждено строк: 2");
    EXPECT_EQ(Message(Msg::ViewerExported, Language::English, {"/tmp/a%1.csv"}),
              "Written: /tmp/a%1.csv");
    EXPECT_EQ(Message(Msg::ViewerExportXlsx, Language::Russian), "Экспорт XLSX…");
    EXPECT_EQ(Message(Msg::ViewerUnit, Language::Russian), "°C");
    EXPECT_EQ(Message(Msg::ViewerTitle, Language::English), DataOnDiskCaption(Language::English));
}

TEST(Messages, ParametersAreFilledInTheirPlaces) {
    EXPECT_EQ(Message(Msg::LinkSerial, Language::English, {"COM3"}),
              "through the serial port COM3");
    EXPECT_EQ(Message(Msg::LinkSerial, Language::Russian, {"COM3"}),
              "через последовательный порт COM3");
    EXPECT_EQ(Message(Msg::DeviceListLinesLeftOut, Language::Russian, {"9", "10"}),
              "строки с 9 по 10");
    EXPECT_EQ(Message(Msg::DeviceListLinesLeftOut, Language::English, {"9", "10"}),
              "lines 9 to 10");
    // A parameter that holds braces is taken as it is.
    EXPECT_EQ(Message(Msg::FileOpen, Language::English, {"{2}", "x"}), "Cannot open \"{2}\": x");
    // Missing parameters are left empty rather than read past the list.
    EXPECT_EQ(Message(Msg::CorrectionLimited, Language::Russian, {"1"}),
              "показание 1:  записывается как ");
}

TEST(Messages, SystemReasonsAreWordedInTheLanguageChosen) {
    const auto noEntry = std::make_error_code(std::errc::no_such_file_or_directory);
    EXPECT_EQ(SystemReason(noEntry, Language::Russian), "нет такого файла или папки");
    EXPECT_EQ(SystemReason(noEntry, Language::English), noEntry.message());
    EXPECT_EQ(SystemReason(std::error_code(), Language::Russian), "система не сообщила причину");
    // A reason without a Russian wording of its own still names the number, not English words.
    const auto rare = std::make_error_code(std::errc::protocol_error);
    EXPECT_EQ(SystemReason(rare, Language::Russian),
              "системная ошибка " + std::to_string(rare.value()));
}

TEST(Messages, ALocalFileErrorIsToldInBothLanguages) {
    const auto missing = std::filesystem::temp_directory_path() / "qm-no-such-folder-here";
    try {
        (void)ReadResumeRecord(missing);
        FAIL() << "read a record that is not there";
    } catch (const FileError& e) {
        const std::string path = PathText(missing / "Temp.bin");
        EXPECT_EQ(e.Text(Language::Russian),
                  "Не удалось открыть «" + path + "»: нет такого файла или папки");
        EXPECT_EQ(e.Text(Language::English), std::string(e.what()));
        EXPECT_EQ(e.Text(Language::English).rfind("Cannot open \"" + path + "\": ", 0), 0u)
            << e.Text(Language::English);
    }
    const auto refused = RefusedLocalName("a?b");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->Text(Language::Russian), "в имени есть символ ?");
    EXPECT_EQ(refused->Text(Language::English), "the name holds the character ?");
}

TEST(Messages, AReadOutMessageFollowsTheLanguageMenu) {
    ScriptedDevice serialOnly;
    Rig rig(serialOnly);
    rig.controller.FormCreate(1024, 768);
    // The catalogue refuses a directory name too long for a request.
    const std::string name(300, 'x');
    for (const Language language : {Language::Russian, Language::English}) {
        rig.controller.ChooseLanguage(language);
        rig.controller.MutableDirectories().SetDirectoryNames({name});
        rig.Model().ComboBox1.items = {name};
        rig.Model().ComboBox1.itemIndex = 0;
        rig.Model().ComboBox1.text = name;
        rig.controller.Click("bAllData");
    }
    ASSERT_EQ(rig.ops.errors.size(), 2u);
    EXPECT_EQ(rig.ops.errors[0],
              Message(Msg::DirectoryTooLongNotCopied, Language::Russian, {name}));
    EXPECT_NE(rig.ops.errors[0].find("ничего не скопировано"), std::string::npos);
    EXPECT_EQ(rig.ops.errors[1],
              Message(Msg::DirectoryTooLongNotCopied, Language::English, {name}));
}

}  // namespace
}  // namespace qm::test

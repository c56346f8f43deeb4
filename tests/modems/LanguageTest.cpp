#include <gtest/gtest.h>

#include <set>

#include "tests/support/Rig.h"
#include "ui/model/Captions.h"

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
    EXPECT_FALSE(t.rig.controller.IsEnglish());
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
    EXPECT_TRUE(t.rig.controller.IsEnglish());
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
    EXPECT_FALSE(t.rig.controller.IsEnglish());
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
    EXPECT_EQ(MeasurementsCaption(false), "Измерений: ");
    EXPECT_EQ(MeasurementsCaption(true), "Measurements: ");
    EXPECT_EQ(NoDataCaption(false), "Нет данных");
    EXPECT_EQ(NoDataCaption(true), "No data");
    EXPECT_EQ(DeleteConfirmationText(false), "Вы уверены?");
    EXPECT_EQ(DeleteConfirmationText(true), "Are You sure?");
}

}  // namespace
}  // namespace qm::test

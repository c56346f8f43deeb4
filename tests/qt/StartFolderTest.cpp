// Where the program keeps DATA: the working directory when it can, else the documents folder.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "app/StartFolder.h"
#include "tests/qt/QtTestApp.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

class StartFolderTest : public ::testing::Test {
protected:
    fs::path Dir(const char* name) {
        const fs::path p = fs::path(tmp_.path().toStdString()) / name;
        fs::create_directories(p);
        return p;
    }
    static std::size_t EntriesIn(const fs::path& dir) {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    QTemporaryDir tmp_;
};

TEST_F(StartFolderTest, WritableWorkingDirectoryIsKeptAndLeftUntouched) {
    const fs::path work = Dir("work");
    const fs::path docs = Dir("docs");
    const StartFolder s = ChooseStartFolder(work, docs);
    EXPECT_EQ(s.path, work);
    EXPECT_FALSE(s.inDocuments);
    EXPECT_EQ(EntriesIn(work), 0u);  // the probe file is gone, DATA is made later
    EXPECT_FALSE(fs::exists(docs / "QM Controller"));

    fs::create_directory(work / "DATA");
    EXPECT_EQ(ChooseStartFolder(work, docs).path, work);
}

TEST_F(StartFolderTest, ADrivesRootKeepsDataTheSystemsRootAndFoldersWithoutDataGoToDocuments) {
    // Whether DATA can be made in a folder depends on who runs the program (root may write in
    // "/"): the check is given, the real one still decides for the documents folder.
    const fs::path docs = Dir("docs");
    const auto only = [](fs::path no) { return [no](const fs::path& p) { return p != no; }; };

    // The root of a USB stick, or any folder where DATA can be made: DATA and Device.txt stay.
#ifdef _WIN32
    EXPECT_FALSE(IsSystemRoot(fs::path("E:\\")));
#endif
    const fs::path stick = Dir("stick");
    StartFolder s = ChooseStartFolder(stick, docs, only({}));
    EXPECT_EQ(s.path, stick);
    EXPECT_FALSE(s.inDocuments);
    EXPECT_FALSE(fs::exists(docs / "QM Controller"));

    // "/" of a desktop menu goes to the documents folder, even where DATA could be made there.
    const fs::path root = fs::path("/");
    ASSERT_TRUE(IsSystemRoot(root));
    EXPECT_FALSE(IsSystemRoot(stick));
    s = ChooseStartFolder(root, docs, only({}));
    EXPECT_EQ(s.path, docs / "QM Controller");
    EXPECT_TRUE(s.inDocuments);
    EXPECT_TRUE(fs::is_directory(docs / "QM Controller"));

    // Any other folder where DATA cannot be made goes the same way.
    const fs::path work = Dir("work");
    s = ChooseStartFolder(work, docs, only(work));
    EXPECT_EQ(s.path, docs / "QM Controller");
    EXPECT_TRUE(s.inDocuments);
}

TEST_F(StartFolderTest, FolderThatCannotHoldDataGoesToTheDocumentsFolder) {
    const fs::path docs = Dir("docs");
    // A file named DATA is in the way, and a folder that is gone: both fail even for root.
    const fs::path blocked = Dir("blocked");
    std::ofstream(blocked / "DATA") << "not a folder";
    EXPECT_FALSE(CanHoldData(blocked));
    EXPECT_TRUE(ChooseStartFolder(blocked, docs).inDocuments);
    EXPECT_TRUE(ChooseStartFolder(blocked / "gone", docs).inDocuments);
    // Documents that did not exist yet are made, with the program's folder in them.
    const StartFolder s = ChooseStartFolder(blocked, docs / "new" / "Documents");
    EXPECT_EQ(s.path, docs / "new" / "Documents" / "QM Controller");
    EXPECT_TRUE(s.inDocuments);
}

TEST_F(StartFolderTest, ProbeNeverOverwritesAFileOfTheSameName) {
    const fs::path work = Dir("work");
    std::ofstream(work / ".qm-controller-probe-0") << "keep";
    EXPECT_TRUE(CanHoldData(work));
    std::ifstream in(work / ".qm-controller-probe-0");
    std::string text;
    in >> text;
    EXPECT_EQ(text, "keep");
    EXPECT_EQ(EntriesIn(work), 1u);
}

TEST_F(StartFolderTest, WorkingDirectoryStaysWhenDocumentsCannotBeUsed) {
    const fs::path blocked = Dir("blocked");
    std::ofstream(blocked / "DATA") << "x";
    const fs::path file = blocked / "DATA";  // documents "under" a regular file
    const StartFolder s = ChooseStartFolder(blocked, file / "Documents");
    EXPECT_EQ(s.path, blocked);
    EXPECT_FALSE(s.inDocuments);
    const StartFolder none = ChooseStartFolder(blocked, fs::path());
    EXPECT_EQ(none.path, blocked);
}

TEST_F(StartFolderTest, NoteNamesTheFolderInTheWindowsLanguage) {
    test::App();
    QMainWindow window;
    const StartFolder docs{fs::path("/home/u/Documents/QM Controller"), true};
    DataFolderNote note(window, docs, fs::path("/"));
    auto* label = window.findChild<QLabel*>("dataFolderNote");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8("Данные: /home/u/Documents/QM Controller"));
    EXPECT_TRUE(label->toolTip().contains("/home/u/Documents/QM Controller"));
    EXPECT_TRUE(label->toolTip().contains(QString::fromUtf8("запущена в папке /,")));
    note.Follow(Language::English);
    EXPECT_EQ(label->text(), "Data: /home/u/Documents/QM Controller");
    EXPECT_TRUE(label->toolTip().startsWith("The program was started in /,"));

    // Started in a usable folder, the window shows no status line at all.
    QMainWindow plain;
    DataFolderNote none(plain, StartFolder{fs::path("/home/u"), false}, fs::path("/home/u"));
    none.Follow(Language::English);
    EXPECT_EQ(plain.findChild<QLabel*>("dataFolderNote"), nullptr);
    EXPECT_EQ(plain.findChild<QStatusBar*>(), nullptr);
}

}  // namespace
}  // namespace qm

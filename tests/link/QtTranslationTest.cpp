// Qt's own texts follow the window's language.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "app/QtTranslation.h"
#include "tests/link/QtApp.h"

namespace qm::test {
namespace {

// The caption Qt gives the Cancel button of its message boxes.
QString CancelText() {
    return QCoreApplication::translate("QPlatformTheme", "Cancel");
}

TEST(QtTranslation, QtsButtonsAreRussianOnlyWhileRussianIsChosen) {
    App();
    QtTranslation texts;
    if (!texts.RussianAvailable()) GTEST_SKIP() << "Qt's Russian translation is not installed";
    texts.Follow(Language::Russian);
    EXPECT_TRUE(texts.RussianInstalled());
    EXPECT_EQ(CancelText(), QString::fromUtf8("Отмена"));
    texts.Follow(Language::Russian);  // chosen again: still one translator, still Russian
    texts.Follow(Language::English);
    EXPECT_FALSE(texts.RussianInstalled());
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
    texts.Follow(Language::Russian);
    EXPECT_EQ(CancelText(), QString::fromUtf8("Отмена"));
}

TEST(QtTranslation, WithoutTheTranslationQtStaysEnglishAndNothingFails) {
    App();
    QTemporaryDir empty;
    QtTranslation texts(nullptr, empty.path());
    EXPECT_FALSE(texts.RussianAvailable());
    texts.Follow(Language::Russian);
    EXPECT_FALSE(texts.RussianInstalled());
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
}

}  // namespace
}  // namespace qm::test

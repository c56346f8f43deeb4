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
    texts.Follow(false);
    EXPECT_TRUE(texts.RussianInstalled());
    EXPECT_EQ(CancelText(), QString::fromUtf8("Отмена"));
    texts.Follow(false);  // chosen again: still one translator, still Russian
    texts.Follow(true);
    EXPECT_FALSE(texts.RussianInstalled());
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
    texts.Follow(false);
    EXPECT_EQ(CancelText(), QString::fromUtf8("Отмена"));
}

TEST(QtTranslation, WithoutTheTranslationQtStaysEnglishAndNothingFails) {
    App();
    QTemporaryDir empty;
    QtTranslation texts(nullptr, empty.path());
    EXPECT_FALSE(texts.RussianAvailable());
    texts.Follow(false);
    EXPECT_FALSE(texts.RussianInstalled());
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
}

}  // namespace
}  // namespace qm::test

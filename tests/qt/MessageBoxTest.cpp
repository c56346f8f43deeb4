// Warnings and errors reach the operator after the handler that raised them, one box at a time,
// in order; nothing of the controller runs inside a handler while a box is up.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "tests/qt/QtTestApp.h"
#include "ui/qt/QtServices.h"

namespace qm::test {
namespace {

struct Desk {
    QApplication& app = App();
    QWidget window;
    QtOperatorServices ops{&window};

    Desk() {
        window.resize(300, 200);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // Runs the event loop until a box is up; null if none comes.
    QMessageBox* NextBox(int ms = 2000) {
        if (!QTest::qWaitFor([this] { return ops.ShownBox() && ops.ShownBox()->isVisible(); }, ms))
            return nullptr;
        return ops.ShownBox();
    }
    void Acknowledge(QMessageBox* box) {
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    }
};

TEST(QtMessages, AnErrorInsideAHandlerReturnsAtOnceAndIsShownAfterIt) {
    Desk d;
    // A timer due at once fires only in an event loop: inside the handler only a nested one
    // would run it. Then it closes whatever box holds that loop, so a fault fails, not hangs.
    bool inHandler = true, firedInHandler = false;
    QTimer::singleShot(0, &d.window, [&] {
        if (!inHandler) return;
        firedInHandler = true;
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    d.ops.ShowError("Port Not Open");
    inHandler = false;
    EXPECT_FALSE(firedInHandler);
    EXPECT_EQ(d.ops.ShownBox(), nullptr);

    QMessageBox* box = d.NextBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Port Not Open");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->parentWidget(), &d.window);
    d.Acknowledge(box);
    QTest::qWait(20);
    EXPECT_EQ(d.ops.ShownBox(), nullptr);
}

TEST(QtMessages, MessagesInARowAreAllShownOneAtATimeInOrder) {
    Desk d;
    d.ops.ShowError("one");
    d.ops.ShowWarning("two");
    d.ops.ShowError("three");

    QMessageBox* box = d.NextBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "one");
    EXPECT_EQ(d.ops.Waiting(), 2u);
    // One that comes while a box is up waits behind the others.
    d.ops.ShowWarning("four");
    int shownBoxes = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        shownBoxes += qobject_cast<QMessageBox*>(w) && w->isVisible();
    EXPECT_EQ(shownBoxes, 1);

    QStringList seen{box->text()};
    QList<QMessageBox::Icon> icons{box->icon()};
    d.Acknowledge(box);
    while (seen.size() < 4) {
        QMessageBox* next = d.NextBox();
        if (!next) break;
        seen << next->text();
        icons << next->icon();
        d.Acknowledge(next);
    }
    EXPECT_EQ(d.NextBox(200), nullptr);
    EXPECT_EQ(seen, QStringList({"one", "two", "three", "four"}));
    EXPECT_EQ(icons, QList<QMessageBox::Icon>({QMessageBox::Critical, QMessageBox::Warning,
                                               QMessageBox::Critical, QMessageBox::Warning}));
}

// The operator can answer a box while the window behind it is disabled (the parameters
// dialog's time).
TEST(QtMessages, ABoxOverADisabledWindowCanBeAnswered) {
    Desk d;
    d.window.setEnabled(false);
    d.ops.ShowWarning("Device.txt");
    QMessageBox* box = d.NextBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isEnabled());
    d.Acknowledge(box);
    QTest::qWait(20);
    EXPECT_EQ(d.ops.ShownBox(), nullptr);
}

TEST(QtMessages, QuitWaitsUntilTheLastMessageHasBeenSeen) {
    App();
    QWidget window;
    int exits = 0;
    QtOperatorServices ops(&window, [&] { ++exits; });
    ops.Quit();
    EXPECT_EQ(exits, 1);  // nothing to show: at once

    ops.ShowError("The logger was unplugged");
    ops.Quit();
    EXPECT_EQ(exits, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ops.ShownBox() && ops.ShownBox()->isVisible(); }));
    EXPECT_EQ(ops.ShownBox()->text(), "The logger was unplugged");
    QTest::qWait(20);
    EXPECT_EQ(exits, 1);  // the operator has not answered yet
    ops.ShownBox()->accept();
    EXPECT_TRUE(QTest::qWaitFor([&] { return exits == 2; }));
}

}  // namespace
}  // namespace qm::test

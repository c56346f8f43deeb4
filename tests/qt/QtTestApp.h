#pragma once

#include <QApplication>

namespace qm::test {

// The one application object of the Qt tests, offscreen unless the environment names a platform.
inline QApplication& App() {
    static int argc = 1;
    static char name[] = "qt_tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's input devices go away with the process, after static destructors.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace qm::test

#pragma once

#include <QCoreApplication>

namespace qm::test {

// The one application object of the test process, made on first use.
inline QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "link_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

}  // namespace qm::test

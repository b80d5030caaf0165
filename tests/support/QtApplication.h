#pragma once
// The one QApplication of a window test program, made on first use. The platform (offscreen under
// ctest) comes from the environment.

#include <QApplication>

namespace quelt::test {

inline QApplication& qtApplication() {
    static int argc = 1;
    static char name[] = "quelt_test";
    static char* argv[] = {name, nullptr};
    static auto* app = QApplication::instance() ? static_cast<QApplication*>(QApplication::instance())
                                                : new QApplication(argc, argv);
    return *app;
}

}  // namespace quelt::test

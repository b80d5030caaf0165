#pragma once
// The application object of the window tests, and a grab of a window for a look at it.

#include <QApplication>
#include <QPixmap>
#include <QWidget>
#include <cstdlib>
#include <string>

namespace uitest {

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    static auto* app = new QApplication(argc, argv);
    return *app;
}

// With QUELT_GRAB_DIR set, saves the window as <dir>/<name>.png.
inline void grab(QWidget& w, const std::string& name) {
    const char* dir = std::getenv("QUELT_GRAB_DIR");
    if (!dir || !*dir) return;
    w.show();
    QApplication::processEvents();
    w.grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

}  // namespace uitest

#pragma once
// The application object of the window tests, and a grab of a window for a look at it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/ProgramContext.h"
#include "platform/Operator.h"
#include "tests/support/QtApplication.h"

namespace uitest {

inline QApplication& application() {
    return quelt::test::qtApplication();
}

// With QUELT_GRAB_DIR set, saves the window as <dir>/<name>.png.
inline void grab(QWidget& w, const std::string& name) {
    const char* dir = std::getenv("QUELT_GRAB_DIR");
    if (!dir || !*dir) return;
    w.show();
    QApplication::processEvents();
    w.grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

// A program folder of its own under a sandbox, loaded as the program does at start, for each test.
class DialogTest : public ::testing::Test {
  protected:
    std::filesystem::path sandbox;
    quelt::ScriptedOperator op;
    quelt::ProgramContext context;

    void SetUp() override {
        application();
        sandbox = std::filesystem::temp_directory_path() /
                  ("quelt-ui-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(sandbox);
        ::setenv("XDG_CONFIG_HOME", (sandbox / "config").c_str(), 1);
        std::string error;
        ASSERT_TRUE(quelt::startProgram((sandbox / "h").string(), op, context, error)) << error;
    }
    void TearDown() override { std::filesystem::remove_all(sandbox); }

    // Types `text` into the field as the operator does and presses Enter.
    static void typeInto(QLineEdit* e, const QString& text) {
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
        QTest::keyClick(e, Qt::Key_Return);
    }
};

}  // namespace uitest

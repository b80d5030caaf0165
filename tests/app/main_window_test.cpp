#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>

#include "app/MainWindow.h"
#include "app/QtOperator.h"
#include "config/ProgramContext.h"

namespace fs = std::filesystem;

TEST(MainWindow, OpensAndClosesOnAFreshHome) {
    int argc = 1;
    char name[] = "test_app";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    fs::path home = fs::temp_directory_path() / ("quelt-app-" + std::to_string(::getpid()));
    fs::remove_all(home);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    quelt::app::QtOperator op;
    quelt::ProgramContext context;
    std::string error;
    ASSERT_TRUE(quelt::startProgram((home / "h").string(), op, context, error)) << error;
    {
        quelt::app::MainWindow window(context);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(window.windowTitle(), "QueltLogger");
        EXPECT_TRUE(window.close());
    }
    fs::remove_all(home);
}

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>

#include "app/MainWindow.h"
#include "app/QtOperator.h"
#include "app/SingleInstance.h"
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

TEST(SingleInstance, ASecondStartBringsTheFirstWindowForward) {
    int argc = 1;
    char name[] = "test_app";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    std::string home =
        (fs::temp_directory_path() / ("quelt-instance-" + std::to_string(::getpid()))).string();
    quelt::app::SingleInstance first(home);
    ASSERT_FALSE(first.PreviousInstanceRunning());
    QWidget window;
    window.showMinimized();
    first.TrackFirstInstance(&window);

    quelt::app::SingleInstance second(home);
    ASSERT_TRUE(second.PreviousInstanceRunning());
    second.ActivatePreviousInstance();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized() && window.isVisible(); }, 3000));

    quelt::app::SingleInstance otherFolder(home + "-other");
    EXPECT_FALSE(otherFolder.PreviousInstanceRunning());
}

#pragma once
// The application object of the window tests, and a grab of a window for a look at it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

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

// The end of the export a dialog has started (its exportFinished signal): how it ended, false when it
// never ends.
template <class Dialog>
bool exportResult(Dialog& dialog) {
    QSignalSpy ended(&dialog, &Dialog::exportFinished);
    if (!QTest::qWaitFor([&] { return !ended.isEmpty(); }, 120000)) return false;
    return ended.takeFirst().at(0).toBool();
}

// A gate the worker of an export waits at once armed, until the test opens it: the export is held at a
// known point for as long as the test needs, without any timing.
class Gate {
  public:
    void arm() { armed_ = true; }
    // On the worker: waits while armed and not open. On the window's thread it never waits (an export
    // run there would hang the test instead of failing it).
    void pass() {
        if (!armed_ || std::this_thread::get_id() == window_) return;
        std::unique_lock lock(mutex_);
        arrived_ = true;
        opened_.wait(lock, [this] { return open_; });
    }
    bool arrived() {
        std::lock_guard lock(mutex_);
        return arrived_;
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }

  private:
    const std::thread::id window_ = std::this_thread::get_id();
    std::atomic<bool> armed_{false};
    std::mutex mutex_;
    std::condition_variable opened_;
    bool arrived_ = false, open_ = false;
};

// An export held at `gate` while the window goes on: `start` starts it (true when started), an event
// posted to `dialog` while it is held must be handled before it ends, `whileHeld` checks the dialog
// then, `stop` is clicked and the gate opened. The export's result (false when any step failed).
template <class Dialog, class Start, class Check>
bool runHeldExportAndStop(Dialog& dialog, Gate& gate, Start start, Check whileHeld, QWidget* stop) {
    QSignalSpy ended(&dialog, &Dialog::exportFinished);
    gate.arm();
    EXPECT_TRUE(start());
    if (!QTest::qWaitFor([&] { return gate.arrived(); }, 60000)) {
        ADD_FAILURE() << "the export never reached the gate on a worker";
        gate.open();
        return false;
    }
    bool handled = false;
    QMetaObject::invokeMethod(
        &dialog, [&] { handled = true; }, Qt::QueuedConnection);
    EXPECT_TRUE(QTest::qWaitFor([&] { return handled; }, 60000)) << "the window handles events";
    EXPECT_TRUE(dialog.busy());
    EXPECT_TRUE(ended.isEmpty()) << "the export is still held";
    whileHeld();
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible()) << "stopping an export keeps the dialog";
    gate.open();
    if (!QTest::qWaitFor([&] { return !ended.isEmpty(); }, 60000)) return false;
    EXPECT_FALSE(dialog.busy());
    return ended.takeFirst().at(0).toBool();
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

#include <QMenuBar>
#include <QtTest/QtTest>

#include "tests/app/WindowFixture.h"

using windowtest::WindowTest;

namespace {

// Presses a key in the main window, as the operator does (the window active again after a dialog).
void press(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QApplication::setActiveWindow(window);
    QTest::keyClick(window, static_cast<Qt::Key>(key), modifiers);
}

}  // namespace

TEST_F(WindowTest, TransportKeysAreListedInTheMenus) {
    struct Listed {
        const char* action;
        const char* key;
    };
    for (const Listed& l : {Listed{"powerKey", "F2"}, Listed{"recordKey", "F5"}, Listed{"pauseKey", "F6"},
                            Listed{"stopKey", "F7"}, Listed{"playKey", "F8"}, Listed{"exit", "Ctrl+Q"}}) {
        QAction* a = window->action(l.action);
        ASSERT_NE(a, nullptr) << l.action;
        EXPECT_EQ(a->shortcut(), QKeySequence(l.key)) << l.action;
        bool inMenu = false;
        for (QAction* m : window->menuBar()->actions())
            if (m->menu() && m->menu()->actions().contains(a)) inMenu = true;
        EXPECT_TRUE(inMenu) << l.action;
    }
}

TEST_F(WindowTest, TransportKeysObeyTheButtonRules) {
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    // Record with the sonde off: refused with the recording's own message, nothing recorded.
    press(window.get(), Qt::Key_F5);
    EXPECT_EQ(op.messages(), std::vector<std::string>{
                                 "Sonde must be switched On and ready before entering in Record Mode."});
    EXPECT_FALSE(window->modeFlags().recording);
    op.clear();

    // A replay driven from the keys: Play, Pause, Play, Stop, as the buttons do.
    op.answerPath(makeLog(6));
    window->OpenAndPlay();
    ASSERT_TRUE(window->modeFlags().replayLoaded);
    press(window.get(), Qt::Key_F8);
    EXPECT_TRUE(window->modeFlags().playing);
    ASSERT_TRUE(nextLine());
    press(window.get(), Qt::Key_F6);
    EXPECT_FALSE(window->modeFlags().playing);
    EXPECT_TRUE(window->modeFlags().paused);
    EXPECT_FALSE(nextLine());
    press(window.get(), Qt::Key_F8);
    EXPECT_TRUE(window->modeFlags().playing);
    press(window.get(), Qt::Key_F7);
    EXPECT_FALSE(window->modeFlags().replayLoaded);
    EXPECT_EQ(window->statusPart(0), "Acquisition Mode.");
    // Play with nothing loaded: its button is off, so is the key.
    press(window.get(), Qt::Key_F8);
    EXPECT_FALSE(window->modeFlags().playing);
    EXPECT_TRUE(op.messages().empty());

    // Power is off without a logger, as its button; with one, it switches the sonde on. Quit then obeys
    // the leaving rule and keeps the window.
    window->probePanel().selectSonde(42, false);
    press(window.get(), Qt::Key_F2);
    EXPECT_FALSE(window->probePanel().powered());
    window->linkStatus() = 16;
    clock.advance(1000);
    window->modelTick(clock.now());
    window->mainTick(clock.now());
    press(window.get(), Qt::Key_F2);
    ASSERT_TRUE(window->probePanel().powered());
    window->linkStatus() = 255;
    press(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(op.messages(), std::vector<std::string>{"Sonde must be switched off before leaving program."});
    window->linkStatus() = 0;
}

TEST_F(WindowTest, TheEndOfAReplayIsToldInTheModeMessage) {
    op.answerPath(makeLog(3));
    window->OpenAndPlay();
    window->onPlay();
    EXPECT_EQ(window->statusPart(0), "Data file : well.VIV");
    while (nextLine()) {
    }
    EXPECT_FALSE(window->modeFlags().playing);
    EXPECT_EQ(window->statusPart(0), "End of log.");
    window->onPlay();  // played again from the first line
    EXPECT_EQ(window->statusPart(0), "Data file : well.VIV");
}

#include <gtest/gtest.h>

#include <QTest>

#include "UiFixture.h"
#include "ui/setup/PRecordingMode.h"
#include "ui/setup/PSetDepthDlg.h"
#include "ui/setup/PSetDepthPlayer.h"

using namespace quelt;
using namespace quelt::ui;

namespace {
struct SetupDialogs : ::testing::Test {
    void SetUp() override { uitest::application(); }
    Settings settings;
    StreamShared shared;
    ScriptedOperator op;
};
}  // namespace

TEST_F(SetupDialogs, RecordingModePresetsAndHandsTheChoiceOn) {
    settings.PicOriented = 2;
    std::vector<int> changed;
    CPRecordingMode dlg(
        settings, shared, 1, [] { return 57.25; }, [&](int i) { changed.push_back(i); });
    uitest::grab(dlg, "recording_mode");
    EXPECT_TRUE(dlg.downhole()->isChecked());
    EXPECT_EQ(dlg.orientation()->currentText(), "High Side");
    EXPECT_TRUE(changed.empty());

    dlg.orientation()->setCurrentIndex(1);
    EXPECT_EQ(settings.PicOriented, 1);
    EXPECT_EQ(changed, std::vector<int>{1});

    dlg.uphole()->setChecked(true);
    QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(shared.recordDirection.load(), 0);
    EXPECT_DOUBLE_EQ(shared.lastAcceptedDepth.load(), 57.25);

    CPRecordingMode up(settings, shared, 0, nullptr, nullptr);
    EXPECT_TRUE(up.uphole()->isChecked());
}

TEST_F(SetupDialogs, DepthResetSendsTheTypedDepthAndStoresItWithTheOffset) {
    std::vector<double> sent;
    CPSetDepthDlg dlg(settings, 150, [&](double d) { sent.push_back(d); });
    uitest::grab(dlg, "depth_reset");
    EXPECT_EQ(dlg.windowTitle(), "Depth reset.");
    EXPECT_EQ(dlg.entry()->text(), "0.00");
    EXPECT_NE(dlg.findChild<QLabel*>()->text().indexOf("Are you sure of your setting ?"), -1);
    dlg.entry()->setText("12.34");
    QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
    EXPECT_EQ(sent, std::vector<double>{12.34});
    EXPECT_NEAR(dlg.presetMetres(), 13.84, 1e-9);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(SetupDialogs, ReplayStartRefusesOutsideAndAllReturnsMinusOne) {
    LogHeader h;
    h.endDepth = 200000;
    ReplayStartRange range(100000, h, 0);
    CPSetDepthPlayer dlg(range, op);
    uitest::grab(dlg, "replay_start");
    EXPECT_EQ(dlg.windowTitle(), "Set depth start");
    EXPECT_EQ(dlg.entry()->text(), "100.01");
    EXPECT_EQ(dlg.rangeLabel()->text(), "Depth : 100.01 m to 199.99 m");

    dlg.show();
    dlg.entry()->setText("250");
    QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
    EXPECT_EQ(op.messages(), std::vector<std::string>{"Set at max : 199.99m"});
    EXPECT_TRUE(dlg.isVisible());

    dlg.entry()->setText("150.5");
    QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.startDepth(), 150500);

    CPSetDepthPlayer all(range, op);
    all.show();
    all.entry()->setText("150.5");
    QTest::mouseClick(all.allButton(), Qt::LeftButton);
    EXPECT_EQ(all.startDepth(), -1);
    EXPECT_EQ(all.result(), QDialog::Accepted);
}

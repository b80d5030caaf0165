// The travel-time and level tools' window on the offscreen platform: captions and units in both unit
// systems, the replay fields, the close refused during an offset edit, and a changed D-MAX reaching
// command 0x05 through the acquisition engine's command path.

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "UiFixture.h"
#include "link/Commands.h"
#include "stream/Acquisition.h"
#include "ui/travel/TravelWindowDlg.h"

namespace {

using quelt::ui::CTravelWindowDlg;

class TravelWindowTest : public uitest::DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        acq = std::make_unique<quelt::Acquisition>(context, clock);
        acq->writeCommand = [this](const quelt::CommandFrame& f) {
            sent.push_back(f);
            return true;
        };
    }
    std::unique_ptr<CTravelWindowDlg> make() {
        quelt::ui::TravelHost host;
        host.sendF5 = [this] { static_cast<quelt::LoggerCommands&>(*acq).sendF5(); };
        host.linkState = [this] { return link; };
        host.offsetEditOpen = [this] { return editing; };
        return std::make_unique<CTravelWindowDlg>(context, op, clock, host);
    }

    quelt::FakeClock clock{1000};
    std::unique_ptr<quelt::Acquisition> acq;
    std::vector<quelt::CommandFrame> sent;
    quelt::TravelLinkState link;
    bool editing = false;
};

TEST_F(TravelWindowTest, CaptionsAndUnitsFollowTheDepthUnit) {
    struct Case {
        int unit;
        const char *acquisition, *display, *velocityUnit, *velocity;
    } cases[] = {
        {0, "Acquisition (mm)", "Display (mm)", "m/s", "1484"},
        {1, "Acquisition (NCH)", "Display (INCH)", "feet/s", "4868"},
    };
    auto dlg = make();
    for (const auto& c : cases) {
        context.settings.SetDepthUnit = c.unit;
        dlg->unitChanged();
        EXPECT_EQ(dlg->windowTitle(), "Travel-Level Tools");
        EXPECT_EQ(dlg->acquisitionGroup->title(), c.acquisition);
        EXPECT_EQ(dlg->displayGroup->title(), c.display);
        EXPECT_EQ(dlg->velocityUnit->text(), c.velocityUnit);
        EXPECT_EQ(dlg->velocity->text(), c.velocity);
    }
    // 198.0 us at 1484 m/s and the 132 us offset is 140 mm, 5.5 inch.
    context.settings.UpBlanking = 1980;
    dlg->refreshNotification();
    EXPECT_EQ(dlg->dmin->text(), "5.5");
    context.settings.SetDepthUnit = 0;
    dlg->unitChanged();
    EXPECT_EQ(dlg->dmin->text(), "140");
}

TEST_F(TravelWindowTest, ReplayShowsTheReplayedLinesDiametersInsteadOfTheEntries) {
    auto dlg = make();
    dlg->open(nullptr);
    link.replay = true;
    link.blanking = 1980;  // the replayed line's window: 140 .. 190 mm
    link.window = 549;
    clock.advance(quelt::kTravelUpdatePeriod);
    dlg->tick(clock.now());
    EXPECT_TRUE(dlg->replayMin->isVisible());
    EXPECT_FALSE(dlg->dmin->isVisible());
    EXPECT_EQ(dlg->replayMin->text(), "140");
    EXPECT_EQ(dlg->replayMax->text(), "221");
    EXPECT_NE(dlg->blankingReadBack->styleSheet().indexOf("#a0ffff"), -1);  // pale cyan in replay
    EXPECT_EQ(dlg->resolution->text(), "-");

    link = {};
    link.framesArriving = link.sondePowered = true;
    link.blanking = 1980;
    link.window = 549;
    clock.advance(quelt::kTravelUpdatePeriod);
    dlg->tick(clock.now());
    EXPECT_FALSE(dlg->replayMin->isVisible());
    EXPECT_TRUE(dlg->dmin->isVisible());
    EXPECT_NE(dlg->blankingReadBack->styleSheet().indexOf("#ffff00"), -1);  // yellow while acquiring
    EXPECT_EQ(dlg->blankingReadBack->text(), "198.0");
    uitest::grab(*dlg, "travel_tools");
}

TEST_F(TravelWindowTest, CloseIsRefusedWhileTheProbePageEditsTheOffset) {
    auto dlg = make();
    dlg->open(nullptr);
    editing = true;
    EXPECT_FALSE(dlg->close());
    EXPECT_TRUE(dlg->isVisible());
    QTest::keyClick(dlg.get(), Qt::Key_Escape);  // Escape is a close too
    EXPECT_TRUE(dlg->isVisible());
    ASSERT_EQ(op.messages().size(), 2u);
    EXPECT_EQ(op.messages()[0], quelt::ui::kCloseDuringOffsetEdit);
    editing = false;
    EXPECT_TRUE(dlg->close());
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(context.placements.get(quelt::PlacementSlot::TravelTime).valid());
}

TEST_F(TravelWindowTest, AChangedDMaxReachesCommand0x05) {
    auto dlg = make();
    dlg->open(nullptr);
    link.sondePowered = true;
    clock.advance(quelt::kTravelUpdatePeriod);
    dlg->tick(clock.now());
    sent.clear();
    // The installed window starts at 24 mm, below the sonde: D-MAX first, which also shows the D-MIN
    // message, then D-MIN.
    typeInto(dlg->dmax, "300");
    op.clear();
    typeInto(dlg->dmin, "140");
    EXPECT_TRUE(op.messages().empty());
    ASSERT_FALSE(sent.empty());
    const quelt::CommandFrame& f = sent.back();
    ASSERT_EQ(f.code(), 0x05);
    // T(140) = 1980, T(300) = 3059 tenths of a microsecond at 1484 m/s and 132 us.
    EXPECT_EQ(f.bytes[1] | f.bytes[2] << 8, 1980);
    EXPECT_EQ(f.bytes[3] | f.bytes[4] << 8, 3059 - 1980);
    EXPECT_TRUE(quelt::commandSumValid(f));
    EXPECT_EQ(dlg->dmax->text(), "300");
    // Tracking carries the acquisition window to the display entries.
    dlg->tracking->click();  // off
    dlg->tracking->click();  // and on
    EXPECT_EQ(dlg->displayMax->text(), "300");
    EXPECT_DOUBLE_EQ(context.settings.DisplayBlanking, 1980);

    // A refused D-MAX: the message, and the window the sonde can run.
    op.clear();
    typeInto(dlg->dmax, "900");
    ASSERT_EQ(op.messages().size(), 1u);
    EXPECT_EQ(op.messages()[0],
              "Maximum diameter : Bad entered value.\n\n MAX : 453 mm for this velocity.\n");
    EXPECT_LE(context.settings.UpBlanking + context.settings.UpWindow, quelt::kLatestEcho);
}

}  // namespace

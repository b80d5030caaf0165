// The travel-time tools' model: the conversions between two-way times and diameters, the checks of the
// acquisition entries with the operator's texts, the corrections that keep the sonde's window runnable,
// the commands they send, and the periodic update on a fake clock.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/SondeDatabase.h"
#include "platform/Operator.h"
#include "stream/TravelTools.h"

namespace quelt {
namespace {

struct RecordingPorts : TravelToolsPorts {
    void sendF5() override { sent.push_back({settings->UpBlanking, settings->UpWindow}); }
    void saveSettings() override { ++saves; }
    void saveAcquisitionSettings() override {}
    void savePlaybackToHeader() override { ++headerWrites; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    const Settings* settings = nullptr;
    std::vector<std::pair<double, double>> sent;  // blanking and window of each command 0x05
    std::vector<std::string> messages;
    int saves = 0, headerWrites = 0;
};

class TravelToolsTest : public ::testing::Test {
  protected:
    // A sonde with `offset` us in slot 0, velocity 1500 m/s.
    void setUpSonde(int offset, int unit = 0) {
        settings.WaterVelocity = 1500;
        settings.ImpWaterVelocity = 4921;
        settings.SetDepthUnit = unit;
        SondeEntry e;
        e.serialNumber = 846;
        e.travelTimeOffset = offset;
        db.setSlot(0, e);
        db.SelectSonde(0);
        ports.settings = &settings;
        tools = std::make_unique<TravelTools>(settings, db, ports);
        tools->start(0);
        ports.sent.clear();
        ports.saves = 0;
    }

    Settings settings;
    ScriptedOperator op;
    SondeDatabase db{settings, op};
    RecordingPorts ports;
    std::unique_ptr<TravelTools> tools;
};

TEST(TravelScaleTest, DiametersAndTimes) {
    const TravelScale sc{1500, 1000};
    struct Case {
        const char* what;
        double got, want;
    } cases[] = {
        {"D(1000)", sc.diameter(1000), 42.0},
        {"D(2000)", sc.diameter(2000), 192.0},
        {"D(4090)", sc.diameter(4090), 505.5},
        {"T(45)", sc.time(45), 1020},
        {"T(192)", sc.time(192), 2000},
        {"T(43.3) rounds to the nearest tenth of a microsecond", sc.time(43.3), 1009},
        {"minimum blanking is the offset when later than 80 us", sc.minimumBlanking(), 1000},
        {"minimum blanking is 80 us for a small offset", TravelScale{1500, 700}.minimumBlanking(), 800},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.got, c.want, 1e-9) << c.what;
}

TEST(TravelScaleTest, ImperialEntriesAndTexts) {
    struct Case {
        double mm;
        bool imperial;
        const char* entry;
        const char* message;
    } cases[] = {
        {42.0, false, "42", " 42 mm"},
        {505.5, false, "506", " 505 mm"},  // the entry rounds, the message cuts
        {191.99999999999997, false, "192", " 192 mm"},
        {42.0, true, "1.7", "  1.7 inch"},
        {505.5, true, "19.9", "  19.9 inch"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(diameterText(c.mm, c.imperial), c.entry) << c.mm;
        EXPECT_EQ(diameterMessageText(c.mm, c.imperial), c.message) << c.mm;
    }
    // An entry in inches means thousandths x 0.02539996 mm, as the sonde's diameters have always been read.
    EXPECT_NEAR(entryToDiameter(2.0, true), 50.79992, 1e-9);
    Settings s;
    s.SetDepthUnit = 1;
    s.ImpWaterVelocity = 5000;
    EXPECT_NEAR(travelVelocity(s), 1524.0, 1e-9);
}

TEST(TravelScaleTest, OffsetOfTheSelectedOrReplayedSonde) {
    Settings settings;
    ScriptedOperator op;
    SondeDatabase db{settings, op};
    SondeEntry a, b;
    a.serialNumber = 846;
    a.travelTimeOffset = 100;
    b.serialNumber = 951;
    b.travelTimeOffset = 95;
    db.setSlot(0, a);
    db.setSlot(3, b);
    db.SelectSonde(0);
    struct Case {
        const char* what;
        OffsetSource source;
        double want;
    } cases[] = {
        {"live: the selected sonde", {false, 951, false}, 100},
        {"replay: the log's sonde from the database", {true, 951, false}, 95},
        {"replay: unknown sonde, large type", {true, 1234, false}, 132.0},
        {"replay: unknown sonde, small type", {true, 1234, true}, 87.0},
        {"replay: serials up to 300 are never looked up", {true, 200, true}, 87.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(travelOffsetMicros(db, c.source), c.want) << c.what;
}

TEST(TravelScaleTest, PhantomIntervalAndResolution) {
    // 1500 m/s = 1.5 mm/us; offset 132 us: b = trunc(2 x (132 - 10)) - 1 = 243, f = 243 + trunc(5.33).
    PhantomInterval p = phantomInterval(132.0, 1500);
    EXPECT_EQ(p.begin, 243);
    EXPECT_EQ(p.end, 248);
    struct Case {
        int blanking, window;
        bool meets;
    } cases[] = {
        {2000, 430, true},                     // ends at 243.0: touches b
        {2000, 429, false},                    // ends at 242.9
        {2480, 500, true},                     // starts at f
        {2481, 500, false}, {2440, 10, true},  // inside
        {1000, 3000, true},                    // around
    };
    for (const auto& c : cases)
        EXPECT_EQ(windowMeetsPhantom(p, c.blanking, c.window), c.meets) << c.blanking << "+" << c.window;
    EXPECT_NEAR(horizontalResolution(100, 200, 2), 150 * 3.1415926535 / 180, 1e-12);
    EXPECT_NEAR(horizontalResolution(100, 200, 1), 150 * 3.1415926535 / 360, 1e-12);
    EXPECT_NEAR(horizontalResolution(100, 200, 4), 150 * 3.1415926535 / 90, 1e-12);
}

TEST_F(TravelToolsTest, AcquisitionEntriesAreCheckedWithTheOperatorsTexts) {
    const std::string maxMsg = "Maximum diameter : Bad entered value.\n\n MAX : 505 mm for this velocity.\n";
    const std::string velMsg = "Water Velocity : Bad entered value.\n\n correct value : 1400 - 2000 ";
    const std::string minMsg = "Minimum diameter : Bad entered value.\n\n D-MIN: 42 mm\n";
    struct Case {
        const char* what;
        TravelField edited;
        double dmin, dmax;
        int velocity;
        std::string shown;
        double blanking, window;  // stored afterwards
        int storedVelocity;
    } cases[] = {
        {"D-MAX 500 accepted", TravelField::DMax, 60, 500, 1500, "", 1120, 2933, 1500},
        {"D-MAX 600 beyond the longest window", TravelField::DMax, 60, 600, 1500, maxMsg, 1120, 600, 1500},
        {"velocity 1300 returns to the stored one", TravelField::Velocity, 60, 150, 1300, velMsg, 1120, 600,
         1500},
        {"velocity 2100 returns to the stored one", TravelField::Velocity, 60, 150, 2100, velMsg, 1120, 600,
         1500},
        {"velocity 1600 moves the diameters, not the times", TravelField::Velocity, 60, 150, 1600, "", 1120,
         600, 1600},
        {"D-MIN below 42 mm keeps the stored blanking", TravelField::DMin, 30, 150, 1500, minMsg, 1120, 600,
         1500},
    };
    for (const auto& c : cases) {
        setUpSonde(100);
        settings.UpBlanking = 1120;  // 60 mm at 1500 m/s
        settings.UpWindow = 600;     // to 150 mm
        tools->refresh(true);
        auto& e = tools->entries();
        e.dmin = c.dmin;
        e.dmax = c.dmax;
        e.velocity = c.velocity;
        EXPECT_EQ(tools->validateAcquisition(c.edited), c.shown) << c.what;
        EXPECT_DOUBLE_EQ(settings.UpBlanking, c.blanking) << c.what;
        EXPECT_DOUBLE_EQ(settings.UpWindow, c.window) << c.what;
        EXPECT_EQ(settings.WaterVelocity, c.storedVelocity) << c.what;
        ASSERT_FALSE(ports.sent.empty()) << c.what;
        EXPECT_EQ(ports.sent.back(), std::make_pair(c.blanking, c.window)) << c.what << ": command 0x05";
        EXPECT_LE(settings.UpBlanking + settings.UpWindow, kLatestEcho) << c.what;
    }
}

TEST_F(TravelToolsTest, DMaxNotAboveDMinGivesBothMessagesUnlessOneFieldWasEdited) {
    const std::string dminMsg = "Minimum diameter : Bad entered value.\n\n D-MIN = Max  79 mm (see D-MAX)\n";
    const std::string dmaxMsg =
        "Maximum diameter : Bad entered value.\n\n D-MAX = Min : 101 mm (see D-MIN)\n";
    for (TravelField edited : {TravelField::DMax, TravelField::DMin, TravelField::Gain}) {
        setUpSonde(100);
        settings.UpBlanking = 1120;
        settings.UpWindow = 600;
        tools->refresh(true);
        tools->entries().dmin = 100;
        tools->entries().dmax = 80;
        std::string shown = tools->validateAcquisition(edited);
        std::string want = edited == TravelField::DMax   ? dmaxMsg
                           : edited == TravelField::DMin ? dminMsg
                                                         : dminMsg + dmaxMsg;
        EXPECT_EQ(shown, want) << static_cast<int>(edited);
        // The stored window stands.
        EXPECT_DOUBLE_EQ(settings.UpBlanking, 1120);
        EXPECT_DOUBLE_EQ(settings.UpWindow, 600);
    }
}

TEST_F(TravelToolsTest, ImperialMessages) {
    setUpSonde(100, 1);
    settings.UpBlanking = 1120;
    settings.UpWindow = 600;
    tools->refresh(true);
    auto& e = tools->entries();
    e.velocity = 4000;  // ft/s: 1219 m/s
    EXPECT_EQ(tools->validateAcquisition(TravelField::Velocity),
              "Water Velocity : Bad entered value.\n\n correct value : 4.595 - 6.560 ");
    e.velocity = 7000;
    EXPECT_EQ(tools->validateAcquisition(TravelField::Velocity),
              "Water Velocity : Bad entered value.\n\n correct value : 4.595 - 6.560  ");
    e.dmin = entryToDiameter(1.5, true);
    EXPECT_EQ(tools->validateAcquisition(TravelField::DMin),
              "Minimum diameter : Bad entered value.\n\n D-MIN:  1.7 inch\n");
    e.dmax = entryToDiameter(30.0, true);
    // 4921 ft/s is 1499.9 m/s: the longest window reaches 505.5 mm, 19.9 inch.
    EXPECT_EQ(tools->validateAcquisition(TravelField::DMax),
              "Maximum diameter : Bad entered value.\n\n MAX :  19.9 inch for this velocity.\n");
    EXPECT_EQ(tools->view().acquisitionCaption, "Acquisition (NCH)");
    EXPECT_EQ(tools->view().displayCaption, "Display (INCH)");
    EXPECT_EQ(tools->view().velocityUnit, "feet/s");
    EXPECT_EQ(tools->view().velocityMin, 4595);
    EXPECT_EQ(tools->view().velocityMax, 6560);
}

TEST_F(TravelToolsTest, ApplyRaisesTheBlankingToTheSondesOffset) {
    setUpSonde(90);
    settings.UpBlanking = 850;
    settings.UpWindow = 500;
    tools->apply();
    EXPECT_DOUBLE_EQ(settings.UpBlanking, 900);
    EXPECT_DOUBLE_EQ(settings.UpWindow, 500);
    ASSERT_EQ(ports.sent.size(), 1u);
    EXPECT_EQ(ports.sent[0], std::make_pair(900.0, 500.0));
    EXPECT_EQ(ports.saves, 1);
    // A window ending after 409.0 us is shortened the same way; a consistent one sends nothing.
    settings.UpWindow = 3500;
    tools->apply();
    EXPECT_DOUBLE_EQ(settings.UpWindow, 3190);
    tools->apply();
    EXPECT_EQ(ports.sent.size(), 2u);
}

TEST_F(TravelToolsTest, DisplayDiametersStayWithinTheSondesReach) {
    setUpSonde(100);
    tools->entries().tracking = false;
    struct Case {
        double dmin, dmax;
        double blanking, window;
    } cases[] = {
        {60, 150, 1120, 600},
        {30, 150, 1000, 720},   // D-MIN raised to D(minimum blanking) = 42 mm
        {60, 900, 1120, 2970},  // D-MAX lowered to 505.5 mm
        {60, 40, 1007, 6},      // D-MAX raised to 44 mm, then D-MIN lowered to 43 mm
    };
    for (const auto& c : cases) {
        tools->entries().displayMin = c.dmin;
        tools->entries().displayMax = c.dmax;
        tools->confirmDisplay();
        EXPECT_DOUBLE_EQ(settings.DisplayBlanking, c.blanking) << c.dmin << ".." << c.dmax;
        EXPECT_DOUBLE_EQ(settings.DisplayWindow, c.window) << c.dmin << ".." << c.dmax;
    }
    EXPECT_TRUE(ports.sent.empty());  // the display window is the picture's, not the sonde's
    EXPECT_EQ(ports.headerWrites, 4);
}

TEST_F(TravelToolsTest, TrackingCopiesTheAcquisitionWindowToTheDisplay) {
    setUpSonde(100);
    tools->entries().dmin = 60;
    tools->entries().dmax = 150;
    tools->setTracking(true);
    EXPECT_DOUBLE_EQ(settings.DisplayBlanking, 1120);
    EXPECT_DOUBLE_EQ(settings.DisplayWindow, 600);
    EXPECT_TRUE(settings.DisplayTracking);
    tools->setAgc(true);
    EXPECT_EQ(settings.AcousticalGain, kAutomaticGainValue);
    EXPECT_EQ(settings.AcousticalAGC, 1);
    EXPECT_EQ(ports.sent.size(), 1u);  // the AGC box sends, tracking does not
}

TEST_F(TravelToolsTest, SpinsKeepTheirLimits) {
    setUpSonde(100);
    auto& e = tools->entries();
    e.dmin = 42;
    e.dmax = 43;
    tools->spinAcquisitionMin(-1);
    EXPECT_DOUBLE_EQ(e.dmin, 42);
    tools->spinAcquisitionMin(+1);  // would meet D-MAX: D-MAX moves up first
    EXPECT_DOUBLE_EQ(e.dmin, 43);
    EXPECT_DOUBLE_EQ(e.dmax, 44);
    e.dmax = 505;
    tools->spinAcquisitionMax(+1);
    EXPECT_DOUBLE_EQ(e.dmax, 505.5);
    e.dmin = 504.5;
    tools->spinAcquisitionMin(+1);  // D-MAX cannot move: D-MIN stays
    EXPECT_DOUBLE_EQ(e.dmin, 504.5);
    e.gain = 80;
    tools->spinGain(+1);
    EXPECT_EQ(e.gain, 80);
    e.displayGain = 0;
    tools->spinDisplayGain(-1);
    EXPECT_EQ(e.displayGain, 0);
    e.velocity = 2000;
    tools->spinVelocity(+1);
    EXPECT_EQ(e.velocity, 2000);
    e.velocity = 1500;
    e.dmin = 60;
    e.dmax = 150;
    tools->releaseAcquisitionSpin();
    EXPECT_EQ(ports.sent.back(), std::make_pair(1120.0, 600.0));
    e.displayGain = 30;
    tools->releaseDisplayGainSpin();
    EXPECT_EQ(settings.LevelContrast, 30);
    tools->setRefreshMode(5);
    EXPECT_EQ(settings.RefreshTravelDialog, 255);
}

TEST_F(TravelToolsTest, OffsetEditSwitchesToTheCalibrationWindowAndBack) {
    setUpSonde(100);
    settings.UpBlanking = 1300;
    settings.UpWindow = 900;
    settings.AcousticalGain = 25;
    tools->refresh(true);
    tools->offsetEditStart();
    EXPECT_TRUE(tools->offsetEditOpen());
    EXPECT_DOUBLE_EQ(settings.UpBlanking, 1020);       // T(45 mm)
    EXPECT_DOUBLE_EQ(settings.UpWindow, 2120 - 1020);  // T(210 mm) - T(45 mm)
    EXPECT_EQ(settings.AcousticalGain, kCalibrationGain);
    EXPECT_EQ(ports.sent.back(), std::make_pair(1020.0, 1100.0));
    tools->offsetEditStart();  // a repeated start keeps the operator's window
    tools->offsetEditEnd();
    EXPECT_FALSE(tools->offsetEditOpen());
    EXPECT_DOUBLE_EQ(settings.UpBlanking, 1300);
    EXPECT_DOUBLE_EQ(settings.UpWindow, 900);
    EXPECT_EQ(settings.AcousticalGain, 25);
    EXPECT_EQ(ports.sent.back(), std::make_pair(1300.0, 900.0));
}

TEST_F(TravelToolsTest, PeriodicUpdateColoursTheReadBacks) {
    setUpSonde(132);
    settings.ShowPhantom = true;
    struct Case {
        const char* what;
        TravelLinkState link;
        ReadBackColour colour;
        const char* resolution;
        const char* gain;
    } cases[] = {
        {"phantom inside the window",
         {true, true, false, false, false, 2000, 500, 10},
         ReadBackColour::Orange,
         "1.45",
         "10"},
        {"window clear of the phantom",
         {true, true, false, false, false, 1200, 500, 128},
         ReadBackColour::Yellow,
         "1.45",
         "AGC"},
        {"replay", {false, false, true, false, false, 1200, 500, 10}, ReadBackColour::PaleCyan, "-", "10"},
        {"no frames", {false, true, false, false, false, 1200, 500, 10}, ReadBackColour::Grey, "-", "10"},
    };
    tools->entries().dmin = 60;
    tools->entries().dmax = 106;
    Millis now = 0;
    for (const auto& c : cases) {
        now += kTravelUpdatePeriod;
        tools->tick(now, c.link);
        EXPECT_EQ(tools->view().readBackColour, c.colour) << c.what;
        EXPECT_EQ(tools->view().resolutionText, c.resolution) << c.what;
        EXPECT_EQ(tools->view().gainReadBack, c.gain) << c.what;
    }
    // Between two updates nothing changes.
    TravelLinkState other{true, true, false, false, false, 3000, 100, 7};
    tools->tick(now + kTravelUpdatePeriod - 1, other);
    EXPECT_EQ(tools->view().gainReadBack, "10");
    tools->tick(now + kTravelUpdatePeriod, other);
    EXPECT_EQ(tools->view().blankingReadBack, "300.0");
    EXPECT_TRUE(tools->view().acquisitionEnabled);
    EXPECT_TRUE(tools->view().agcEnabled);
}

TEST_F(TravelToolsTest, AutoCheckChangesAreRedisplayedAfter50ms) {
    setUpSonde(100);
    TravelLinkState link;
    link.autoCheck = true;
    tools->tick(0, link);
    settings.UpBlanking = 1120;
    settings.UpWindow = 600;
    tools->tick(10, link);
    tools->tick(59, link);
    EXPECT_NE(tools->dminText(), "60");
    tools->tick(60, link);
    EXPECT_EQ(tools->dminText(), "60");
    EXPECT_EQ(tools->dmaxText(), "150");
    EXPECT_EQ(tools->view().blankingText, "112.0");
}

}  // namespace
}  // namespace quelt

// The Logger Setup pages without their windows, on a fake clock, against a sonde that echoes what each
// command carries (or, when told, a wrong value).

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "config/Ini.h"
#include "link/Commands.h"
#include "platform/Text.h"
#include "stream/SetupSheet.h"

using namespace quelt;

namespace {

namespace fs = std::filesystem;

// Records the calls and plays the echoing sonde: each command fills ReplyEcho as the frames would.
struct EchoPorts : SetupPorts {
    EchoPorts(Settings& s, ReplyEcho& e, SondeDatabase& db) : settings(s), echo(e), sondes(db) {}
    Settings& settings;
    ReplyEcho& echo;
    SondeDatabase& sondes;
    int saves = 0, f1 = 0, f3 = 0, f4 = 0, refreshes = 0, toolsBox = 0;
    std::vector<int> offsetCodes;
    bool pending = false, editFlag = false;
    int gainError = 0, motorError = 0, resolutionError = 0, modeError = 0;

    void saveSettings() override { ++saves; }
    void sendF1() override {
        ++f1;
        CommandFrame c = makeF1(settings);
        echo.update([&](ReplyEcho::Slots& e) {
            e[ReplyEcho::kFlags] = static_cast<std::uint8_t>((c.bytes[1] ^ modeError) & 0x30);
            for (int i = 1; i <= 5; ++i)
                e[static_cast<size_t>(i)] = c.bytes[static_cast<size_t>(i) + 1];
            e[ReplyEcho::kNewReplyMarker] = 1;
        });
    }
    void sendF3() override {
        ++f3;
        FixedSondeInfo info(0, sondes.highSpeed());
        CommandFrame c = makeF3(settings, info);
        echo.update([&](ReplyEcho::Slots& e) {
            e[ReplyEcho::kUpGain] = static_cast<std::uint8_t>(c.bytes[1] + gainError);
            e[ReplyEcho::kDownDrive] = c.bytes[2];
            e[ReplyEcho::kCommStatus] = 1;
            e[ReplyEcho::kFrameKindMarker] = e[ReplyEcho::kNewReplyMarker] = 1;
        });
    }
    void sendF4() override {
        ++f4;
        CommandFrame c = makeF4(settings);
        echo.update([&](ReplyEcho::Slots& e) {
            e[ReplyEcho::kResolution] = static_cast<std::uint8_t>(c.bytes[1] + resolutionError);
            e[ReplyEcho::kMotorPeriod] = static_cast<std::uint8_t>(c.bytes[2] + motorError);
            e[ReplyEcho::kCommStatus] = 1;
            e[ReplyEcho::kFrameKindMarker] = e[ReplyEcho::kNewReplyMarker] = 1;
        });
    }
    bool commandPending() override { return pending; }
    void refreshToolsBox() override { ++toolsBox; }
    void refreshPages() override { ++refreshes; }
    void travelToolsOffsetEdit(int code) override { offsetCodes.push_back(code); }
    void offsetEditing(bool open) override { editFlag = open; }
};

class SetupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               format("quelt_setup_%d_%s", static_cast<int>(getpid()),
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setProgramDirectory(dir_.string() + "/");
        writeSondes(2);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A database with `n` sondes in use, serials 101, 102 ...; slot 1 is a high-speed sonde with gamma.
    void writeSondes(int n) {
        std::ofstream out(dir_ / "Zorak.tol", std::ios::binary);
        for (int i = 0; i < n; ++i)
            out << format("[Sonde%d]\nSerialNumber=%04d\nHighSpeedCOM=%s\nGammaOnBoard=%d\n", i, 101 + i,
                          i == 1 ? "yes" : "no", i == 1 ? -1 : 0);
        out.close();
        db.LoadSondeDatabase();
    }
    // Runs the sheet's timers for `ms` milliseconds in 16 ms steps.
    void run(Millis ms) {
        for (Millis end = clock.now() + ms; clock.now() < end;) {
            clock.advance(16);
            sheet.tick(clock.now());
        }
    }
    std::vector<std::string> messages() const { return op.messages(); }

    fs::path dir_;
    FakeClock clock{1000};
    Settings settings;
    ScriptedOperator op;
    SondeDatabase db{settings, op};
    ReplyEcho echo;
    LiveState live;
    LinkCounters counters;
    ModeFlags modes;
    LinkFlags flags;
    std::atomic<int> linkStatus{kLinkFullData};
    EchoPorts ports{settings, echo, db};
    SetupShared shared{settings, db, op, echo, live, counters, modes, flags, linkStatus, ports};
    SetupSheet sheet{shared};
};

TEST(SetupControlState, RowByRow) {
    struct Row {
        bool powered, recording;
        int link;
        bool decimate;
        ControlState want;  // winch, supply, picture, comm, sonde choice, offset edit
    } rows[] = {
        {true, false, 255, false, {false, false, true, true, true, true}},
        {true, false, 255, true, {false, false, true, false, true, true}},
        {true, false, 16, false, {false, false, true, true, true, false}},
        {true, true, 255, false, {false, false, false, false, false, false}},
        {false, false, 4, false, {false, false, false, false, true, false}},
        {false, false, 16, false, {true, true, false, false, true, false}},
        {false, false, 255, false, {true, true, false, false, true, false}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(controlState(r.powered, r.recording, r.link, r.decimate), r.want)
            << "powered " << r.powered << " recording " << r.recording << " link " << r.link << " decimate "
            << r.decimate;
}

TEST_F(SetupTest, SheetTabsLabelsAndOpenEditQuestion) {
    EXPECT_EQ(sheet.tabs().size(), 4u);
    settings.switches.TechnicalTools = true;
    ASSERT_EQ(sheet.tabs().size(), 5u);
    EXPECT_STREQ(SetupSheet::caption(sheet.tabs()[4]), "*.tol");
    EXPECT_FALSE(SetupSheet::settingLabelShown(SetupTab::Tol));
    EXPECT_TRUE(SetupSheet::readBackLabelShown(SetupTab::AcquisitionMode));
    EXPECT_FALSE(SetupSheet::readBackLabelShown(SetupTab::Probe));

    sheet.show(clock.now());
    EXPECT_TRUE(modes.setupVisible.load());
    ASSERT_TRUE(sheet.selectTab(SetupTab::Probe, clock.now()));
    op.answerYes(true);
    ASSERT_TRUE(sheet.probe.startRotationEdit(clock.now()));
    EXPECT_TRUE(ports.editFlag);
    op.answerYes(false);
    EXPECT_FALSE(sheet.selectTab(SetupTab::Winch, clock.now()));
    EXPECT_EQ(sheet.currentTab(), SetupTab::Probe);
    sheet.probe.setRotationEntry("12.5");
    op.answerYes(true);
    EXPECT_TRUE(sheet.close(clock.now()));
    EXPECT_FALSE(modes.setupVisible.load());
    EXPECT_FALSE(ports.editFlag);
    EXPECT_DOUBLE_EQ(db.current().rotationOffset, 12.5);
    EXPECT_EQ(op.log().back().text, "Do you save now the Rotation Offset parameter ?");
}

TEST_F(SetupTest, UpholeDriveMaximumFollowsTheSpeed) {
    struct Row {
        int divisor, maximum;
    } rows[] = {{20, 60}, {12, 48}, {10, 40}};
    for (const Row& r : rows) {
        settings.UpBaudDivisor = r.divisor;
        EXPECT_EQ(sheet.comm.upholeMaximum(), r.maximum) << r.divisor;
        EXPECT_EQ(sheet.comm.maxText(), format("Max : %d", r.maximum));
    }
}

TEST_F(SetupTest, ANewSpeedLowersTheDriveAndRaisesThePeriod) {
    settings.PicResolution = 1;
    settings.MotorPeriod = 30;
    settings.UpholePulseWidth = 15;
    sheet.comm.refresh();
    sheet.comm.chooseSpeed(0);  // "312500"
    EXPECT_EQ(settings.UpBaudDivisor, 2);
    EXPECT_EQ(settings.MotorPeriod, 34);
    EXPECT_EQ(settings.MotorPeriodPreset[0], 34);
    EXPECT_EQ(settings.UpholePulseWidth, 8);
    EXPECT_EQ(ports.f4, 1);
    EXPECT_GE(ports.saves, 1);
}

TEST_F(SetupTest, HighSpeedSondeListAndGainException) {
    db.SelectSonde(1);
    sheet.comm.refresh();
    ports.f3 = 0;
    ASSERT_EQ(sheet.comm.speeds().size(), 9u);
    EXPECT_STREQ(sheet.comm.speeds().back().text, "62500");
    CommEnables e = sheet.comm.enables(true);
    EXPECT_TRUE(e.downhole && e.speed && e.set && e.check);
    EXPECT_FALSE(e.gain || e.uphole);

    settings.UpGain = 20;
    ASSERT_TRUE(sheet.comm.applyDownholeDrive(30, clock.now()));
    EXPECT_EQ(echo.slot(ReplyEcho::kUpGain), 42);  // the command carries 42 for this sonde
    run(8000);
    EXPECT_EQ(ports.f3, 1) << "no resend for the gain a high-speed sonde always gets";
    EXPECT_TRUE(messages().empty());
}

TEST_F(SetupTest, ChangingTheSondeRefillsTheListAndSendsTheGain) {
    sheet.comm.refresh();
    ASSERT_EQ(sheet.comm.speeds().size(), 12u);
    ASSERT_TRUE(sheet.probe.chooseSonde(1));
    sheet.comm.refresh();
    EXPECT_EQ(sheet.comm.speeds().size(), 9u);
    EXPECT_EQ(ports.f3, 1);
}

TEST_F(SetupTest, EntryRangesOfTheCommunicationPage) {
    struct Row {
        const char* field;
        int value;
        bool accepted;
        const char* message;
    } rows[] = {
        {"down", 4, false, "Bad DownHole entered value !!!\nMin:5 Max:60"},
        {"down", 61, false, "Bad DownHole entered value !!!\nMin:5 Max:60"},
        {"down", 60, true, nullptr},
        {"gain", 41, false, "Bad entered value"},
        {"gain", 0, true, nullptr},
        {"uphole", 41, false, "Bad entered value"},  // divisor 10: maximum 40
        {"uphole", 40, true, nullptr},
    };
    for (const Row& r : rows) {
        op.clear();
        Settings before = settings;
        std::string f = r.field;
        bool ok = f == "down"   ? sheet.comm.applyDownholeDrive(r.value, clock.now())
                  : f == "gain" ? sheet.comm.applyGain(r.value, clock.now())
                                : sheet.comm.applyUpholeDrive(r.value);
        EXPECT_EQ(ok, r.accepted) << f << " " << r.value;
        if (r.message) {
            EXPECT_EQ(messages(), std::vector<std::string>{r.message}) << f << " " << r.value;
            EXPECT_EQ(settings.DownEnergie, before.DownEnergie);
            EXPECT_EQ(settings.UpGain, before.UpGain);
            EXPECT_EQ(settings.UpholePulseWidth, before.UpholePulseWidth);
        }
    }
}

TEST_F(SetupTest, CommReadBackWarnsOnceAfterFiveResends) {
    ports.gainError = 3;
    settings.DownEnergie = 20;
    ASSERT_TRUE(sheet.comm.applyGain(20, clock.now()));
    run(20000);
    EXPECT_EQ(ports.f3, 6);  // the change and five resends
    EXPECT_EQ(messages(), std::vector<std::string>{
                              "UPHOLE RECEIVER GAIN\nWarning consigne error\n Send:20  Read back:23"});
    EXPECT_FALSE(sheet.comm.readBack.running());
}

TEST_F(SetupTest, CommReadBackWaitsForAStatusFrame) {
    ASSERT_TRUE(sheet.comm.applyDownholeDrive(20, clock.now()));
    echo.update([](ReplyEcho::Slots& e) { e[ReplyEcho::kFrameKindMarker] = 0; });  // no status frame since
    run(1100);
    EXPECT_TRUE(sheet.comm.readBack.running());
    echo.update([](ReplyEcho::Slots& e) { e[ReplyEcho::kFrameKindMarker] = 1; });
    run(400);
    EXPECT_FALSE(sheet.comm.readBack.running());
    EXPECT_EQ(ports.f3, 1);
}

TEST_F(SetupTest, CheckRefusedWhileRecordingAndPutsBackAfterwards) {
    int runs = 0;
    sheet.comm.runAutoCheck = [&] {
        ++runs;
        settings.PicResolution = 4;
        settings.MotorPeriod = 21;
    };
    modes.recording = true;
    EXPECT_FALSE(sheet.comm.check(clock.now()));
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"Stop your record before use this option"});

    modes.recording = false;
    settings.PicResolution = 2;
    settings.MotorPeriod = 87;
    EXPECT_TRUE(sheet.comm.check(clock.now()));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(settings.PicResolution, 2);
    EXPECT_EQ(settings.MotorPeriod, 87);
    run(400);
    EXPECT_EQ(ports.f3, 0);
    run(200);
    EXPECT_EQ(ports.f3, 2);  // "&Set": gain, uphole drive, downhole drive
    EXPECT_EQ(ports.f4, 1);
}

TEST_F(SetupTest, LampsHoldFourTicksAfterTheirBit) {
    CommLamps lamps;
    // Tick by tick: status byte in, lamps lit out (bit 0 Data Valid, bit 3 checksum).
    struct Step {
        std::uint8_t status;
        bool valid, checksum;
    } steps[] = {
        {0x01, true, false}, {0x08, false, true},  {0x01, false, true}, {0x01, false, true},
        {0x01, false, true}, {0x01, false, false}, {0x01, true, false},
    };
    int i = 0;
    for (const Step& s : steps) {
        lamps.tick(kLinkFullData, s.status);
        EXPECT_EQ(lamps.lit(CommLamps::DataValid), s.valid) << "tick " << i;
        EXPECT_EQ(lamps.lit(CommLamps::Checksum), s.checksum) << "tick " << i;
        ++i;
    }
    lamps.tick(kLinkLogger, 0x08);
    for (int l = 0; l < CommLamps::kCount; ++l)
        EXPECT_FALSE(lamps.lit(l)) << l;
}

TEST_F(SetupTest, DataValidHoldsFourTicks) {
    CommLamps lamps;
    std::string seen;
    for (std::uint8_t s : {0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}) {
        lamps.tick(kLinkFullData, s);
        seen += lamps.lit(CommLamps::DataValid) ? '1' : '0';
    }
    EXPECT_EQ(seen, "1111100");
}

TEST_F(SetupTest, MinimumMotorPeriodByThePagesColumn) {
    struct Row {
        int resolution, divisor, minimum;
    } rows[] = {{1, 10, 96}, {1, 2, 34}, {1, 3, 34}, {4, 20, 37}, {2, 4, 21}};
    for (const Row& r : rows) {
        settings.PicResolution = r.resolution;
        settings.UpBaudDivisor = r.divisor;
        EXPECT_EQ(sheet.picture.minimumPeriod(), r.minimum) << r.resolution << " " << r.divisor;
    }
    EXPECT_EQ(PictureSetup::rpsText(87), "(5.0 RPS)");
}

TEST_F(SetupTest, ResolutionRaisesAndRestoresThePeriod) {
    settings.UpBaudDivisor = 10;
    settings.PicResolution = 2;
    settings.MotorPeriod = 87;
    settings.MotorPeriodPreset = {87, 70, 60, 50};
    sheet.picture.chooseResolution(1, clock.now());  // "360" at 62500
    EXPECT_EQ(settings.MotorPeriod, 96);
    EXPECT_EQ(settings.MotorPeriodPreset[0], 96);

    sheet.picture.chooseResolution(2, clock.now());
    ASSERT_TRUE(sheet.picture.applyMotorPeriod(75, clock.now()));
    sheet.picture.chooseResolution(4, clock.now());  // "90"
    EXPECT_EQ(settings.MotorPeriod, 50);
    sheet.picture.chooseResolution(2, clock.now());  // back to "180"
    EXPECT_EQ(settings.MotorPeriod, 75);
}

TEST_F(SetupTest, MotorPeriodEntryLimits) {
    settings.UpBaudDivisor = 2;
    settings.PicResolution = 2;  // minimum 21
    settings.MotorPeriod = 87;
    struct Row {
        int value;
        const char* message;
    } rows[] = {
        {20, "Bad entered value -> Min : 21"}, {130, "Bad entered value -> Max : 127"}, {21, nullptr}};
    for (const Row& r : rows) {
        op.clear();
        bool ok = sheet.picture.applyMotorPeriod(r.value, clock.now());
        EXPECT_EQ(ok, r.message == nullptr) << r.value;
        if (r.message) {
            EXPECT_EQ(messages(), std::vector<std::string>{r.message});
            EXPECT_EQ(settings.MotorPeriod, 87);
        }
    }
    EXPECT_EQ(settings.MotorPeriod, 21);
    EXPECT_EQ(settings.MotorPeriodPreset[1], 21);
}

TEST_F(SetupTest, PictureEchoWarnings) {
    struct Row {
        int motorError;
        bool resolutionWrong;
        const char* warning;
    } rows[] = {
        {2, false, "Warning consign error.\n Motor Speed "},
        {0, true, "Warning consign error.\n Picture resolution"},
        {2, true, "Warning consign error.\n Motor Speed - Picture resolution"},
    };
    for (const Row& r : rows) {
        op.clear();
        ports.f4 = 0;
        ports.motorError = r.motorError;
        ports.resolutionError = r.resolutionWrong ? 1 : 0;
        settings.UpBaudDivisor = 2;
        sheet.picture.applyMotorPeriod(60, clock.now());
        run(15000);
        EXPECT_EQ(ports.f4, 6) << r.warning;
        EXPECT_EQ(messages(), std::vector<std::string>{r.warning});
    }
}

TEST_F(SetupTest, PictureSendWaitsForTheLink) {
    ports.pending = true;
    sheet.picture.chooseResolution(3, clock.now());
    run(200);
    EXPECT_EQ(ports.f4, 0);
    ports.pending = false;
    run(70);
    EXPECT_EQ(ports.f4, 1);
}

TEST_F(SetupTest, OffsetEditSwitchesThePictureAndPutsItBack) {
    settings.PicOriented = 1;
    settings.PicResolution = 3;
    settings.UpBaudDivisor = 2;
    op.answerYes(true);
    ASSERT_TRUE(sheet.probe.startRotationEdit(clock.now()));
    EXPECT_EQ(settings.PicOriented, 2);
    EXPECT_EQ(settings.PicResolution, 1);
    EXPECT_TRUE(modes.travelToolsOpened.load());
    sheet.probe.cancelRotationEdit(clock.now());
    EXPECT_EQ(settings.PicOriented, 1);
    EXPECT_EQ(settings.PicResolution, 3);
    EXPECT_EQ(ports.offsetCodes, (std::vector<int>{1, 2}));
}

TEST_F(SetupTest, ProbeEntries) {
    EXPECT_FALSE(sheet.probe.applyVoltage(126));
    EXPECT_EQ(settings.Power, 90);
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad entered value"});
    EXPECT_TRUE(sheet.probe.applyVoltage(125));
    EXPECT_EQ(ports.f1, 1);

    op.clear();
    EXPECT_EQ(sheet.probe.applyDeclination("360"), "0.00");
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad entered value\nCorrect value is : 0 to 359.99"});
    EXPECT_EQ(sheet.probe.applyDeclination("12,345"), "12.35");
    EXPECT_DOUBLE_EQ(settings.MagneticOffset, 12.345);

    struct Step {
        double from;
        int dir;
        double to;
    } steps[] = {{359.95, 1, 0.0}, {0.0, -1, 359.99}, {10.0, 1, 10.1}};
    for (const Step& s : steps)
        EXPECT_DOUBLE_EQ(ProbeSetup::stepDeclination(s.from, s.dir), s.to) << s.from;
}

TEST_F(SetupTest, RotationOffsetSavedClamped) {
    op.answerYes(false);
    EXPECT_FALSE(sheet.probe.startRotationEdit(clock.now()));
    EXPECT_EQ(op.log().back().text, "This is a critical parameter.\nAre you sure to want to mofify it ?");
    op.answerYes(true);
    ASSERT_TRUE(sheet.probe.startRotationEdit(clock.now()));
    sheet.probe.setRotationEntry("400");
    sheet.probe.saveRotationEdit(clock.now());
    EXPECT_DOUBLE_EQ(db.current().rotationOffset, 359.9);
    EXPECT_EQ(messages().back(), "Warning : Minimum 0° Maximum 359° of image offset");
    EXPECT_EQ(readProfileString(SondeDatabase::filePath(), "Sonde0", "RotationOffset", ""), "359.9");

    op.answerYes(true);
    ASSERT_TRUE(sheet.probe.startRotationEdit(clock.now()));
    sheet.probe.setRotationEntry("abc");
    sheet.probe.saveRotationEdit(clock.now());
    EXPECT_EQ(messages().back(), "Bad entry format");
    EXPECT_DOUBLE_EQ(db.current().rotationOffset, 359.9);
}

TEST_F(SetupTest, GammaCoefficientRefusedOnThePageClampedOnTheTolTab) {
    op.answerYes(true);
    ASSERT_TRUE(sheet.probe.startGammaEdit());
    sheet.probe.setGammaEntry("0.1");
    EXPECT_FALSE(sheet.probe.saveGammaEdit());
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad entered value\nCorrect value is : 0.2 to 1.99"});
    EXPECT_DOUBLE_EQ(db.current().gammaCoef, 1.0);

    TolFields f = sheet.probe.tolFields(0);
    EXPECT_EQ(f.serialNumber, "0101");
    f.gammaCoef = "0.1";
    f.rotationOffset = "500";
    ASSERT_TRUE(sheet.probe.writeTol(0, f));
    EXPECT_DOUBLE_EQ(db.slot(0).gammaCoef, 0.2);
    EXPECT_DOUBLE_EQ(db.slot(0).rotationOffset, 359.9);
    EXPECT_EQ(messages().size(), 1u) << "the tab clamps silently";
}

TEST_F(SetupTest, EmptySondeRefusedWhilePowered) {
    modes.sondePowered = true;
    EXPECT_FALSE(sheet.probe.chooseSonde(5));
    EXPECT_EQ(messages(), std::vector<std::string>{"No sondes selected ..."});
    EXPECT_EQ(db.currentSlot(), 0);
    modes.sondePowered = false;
    EXPECT_TRUE(sheet.probe.chooseSonde(5));
    EXPECT_EQ(settings.SondeUsed, 5);
}

TEST_F(SetupTest, AddDisabledAtTenSondesAndEnabledAfterARemoval) {
    writeSondes(10);
    sheet.show(clock.now());
    EXPECT_FALSE(sheet.addEnabled());
    op.answerYes(true);
    ASSERT_TRUE(sheet.probe.remove());
    run(300);
    EXPECT_TRUE(sheet.addEnabled());
    EXPECT_EQ(sheet.probe.slotText(0), "-");
}

TEST_F(SetupTest, GammaGroupFollowsTheSonde) {
    settings.GammaScale = 500;
    sheet.show(clock.now());
    EXPECT_FALSE(sheet.gammaGroupShown());
    EXPECT_EQ(settings.GammaScale, 0);
    db.SelectSonde(1);
    run(300);
    EXPECT_TRUE(sheet.gammaGroupShown());
    EXPECT_EQ(settings.ShownGamma, 1);
    // While a log plays, the replayed log's sonde decides.
    modes.playing = true;
    sheet.replaySerial = [] { return std::optional<int>(101); };
    run(300);
    EXPECT_FALSE(sheet.gammaGroupShown());

    modes.playing = false;
    sheet.probe.chooseGammaScale(3);
    EXPECT_EQ(settings.GammaScale, 500);
    EXPECT_EQ(settings.ShownGamma, 1);
}

TEST_F(SetupTest, WheelAndEncoderRules) {
    struct Row {
        double wheelMm;
        int pulses;
        const char* message;  // nullptr: accepted
    } rows[] = {
        {500, 6374, nullptr},
        {500, 6375, "Bad wheel/encoder combination"},
        {500, 499, "Bad entered value.\nMin 500 - Max 10000"},
        {1500, 1000, "Too high wheel/encoder combination"},
        {250, 10000, "Too low wheel/encoder combination"},
    };
    for (const Row& r : rows) {
        op.clear();
        settings.PulleysDiameter = r.wheelMm;
        settings.PulsResolution = 700;
        int f1 = ports.f1;
        bool ok = sheet.winch.applyResolution(r.pulses, clock.now());
        EXPECT_EQ(ok, r.message == nullptr) << r.pulses << " on " << r.wheelMm;
        if (r.message) {
            EXPECT_EQ(messages(), std::vector<std::string>{r.message});
            EXPECT_EQ(settings.PulsResolution, 700);
            EXPECT_EQ(ports.f1, f1);
        } else {
            EXPECT_EQ(ports.f1, f1 + 1);
        }
    }
    // 6374 pulses on 500 mm: 509.92 counts per cm, sent halved.
    settings.PulleysDiameter = 500;
    settings.PulsResolution = 6374;
    EXPECT_EQ(encoderScale(settings).field, 65269);
    EXPECT_EQ(sheet.winch.encoderScale(), 130540);

    op.clear();
    EXPECT_FALSE(sheet.winch.applyCircumference(1500, 1000, clock.now()));
    EXPECT_EQ(messages(), std::vector<std::string>{"Too high wheel/encoder combination"});
    op.clear();
    EXPECT_FALSE(sheet.winch.applyCircumference(249, 1000, clock.now()));
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad entered value.\nMin 250mm - Max 1500mm"});
}

TEST_F(SetupTest, ImperialWheel) {
    settings.PulleysDiameter = 500;
    settings.SetDepthUnit = 1;
    sheet.winch.unitChanged();
    EXPECT_EQ(sheet.winch.circumferenceText(), "19.69");
    EXPECT_DOUBLE_EQ(settings.PulleyCircumInch, 19.69);
    EXPECT_STREQ(sheet.winch.unitText(), "inch");
    EXPECT_FALSE(sheet.winch.applyCircumference(61, 1000, clock.now()));
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad entered value.\nMin 10 inch - Max 60 inch"});
    ASSERT_TRUE(sheet.winch.applyCircumference(20, 1000, clock.now()));
    EXPECT_DOUBLE_EQ(settings.PulleysDiameter, 508.0);
    EXPECT_DOUBLE_EQ(settings.PulleyCircumInch, 20.0);
}

TEST_F(SetupTest, WinchSpinRefusesABadStep) {
    settings.PulleysDiameter = 500;
    EXPECT_EQ(sheet.winch.stepResolution(6374, 1), 6374);
    EXPECT_EQ(messages(), std::vector<std::string>{"Bad wheel/encoder combination"});
    EXPECT_EQ(sheet.winch.stepResolution(6373, 1), 6374);
    ports.pending = true;
    sheet.winch.releaseResolution(6374, clock.now());
    EXPECT_EQ(settings.PulsResolution, 6374);
    EXPECT_EQ(ports.f1, 0) << "no command while one is pending";
}

TEST_F(SetupTest, WinchEchoCheck) {
    ports.modeError = 0x10;
    settings.CableType = 1;
    sheet.winch.setCableType(0, clock.now());
    run(12000);
    EXPECT_EQ(ports.f1, 6);
    EXPECT_EQ(messages(), std::vector<std::string>{"Warning consigne error, ACK puley -Mode error"});

    op.clear();
    ports.modeError = 0;
    ports.f1 = 0;
    sheet.winch.setDirection(false, clock.now());
    run(3000);
    EXPECT_EQ(ports.f1, 1);
    EXPECT_TRUE(messages().empty());
}

TEST_F(SetupTest, ChecksSkippedWhileShuttingDown) {
    ports.gainError = 1;
    sheet.comm.applyGain(10, clock.now());
    flags.quitting = true;
    run(10000);
    EXPECT_EQ(ports.f3, 1);
    EXPECT_TRUE(messages().empty());
}

}  // namespace

// The probe panel model on a fake clock against a scripted sonde that echoes what it was sent.

#include <gtest/gtest.h>

#include "link/Frames.h"
#include "platform/Clock.h"
#include "stream/ProbePanel.h"

using namespace quelt;

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> sealed(std::array<std::uint8_t, N> c) {
    storeCommandSum(c.data(), N);
    return c;
}

// Answers every 10 ms with the reply of a sonde that applied the commands it received.
struct ScriptedSonde : LoggerCommands, ProbePanelWindow {
    explicit ScriptedSonde(ReplyEcho& e) : echo(e) {}
    ReplyEcho& echo;
    bool silent = false, wrongF1 = false, wrongF5 = false, ignoresF0 = false;
    int f0 = 0, f1 = 0, f3 = 0, f4 = 0, f5 = 0, beeps = 0, clears = 0;
    std::vector<std::string> messages;
    ReplyEcho::Slots state{};

    void sendF0() override {
        ++f0;
        if (!ignoresF0) state[ReplyEcho::kFlags] &= 0xF0;
    }
    std::array<std::uint8_t, 8> sendF1() override {
        ++f1;
        auto c = sealed<8>({0x01, 0x20, 0xDC, 0x05, 0x00, 0x50, 90, 0});
        for (int i = 1; i <= 5; ++i)
            state[i] = c[i + 1];
        if (wrongF1) state[ReplyEcho::kPower] = 91;
        return c;
    }
    std::array<std::uint8_t, 4> sendF3() override {
        ++f3;
        auto c = sealed<4>({0x03, 25, 15, 0});
        state[ReplyEcho::kUpGain] = 25;
        state[ReplyEcho::kDownDrive] = 15;
        return c;
    }
    std::array<std::uint8_t, 7> sendF4() override {
        ++f4;
        state[ReplyEcho::kFlags] |= 0x01;
        return sealed<7>({0x04, 2, 87, 10, 15, 6, 0});
    }
    std::array<std::uint8_t, 7> sendF5() override {
        ++f5;
        auto c = sealed<7>({0x05, 0xB0, 0x04, 0xF4, 0x01, 10, 0});  // blanking 1200, window 500
        state[ReplyEcho::kBlanking] = c[1], state[ReplyEcho::kBlanking + 1] = c[2],
        state[ReplyEcho::kWindow] = c[3], state[ReplyEcho::kWindow + 1] = wrongF5 ? 0x02 : c[4];
        return c;
    }
    bool commandPending() override { return false; }
    void beep(int, int) override { ++beeps; }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void clearPicture() override { ++clears; }

    void reply() {
        if (silent) return;
        echo.update([&](ReplyEcho::Slots& e) {
            e = state;
            e[ReplyEcho::kNewReplyMarker] = 1;
        });
    }
};

struct PanelRig {
    FakeClock clock;
    ReplyEcho echo;
    LiveState live;
    StreamShared shared;
    LinkCounters counters;
    LinkFlags flags;
    std::atomic<int> linkStatus{kLinkFullData};
    ScriptedSonde sonde{echo};
    ProbePanel panel{echo, live, shared, counters, flags, linkStatus, sonde, sonde};
    PanelRig() {
        flags.dataFlowing = true;
        panel.selectSonde(1234, true);
        panel.start(clock.now());
    }
    void run(Millis ms) {
        for (Millis t = 0; t < ms; t += 10) {
            clock.advance(10);
            sonde.reply();
            panel.tick(clock.now());
        }
    }
    void press() { panel.pressPower(clock.now()); }
};

}  // namespace

TEST(PowerUp, CleanSequenceReachesReady) {
    PanelRig rig;
    rig.press();
    EXPECT_EQ(rig.panel.powerUpStep(), 0);
    EXPECT_TRUE(rig.flags.poweredCopy);
    rig.run(5000);
    EXPECT_EQ(rig.panel.powerUpStep(), ProbePanel::kReady);
    EXPECT_FALSE(rig.panel.powerUpRunning());
    EXPECT_TRUE(rig.panel.powered());
    EXPECT_EQ(rig.sonde.f1 * 1000 + rig.sonde.f3 * 100 + rig.sonde.f4 * 10 + rig.sonde.f5, 1111);
    EXPECT_TRUE(rig.sonde.messages.empty());
}

TEST(PowerUp, WrongPowerEchoIsRefusedAfter27Sends) {
    PanelRig rig;
    rig.sonde.wrongF1 = true;
    rig.press();
    rig.run(5400);
    EXPECT_TRUE(rig.panel.powered());  // still retrying
    rig.run(2600);
    EXPECT_EQ(rig.sonde.f1, 27);
    EXPECT_EQ(rig.sonde.f3, 0);
    EXPECT_EQ(rig.sonde.messages, std::vector<std::string>{"Order refused !!!"});
    EXPECT_FALSE(rig.panel.powered());
    EXPECT_FALSE(rig.flags.poweredCopy);
    EXPECT_FALSE(rig.panel.powerUpRunning());
}

TEST(PowerUp, WrongWindowEchoEndsAfter12SendsWithoutMessage) {
    PanelRig rig;
    rig.sonde.wrongF5 = true;
    rig.press();
    rig.run(10000);
    EXPECT_EQ(rig.sonde.f5, 12);
    EXPECT_EQ(rig.panel.powerUpStep(), ProbePanel::kReady);
    EXPECT_TRUE(rig.sonde.messages.empty());
    EXPECT_TRUE(rig.panel.powered());
}

TEST(PowerUp, SilentSondeKeepsTheSequencerWaiting) {
    PanelRig rig;
    rig.sonde.silent = true;
    rig.press();
    rig.run(10000);
    EXPECT_EQ(rig.sonde.f1, 1);
    EXPECT_EQ(rig.panel.powerUpStep(), 1);
    EXPECT_TRUE(rig.panel.powerUpRunning());
}

TEST(PowerDown, EndsAfterIdleRepliesOrTwentyStopCommands) {
    for (bool ignores : {false, true}) {
        PanelRig rig;
        rig.press();
        rig.run(5000);
        ASSERT_EQ(rig.panel.powerUpStep(), ProbePanel::kReady);
        rig.sonde.ignoresF0 = ignores;
        int clearsBefore = rig.sonde.clears;
        rig.press();
        EXPECT_FALSE(rig.panel.powered());
        EXPECT_TRUE(rig.panel.powerDownRunning());
        rig.run(15000);
        EXPECT_FALSE(rig.panel.powerDownRunning());
        EXPECT_EQ(rig.sonde.f0, ignores ? 20 : 1);
        // Switching off clears the picture; an orderly end of the sequencer clears it once more.
        EXPECT_EQ(rig.sonde.clears - clearsBefore, ignores ? 1 : 2);
        // A sonde that keeps running is shown as powered again by the status poll.
        EXPECT_EQ(rig.panel.powered(), ignores);
    }
}

TEST(PowerButton, SecondPressWithin350msBeepsAndIsIgnored) {
    PanelRig rig;
    rig.press();
    rig.run(340);
    rig.press();
    EXPECT_EQ(rig.sonde.beeps, 1);
    EXPECT_TRUE(rig.panel.powered());
    rig.run(20);
    rig.press();
    EXPECT_EQ(rig.sonde.beeps, 1);
    EXPECT_FALSE(rig.panel.powered());
}

TEST(PowerButton, RefusedWithoutSondeOrWhileEditingAnOffset) {
    PanelRig rig;
    rig.panel.offsetEditing = true;
    rig.press();
    rig.panel.offsetEditing = false;
    rig.panel.selectSonde(0, false);
    rig.run(400);
    rig.press();
    EXPECT_EQ(rig.sonde.messages,
              (std::vector<std::string>{"You must close the editing offset before use this button !!!",
                                        "No sondes selected ..."}));
    EXPECT_FALSE(rig.panel.powered());
    EXPECT_EQ(rig.sonde.f1, 0);
}

TEST(StatusText, ChosenFromTheStatusByte) {
    struct Case {
        std::uint8_t status;
        bool dataFlowing, reverse;
        std::string text;
        StatusClass cls;
    };
    PanelRig rig;
    rig.run(3500);  // the start countdown runs out
    for (const Case& c : {
             Case{0x0A, true, false, "No response", StatusClass::Error},
             Case{0x0B, true, false, "Status OK", StatusClass::Normal},
             Case{0x30, true, false, "Parameter adjustment in progress ... wait", StatusClass::Normal},
             Case{0x88, true, false, "Frame error", StatusClass::Error},
             Case{0x00, true, false, "", StatusClass::Blank},
             Case{0x01, false, false, "No USB Hardware Detected : Replay Mode.", StatusClass::Replay},
             Case{0x04, true, true, "Bad Winch Direction !!!", StatusClass::Error},
         }) {
        rig.flags.dataFlowing = c.dataFlowing;
        rig.shared.reverseMotion = c.reverse;
        rig.live.update([&](LiveValues& v) { v.commStatus = c.status; });
        rig.panel.UpdateStatusText(rig.clock.now());
        EXPECT_EQ(rig.panel.view().statusText, c.text) << int(c.status);
        EXPECT_EQ(rig.panel.view().statusClass, c.cls) << int(c.status);
        EXPECT_EQ(rig.shared.reverseMotion, 0);
    }
}

TEST(StatusText, HeldForASecondAndSilentDuringTheStartCountdown) {
    PanelRig rig;
    rig.live.update([](LiveValues& v) { v.commStatus = 0x0B; });
    rig.panel.UpdateStatusText(rig.clock.now());
    EXPECT_EQ(rig.panel.view().statusText, "");  // countdown still positive
    rig.run(3500);
    rig.panel.UpdateStatusText(rig.clock.now());
    EXPECT_EQ(rig.panel.view().statusText, "Status OK");
    rig.flags.dataFlowing = false;  // same byte: the hold keeps the text
    rig.clock.advance(900);
    rig.panel.UpdateStatusText(rig.clock.now());
    EXPECT_EQ(rig.panel.view().statusText, "Status OK");
    rig.clock.advance(200);
    rig.panel.UpdateStatusText(rig.clock.now());
    EXPECT_EQ(rig.panel.view().statusText, "No USB Hardware Detected : Replay Mode.");
}

TEST(Counters, TextsFollowTheLinkAndBlinkAboveLimits) {
    PanelRig rig;
    rig.live.update([](LiveValues& v) {
        v.voltage = 131, v.voltageText = "131", v.current = 250, v.currentText = "250";
    });
    rig.panel.UpdateCounters();
    EXPECT_EQ(rig.panel.view().voltageText, "131");
    EXPECT_TRUE(rig.panel.view().voltageBlinking);
    EXPECT_FALSE(rig.panel.view().currentBlinking);
    rig.linkStatus = 2;
    rig.panel.UpdateCounters();
    EXPECT_EQ(rig.panel.view().voltageText, "");
    EXPECT_EQ(rig.panel.view().currentText, "");
}

// The "CPS" counter shows the gamma count rate, not the count of the last revolution, and only while the
// sonde is powered.
TEST(Counters, GammaCounterShowsTheRateWhilePowered) {
    PanelRig rig;
    rig.live.update([](LiveValues& v) {
        v.gamma = 54;
        v.gammaRate = 270;
    });
    rig.run(400);
    EXPECT_TRUE(rig.panel.view().gammaShown);
    EXPECT_EQ(rig.panel.view().gammaText, "");
    rig.press();
    rig.run(5000);
    ASSERT_TRUE(rig.panel.powered());
    EXPECT_EQ(rig.panel.view().gammaText, "270");
}

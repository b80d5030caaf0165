#pragma once
// A sonde for the communication auto-check, scripted by rules: which downhole drives its receiver hears,
// and at which speed, uphole drive and gain its replies arrive clean. Used by the model's tests and the
// dialog's.

#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "config/Settings.h"
#include "platform/Clock.h"
#include "stream/LiveState.h"
#include "stream/ProbePanel.h"

namespace quelt {

// A reply every 100 ms: the logger echoes gain and drive at once; the sonde takes 0x04 and 0x05 only when
// it hears the drive in use, and echoes divisor and window from then on; the status byte has bit 0 when
// the downlink was heard, "Checksum error" when the uplink did not arrive clean.
struct RuleSonde : LoggerCommands {
    RuleSonde(Settings& s, ReplyEcho& e) : settings(s), echo(e) {}
    Settings& settings;
    ReplyEcho& echo;
    std::function<bool(int drive)> hears = [](int) { return true; };
    std::function<bool(int divisor, int uphole, int gain)> clean = [](int, int, int) { return true; };
    // Replies that are clean but not valid (bit 0 clear) at this divisor.
    int unconfirmedDivisor = 0;
    bool silent = false;
    int gain = 25, drive = 15, divisor = 10, uphole = 15;
    std::uint32_t window = 500;
    std::vector<std::pair<int, int>> f3Sent;  // (drive, gain) of every 0x03
    int f4 = 0, f5 = 0;
    Millis nextReply = 0;

    std::array<std::uint8_t, 4> sendF3() override {
        gain = settings.UpGain;
        drive = settings.DownEnergie;
        f3Sent.emplace_back(drive, gain);
        return {0x03, static_cast<std::uint8_t>(gain), static_cast<std::uint8_t>(drive), 0};
    }
    std::array<std::uint8_t, 7> sendF4() override {
        ++f4;
        if (hears(drive)) {
            divisor = settings.UpBaudDivisor;
            uphole = settings.UpholePulseWidth;
        }
        return {};
    }
    std::array<std::uint8_t, 7> sendF5() override {
        ++f5;
        if (hears(drive)) window = static_cast<std::uint32_t>(settings.UpWindow);
        return {};
    }
    void sendF0() override {}
    std::array<std::uint8_t, 8> sendF1() override { return {}; }
    bool commandPending() override { return false; }

    void tick(Millis now) {
        if (now < nextReply) return;
        nextReply = now + 100;
        if (silent) return;
        std::uint8_t status = 0x01;
        if (!clean(divisor, uphole, gain))
            status = 0x08;
        else if (!hears(drive) || divisor == unconfirmedDivisor)
            status = 0x00;
        echo.update([&](ReplyEcho::Slots& e) {
            e[ReplyEcho::kUpGain] = static_cast<std::uint8_t>(gain);
            e[ReplyEcho::kDownDrive] = static_cast<std::uint8_t>(drive);
            e[ReplyEcho::kBaud] = static_cast<std::uint8_t>(divisor);
            e[ReplyEcho::kCommStatus] = status;
            for (int k = 0; k < 4; ++k)
                e[12 + k] = static_cast<std::uint8_t>(window >> (8 * k));
            e[ReplyEcho::kFrameKindMarker] = 1;
            e[ReplyEcho::kNewReplyMarker] = 1;
        });
    }
};

}  // namespace quelt

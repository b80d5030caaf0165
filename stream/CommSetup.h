#pragma once
// The communication page of the Logger Setup sheet without its window: the link speed, the uphole gain,
// the uphole and downhole drives with their rules, the read-back check of gain and downhole drive, the
// seven status lamps, and the "&Check" button's guard around the communication auto-check.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "link/SpeedTables.h"
#include "stream/SetupPorts.h"

namespace quelt {

inline constexpr int kMinDownholeDrive = 5;
inline constexpr int kMaxDownholeDrive = 60;
inline constexpr int kMinUpGain = 0;
inline constexpr int kMaxUpGain = 40;

// The seven lamps fed by the sonde's communication status byte. A lamp stays lit for four ticks
// (about a quarter of a second at 64 ms) after the last status byte that carried its bit.
class CommLamps {
  public:
    enum Lamp { DataValid, NoResp, IntResp, Checksum, ParameterUpdate, SettingUpdate, FrameLength, kCount };
    enum class Kind { Valid, Error, Update };
    static constexpr int kHold = 3;
    static constexpr Millis kPeriod = 64;
    static const char* caption(int lamp);
    static Kind kind(int lamp);

    // One lamp tick with the link status and the current comm status byte.
    void tick(int linkStatus, std::uint8_t status);
    bool lit(int lamp) const { return counters_[static_cast<size_t>(lamp)] >= 0; }
    int counter(int lamp) const { return counters_[static_cast<size_t>(lamp)]; }
    void darken() { counters_.fill(-1); }

  private:
    std::array<int, kCount> counters_{-1, -1, -1, -1, -1, -1, -1};
};

struct CommEnables {
    bool downhole = false, speed = false, set = false, check = false;
    bool gain = false, uphole = false;  // never for a high-speed sonde
};

class CommSetup {
  public:
    explicit CommSetup(SetupShared& shared);

    // The refresh notification: refills the speed list (the sonde may have changed) and selects the
    // entry of UpBaudDivisor (the first when none matches); a list of another length sends command 0x03.
    void refresh();
    // The list as offered and the selected entry.
    const std::vector<SpeedEntry>& speeds() const { return speeds_; }
    int selected() const { return selected_; }
    int upholeMaximum() const;
    std::string maxText() const;  // "Max : %d"

    // The confirmed entries. A refused value shows its message and changes nothing; `fromSpin` (the spin
    // released: the value is within the spin's range) applies without the range message.
    bool applyDownholeDrive(int value, Millis now, bool fromSpin = false);
    bool applyGain(int value, Millis now, bool fromSpin = false);
    bool applyUpholeDrive(int value, bool fromSpin = false);
    // A speed chosen from the list (index into speeds()); a new speed lowers the uphole drive to its
    // maximum and raises the motor period to its minimum.
    void chooseSpeed(int index);
    // "&Set": gain, uphole drive, downhole drive, in this order.
    void set(int gain, int upholeDrive, int downholeDrive, Millis now);
    // "&Check": refused while recording; otherwise runs the auto-check (the hook, modal) with the
    // picture resolution and motor period put back afterwards, and applies the settings 500 ms later.
    bool check(Millis now);
    std::function<void()> runAutoCheck;

    // Enables from the sheet's control state and the high-speed flag; everything off during replay.
    CommEnables enables(bool pageOn) const;

    // The read-back fields: the speed and the uphole drive actually in use.
    std::string speedReadBack() const;
    std::string upholeReadBack() const;

    // The gain and downhole echo check, the delayed "&Set" after the auto-check, the lamps (64 ms, only
    // while `visible`).
    void tick(Millis now, bool visible);
    EchoCheck readBack;
    CommLamps lamps;

  private:
    void applied3();
    bool refuse(const std::string& text, bool fromSpin);

    SetupShared& s_;
    std::vector<SpeedEntry> speeds_;
    int selected_ = 0;
    Millis setDue_ = -1;
    Periodic lampTimer_{CommLamps::kPeriod};
};

}  // namespace quelt

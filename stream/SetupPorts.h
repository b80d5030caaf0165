#pragma once
// What the Logger Setup pages share: the records they read and change, the calls they make into the
// rest of the program (SetupPorts), and the echo check that every page runs after a command.
//
// Threading: every page model runs on the user-interface thread (the windows' timers, or the command
// line's loop). ReplyEcho, LiveState, the counters and the flags are written by the link and stream threads
// and read here through their own locks and atomics. A port is called on the thread that ticks the model.

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "config/Settings.h"
#include "config/SondeDatabase.h"
#include "link/LinkState.h"
#include "platform/Clock.h"
#include "platform/Operator.h"
#include "stream/LiveState.h"
#include "stream/ModeFlags.h"

namespace quelt {

// The refresh notification every setup page answers by reloading its controls.
inline constexpr int kRefreshNotification = 1745;
// Rotation-offset editing starts (1) or ends (2): the picture page and the travel tools switch the
// acquisition into a calibration set-up meanwhile.
inline constexpr int kOffsetEditStart = 1;
inline constexpr int kOffsetEditEnd = 2;

class SetupPorts {
  public:
    virtual ~SetupPorts() = default;
    // SaveSettings: the whole settings file, atomically.
    virtual void saveSettings() = 0;
    // The main window's SaveAcquisitionSettings.
    virtual void saveAcquisitionSettings(int /*reason*/) {}
    // The commands, built from the settings as they are now.
    virtual void sendF1() = 0;
    virtual void sendF3() = 0;
    virtual void sendF4() = 0;
    // A command is built and not yet written (the link's send length is non-zero).
    virtual bool commandPending() { return false; }

    virtual void refreshToolsBox() {}
    // The refresh notification to the sheet's pages and the depth display.
    virtual void refreshPages() {}
    virtual void setOrientationLabels(int /*picOriented*/) {}
    // The current sonde changed: the probe panel, the decoders and the travel tools take it.
    virtual void sondeChanged() {}
    virtual void buildColourTable() {}
    // The travel-time tools: recompute the horizontal resolution (a new picture resolution), show
    // themselves (rotation-offset editing starts), and the offset-edit notification.
    virtual void travelToolsResolution() {}
    virtual void showTravelTools() {}
    virtual void travelToolsOffsetEdit(int /*code*/) {}
    // The two offset-edit flags changed (either set: the Power button and leaving the tools are guarded).
    virtual void offsetEditing(bool /*open*/) {}
};

// The records the pages work on. All outlive the pages.
struct SetupShared {
    Settings& settings;
    SondeDatabase& sondes;
    Operator& op;
    ReplyEcho& echo;
    LiveState& live;
    LinkCounters& counters;
    ModeFlags& modes;
    LinkFlags& flags;
    const std::atomic<int>& linkStatus;
    SetupPorts& ports;

    // The decoded and replaced full-data-frame counts start again after each new parameter.
    void resetFrameCounts() {
        counters.fullDecoded = 0;
        counters.fullReplaced = 0;
    }
};

// An entry read as a number (a point or a comma as the decimal separator, blanks around); nullopt when
// the text is not wholly a number.
std::optional<double> parseEntryNumber(const std::string& text);

// The echo check of a page: a first look one second after the command, a look again in 350 ms while no
// answer has come (64 ms while the command is still waiting to be written), then up to five resends a
// second apart, then one warning. Never changes the settings.
enum class EchoLook { Pending, NotYet, Ready };

class EchoCheck {
  public:
    static constexpr int kMaxResends = 5;
    static constexpr Millis kFirstLook = 1000;
    static constexpr Millis kResendLook = 1000;
    static constexpr Millis kNotYetLook = 350;
    static constexpr Millis kPendingLook = 64;

    std::function<EchoLook()> look;      // whether an answer is there (and clears its marker)
    std::function<bool()> matches;       // the echo equals what was sent
    std::function<void()> resend;        // sends the command again
    std::function<void()> warn;          // after the last resend
    std::function<bool()> shuttingDown;  // the check is skipped while the program ends

    void start(Millis now) {
        due_ = now + kFirstLook;
        resends_ = 0;
    }
    void stop() { due_ = -1; }
    void tick(Millis now);
    bool running() const { return due_ >= 0; }
    int resends() const { return resends_; }

  private:
    Millis due_ = -1;
    int resends_ = 0;
};

// A periodic timer on the model's clock: due() says yes once per period.
class Periodic {
  public:
    explicit Periodic(Millis period) : period_(period) {}
    void start(Millis now) { next_ = now + period_; }
    void stop() { next_ = -1; }
    bool running() const { return next_ >= 0; }
    bool due(Millis now) {
        if (next_ < 0 || now < next_) return false;
        next_ = now + period_;
        return true;
    }

  private:
    Millis period_;
    Millis next_ = -1;
};

}  // namespace quelt

#pragma once
// The Logger Setup sheet without its window: the five tabs, the column labels, the control-state table
// it applies every 250 ms while visible, the 200 ms read-back refresh, the open-edit question when the
// Probe tab or the sheet is left, and the four page models with their timers.

#include <optional>
#include <string>
#include <vector>

#include "stream/CommSetup.h"
#include "stream/PictureSetup.h"
#include "stream/ProbeSetup.h"
#include "stream/SetupPorts.h"
#include "stream/WinchSetup.h"

namespace quelt {

// Which groups of the pages may be edited, from the sonde's power state, recording, the link and the
// auto-check.
struct ControlState {
    bool winch = false;
    bool probeSupply = false;  // supply voltage and declination
    bool picture = false;
    bool comm = false;
    bool sondeChoice = false;  // sonde list, Remove, gamma Edit, Add (below ten sondes)
    bool offsetEdit = false;   // the rotation offset's Edit button
    bool operator==(const ControlState&) const = default;
};
ControlState controlState(bool powered, bool recording, int linkStatus, bool decimate);

enum class SetupTab { Winch, Probe, Communication, AcquisitionMode, Tol };

class SetupSheet {
  public:
    static constexpr Millis kControlPeriod = 250;
    static constexpr Millis kReadBackPeriod = 200;

    explicit SetupSheet(SetupShared& shared);

    // The tabs in order; "*.tol" only with the TechnicalTools option.
    std::vector<SetupTab> tabs() const;
    static const char* caption(SetupTab tab);
    static const char* title() { return "Logger Setup"; }
    // "Setting" is hidden on the "*.tol" tab, "Read back" shown on Communication and Acquisition Mode.
    static bool settingLabelShown(SetupTab tab) { return tab != SetupTab::Tol; }
    static bool readBackLabelShown(SetupTab tab) {
        return tab == SetupTab::Communication || tab == SetupTab::AcquisitionMode;
    }

    // Shown: setupVisible set, the timers started, the pages refreshed. Hidden or closed: cleared.
    void show(Millis now);
    void hide();
    bool visible() const { return s_.modes.setupVisible.load(); }
    SetupTab currentTab() const { return tab_; }
    // A tab chosen: leaving the Probe tab with an edit open asks "Do you save now the Rotation Offset
    // parameter ?"; No keeps the Probe tab (false), Yes saves the edits. Closing asks the same.
    bool selectTab(SetupTab tab, Millis now);
    bool close(Millis now);

    // The refresh notification to every page.
    void refreshPages();

    // The serial number of the replayed log's sonde (for the gamma group while playing).
    std::function<std::optional<int>()> replaySerial;
    // Called after each 200 ms read-back refresh and each 250 ms control-state pass (the windows repaint).
    std::function<void()> onReadBack;
    std::function<void()> onControlState;

    const ControlState& controls() const { return controls_; }
    bool gammaGroupShown() const { return gammaShown_; }
    bool addEnabled() const { return controls_.sondeChoice && probe.addEnabled(); }
    CommEnables commEnables() const { return comm.enables(controls_.comm); }

    void tick(Millis now);

    Settings& settings() { return s_.settings; }
    SondeDatabase& sondes() { return s_.sondes; }
    ModeFlags& modes() { return s_.modes; }

    CommSetup comm;
    PictureSetup picture;
    ProbeSetup probe;
    WinchSetup winch;

  private:
    void applyControlState();

    SetupShared& s_;
    SetupTab tab_ = SetupTab::Communication;
    ControlState controls_;
    bool gammaShown_ = false;
    Periodic controlTimer_{kControlPeriod};
    Periodic readBackTimer_{kReadBackPeriod};
};

}  // namespace quelt

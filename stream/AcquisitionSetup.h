#pragma once
// The Logger Setup pages on the acquisition engine: the ports that store the settings through
// CPreferences and send the commands through the engine, and the records the pages share. The desktop
// program derives from AcquisitionSetupPorts to add its windows' refreshes; the command line uses it as is.

#include "stream/Acquisition.h"
#include "stream/SetupSheet.h"

namespace quelt {

class AcquisitionSetupPorts : public SetupPorts {
  public:
    explicit AcquisitionSetupPorts(Acquisition& acq) : acq_(acq) {}

    void saveSettings() override {
        if (acq_.context().preferences) acq_.context().preferences->SaveSettings();
    }
    void saveAcquisitionSettings(int reason) override {
        if (acq_.context().preferences)
            acq_.context().preferences->SaveAcquisitionSettings(reason, acq_.modes.replayLoaded.load());
    }
    void sendF1() override { commands().sendF1(); }
    void sendF3() override { commands().sendF3(); }
    void sendF4() override { commands().sendF4(); }
    bool commandPending() override { return acq_.commandPendingNow ? acq_.commandPendingNow() : false; }
    void sondeChanged() override { acq_.selectSonde(); }
    void offsetEditing(bool open) override { acq_.panel.offsetEditing = open; }

  protected:
    Acquisition& acq_;

  private:
    LoggerCommands& commands() { return acq_; }
};

// The records of the engine and the program that the pages work on.
inline SetupShared setupShared(Acquisition& acq, Operator& op, SetupPorts& ports) {
    ProgramContext& c = acq.context();
    return SetupShared{c.settings,    *c.sondes,      op,   acq.echo, acq.live, acq.counters, acq.modes,
                       acq.linkFlags, acq.linkStatus, ports};
}

}  // namespace quelt

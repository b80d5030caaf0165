#include "stream/SetupSheet.h"

namespace quelt {

ControlState controlState(bool powered, bool recording, int linkStatus, bool decimate) {
    ControlState c;
    if (powered && recording) return c;
    if (powered) {
        c.picture = true;
        c.comm = !decimate;  // the auto-check runs
        c.sondeChoice = true;
        c.offsetEdit = linkStatus > kLinkLogger;
        return c;
    }
    c.sondeChoice = true;
    if (linkStatus >= kLinkLogger) c.winch = c.probeSupply = true;
    return c;
}

SetupSheet::SetupSheet(SetupShared& shared)
    : comm(shared), picture(shared), probe(shared), winch(shared), s_(shared) {
    probe.onOffsetEdit = [this](int code, Millis now) { picture.offsetEdit(code, now); };
}

std::vector<SetupTab> SetupSheet::tabs() const {
    std::vector<SetupTab> t = {SetupTab::Winch, SetupTab::Probe, SetupTab::Communication,
                               SetupTab::AcquisitionMode};
    if (s_.settings.switches.TechnicalTools) t.push_back(SetupTab::Tol);
    return t;
}

const char* SetupSheet::caption(SetupTab tab) {
    switch (tab) {
        case SetupTab::Winch:
            return "Winch";
        case SetupTab::Probe:
            return "Probe";
        case SetupTab::Communication:
            return "Communication";
        case SetupTab::AcquisitionMode:
            return "Acquisition Mode";
        case SetupTab::Tol:
            return "*.tol";
    }
    return "";
}

void SetupSheet::refreshPages() {
    comm.refresh();
}

void SetupSheet::show(Millis now) {
    s_.modes.setupVisible = true;
    tab_ = SetupTab::Communication;
    refreshPages();
    controlTimer_.start(now);
    readBackTimer_.start(now);
    applyControlState();
}

void SetupSheet::hide() {
    s_.modes.setupVisible = false;
    controlTimer_.stop();
    readBackTimer_.stop();
}

bool SetupSheet::selectTab(SetupTab tab, Millis now) {
    if (tab_ == SetupTab::Probe && tab != SetupTab::Probe && probe.editOpen()) {
        if (!s_.op.askYesNo("Do you save now the Rotation Offset parameter ?")) return false;
        probe.closeEdits(now);
    }
    tab_ = tab;
    return true;
}

bool SetupSheet::close(Millis now) {
    if (probe.editOpen()) {
        if (!s_.op.askYesNo("Do you save now the Rotation Offset parameter ?")) {
            tab_ = SetupTab::Probe;
            return false;
        }
        probe.closeEdits(now);
    }
    hide();
    return true;
}

void SetupSheet::applyControlState() {
    controls_ = controlState(s_.modes.sondePowered.load(), s_.modes.recording.load(), s_.linkStatus.load(),
                             s_.flags.decimate.load());
    std::optional<int> serial = replaySerial ? replaySerial() : std::nullopt;
    gammaShown_ = probe.gammaDetector(serial);
    if (gammaShown_) {
        s_.settings.ShownGamma = 1;
    } else {
        s_.settings.ShownGamma = 0;
        s_.settings.GammaScale = 0;
    }
    if (onControlState) onControlState();
}

void SetupSheet::tick(Millis now) {
    comm.tick(now, visible() && tab_ == SetupTab::Communication);
    picture.tick(now);
    winch.tick(now);
    if (!visible()) return;
    if (controlTimer_.due(now)) applyControlState();
    if (readBackTimer_.due(now) && onReadBack) onReadBack();
}

}  // namespace quelt

#include "stream/ProbeSetup.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platform/Text.h"

namespace quelt {

std::optional<double> parseEntryNumber(const std::string& text) {
    std::string t = trim(text);
    std::replace(t.begin(), t.end(), ',', '.');
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(v)) return std::nullopt;
    return v;
}

namespace {
constexpr const char* kCriticalQuestion =
    "This is a critical parameter.\nAre you sure to want to mofify it ?";
}  // namespace

ProbeSetup::ProbeSetup(SetupShared& shared) : s_(shared) {
    rotationEntry_ = rotationText();
    gammaEntry_ = gammaCoefText();
}

std::string ProbeSetup::gammaScaleText(int index) {
    if (index <= 0 || index >= static_cast<int>(kGammaScales.size())) return "Hide";
    return std::to_string(kGammaScales[static_cast<size_t>(index)]);
}

std::string ProbeSetup::slotText(int slot) const {
    const SondeEntry& e = s_.sondes.slot(slot);
    return e.inUse() ? format("%04d", e.serialNumber) : "-";
}

bool ProbeSetup::applyVoltage(int v) {
    if (v < kMinSupplyVoltage || v > kMaxSupplyVoltage) {
        s_.op.message("Bad entered value", MessageKind::Warning);
        return false;
    }
    s_.settings.Power = v;
    s_.ports.saveSettings();
    s_.ports.sendF1();
    return true;
}

std::string ProbeSetup::applyDeclination(const std::string& entry) {
    auto v = parseEntryNumber(entry);
    if (v && *v >= 0.0 && *v <= kMaxDeclination) {
        s_.settings.MagneticOffset = *v;
        s_.ports.saveSettings();
    } else {
        s_.op.message("Bad entered value\nCorrect value is : 0 to 359.99", MessageKind::Warning);
    }
    return format("%.2f", s_.settings.MagneticOffset);
}

double ProbeSetup::stepDeclination(double value, int direction) {
    double v = std::round((value + 0.1 * direction) * 100.0) / 100.0;
    if (v > kMaxDeclination) return 0.0;
    if (v < 0.0) return kMaxDeclination;
    return v;
}

void ProbeSetup::selected() {
    rotationEntry_ = rotationText();
    gammaEntry_ = gammaCoefText();
    s_.ports.sondeChanged();
    s_.ports.refreshPages();
}

bool ProbeSetup::chooseSonde(int slot) {
    if (slot < 0 || slot >= kSondeSlotCount) return false;
    if (s_.modes.sondePowered.load() && !s_.sondes.slot(slot).inUse()) {
        s_.op.message("No sondes selected ...", MessageKind::Warning);
        return false;
    }
    s_.sondes.SelectSonde(slot);
    s_.ports.saveSettings();
    selected();
    return true;
}

bool ProbeSetup::add() {
    bool added = s_.sondes.ImportSonde();
    if (added) {
        s_.ports.saveSettings();  // the imported slot is the current one: SondeUsed changed
        selected();
    }
    return added;
}

bool ProbeSetup::remove() {
    bool removed = s_.sondes.RemoveSonde();
    if (removed) selected();
    return removed;
}

std::string ProbeSetup::rotationText() const {
    return format("%.1f", s_.sondes.current().rotationOffset);
}

std::string ProbeSetup::gammaCoefText() const {
    return format("%.2f", s_.sondes.current().gammaCoef);
}

bool ProbeSetup::confirmCritical() {
    return s_.op.askYesNo(kCriticalQuestion);
}

void ProbeSetup::editFlagsChanged() {
    s_.ports.offsetEditing(editOpen());
}

void ProbeSetup::notifyOffsetEdit(int code, Millis now) {
    if (onOffsetEdit) onOffsetEdit(code, now);
    s_.ports.travelToolsOffsetEdit(code);
}

bool ProbeSetup::startRotationEdit(Millis now) {
    if (rotationEditing_) return true;
    if (!confirmCritical()) return false;
    rotationEditing_ = true;
    rotationEntry_ = rotationText();
    editFlagsChanged();
    s_.ports.showTravelTools();
    s_.modes.travelToolsOpened = true;
    notifyOffsetEdit(kOffsetEditStart, now);
    return true;
}

void ProbeSetup::checkRotationEntry() {
    auto v = parseEntryNumber(rotationEntry_);
    if (!v) {
        s_.op.message("Bad entry format", MessageKind::Warning);
        rotationEntry_ = rotationText();
        return;
    }
    if (*v < 0.0 || *v > kMaxRotationOffset) {
        s_.op.message("Warning : Minimum 0° Maximum 359° of image offset", MessageKind::Warning);
        rotationEntry_ = format("%.1f", std::clamp(*v, 0.0, kMaxRotationOffset));
    }
}

void ProbeSetup::saveRotationEdit(Millis now) {
    if (!rotationEditing_) return;
    rotationEditing_ = false;
    if (auto v = parseEntryNumber(rotationEntry_)) {
        if (*v < 0.0 || *v > kMaxRotationOffset)
            s_.op.message("Warning : Minimum 0° Maximum 359° of image offset", MessageKind::Warning);
        s_.sondes.setRotationOffset(std::clamp(*v, 0.0, kMaxRotationOffset));
        s_.sondes.SaveRotationOffset();
        s_.ports.sondeChanged();
    } else {
        s_.op.message("Bad entry format", MessageKind::Warning);
    }
    rotationEntry_ = rotationText();
    editFlagsChanged();
    notifyOffsetEdit(kOffsetEditEnd, now);
    s_.ports.refreshPages();
}

void ProbeSetup::cancelRotationEdit(Millis now) {
    if (!rotationEditing_) return;
    rotationEditing_ = false;
    rotationEntry_ = rotationText();
    editFlagsChanged();
    notifyOffsetEdit(kOffsetEditEnd, now);
    s_.ports.refreshPages();
}

bool ProbeSetup::startGammaEdit() {
    if (gammaEditing_) return true;
    if (!confirmCritical()) return false;
    gammaEditing_ = true;
    gammaEntry_ = gammaCoefText();
    editFlagsChanged();
    return true;
}

bool ProbeSetup::saveGammaEdit() {
    if (!gammaEditing_) return false;
    gammaEditing_ = false;
    bool saved = false;
    auto v = parseEntryNumber(gammaEntry_);
    if (v && *v >= kMinGammaCoef && *v <= kMaxGammaCoefEntry) {
        s_.sondes.setGammaCoef(*v);
        s_.sondes.SaveGammaCoef();
        saved = true;
    } else {
        s_.op.message("Bad entered value\nCorrect value is : 0.2 to 1.99", MessageKind::Warning);
    }
    gammaEntry_ = gammaCoefText();
    editFlagsChanged();
    s_.ports.refreshPages();
    return saved;
}

void ProbeSetup::cancelGammaEdit() {
    if (!gammaEditing_) return;
    gammaEditing_ = false;
    gammaEntry_ = gammaCoefText();
    editFlagsChanged();
}

void ProbeSetup::closeEdits(Millis now) {
    if (gammaEditing_) saveGammaEdit();
    if (rotationEditing_) saveRotationEdit(now);
}

void ProbeSetup::chooseGammaScale(int index) {
    index = std::clamp(index, 0, static_cast<int>(kGammaScales.size()) - 1);
    s_.settings.GammaScale = kGammaScales[static_cast<size_t>(index)];
    s_.settings.ShownGamma = s_.settings.GammaScale != 0 ? 1 : 0;
    s_.ports.saveSettings();
}

int ProbeSetup::gammaScaleIndex() const {
    for (size_t i = 0; i < kGammaScales.size(); ++i)
        if (kGammaScales[i] == s_.settings.GammaScale) return static_cast<int>(i);
    return 0;
}

void ProbeSetup::chooseGammaColour(std::uint32_t colour) {
    s_.settings.PicColorRef[6] = colour;
    s_.ports.saveSettings();
    s_.ports.buildColourTable();
}

bool ProbeSetup::gammaDetector(std::optional<int> replaySerial) const {
    if (s_.modes.playing.load() && replaySerial) {
        auto slot = s_.sondes.FindSonde(*replaySerial);
        return s_.sondes.slot(slot.value_or(0)).gammaOnBoard;
    }
    return s_.sondes.current().gammaOnBoard;
}

void ProbeSetup::chooseTolSlot(int slot) {
    if (slot < 0 || slot >= kSondeSlotCount) return;
    s_.sondes.SelectSonde(slot);
    selected();
}

TolFields ProbeSetup::tolFields(int slot) const {
    const SondeEntry& e = s_.sondes.slot(slot);
    TolFields f;
    f.serialNumber = slotText(slot);
    f.sondeLength = format("%d", e.sondeLength);
    f.windowOffset = format("%d", e.windowOffset());
    f.deviationOffset = format("%d", static_cast<int>(e.deviationOffset));
    f.gammaOffset = format("%d", static_cast<int>(e.gammaOffset));
    f.offsetD42 = format("%d", e.travelTimeOffset);
    f.rotationOffset = format("%.1f", e.rotationOffset);
    f.gammaCoef = format("%.2f", e.gammaCoef);
    f.highSpeed = e.highSpeedCom;
    f.gammaOnBoard = e.gammaOnBoard;
    return f;
}

bool ProbeSetup::writeTol(int slot, const TolFields& f) {
    if (slot < 0 || slot >= kSondeSlotCount) return false;
    SondeEntry e = s_.sondes.slot(slot);
    e.serialNumber = parseLeadingInt(f.serialNumber);
    e.sondeLength = parseLeadingInt(f.sondeLength);
    e.heightOffset = e.sondeLength - parseLeadingInt(f.windowOffset);
    e.deviationOffset = parseLeadingInt(f.deviationOffset);
    e.gammaOffset = parseLeadingInt(f.gammaOffset);
    e.travelTimeOffset = parseLeadingInt(f.offsetD42);
    e.rotationOffset = std::clamp(parseEntryNumber(f.rotationOffset).value_or(0.0), 0.0, kMaxRotationOffset);
    e.gammaCoef = std::clamp(parseEntryNumber(f.gammaCoef).value_or(0.0), kMinGammaCoef, kMaxGammaCoefFile);
    e.highSpeedCom = f.highSpeed;
    e.gammaOnBoard = f.gammaOnBoard;
    s_.sondes.setSlot(slot, e);
    bool ok = s_.sondes.SaveSonde(slot);
    s_.sondes.SelectSonde(slot);
    selected();
    return ok;
}

}  // namespace quelt

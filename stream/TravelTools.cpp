#include "stream/TravelTools.h"

#include <algorithm>
#include <cmath>

#include "config/Resolution.h"
#include "platform/Text.h"
#include "platform/Units.h"

namespace quelt {
namespace {

constexpr double kPi = 3.1415926535;
// The smallest acquisition D-MIN an imperial spin reaches, inches (42 mm is 1.65 inch).
constexpr double kImperialSpinFloor = 1.7;
constexpr int kSerialOfKnownSonde = 300;  // replayed logs of older sondes carry serials up to this
constexpr int kReadBackAutomaticGain = 127;

const char* const kVelocityMessage = "Water Velocity : Bad entered value.\n\n correct value : 1400 - 2000 ";
const char* const kImpVelocityLowMessage =
    "Water Velocity : Bad entered value.\n\n correct value : 4.595 - 6.560 ";
const char* const kImpVelocityHighMessage =
    "Water Velocity : Bad entered value.\n\n correct value : 4.595 - 6.560  ";

// Thousandths of an inch in one millimetre, and millimetres in one thousandth of an inch.
constexpr double kThousandthsPerMm = units::kInchesPerMillimetre * 1000.0;
constexpr double kMmPerThousandth = units::kMetresPerInch;

}  // namespace

double TravelScale::time(double d) const {
    return roundHalfAway(offset + (d - kReferenceDiameter) * 10000.0 / velocity);
}

double travelVelocity(const Settings& s) {
    return s.SetDepthUnit == units::kFeet ? s.ImpWaterVelocity * units::kMetresPerFoot : s.WaterVelocity;
}

double travelOffsetMicros(const SondeDatabase& db, const OffsetSource& source) {
    if (!source.replay) return db.current().travelTimeOffset;
    if (source.replaySerial > kSerialOfKnownSonde) {
        if (auto slot = db.FindSonde(source.replaySerial)) return db.slot(*slot).travelTimeOffset;
    }
    return source.smallSondeType ? kDefaultOffsetSmallSonde : kDefaultOffsetLargeSonde;
}

double diameterToEntry(double mm, bool imperial) {
    return imperial ? mm * kThousandthsPerMm / 1000.0 : mm;
}

double entryToDiameter(double entry, bool imperial) {
    return imperial ? entry * 1000.0 * kMmPerThousandth : entry;
}

std::string diameterText(double mm, bool imperial) {
    if (imperial) return format("%.1f", roundHalfAway(diameterToEntry(mm, true) * 10.0) / 10.0);
    return format("%d", static_cast<int>(roundHalfAway(mm)));
}

std::string diameterMessageText(double mm, bool imperial) {
    if (imperial) return format("  %#.1f inch", diameterToEntry(mm, true));
    return format(" %d mm", static_cast<int>(truncTolerant(mm)));
}

PhantomInterval phantomInterval(double offsetMicros, double velocity) {
    const double v = velocity / 1000.0;  // mm per microsecond
    PhantomInterval p;
    p.begin = static_cast<int>(std::trunc(2.0 * (offsetMicros - 15.0 / v))) - 1;
    p.end = p.begin + static_cast<int>(std::trunc(8.0 / v));
    return p;
}

bool windowMeetsPhantom(const PhantomInterval& p, int blanking, int window) {
    const double start = blanking / 10.0, end = (blanking + window) / 10.0;
    return p.begin <= end && p.end >= start;
}

double horizontalResolution(double dminMm, double dmaxMm, int picResolution) {
    const int n = samplesForResolution(picResolution, kSamplesOfUnknownSetting);
    return (dminMm + dmaxMm) / 2.0 * kPi / n;
}

TravelTools::TravelTools(Settings& settings, const SondeDatabase& sondes, TravelToolsPorts& ports)
    : settings_(settings), sondes_(sondes), ports_(ports) {
    refreshOffset();
    captions();
    loadAcquisitionDiameters();
    loadDisplayDiameters();
    loadOthers();
}

TravelScale TravelTools::scale() const {
    TravelScale s;
    double v = entryVelocity();
    s.velocity = v > 0 ? v : travelVelocity(settings_);
    s.offset = offsetMicros_ * 10.0;
    return s;
}

double TravelTools::entryVelocity() const {
    return imperial() ? entries_.velocity * units::kMetresPerFoot : entries_.velocity;
}

PhantomInterval TravelTools::phantom() const {
    return phantomInterval(offsetMicros_, scale().velocity);
}

double TravelTools::step() const {
    return imperial() ? 0.1 * 1000.0 * kMmPerThousandth : 1.0;
}

void TravelTools::refreshOffset() {
    offsetMicros_ = travelOffsetMicros(sondes_, source_);
}

void TravelTools::loadAcquisitionDiameters() {
    TravelScale sc = scale();
    entries_.dmin = sc.diameter(settings_.UpBlanking);
    entries_.dmax = sc.diameter(settings_.UpBlanking + settings_.UpWindow);
}

void TravelTools::loadDisplayDiameters() {
    TravelScale sc = scale();
    entries_.displayMin = sc.diameter(settings_.DisplayBlanking);
    entries_.displayMax = sc.diameter(settings_.DisplayBlanking + settings_.DisplayWindow);
}

void TravelTools::loadOthers() {
    entries_.velocity = imperial() ? settings_.ImpWaterVelocity : settings_.WaterVelocity;
    entries_.gain = std::clamp(settings_.AcousticalGain, 0, kMaxGain);
    entries_.agc = settings_.AcousticalAGC != 0;
    entries_.showPhantom = settings_.ShowPhantom;
    entries_.tracking = settings_.DisplayTracking;
    entries_.displayGain = std::clamp(settings_.LevelContrast, 0, kMaxDisplayGain);
    auto it = std::find(kRefreshModes.begin(), kRefreshModes.end(), settings_.RefreshTravelDialog);
    entries_.refreshIndex = it == kRefreshModes.end() ? 0 : static_cast<int>(it - kRefreshModes.begin());
}

void TravelTools::captions() {
    view_.imperial = imperial();
    view_.acquisitionCaption = imperial() ? "Acquisition (NCH)" : "Acquisition (mm)";
    view_.displayCaption = imperial() ? "Display (INCH)" : "Display (mm)";
    view_.velocityUnit = imperial() ? "feet/s" : "m/s";
    view_.velocityMin = imperial() ? kMinImpVelocity : kMinVelocity;
    view_.velocityMax = imperial() ? kMaxImpVelocity : kMaxVelocity;
}

void TravelTools::storeVelocity(int entry) {
    if (imperial()) {
        settings_.ImpWaterVelocity = entry;
        settings_.WaterVelocity = static_cast<int>(roundHalfAway(entry * units::kMetresPerFoot));
    } else {
        settings_.WaterVelocity = entry;
        settings_.ImpWaterVelocity = static_cast<int>(roundHalfAway(entry * units::kFeetPerMetre));
    }
}

void TravelTools::showValues() {
    view_.blankingText = format("%.1f", settings_.UpBlanking / 10.0);
    view_.windowText = format("%.1f", settings_.UpWindow / 10.0);
    view_.resolutionText =
        framesArriving_
            ? format("%.2f", horizontalResolution(entries_.dmin, entries_.dmax, settings_.PicResolution))
            : "-";
}

void TravelTools::start(Millis now) {
    settings_.LevelContrast = std::min(settings_.LevelContrast, kMaxDisplayGain);
    captions();
    refreshOffset();
    loadAcquisitionDiameters();
    loadDisplayDiameters();
    loadOthers();
    showValues();
    updateDue_ = now;
    ports_.restartViews();
}

void TravelTools::unitChanged() {
    captions();
    entries_.velocity = imperial() ? settings_.ImpWaterVelocity : settings_.WaterVelocity;
    loadAcquisitionDiameters();
    loadDisplayDiameters();
}

void TravelTools::refresh(bool visible) {
    refreshOffset();
    if (visible) loadOthers();
    loadAcquisitionDiameters();
    loadDisplayDiameters();
    showValues();
}

std::string TravelTools::validateAcquisition(TravelField edited) {
    const bool imp = imperial();
    std::string velocityMsg, dminMsg, dmaxMsg;

    // 1. The velocity: a refused value returns to the stored one, kept within the limits.
    const double v = entryVelocity();
    const int storedEntry = imp ? settings_.ImpWaterVelocity : settings_.WaterVelocity;
    if (v < kMinVelocity) {
        entries_.velocity = std::max(storedEntry, imp ? kMinImpVelocity : kMinVelocity);
        velocityMsg = imp ? kImpVelocityLowMessage : kVelocityMessage;
    } else if (v > kMaxVelocity) {
        entries_.velocity = std::min(storedEntry, imp ? kMaxImpVelocity : kMaxVelocity);
        velocityMsg = imp ? kImpVelocityHighMessage : kVelocityMessage;
    }
    if (edited == TravelField::Velocity) {
        // The times stay; the diameters they mean follow the velocity.
        storeVelocity(entries_.velocity);
        loadAcquisitionDiameters();
    }

    // 2. The times the entered diameters ask for.
    const TravelScale sc = scale();
    double tmin = sc.time(entries_.dmin);
    double window = sc.time(entries_.dmax) - tmin;
    const double unit = imp ? kMmPerThousandth : 1.0;

    // 3. D-MIN below the sonde's own diameter.
    if (entries_.dmin < kReferenceDiameter) {
        tmin = std::max(settings_.UpBlanking, sc.minimumBlanking());
        // The window is measured from the blanking that stands, so that D-MAX keeps what was entered.
        window = sc.time(entries_.dmax) - tmin;
        dminMsg += "Minimum diameter : Bad entered value.\n\n D-MIN:" +
                   diameterMessageText(kReferenceDiameter, imp) + "\n";
    }
    // 4. D-MAX not above D-MIN.
    if (entries_.dmax <= entries_.dmin) {
        window = std::max(settings_.UpWindow, kSmallestWindow);
        tmin = std::min(settings_.UpBlanking, kLatestEcho - window);
        dminMsg += "Minimum diameter : Bad entered value.\n\n D-MIN = Max " +
                   diameterMessageText(entries_.dmax - unit, imp) + " (see D-MAX)\n";
        dmaxMsg += "Maximum diameter : Bad entered value.\n\n D-MAX = Min :" +
                   diameterMessageText(entries_.dmin + unit, imp) + " (see D-MIN)\n";
    }
    // 5. D-MAX beyond the longest window at this velocity.
    if (entries_.dmax > sc.largestDiameter()) {
        window = std::min(settings_.UpWindow, kLatestEcho - tmin);
        dmaxMsg += "Maximum diameter : Bad entered value.\n\n MAX :" +
                   diameterMessageText(sc.largestDiameter(), imp) + " for this velocity.\n";
    }
    // Whatever was entered, the sonde gets a window it can run: at least the smallest length, ending by
    // 409.0 us (a D-MIN beyond the largest diameter would otherwise give a negative window).
    window = std::clamp(window, kSmallestWindow, kLatestEcho - kSmallestWindow);
    tmin = std::min(tmin, kLatestEcho - window);

    // 6. The gain is kept in range without a message.
    entries_.gain = std::clamp(entries_.gain, 0, kMaxGain);

    // 7. Redisplay, store, send.
    entries_.dmin = sc.diameter(tmin);
    entries_.dmax = sc.diameter(tmin + window);
    settings_.UpBlanking = tmin;
    settings_.UpWindow = window;
    settings_.AcousticalGain = entries_.agc ? kAutomaticGainValue : entries_.gain;
    storeVelocity(entries_.velocity);
    ports_.sendF5();
    ports_.refreshToolsBox();
    ports_.saveAcquisitionSettings();
    ports_.saveSettings();
    apply();

    std::string shown;
    const std::string* own = edited == TravelField::Velocity ? &velocityMsg
                             : edited == TravelField::DMin   ? &dminMsg
                             : edited == TravelField::DMax   ? &dmaxMsg
                                                             : nullptr;
    if (own && !own->empty())
        shown = *own;
    else
        shown = velocityMsg + dminMsg + dmaxMsg;
    if (!shown.empty()) ports_.showMessage(shown);
    return shown;
}

void TravelTools::readEntries(bool sendCommand) {
    if (entries_.tracking) {
        entries_.displayMin = entries_.dmin;
        entries_.displayMax = entries_.dmax;
    }
    const TravelScale sc = scale();
    settings_.UpBlanking = sc.time(entries_.dmin);
    settings_.UpWindow = sc.time(entries_.dmax) - settings_.UpBlanking;
    settings_.DisplayBlanking = sc.time(entries_.displayMin);
    settings_.DisplayWindow = sc.time(entries_.displayMax) - settings_.DisplayBlanking;
    storeVelocity(entries_.velocity);
    settings_.AcousticalAGC = entries_.agc ? 1 : 0;
    settings_.ShowPhantom = entries_.showPhantom;
    settings_.DisplayTracking = entries_.tracking;
    settings_.AcousticalGain = entries_.agc ? kAutomaticGainValue : entries_.gain;
    ports_.refreshToolsBox();
    ports_.saveAcquisitionSettings();
    ports_.savePlaybackToHeader();
    // Apply first so that a command never carries a window the sonde cannot run.
    apply();
    if (sendCommand) ports_.sendF5();
}

void TravelTools::confirmDisplay() {
    const TravelScale sc = scale();
    const double lowest = sc.diameter(sc.minimumBlanking());
    entries_.displayMin = std::max(entries_.displayMin, lowest);
    entries_.displayMax = std::min(entries_.displayMax, sc.largestDiameter());
    if (entries_.displayMax < lowest + 2) entries_.displayMax = lowest + 2;
    if (entries_.displayMin > entries_.displayMax) entries_.displayMin = entries_.displayMax - 1;
    settings_.DisplayBlanking = sc.time(entries_.displayMin);
    settings_.DisplayWindow = sc.time(entries_.displayMax) - settings_.DisplayBlanking;
    readEntries(false);
}

void TravelTools::apply() {
    refreshOffset();
    const TravelScale sc = scale();
    const double minimum = sc.minimumBlanking();
    bool corrected = false;
    if (settings_.UpBlanking < minimum) {
        settings_.UpBlanking = minimum;
        corrected = true;
    }
    // A window shorter than the smallest or ending after 409.0 us is never left in the settings.
    const double longest = kLatestEcho - settings_.UpBlanking;
    const double window = std::clamp(settings_.UpWindow, kSmallestWindow, std::max(longest, kSmallestWindow));
    if (window != settings_.UpWindow) {
        settings_.UpWindow = window;
        corrected = true;
    }
    if (corrected) {
        ports_.sendF5();
        ports_.saveSettings();
        loadAcquisitionDiameters();
    }
    showValues();
    ports_.restartViews();
}

void TravelTools::spinAcquisitionMin(int direction) {
    const double s = step(), largest = scale().largestDiameter();
    const double floor = imperial() ? entryToDiameter(kImperialSpinFloor, true) : kReferenceDiameter;
    double v = std::max(entries_.dmin + direction * s, floor);
    if (v > entries_.dmax - s) {
        if (entries_.dmax + s <= largest)
            entries_.dmax += s;
        else
            v = entries_.dmin;
    }
    entries_.dmin = v;
}

void TravelTools::spinAcquisitionMax(int direction) {
    const double s = step();
    double v = std::min(entries_.dmax + direction * s, scale().largestDiameter());
    if (v < entries_.dmin + s) v = entries_.dmax;
    entries_.dmax = v;
}

void TravelTools::spinDisplayMin(int direction) {
    const TravelScale sc = scale();
    const double s = step();
    double v = std::max(entries_.displayMin + direction * s, sc.diameter(sc.minimumBlanking()));
    if (v > entries_.displayMax - s) v = entries_.displayMin;
    entries_.displayMin = v;
}

void TravelTools::spinDisplayMax(int direction) {
    const double s = step();
    double v = std::min(entries_.displayMax + direction * s, scale().largestDiameter());
    if (v < entries_.displayMin + s) v = entries_.displayMax;
    entries_.displayMax = v;
}

void TravelTools::spinVelocity(int direction) {
    entries_.velocity = std::clamp(entries_.velocity + direction, view_.velocityMin, view_.velocityMax);
}

void TravelTools::spinGain(int direction) {
    entries_.gain = std::clamp(entries_.gain + direction, 0, kMaxGain);
}

void TravelTools::spinDisplayGain(int direction) {
    entries_.displayGain = std::clamp(entries_.displayGain + direction, 0, kMaxDisplayGain);
}

void TravelTools::releaseAcquisitionSpin() {
    readEntries(true);
}

void TravelTools::releaseVelocitySpin() {
    // The velocity changes what the stored times mean, not the times: the diameters are recomputed and
    // the sonde keeps its window, so it needs no command.
    storeVelocity(entries_.velocity);
    loadAcquisitionDiameters();
    loadDisplayDiameters();
    ports_.saveAcquisitionSettings();
    apply();
}

void TravelTools::releaseDisplaySpin() {
    readEntries(false);
}

void TravelTools::releaseDisplayGainSpin() {
    settings_.LevelContrast = entries_.displayGain;
    ports_.saveSettings();
}

void TravelTools::setRefreshMode(int index) {
    if (index < 0 || index >= static_cast<int>(kRefreshModes.size())) return;
    entries_.refreshIndex = index;
    settings_.RefreshTravelDialog = kRefreshModes[static_cast<size_t>(index)];
    ports_.saveSettings();
}

void TravelTools::setAgc(bool on) {
    entries_.agc = on;
    readEntries(true);
}

void TravelTools::setShowPhantom(bool on) {
    entries_.showPhantom = on;
    readEntries(false);
}

void TravelTools::setTracking(bool on) {
    entries_.tracking = on;
    readEntries(false);
}

void TravelTools::offsetEditNotification(int code) {
    if (code == kOffsetEditStarts) {
        // A second start keeps the values of the first: they are the operator's own window.
        if (!editSaved_) {
            savedBlanking_ = settings_.UpBlanking;
            savedWindow_ = settings_.UpWindow;
            savedGain_ = settings_.AcousticalGain;
            editSaved_ = true;
        }
        refreshOffset();
        const TravelScale sc = scale();
        settings_.UpBlanking = sc.time(kCalibrationMinDiameter);
        settings_.UpWindow = sc.time(kCalibrationMaxDiameter) - sc.time(kCalibrationMinDiameter);
        settings_.AcousticalGain = kCalibrationGain;
    } else if (code == kOffsetEditEnds) {
        if (!editSaved_) return;
        settings_.UpBlanking = savedBlanking_;
        settings_.UpWindow = savedWindow_;
        settings_.AcousticalGain = savedGain_;
        editSaved_ = false;
    } else {
        return;
    }
    loadAcquisitionDiameters();
    entries_.gain = std::clamp(settings_.AcousticalGain, 0, kMaxGain);
    // The calibration runs on a fixed gain, so automatic gain is off while it lasts; the restored gain
    // (128 when it was automatic) turns it back on.
    entries_.agc = settings_.AcousticalGain == kAutomaticGainValue;
    readEntries(true);
}

void TravelTools::tick(Millis now, const TravelLinkState& link) {
    framesArriving_ = link.framesArriving;
    if (link.autoCheck) {
        if (settings_.UpBlanking != seenBlanking_ || settings_.UpWindow != seenWindow_) {
            seenBlanking_ = settings_.UpBlanking;
            seenWindow_ = settings_.UpWindow;
            autoCheckDue_ = now + kAutoCheckRedisplayDelay;
        }
        if (autoCheckDue_ >= 0 && now >= autoCheckDue_) {
            autoCheckDue_ = -1;
            loadAcquisitionDiameters();
            showValues();
        }
    } else {
        autoCheckDue_ = -1;
    }
    if (updateDue_ >= 0 && now < updateDue_) return;
    updateDue_ = now + kTravelUpdatePeriod;

    view_.blankingReadBack = format("%.1f", link.blanking / 10.0);
    view_.windowReadBack = format("%.1f", link.window / 10.0);
    view_.gainReadBack = link.gain > kReadBackAutomaticGain ? "AGC" : format("%d", link.gain);
    if (link.replay) {
        view_.readBackColour = ReadBackColour::PaleCyan;
        view_.resolutionText = "-";
    } else if (link.framesArriving) {
        const bool phantomHit =
            settings_.ShowPhantom && windowMeetsPhantom(phantom(), link.blanking, link.window);
        view_.readBackColour = phantomHit ? ReadBackColour::Orange : ReadBackColour::Yellow;
        view_.resolutionText =
            format("%.2f", horizontalResolution(entries_.dmin, entries_.dmax, settings_.PicResolution));
    } else {
        view_.readBackColour = ReadBackColour::Grey;
        view_.resolutionText = "-";
    }
    view_.acquisitionEnabled = link.sondePowered;
    view_.agcEnabled = link.sondePowered && !link.recording;
    view_.replayFields = link.replay && !link.sondePowered;
    if (view_.replayFields) {
        const TravelScale sc = scale();
        view_.replayMinText = diameterText(sc.diameter(link.blanking), imperial());
        view_.replayMaxText = diameterText(sc.diameter(link.blanking + link.window), imperial());
    }
}

}  // namespace quelt

#pragma once
// The travel-time and level tools without their window. The sonde searches its echo in an acquisition
// window of two-way travel time (blanking, then window length, in tenths of a microsecond); the operator
// thinks in borehole diameters. The conversion needs the water velocity and the sonde's own travel-time
// offset (the time at which the measured diameter is 42 mm). This model holds the entries the window
// shows, checks them with the operator's messages, keeps the sonde's window consistent (blanking at
// least the minimum, blanking + window at most 409.0 us) and sends command 0x05 through its ports; it
// never sends by itself. Every timed behaviour is driven by tick(now).

#include <array>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "config/SondeDatabase.h"
#include "platform/Clock.h"

namespace quelt {

// Two-way travel times, tenths of a microsecond.
inline constexpr double kFloorBlanking = 800;  // 80.0 us: the sonde cannot listen earlier
inline constexpr double kLatestEcho = 4090;    // 409.0 us: the end of the longest window
inline constexpr double kSmallestWindow = 10;
inline constexpr double kReferenceDiameter = 42;  // mm, the diameter measured at the sonde's offset
inline constexpr int kMinVelocity = 1400, kMaxVelocity = 2000;        // m/s
inline constexpr int kMinImpVelocity = 4595, kMaxImpVelocity = 6560;  // ft/s
inline constexpr int kMaxGain = 80, kMaxDisplayGain = 48;
inline constexpr int kAutomaticGainValue = 128;  // AcousticalGain while AGC is on
// Travel-time offsets, microseconds, when a replayed log's sonde is not in the database.
inline constexpr double kDefaultOffsetSmallSonde = 87.0, kDefaultOffsetLargeSonde = 132.0;
// The sonde's calibration window while the rotation offset is edited, mm of diameter, and its gain.
inline constexpr double kCalibrationMinDiameter = 45, kCalibrationMaxDiameter = 210;
inline constexpr int kCalibrationGain = 6;
// Offset-edit notification codes from the probe page.
inline constexpr int kOffsetEditStarts = 1, kOffsetEditEnds = 2;
// The refresh list: "None", "5", "10", "20", "50", "Maximum".
inline constexpr std::array<int, 6> kRefreshModes{0, 5, 10, 20, 50, 255};
inline constexpr Millis kTravelUpdatePeriod = 200;
inline constexpr Millis kAutoCheckRedisplayDelay = 50;

// D(t) and T(d) for one velocity and offset.
struct TravelScale {
    double velocity = 1484;  // m/s
    double offset = 1320;    // tenths of a microsecond

    // Diameter in mm of a two-way time.
    double diameter(double t) const { return velocity / 10000.0 * (t - offset) + kReferenceDiameter; }
    // Two-way time of a diameter in mm, to the nearest whole tenth of a microsecond.
    double time(double d) const;
    double minimumBlanking() const { return offset > kFloorBlanking ? offset : kFloorBlanking; }
    double largestDiameter() const { return diameter(kLatestEcho); }
};

// The velocity the conversions use: WaterVelocity, or ImpWaterVelocity in m/s in imperial units.
double travelVelocity(const Settings& s);

// Where the travel-time offset comes from: live, the selected sonde; in replay, the replayed log's sonde.
struct OffsetSource {
    bool replay = false;
    int replaySerial = 0;         // the log's sonde serial number
    bool smallSondeType = false;  // the process-wide sonde type: 87.0 us when set, else 132.0 us
};
// The offset in microseconds.
double travelOffsetMicros(const SondeDatabase& db, const OffsetSource& source);

// A diameter in the unit of the entries (mm, or inches in imperial units) and back to mm.
double diameterToEntry(double mm, bool imperial);
double entryToDiameter(double entry, bool imperial);
// The entry's text: the nearest whole mm, or inches with one decimal.
std::string diameterText(double mm, bool imperial);
// A diameter in a message: " %d mm" (whole millimetres, cut), or "  %#.1f inch".
std::string diameterMessageText(double mm, bool imperial);

// The phantom echo interval [begin, end] in microseconds, from the offset in us and the velocity in m/s.
struct PhantomInterval {
    int begin = 0, end = 0;
};
PhantomInterval phantomInterval(double offsetMicros, double velocity);
// The sonde's window [blanking, blanking + window] (tenths of us) reaches into the phantom interval.
bool windowMeetsPhantom(const PhantomInterval& p, int blanking, int window);
// Horizontal resolution in mm per sample for the picture resolution code.
double horizontalResolution(double dminMm, double dmaxMm, int picResolution);

// What the window's ports do. Called on the thread that drives the model (the user-interface thread).
class TravelToolsPorts {
  public:
    virtual ~TravelToolsPorts() = default;
    virtual void sendF5() = 0;                   // command 0x05 from the settings
    virtual void saveSettings() = 0;             // Zorak.cfg
    virtual void saveAcquisitionSettings() = 0;  // the main window's, with reason 101
    virtual void refreshToolsBox() {}
    virtual void savePlaybackToHeader() {}  // display window and LevelContrast into the open log's header
    virtual void showMessage(const std::string& /*text*/) {}
    virtual void restartViews() {}  // the cross-section and the level bar start over
};

// What the periodic update reads, gathered by the front end each tick.
struct TravelLinkState {
    bool framesArriving = false;  // LinkStatus 255: image frames arrive
    bool sondePowered = false;
    bool replay = false;
    bool recording = false;                  // recording runs or is paused
    bool autoCheck = false;                  // the communication auto-check runs (decimate)
    int blanking = 0, window = 0, gain = 0;  // read back by the last frame (tenths of us; gain code)
};

enum class ReadBackColour { Grey, Yellow, Orange, PaleCyan };

// What the window shows.
struct TravelView {
    bool imperial = false;
    std::string acquisitionCaption, displayCaption, velocityUnit;
    int velocityMin = kMinVelocity, velocityMax = kMaxVelocity;
    std::string blankingText, windowText;  // the settings, us
    std::string blankingReadBack, windowReadBack, gainReadBack;
    ReadBackColour readBackColour = ReadBackColour::Grey;
    std::string resolutionText = "-";
    bool acquisitionEnabled = false, agcEnabled = false;
    bool replayFields = false;  // replay: the replayed line's diameters instead of the entries
    std::string replayMinText, replayMaxText;
};

enum class TravelField { None, DMin, DMax, Velocity, Gain };

class TravelTools {
  public:
    // The entries as the window holds them: diameters in mm whatever the unit shown, velocity in the
    // unit shown (m/s or ft/s).
    struct Entries {
        double dmin = 0, dmax = 0;              // acquisition
        double displayMin = 0, displayMax = 0;  // display
        int velocity = 0;
        int gain = 0, displayGain = 0;
        bool agc = false, showPhantom = false, tracking = true;
        int refreshIndex = 0;
    };

    TravelTools(Settings& settings, const SondeDatabase& sondes, TravelToolsPorts& ports);

    // OnInitDialog: caps LevelContrast at 48, sets the captions for the unit and loads every entry.
    void start(Millis now);
    // The depth unit changed: captions, units and every diameter redisplayed.
    void unitChanged();
    // The refresh notification (power on, power off): offset, diameters and, when visible, the rest.
    void refresh(bool visible);
    void setOffsetSource(const OffsetSource& source) { source_ = source; }

    // Validates the acquisition entries after `edited` changed (focus left it, or Enter): corrects
    // them, shows the messages, stores, sends 0x05 and applies. Returns the messages shown ("" if none).
    std::string validateAcquisition(TravelField edited);
    // The check boxes and the display diameters: stores every entry and applies. `sendCommand` for the
    // AGC box and the acquisition spins.
    void readEntries(bool sendCommand);
    // A display diameter was confirmed: kept between D(minimum blanking) and D(409.0 us), then stored.
    void confirmDisplay();
    // Apply: the minimum-blanking correction (with 0x05 when it acts), the resolution, the views.
    void apply();

    // The spins: one step up (+1) or down (-1) of the field; release stores as the window does.
    void spinAcquisitionMin(int direction);
    void spinAcquisitionMax(int direction);
    void spinDisplayMin(int direction);
    void spinDisplayMax(int direction);
    void spinVelocity(int direction);
    void spinGain(int direction);
    void spinDisplayGain(int direction);
    void releaseAcquisitionSpin();  // gain and acquisition diameters: stored, 0x05
    void releaseVelocitySpin();
    void releaseDisplaySpin();
    void releaseDisplayGainSpin();

    void setRefreshMode(int index);
    void setAgc(bool on);
    void setShowPhantom(bool on);
    void setTracking(bool on);

    // The probe page starts (code 1) or ends (code 2) a rotation-offset edit.
    void offsetEditNotification(int code);
    void offsetEditStart() { offsetEditNotification(kOffsetEditStarts); }
    void offsetEditEnd() { offsetEditNotification(kOffsetEditEnds); }
    bool offsetEditOpen() const { return editSaved_; }

    // The periodic update (every 200 ms while visible) and the auto-check redisplay.
    void tick(Millis now, const TravelLinkState& link);

    Entries& entries() { return entries_; }
    const Entries& entries() const { return entries_; }
    const TravelView& view() const { return view_; }
    TravelScale scale() const;
    double offsetMicros() const { return offsetMicros_; }
    bool imperial() const { return settings_.SetDepthUnit == 1; }
    // The velocity of the entry in m/s.
    double entryVelocity() const;
    // The entries as the window shows them.
    std::string dminText() const { return diameterText(entries_.dmin, imperial()); }
    std::string dmaxText() const { return diameterText(entries_.dmax, imperial()); }
    std::string displayMinText() const { return diameterText(entries_.displayMin, imperial()); }
    std::string displayMaxText() const { return diameterText(entries_.displayMax, imperial()); }
    PhantomInterval phantom() const;

  private:
    void refreshOffset();
    void loadAcquisitionDiameters();
    void loadDisplayDiameters();
    void loadOthers();
    void captions();
    void storeVelocity(int entry);
    void showValues();
    double step() const;  // one spin step in mm

    Settings& settings_;
    const SondeDatabase& sondes_;
    TravelToolsPorts& ports_;
    OffsetSource source_;
    double offsetMicros_ = kDefaultOffsetLargeSonde;
    Entries entries_;
    TravelView view_;
    bool framesArriving_ = false;

    bool editSaved_ = false;
    double savedBlanking_ = 0, savedWindow_ = 0;
    int savedGain_ = 0;

    Millis updateDue_ = -1;
    Millis autoCheckDue_ = -1;
    double seenBlanking_ = -1, seenWindow_ = -1;
};

}  // namespace quelt

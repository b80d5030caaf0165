#pragma once
// CToolsStream turns every dispatched uplink frame into live values: the status frame, the two logger
// frames and the full data frame, depth and speed from the encoder, the orientation from the sensor
// axes, and the image line of each revolution. Runs on the reader thread; the same channel assignment
// and orientation serve the replay path.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "config/Settings.h"
#include "link/Frames.h"
#include "link/LinkState.h"
#include "stream/ImageLine.h"
#include "stream/LiveState.h"
#include "stream/StreamPorts.h"

namespace quelt {

// Encoder calibration from the winch settings.
struct DepthCalibration {
    double pulleyCircumferenceMm = 0.0;  // W
    int pulsResolution = 0;
    double countsPerCm() const;  // PulsResolution / W * 40; 0 without a calibration
    static DepthCalibration from(const Settings& settings);
};
// Metres from an encoder count; m/min from a speed count. False when the calibration is zero.
bool depthFromCount(const DepthCalibration& cal, std::int32_t encoderCount, double& depth);
bool speedFromCount(const DepthCalibration& cal, std::int16_t speedCount, double& speed);

// The angle function of the orientation: mode 1 toolface, 2 azimuth, 3 tilt; others give 0.
double orientationAngle(double s, double c, int mode);

// The decibel compression of a 16-bit amplitude at a contrast level (0..48).
std::uint8_t scaleAmplitude16(std::uint16_t amplitude, int levelContrast);

// The travel time scaled into the display window, 0..255.
std::uint8_t scaleTravelTime(std::uint16_t t, double displayBlanking, double displayWindow);

// The averaging ring of the six axes.
class OrientationFilter {
  public:
    static constexpr int kCapacity = 128;
    void clear() { count_ = 0; }
    // Pushes hx..gz and leaves the mean of the last `window` values of each (window 1..125).
    void push(std::array<double, 6>& axes, int window);

  private:
    std::array<std::array<double, kCapacity>, 6> ring_{};
    int count_ = 0;
    int next_ = 0;
};

// The natural gamma count rate. Each line carries the counts of one revolution (NGAM) and their counting
// time in milliseconds (GCLK): a count alone is not a rate, and a revolution lasts about a fifth of a
// second. The rate averages the lines of about one second (1000 / turn period, 1 to 25 lines, the turn
// period being MotorPeriod x 2.304 ms), scales counts per counting time to a second and applies the
// sonde's gamma coefficient, rounded half away from zero; 0 while the counting times are zero.
class GammaRate {
  public:
    static constexpr int kMaxLines = 25;
    // Adds a line and gives the rate in counts per second.
    double push(std::uint16_t count, std::uint8_t timeMs, int motorPeriod, double coefficient);
    void clear();

  private:
    std::array<std::uint16_t, kMaxLines> counts_{};
    std::array<std::uint8_t, kMaxLines> times_{};
    int next_ = 0;
};

class CToolsStream {
  public:
    // linkStatus: the kind of the last frame the link received (LinkStatusCode).
    CToolsStream(const Settings& settings, LiveState& live, ReplyEcho& echo, ImageLine& line,
                 StreamShared& shared, LinkCounters& counters, const std::atomic<int>& linkStatus,
                 StreamEvents& events);
    virtual ~CToolsStream() = default;

    // Each takes one frame of its length (body and 16-bit sum) and the sequence number of its packet.
    // They always return false.
    bool decodeStatusFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence);
    bool decodeLoggerFrame19(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence);
    bool decodeLoggerFrame20(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence);
    bool decodeFullDataFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence);

    // Stores one named value (or, with fromFile, the value of channel index `channel` of the open log).
    void OnScreenAssigment(int channel, int value, bool fromFile);

    // Recomputes the orientation from the six axes; true when nothing could be computed.
    bool updateOrientation(double hx, double hy, double hz, double gx, double gy, double gz, bool average);

    // Clears the averaging history (power switching, reset of the live orientation).
    void resetOrientationFilter();
    // GammaCoef of the sonde in use, for the live gamma rate.
    void setGammaCoef(double coefficient) { gammaCoef_ = coefficient; }

    // The work on an already locked record, for callers that change several values at once.
    void assignChannel(LiveValues& v, int id, int value, bool fromFile);
    bool orientationInto(LiveValues& v, double hx, double hy, double hz, double gx, double gy, double gz,
                         bool average);

  private:
    // What the header of a full data frame decided.
    struct FullFrameOutcome {
        bool recording = false, recordPaused = false;
        bool accepted = false;         // the line is drawn (and written while recording)
        bool orientationDone = false;  // the tools box has new angles
    };
    // The steps of decodeFullDataFrame.
    std::optional<FullFrameLayout> checkedFullLayout(const std::uint8_t* f, std::size_t length,
                                                     std::uint8_t sequence);
    void echoFullFrame(const std::uint8_t* f, std::uint8_t comm);
    FullFrameOutcome takeFullHeader(const std::uint8_t* f, std::uint8_t comm);
    // The direction of the line at this depth and speed; `accepted` when it is to be drawn.
    std::uint8_t acceptLine(double depth, double speed, bool recording, bool recordPaused, bool& accepted);
    void fillImageLine(const std::uint8_t* f, const FullFrameLayout& layout);
    void handOverLine(const FullFrameOutcome& outcome, const std::uint8_t* f);

    void decodeLoggerBody(const std::uint8_t* body20, bool nineteen);
    void raiseAlarms(std::uint8_t flags);
    void replaceLine(int resolutionCode);
    int averagingWindow() const;

    const Settings& settings_;
    LiveState& live_;
    ReplyEcho& echo_;
    ImageLine& line_;
    StreamShared& shared_;
    LinkCounters& counters_;
    const std::atomic<int>& linkStatus_;
    StreamEvents& events_;
    OrientationFilter filter_;
    GammaRate gamma_;  // the reader thread's
    std::atomic<double> gammaCoef_{1.0};
};

}  // namespace quelt

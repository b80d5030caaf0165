#pragma once
// LAS 2.0 export of a recorded log. The dialog "LAS 2.0 exportation for VEXA" only collects choices and
// shows progress: every control is a field of LasChoices, every message goes through the Operator.
//
// The data lines are read once into a temporary file of fixed 128-byte records (16 doubles), resampled
// onto a regular depth grid, and written as one LAS line per grid depth; with the gamma curve each grid
// line takes the gamma of the line the distance between the gamma and deviation sensors away.
//
// Threads: LoadInput, SetFrom, SetTo, Prepare and Close run where the operator answers (they may ask);
// Write asks nothing and may run on a worker thread, reporting through `progress`, `status` and the
// Operator's message() from that thread; `abort` may be set from any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/Header.h"
#include "config/SondeDatabase.h"
#include "platform/Files.h"
#include "platform/Operator.h"
#include "stream/DataLine.h"

namespace quelt {

struct OpenedLog;

inline constexpr double kLasNull = -9999.25;
inline constexpr int kLasModeDown = 12;
inline constexpr int kLasModeUp = 11;

// The orientation values the LAS curves take from the averaged axes.
struct OrientationValues {
    double tilt = 0, azimuth = 0, highSide = 0, magToolface = 0, gravityTotal = 0, magneticTotal = 0,
           fieldAngle = 0;
};
// The orientation routine of the live decoders, run without averaging on (gx, gy, gz, hx, hy, hz) with
// the magnetic declination as magnetic offset; nullopt when it computes nothing.
using OrientationRoutine = std::function<std::optional<OrientationValues>(
    double gx, double gy, double gz, double hx, double hy, double hz, double magneticOffset)>;

// One check box of "Displayed channels" each, in data order; kept in section LASGenerator.
struct LasCurves {
    bool speed = true, gamma = true, incl = true, azimuth = true, hgDelta = true, roll = true, mroll = true,
         tgrav = true, tmag = true, raw = true;
    bool any() const {
        return speed || gamma || incl || azimuth || hgDelta || roll || mroll || tgrav || tmag || raw;
    }
};
LasCurves curvesFromSettings(const Settings& s);
void curvesToSettings(const LasCurves& c, Settings& s);

// The items of "Select sample interval :" for a display unit (0 metres, 1 feet) and their step values
// in hundredths of the display unit.
struct LasStepItem {
    std::string text;
    int hundredths;
};
std::vector<LasStepItem> lasStepItems(int displayUnit);

// One File%d section of the header, depths in the log's unit (D0 removed).
struct LasDataFile {
    std::string fileName;
    double startDepth = 0;
    double endDepth = 0;
    int recLineSize = 0;
};

// The export context, filled when an input file is chosen.
struct LasContext {
    std::string headerPath, dataPath, outputPath;
    std::vector<LasDataFile> files;
    std::int64_t records = 0;
    double firstDepth = 0, lastDepth = 0;  // log unit, hundredths
    int mode = kLasModeDown;
    int logUnit = 0;      // U: DepthUnit of the header
    int displayUnit = 0;  // D: SetDepthUnit
    bool gammaOnBoard = false;
    double d0 = 0, g0 = 0, gammaCoef = 1;  // offsets in U
    double magneticDeclination = 0;
    std::array<std::string, 11> wellTexts;  // COMP WELL FLD LOC CTRY CNTY STAT SRVC DATE UWI API
    std::string tmpPath;                    // the private scratch file of the running export
    LineLayout layout;                      // the data lines, as the header declares them
    double from = 0, to = 0;                // export range, U
    std::string intervalText;               // average sampling of the log, "%.2f" in mm or inches
    std::string intervalUnit;               // "mm" or the inch sign
};

// The 128-byte record of the temporary files.
struct LasRecord {
    double depth = 0, speed = 0, gamma = 0, azimuth = 0, incl = 0, roll = 0, mroll = 0, tgrav = 0,
           hgDelta = 0, tmag = 0, hx = 0, hy = 0, hz = 0, gx = 0, gy = 0, gz = 0;
};
static_assert(sizeof(LasRecord) == 128);

// The dialog's choices beside the context.
struct LasChoices {
    int stepIndex = 0;  // item of lasStepItems(displayUnit)
    bool reverse = false;
    LasCurves curves;
};

class CLasExport {
  public:
    CLasExport(Settings& settings, ProgramPaths& paths, PlacementRecord& placements, Operator& op,
               const SondeDatabase& sondes, OrientationRoutine orientation);
    virtual ~CLasExport() = default;

    // Progress (position, range) and status texts of the dialog.
    std::function<void(std::int64_t pos, std::int64_t range)> progress;
    std::function<void(const std::string&)> status;
    // Set from any thread (the window's Cancel): the export stops within a few hundred lines and leaves
    // nothing behind.
    std::atomic<bool> abort{false};

    // Chooses the input header and loads the export context; false (after the message) when the log
    // cannot be exported. The output path becomes the log's LAS20 folder, which is created.
    bool LoadInput(const std::string& headerPath);
    // Checks a From or To entry in the display unit; a refused entry takes the log's first (From) or
    // last (To) depth. Returns whether the entry was kept.
    bool SetFrom(double displayValue);
    bool SetTo(double displayValue);

    // "&Start": the whole export; true only when the LAS file is complete.
    bool Start(const LasChoices& choices, bool replaceExisting);
    // Start in two halves: the checks and the question, then the export itself (Write).
    bool StartChecks(const LasChoices& choices, bool replaceExisting);
    bool GenerateLASFormatFile(const LasChoices& choices, bool replaceExisting);
    // The checks before anything is written and the question about an existing file; false (after the
    // message) when the export cannot or must not go on.
    bool Prepare(const LasChoices& choices, bool replaceExisting);
    // The export after Prepare; true only when the LAS file is complete. Asks nothing.
    bool Write(const LasChoices& choices);
    // "&Close": the export flags to Settings and section LASGenerator of ZORAK.cfg.
    void Close(const LasCurves& curves);

    // The data lines into the scratch file `tmp` (128-byte records).
    bool ReadDataFile(std::FILE* tmp);
    void WriteHeaderLASFile(std::FILE* out, const LasChoices& choices) const;
    void WriteLineAscFile(std::FILE* out, const LasRecord& r, const LasCurves& curves) const;
    // One data line as WriteLineAscFile writes it, appended to `text`.
    void appendLine(std::string& text, const LasRecord& r, const LasCurves& curves) const;

    LasContext& context() { return ctx_; }
    const LasContext& context() const { return ctx_; }
    // The step of the chosen item in the log's unit (positive).
    double stepInLogUnit(int stepIndex) const;

  private:
    class LineWriter;
    bool fail(const std::string& text, MessageKind kind = MessageKind::Error);
    // The status of a log that cannot be exported, and the message when there is one.
    bool unusable(const std::string& text);
    // The steps of LoadInput.
    bool openInput(const std::string& headerPath, LogHeader& logHeader, OpenedLog& log, LasContext& c);
    void takeSondeOffsets(const LogHeader& logHeader, LasContext& c) const;
    static void takeDepthRange(LasContext& c);
    static void describeInterval(LasContext& c);
    // The choices as this log allows them (no gamma curve without a gamma detector).
    LasChoices effective(const LasChoices& choices) const;
    // The end of an export, `ok` or not; returns `ok`.
    bool ended(bool ok);
    bool resamplingPass(std::FILE* out, std::FILE* tmp, const LasChoices& choices);
    LasRecord averagedLine(double depth, const LasRecord& sum, int n) const;
    void setStatus(const std::string& s) const {
        if (status) status(s);
    }
    void setProgress(std::int64_t p, std::int64_t r) const {
        if (progress) progress(p, r);
    }
    double toDisplay(double logValue) const;
    double toLog(double displayValue) const;

    Settings& settings_;
    ProgramPaths& paths_;
    PlacementRecord& placements_;
    Operator& operator_;
    const SondeDatabase& sondes_;
    OrientationRoutine orientation_;
    LasContext ctx_;
    bool loaded_ = false;
    bool createdFolder_ = false;  // the output folder was made for this export
};

}  // namespace quelt

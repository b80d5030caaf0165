#pragma once
// The log header (.HED): INI text that tells which program wrote the log and with which acquisition
// settings, describes the well and the run, names the data file, lays out its fixed-size lines channel
// by channel and keeps the display window of the last replay. CHeader writes and reads it into the
// process-wide LogHeader; the free functions below update an existing header in place while a log is
// recorded, stopped or repaired.

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Preferences.h"
#include "config/SondeDatabase.h"

namespace quelt {

inline constexpr const char* kCorruptMark = "CORRUPT";

// One channel of the data line as the header describes it.
struct HeaderChannel {
    std::string title;
    std::string mnemonic;
    std::string unit;
    int file = 0;
    int dataOffset = 0;
    int sampleType = 0;
    int sampleCount = 0;
    int offset = 0;
    int kind = 0;  // channel kind code from the mnemonic, 0 when not known

    bool operator==(const HeaderChannel&) const = default;
};

// The keys of section WellInfo after `Zero`, in file order.
enum class WellKeyType { Text, Real, RunNumber };
struct WellKey {
    std::string name;
    WellKeyType type;
};
const std::vector<WellKey>& wellInfoKeys();

// The header of the log last created or opened.
struct LogHeader {
    // Section General.
    std::string version = "101";
    std::string viewer = "ZEZEV_VIV";
    int dataFiles = 1;
    int blanking = 0;      // tenths of a microsecond
    int windowLength = 0;  // tenths of a microsecond
    int horizontalMode = 0;
    int screenMode = 1;  // the log's orientation: 0 none, 1 magnetic north, 2 high side
    int serialNumber = -999;
    double imageOffset = 0.0;
    double magneticDeclination = 0.0;

    // Section Playback.
    double playbackBlanking = 0.0;
    double playbackWindow = 0.0;
    int playbackLevelGain = 0;

    // Section WellInfo: the numbers, then every other key by its name (texts, reals, run numbers).
    int depthUnit = 0;   // 0 metres, 1 feet
    int startDepth = 0;  // thousandths of the depth unit
    int endDepth = 0;
    int startTime = 0;  // milliseconds of recorded time
    int endTime = 0;
    int step = 10;
    int logMode = 13;
    int zero = 0;
    std::map<std::string, std::string> texts;
    std::map<std::string, double> reals;
    std::map<std::string, int> runNumbers;

    bool corrupt = false;    // EndDepth of WellInfo reads "CORRUPT": the recording never ended
    bool descending = true;  // start depth below end depth
    bool demo = false;       // the demonstration log
    bool readError = false;  // the last read stopped on an error

    // Section File1.
    std::string fileName = " ";
    int referenceUnit = 0;
    int fileMode = 0;
    int interval = 10;
    int fileStartDepth = 0;
    int fileEndDepth = 0;
    int fileStartTime = 0;
    int fileEndTime = 0;
    int recLineSize = 0;

    int channelCount = 0;
    std::vector<HeaderChannel> channels;

    // Well information by key name; "" and 0 for a key not held.
    const std::string& text(std::string_view key) const;
    double real(std::string_view key) const;
    int runNumber(std::string_view key) const;

    bool operator==(const LogHeader&) const = default;
};

// The sample count a header declares for a channel of this type: N for types 10 to 12, else 1.
int sampleCountFor(int sampleType, int samplesPerRev);
// Bytes of a channel in the data line: types 0/1 1, 2/3 2, 4/5/8 4, 6/7/9 8, 10 three per sample,
// 11/12 four per sample, any other 0. A negative count counts as none, one above 2^24 as 2^24.
int channelFieldBytes(int sampleType, int sampleCount);
// The channel layout of a new log from the database's channel list: running offsets and counts.
// `lineSize` receives the bytes of one data line.
std::vector<HeaderChannel> layoutChannels(const std::vector<ChannelDef>& channels, int picResolution,
                                          int& lineSize);

// A depth in the file's unit: depth × 1000 truncated toward zero, thousandths of a foot when the unit
// is feet (metres × 3.28083). Every depth stored in a log (data lines and header) goes through this.
std::int32_t depthToFileUnits(double metres, int depthUnit);

class CHeader : public CPreferences {
  public:
    CHeader(Settings& settings, ProgramPaths& paths, PlacementRecord& placements, Operator& op,
            LogHeader& header, const SondeDatabase& sondes);
    ~CHeader() override = default;

    // Resets the line counter of the recording writer when a header is written.
    std::function<void()> resetRecordedLines;

    // The defaults of a new log's header; `today` gives the Date text.
    void SetHeaderDefaults(std::time_t today = std::time(nullptr));
    // Writes a new header at the full path; false after "Trouble opening file." when it cannot be
    // written. On success the in-memory header describes what was written.
    bool WriteHeader(const std::string& path);
    // Appends the WellInfo lines of the in-memory header.
    void WriteWellInfo(std::string& out);
    // Fills the in-memory header from the file (relative paths from the program directory); a missing
    // file reads as all defaults. False when reading stopped on an error (the read-error flag).
    bool ReadHeader(const std::string& path);
    // Writes section Playback of the current header (the last header of the paths), when it exists.
    bool SavePlaybackToHeader();

    LogHeader& header() { return header_; }

  private:
    void readHeaderKeys();

    Operator& operator_;
    LogHeader& header_;
    const SondeDatabase& sondes_;
};

// In-place updates of an existing header. Each is one atomic replacement of the file; false when the
// header does not exist or cannot be written.

// Recording starts: Startdepth/StartDepth, StartTime 0, DepthUnit/ReferenceUnit, then EndDepth of
// WellInfo "CORRUPT" until the recording ends.
bool MarkRecordingStart(const std::string& headerPath, double depthMetres, int depthUnit);

// The refresh every five seconds of recorded time: the end values of File1, the step, the units and
// the recorded time. EndDepth of WellInfo stays "CORRUPT" until the recording stops.
struct RecordingProgress {
    double depthMetres = 0.0;  // depth of the last line written
    int stepMm = 10;           // step between the last two lines, millimetres
    int depthUnit = 0;
    std::int64_t recordedMs = 0;
};
bool UpdateRecordingProgress(const std::string& headerPath, const RecordingProgress& progress);

// Recording stops.
struct RecordingEnd {
    std::optional<std::int32_t> firstLineDepth;  // the DPTH field of the first line, when readable
    std::int64_t recordedMs = 0;
    double lastDepthMetres = 0.0;
    int depthUnit = 0;
};
bool MarkRecordingStop(const std::string& headerPath, const RecordingEnd& end);

// Repair of a header whose recording never ended, from the raw DPTH of the first and last whole lines
// and the raw TIME of the last: writes Startdepth, EndDepth and EndTime in both sections and brings
// the in-memory header up to date (no longer corrupt, descending flag recomputed).
bool RepairHeader(const std::string& headerPath, std::int32_t firstLineDepth, std::int32_t lastLineDepth,
                  std::int32_t lastLineTime, LogHeader& header);

}  // namespace quelt

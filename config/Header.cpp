#include "config/Header.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <mutex>
#include <utility>

#include "config/Diagnostics.h"
#include "config/Ini.h"
#include "config/Resolution.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Units.h"

namespace quelt {

namespace {
constexpr const char* kGeneral = "General";
constexpr const char* kWellInfo = "WellInfo";
constexpr const char* kFile1 = "File1";
constexpr const char* kPlayback = "Playback";

constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

// Every in-place update of a header reads, changes and replaces the whole file under this lock, so
// the reader thread's refresh and the user-interface thread never lose each other's keys.
std::mutex& headerFileMutex() {
    static std::mutex m;
    return m;
}

int truncToInt(double value) {
    if (!std::isfinite(value)) return 0;
    double t = std::trunc(value);
    t = std::clamp(t, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                   static_cast<double>(std::numeric_limits<std::int32_t>::max()));
    return static_cast<int>(t);
}

int clampMs(std::int64_t ms) {
    return static_cast<int>(std::clamp<std::int64_t>(ms, std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max()));
}

// A real as the header stores it: "%f" with a decimal point whatever the locale.
std::string headerReal(const char* fmt, double value) {
    std::string s = format(fmt, value);
    std::replace(s.begin(), s.end(), ',', '.');
    return s;
}

// A header value is one line: line breaks in a typed text would split the file.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

void line(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += '=';
    out += oneLine(value);
    out += '\n';
}
void line(std::string& out, const char* key, int value) {
    line(out, key, format("%d", value));
}

struct KeyValue {
    const char* section;
    const char* key;
    std::string value;
};

// Changes keys of an existing header file in one replacement of the whole file.
bool updateHeaderKeys(const std::string& headerPath, const std::vector<KeyValue>& changes) {
    std::string path = CIni::ResolveFileName(headerPath, 1);
    std::lock_guard<std::mutex> lock(headerFileMutex());
    std::string bytes;
    if (readRegularFile(path, bytes) != ReadFileResult::Ok) return false;
    IniDocument doc = IniDocument::parseOwned(std::move(bytes));
    for (const auto& c : changes)
        doc.set(c.section, c.key, c.value);
    return replaceFileAtomically(path, doc.serialize());
}

std::string intText(int v) {
    return format("%d", v);
}

std::vector<WellKey> buildWellInfoKeys() {
    std::vector<WellKey> keys;
    auto add = [&](const std::string& name, WellKeyType type) { keys.push_back({name, type}); };
    auto addRuns = [&](const char* base, WellKeyType type, int count = 3) {
        for (int i = 1; i <= count; ++i)
            add(format("%s%d", base, i), type);
    };
    using T = WellKeyType;
    for (const char* k : {"Company", "Country", "Fieldname", "Latitude", "Longitude", "Location", "Project",
                          "ServiceCompany", "UWI", "Wellname", "LogName"})
        add(k, T::Text);
    addRuns("OtherServices", T::Text, 5);
    add("SondeAbbreviation", T::Text);
    addRuns("DateRun", T::Text);
    for (const char* k : {"Date", "DrillDatum", "LogDatum", "PermanentDatum"})
        add(k, T::Text);
    add("DrillFloor", T::Real);
    add("Elevation", T::Text);
    add("GroundLevel", T::Real);
    add("KellyBushing", T::Real);
    addRuns("RunNo", T::RunNumber);
    for (const char* k : {"Fluid", "FluidDensity", "FluidLevel", "LogType"})
        addRuns(k, T::Text);
    addRuns("MaxTemperature", T::Real);
    for (const char* k : {"RigTime", "Salinity"})
        addRuns(k, T::Text);
    for (const char* k : {"Deepest", "DepthDriller", "DepthLogger"})
        addRuns(k, T::Real);
    addRuns("Engineer", T::Text);
    addRuns("Shallow", T::Real);
    addRuns("Witness", T::Text);
    for (const char* k :
         {"BitRec", "BitRecFrom", "BitRecTo", "CasRecFrom", "CasRecSize", "CasRecTo", "CasRecWeight"})
        addRuns(k, T::Real);
    addRuns("Comment", T::Text, 10);
    return keys;
}
}  // namespace

const std::vector<WellKey>& wellInfoKeys() {
    static const std::vector<WellKey> keys = buildWellInfoKeys();
    return keys;
}

const std::string& LogHeader::text(std::string_view key) const {
    static const std::string empty;
    auto it = texts.find(std::string(key));
    return it == texts.end() ? empty : it->second;
}

double LogHeader::real(std::string_view key) const {
    auto it = reals.find(std::string(key));
    return it == reals.end() ? 0.0 : it->second;
}

int LogHeader::runNumber(std::string_view key) const {
    auto it = runNumbers.find(std::string(key));
    return it == runNumbers.end() ? 0 : it->second;
}

int sampleCountFor(int sampleType, int samplesPerRev) {
    return sampleType >= 10 && sampleType <= 12 ? samplesPerRev : 1;
}

int channelFieldBytes(int sampleType, int sampleCount) {
    // A count past any revolution (a damaged header) is held where the byte count cannot overflow; the
    // readers refuse such a layout anyway.
    int count = std::clamp(sampleCount, 0, 1 << 24);
    switch (sampleType) {
        case 0:
        case 1:
            return 1;
        case 2:
        case 3:
            return 2;
        case 4:
        case 5:
        case 8:
            return 4;
        case 6:
        case 7:
        case 9:
            return 8;
        case 10:
            return 3 * count;
        case 11:
        case 12:
            return 4 * count;
        default:
            return 0;
    }
}

std::vector<HeaderChannel> layoutChannels(const std::vector<ChannelDef>& channels, int picResolution,
                                          int& lineSize) {
    int n = samplesForResolution(picResolution, kSamplesOfUnknownSetting);
    std::vector<HeaderChannel> out;
    int offset = 0;
    for (const auto& c : channels) {
        HeaderChannel h;
        h.title = c.title;
        h.mnemonic = c.mnemonic;
        h.unit = c.unit;
        h.file = 1;
        h.dataOffset = offset;
        h.sampleType = c.sampleType;
        h.sampleCount = sampleCountFor(c.sampleType, n);
        h.offset = 0;
        h.kind = c.kind;
        offset += channelFieldBytes(h.sampleType, h.sampleCount);
        out.push_back(std::move(h));
    }
    lineSize = offset;
    return out;
}

std::int32_t depthToFileUnits(double metres, int depthUnit) {
    double x = units::toDisplay(metres, depthUnit) * 1000.0;
    // The product of a depth held in binary and the factors may fall a hair short of the whole number
    // it stands for (100 m in feet is 328082.99999999994): that must not cost a unit.
    x += x >= 0 ? 1e-6 : -1e-6;
    return truncToInt(x);
}

CHeader::CHeader(Settings& settings, ProgramPaths& paths, PlacementRecord& placements, Operator& op,
                 LogHeader& header, const SondeDatabase& sondes)
    : CPreferences(settings, paths, placements, op), operator_(op), header_(header), sondes_(sondes) {}

void CHeader::SetHeaderDefaults(std::time_t today) {
    const Settings& s = settings();
    LogHeader h;
    h.blanking = truncToInt(s.UpBlanking);
    h.windowLength = truncToInt(s.UpWindow);
    h.depthUnit = s.SetDepthUnit;
    for (const auto& k : wellInfoKeys()) {
        switch (k.type) {
            case WellKeyType::Text:
                h.texts[k.name] = "";
                break;
            case WellKeyType::Real:
                h.reals[k.name] = 0.0;
                break;
            case WellKeyType::RunNumber:
                h.runNumbers[k.name] = 0;
                break;
        }
    }
    h.texts["SondeAbbreviation"] = "ZOZE";
    h.texts["Company"] = "Torvanel";
    std::tm tm{};
    localtime_r(&today, &tm);
    h.texts["Date"] = format("%02d %s %04d", tm.tm_mday, kMonths[tm.tm_mon % 12], tm.tm_year + 1900);
    h.descending = true;
    header_ = std::move(h);
}

void CHeader::WriteWellInfo(std::string& out) {
    const LogHeader& h = header_;
    line(out, "DepthUnit", settings().SetDepthUnit);
    line(out, "Startdepth", h.startDepth);
    line(out, "EndDepth", h.endDepth);
    line(out, "StartTime", h.startTime);
    line(out, "EndTime", h.endTime);
    line(out, "step", 10);
    line(out, "LogMode", h.logMode);
    line(out, "Zero", h.zero);
    for (const auto& k : wellInfoKeys()) {
        switch (k.type) {
            case WellKeyType::Text:
                line(out, k.name.c_str(), h.text(k.name));
                break;
            case WellKeyType::Real:
                line(out, k.name.c_str(), headerReal("%f", h.real(k.name)));
                break;
            case WellKeyType::RunNumber:
                line(out, k.name.c_str(), h.runNumber(k.name));
                break;
        }
    }
}

bool CHeader::WriteHeader(const std::string& path) {
    const Settings& s = settings();
    const SondeEntry& sonde = sondes_.current();
    std::string out;
    out += "[General]\n";
    line(out, "DataFiles", 1);
    line(out, "Version", "101");
    line(out, "Viewer", "ZEZEV_VIV");
    line(out, "Blanking", truncToInt(s.UpBlanking));
    line(out, "WindowLength", truncToInt(s.UpWindow));
    line(out, "HorizontalMode", s.PicOriented == 2 ? 1 : 0);
    line(out, "MagneticDeclination", headerReal("%#.2f", s.MagneticOffset));
    line(out, "ImageOffset", headerReal("%#.2f", sonde.rotationOffset));
    line(out, "ScreenMode", s.PicOriented);
    line(out, "S/N", sonde.serialNumber);

    out += "\n[WellInfo]\n";
    WriteWellInfo(out);

    int lineSize = 0;
    std::vector<HeaderChannel> layout = layoutChannels(sondes_.channels(), s.PicResolution, lineSize);
    for (size_t i = 0; i < layout.size(); ++i) {
        HeaderChannel& c = layout[i];
        if (i == 0 && s.SetDepthUnit == 1) c.unit = "FEET";
        out += format("\n[Channel%zu]\n", i);
        line(out, "Title", c.title);
        line(out, "TitleShort", c.mnemonic);
        line(out, "Unit", c.unit);
        line(out, "File", c.file);
        line(out, "DataOffset", c.dataOffset);
        line(out, "SampleType", c.sampleType);
        line(out, "SampleCount", c.sampleCount);
        line(out, "Offset", c.offset);
    }

    const std::string dataFileName = paths().dataFileName;
    out += format("\n[File%d]\n", 1);
    line(out, "FileName", dataFileName);
    line(out, "ReferenceUnit", s.SetDepthUnit);
    line(out, "Mode", 13);
    line(out, "Interval", 10);
    line(out, "StartDepth", 0);
    line(out, "EndDepth", 0);
    line(out, "StartTime", 0);
    line(out, "EndTime", 0);
    line(out, "RecLineSize", lineSize);

    out += "\n[Playback]\n";
    line(out, "PlaybackDisplayBlanking", truncToInt(s.DisplayBlanking));
    line(out, "PlaybackDisplayWindow", truncToInt(s.DisplayWindow));

    // Written beside and renamed: a full disk or a failed write leaves no half header behind, and is
    // reported like a file that cannot be opened.
    bool written;
    {
        std::lock_guard<std::mutex> lock(headerFileMutex());
        written = replaceFileAtomically(CIni::ResolveFileName(path, 1), out);
    }
    if (!written) {
        operator_.message("Trouble opening file.", MessageKind::Error);
        return false;
    }
    if (resetRecordedLines) resetRecordedLines();

    // The in-memory header now describes the log just created.
    LogHeader& h = header_;
    h.dataFiles = 1;
    h.version = "101";
    h.viewer = "ZEZEV_VIV";
    h.blanking = truncToInt(s.UpBlanking);
    h.windowLength = truncToInt(s.UpWindow);
    h.horizontalMode = s.PicOriented == 2 ? 1 : 0;
    h.screenMode = s.PicOriented;
    h.magneticDeclination = s.MagneticOffset;
    h.imageOffset = sonde.rotationOffset;
    h.serialNumber = sonde.serialNumber;
    h.depthUnit = s.SetDepthUnit;
    h.step = 10;
    h.fileName = dataFileName;
    h.referenceUnit = s.SetDepthUnit;
    h.fileMode = 13;
    h.interval = 10;
    h.fileStartDepth = h.fileEndDepth = h.fileStartTime = h.fileEndTime = 0;
    h.recLineSize = lineSize;
    h.channelCount = static_cast<int>(layout.size());
    h.channels = std::move(layout);
    h.playbackBlanking = truncToInt(s.DisplayBlanking);
    h.playbackWindow = truncToInt(s.DisplayWindow);
    return true;
}

namespace {
// Drops the entries of a map that are not well keys of its type.
template <typename Map>
void keepWellKeys(Map& map, WellKeyType type) {
    static const std::map<std::string, WellKeyType> types = [] {
        std::map<std::string, WellKeyType> m;
        for (const auto& k : wellInfoKeys())
            m.emplace(k.name, k.type);
        return m;
    }();
    std::erase_if(map, [&](const auto& entry) {
        auto it = types.find(entry.first);
        return it == types.end() || it->second != type;
    });
}
}  // namespace

bool CHeader::ReadHeader(const std::string& path) {
    // A read sets every well key again: the maps keep their entries, and with them their memory, and
    // take the new values; a header is read a hundred keys at a time on every replay and repair.
    LogHeader fresh;
    fresh.texts.swap(header_.texts);
    fresh.reals.swap(header_.reals);
    fresh.runNumbers.swap(header_.runNumbers);
    keepWellKeys(fresh.texts, WellKeyType::Text);
    keepWellKeys(fresh.reals, WellKeyType::Real);
    keepWellKeys(fresh.runNumbers, WellKeyType::RunNumber);
    header_ = std::move(fresh);
    header_.readError = false;
    try {
        SetFile(path);
        Load load(*this);
        readHeaderKeys();
    } catch (...) {
        TraceDebug("----------Header----------\n");
        TraceDebug("--    Read file error   --\n");
        TraceDebug("----------Header----------\n");
        header_.readError = true;
    }
    return !header_.readError;
}

void CHeader::readHeaderKeys() {
    Settings& s = settings();
    LogHeader& h = header_;

    h.blanking = GetInt("Blanking", truncToInt(s.UpBlanking), kGeneral);
    h.dataFiles = std::min(GetInt("DataFiles", 1), 50);
    h.serialNumber = GetInt("S/N", -999);
    h.horizontalMode = GetInt("HorizontalMode", 0);
    if (h.horizontalMode == 1) {
        h.screenMode = 2;
    } else {
        h.screenMode = GetInt("ScreenMode", -999);
        if (h.screenMode == -999) h.screenMode = 1;
    }
    h.imageOffset = GetDouble("ImageOffset", 0.0);
    h.magneticDeclination = GetDouble("MagneticDeclination", 0.0);
    h.version = GetString("Version", "101");
    h.viewer = GetString("Viewer", "ZEZEV_VIV");
    h.windowLength = GetInt("WindowLength", truncToInt(s.UpWindow));

    h.depthUnit = GetInt("DepthUnit", 0, kWellInfo);
    h.playbackBlanking = GetDouble("PlaybackDisplayBlanking", h.blanking, kPlayback);
    h.playbackWindow = GetDouble("PlaybackDisplayWindow", h.windowLength);
    h.playbackLevelGain = GetInt("PlaybackLevelGain", s.LevelContrast);

    h.corrupt = equalsNoCase(GetString("EndDepth", kCorruptMark, kWellInfo), kCorruptMark);
    h.endDepth = GetInt("EndDepth", 0);
    h.endTime = GetInt("EndTime", 0);
    h.step = GetInt("step", 10);
    h.logMode = GetInt("LogMode", 13);
    h.texts["SondeAbbreviation"] = GetString("SondeAbbreviation", "ZOZE");
    h.startDepth = GetInt("Startdepth", 0);
    h.startTime = GetInt("StartTime", 0);
    h.zero = GetInt("Zero", 0);
    h.descending = h.startDepth < h.endDepth;

    for (const auto& k : wellInfoKeys()) {
        if (k.name == "SondeAbbreviation") continue;
        switch (k.type) {
            case WellKeyType::Text:
                h.texts[k.name] = GetString(k.name.c_str(), " ");
                break;
            case WellKeyType::Real:
                h.reals[k.name] = GetDouble(k.name.c_str(), 0.0);
                break;
            case WellKeyType::RunNumber:
                h.runNumbers[k.name] = GetInt(k.name.c_str(), 0);
                break;
        }
    }
    h.demo = equalsNoCase(GetString("DemoFile", "NODEMO"), "yes");

    h.fileEndDepth = GetInt("EndDepth", 0, kFile1);
    h.fileEndTime = GetInt("EndTime", 0);
    h.fileName = GetString("FileName", " ");
    h.interval = GetInt("Interval", 10);
    h.fileMode = GetInt("Mode", 0);
    h.recLineSize = GetInt("RecLineSize", 0);
    h.referenceUnit = GetInt("ReferenceUnit", 0);
    if (h.referenceUnit < 0 || h.referenceUnit > 1) h.referenceUnit = 0;
    s.ShownDepthUnit = h.referenceUnit;
    h.fileStartDepth = GetInt("StartDepth", 0);
    h.fileStartTime = GetInt("StartTime", 0);

    int count = 0;
    while (count < kMaxChannels) {
        std::string section = format("Channel%d", count);
        if (equalsNoCase(GetString("Title", "ende", section.c_str()), "ende")) break;
        ++count;
    }
    h.channelCount = count;
    h.channels.assign(static_cast<size_t>(count), HeaderChannel{});
    for (int i = 0; i < count; ++i) {
        std::string section = format("Channel%d", i);
        HeaderChannel& c = h.channels[static_cast<size_t>(i)];
        c.dataOffset = GetInt("DataOffset", 0, section.c_str());
        c.file = GetInt("File", 0);
        c.offset = GetInt("Offset", 0);
        c.sampleCount = GetInt("SampleCount", 0);
        c.sampleType = GetInt("SampleType", 0);
        c.title = GetString("Title", "");
        c.mnemonic = GetString("TitleShort", "");
        c.unit = GetString("Unit", "");
        c.kind = channelKindFromMnemonic(c.mnemonic);
    }
}

bool CHeader::SavePlaybackToHeader() {
    const Settings& s = settings();
    std::string path = CIni::ResolveFileName(paths().lastHeader, 1);
    std::error_code ec;
    if (paths().lastHeader.empty() || !fs::is_regular_file(path, ec)) return false;
    return updateHeaderKeys(
        path, {
                  {kPlayback, "PlaybackDisplayBlanking", intText(truncToInt(s.DisplayBlanking))},
                  {kPlayback, "PlaybackDisplayWindow", intText(truncToInt(s.DisplayWindow))},
                  {kPlayback, "PlaybackLevelGain", intText(s.LevelContrast)},
              });
}

bool MarkRecordingStart(const std::string& headerPath, double depthMetres, int depthUnit) {
    std::string start = intText(depthToFileUnits(depthMetres, depthUnit));
    return updateHeaderKeys(headerPath, {
                                            {kWellInfo, "Startdepth", start},
                                            {kFile1, "StartDepth", start},
                                            {kWellInfo, "StartTime", "0"},
                                            {kFile1, "StartTime", "0"},
                                            {kWellInfo, "DepthUnit", intText(depthUnit)},
                                            {kFile1, "ReferenceUnit", intText(depthUnit)},
                                            {kWellInfo, "EndDepth", kCorruptMark},
                                        });
}

bool UpdateRecordingProgress(const std::string& headerPath, const RecordingProgress& p) {
    std::string end = intText(depthToFileUnits(p.depthMetres, p.depthUnit));
    std::string step = intText(p.depthUnit == 1 ? depthToFileUnits(p.stepMm / 1000.0, 1) : p.stepMm);
    std::string time = intText(clampMs(p.recordedMs));
    // EndDepth of WellInfo keeps its "CORRUPT" mark until the recording stops: a recording cut short by
    // a crash or a power cut must read as such, so that opening it repairs the end values from the
    // lines its data file really holds. File1 carries the running end depth meanwhile.
    return updateHeaderKeys(headerPath, {
                                            {kFile1, "EndDepth", end},
                                            {kWellInfo, "step", step},
                                            {kFile1, "Interval", step},
                                            {kWellInfo, "DepthUnit", intText(p.depthUnit)},
                                            {kFile1, "ReferenceUnit", intText(p.depthUnit)},
                                            {kWellInfo, "EndTime", time},
                                            {kFile1, "EndTime", time},
                                        });
}

bool MarkRecordingStop(const std::string& headerPath, const RecordingEnd& e) {
    std::vector<KeyValue> changes;
    if (e.firstLineDepth) {
        changes.push_back({kWellInfo, "Startdepth", intText(*e.firstLineDepth)});
        changes.push_back({kFile1, "StartDepth", intText(*e.firstLineDepth)});
    }
    std::string time = intText(clampMs(e.recordedMs));
    std::string end = intText(depthToFileUnits(e.lastDepthMetres, e.depthUnit));
    changes.push_back({kWellInfo, "EndTime", time});
    changes.push_back({kFile1, "EndTime", time});
    changes.push_back({kWellInfo, "EndDepth", end});
    changes.push_back({kFile1, "EndDepth", end});
    changes.push_back({kWellInfo, "DepthUnit", intText(e.depthUnit)});
    changes.push_back({kFile1, "ReferenceUnit", intText(e.depthUnit)});
    return updateHeaderKeys(headerPath, changes);
}

bool RepairHeader(const std::string& headerPath, std::int32_t firstLineDepth, std::int32_t lastLineDepth,
                  std::int32_t lastLineTime, LogHeader& header) {
    std::string start = intText(firstLineDepth), end = intText(lastLineDepth), time = intText(lastLineTime);
    bool written = updateHeaderKeys(headerPath, {
                                                    {kWellInfo, "Startdepth", start},
                                                    {kFile1, "StartDepth", start},
                                                    {kWellInfo, "EndDepth", end},
                                                    {kFile1, "EndDepth", end},
                                                    {kWellInfo, "EndTime", time},
                                                    {kFile1, "EndTime", time},
                                                });
    header.startDepth = header.fileStartDepth = firstLineDepth;
    header.endDepth = header.fileEndDepth = lastLineDepth;
    header.endTime = header.fileEndTime = lastLineTime;
    header.descending = header.startDepth < header.endDepth;
    header.corrupt = false;
    return written;
}

}  // namespace quelt

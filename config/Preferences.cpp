#include "config/Preferences.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "config/Diagnostics.h"
#include "config/SondeDatabase.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace quelt {

namespace {
constexpr const char* kMain = "QueltLogger";
constexpr const char* kLas = "LASGenerator";

// A temporary folder stored on Windows ("c:\temp") has no meaning here: use the system one.
std::string localTempDir(const std::string& stored) {
    std::string p = nativePath(stored);
    bool drive = p.size() >= 2 && p[1] == ':';
    if (p.empty() || drive) return systemTempDir();
    return p;
}

// A value that came from the file as an integer divided by ten goes back as the same integer.
int truncTenths(double value) {
    return static_cast<int>(truncTolerant(value * 10.0));
}

// The value of each key that the file does not hold.
const Settings& defaultSettings() {
    static const Settings record;
    return record;
}

// The keys of Zorak.cfg that LoadSettings reads, one row each: where the value goes and the range its
// setup page allows (a value outside it, from an older version or an edited file, is clamped on loading
// with a note). kFree: no page limits the key. A key the file does not hold takes the field's default,
// written once beside the field in Settings.
constexpr double kFree = 0;
struct Range {
    double low = kFree, high = kFree;
};

// The whole-number keys of section QueltLogger.
struct IntKey {
    const char* key;
    int Settings::*field;
    Range range = {};
};
constexpr Range kMotorPeriodRange = {21, 127};
constexpr IntKey kIntKeys[] = {
    {"SampleDephtMode", &Settings::SampleDephtMode},
    {"AcousticalGain", &Settings::AcousticalGain},
    {"AcousticalAGC", &Settings::AcousticalAGC},
    {"UpBaudDivisor", &Settings::UpBaudDivisor, {2, 20}},
    {"PicBkgColor", &Settings::PicBkgColor},
    {"PicForeColor", &Settings::PicForeColor},
    {"GammaScale", &Settings::GammaScale},
    {"RefreshTravelDialog", &Settings::RefreshTravelDialog},
    {"SondeUsed", &Settings::SondeUsed},
    {"WaterVelocity", &Settings::WaterVelocity},
    {"ImpWaterVelocity", &Settings::ImpWaterVelocity},
    {"PicOriented", &Settings::PicOriented, {0, 2}},
    {"SetDepthUnit", &Settings::SetDepthUnit, {0, 1}},
    {"CableType", &Settings::CableType},
    {"DownEnergie", &Settings::DownEnergie, {5, 60}},
    {"UpGain", &Settings::UpGain, {0, 40}},
    {"MotorPeriod", &Settings::MotorPeriod, kMotorPeriodRange},
    {"PicResolution", &Settings::PicResolution, {1, 4}},
    {"Power", &Settings::Power, {80, 125}},
    {"PulsResolution", &Settings::PulsResolution, {500, 10000}},
    {"UpholePulseWidth", &Settings::UpholePulseWidth, {5, 60}},
    {"LevelContrast", &Settings::LevelContrast},
    {"SetFilter", &Settings::SetFilter, {50, 2000}},
    {"PaletteInUse", &Settings::PaletteInUse},
};
// The motor period presets MotorPeriod_M1 .. MotorPeriod_M4, each in the motor period's range.
constexpr const char* kMotorPeriodPresetKey = "MotorPeriod_M";

// The refresh periods, milliseconds. A file without one gets its default written into it; a shorter
// period than the floor is raised to it without a note (older files hold such values).
struct PeriodKey {
    const char* key;
    int Settings::*field;
    int floor;
};
constexpr PeriodKey kPeriodKeys[] = {
    {"RefreshTime", &Settings::RefreshTime, 100},
    {"ScreenRefreshTime", &Settings::ScreenRefreshTime, 200},
};
// What a period key reads as when the file does not hold it.
constexpr int kPeriodMissing = 999999;

// The real keys. `whole`: the file holds a whole number ("1300.7" reads as 1300); else a decimal, with a
// point or a comma. `unitsInFile`: how many file units make one unit in memory; the range is in file
// units.
struct RealKey {
    const char* key;
    double Settings::*field;
    bool whole;
    double unitsInFile = 1;
    Range range = {};
};
constexpr RealKey kRealKeys[] = {
    {"UpBlanking", &Settings::UpBlanking, true},
    {"UpWindow", &Settings::UpWindow, true},
    {"DepthMemo", &Settings::DepthMemo, false},
    // A declination stored west, negative, means the same as its page's 0..359.99 value: read as it stands.
    {"MagneticOffset", &Settings::MagneticOffset, false},
    {"PulleysDiameter", &Settings::PulleysDiameter, true, 10, {2500, 15000}},  // tenths of a millimetre
    {"QualityStepMm", &Settings::QualityStepMm, false, 1, {0.5, 100.0}},
    {"QualityFieldGauss", &Settings::QualityFieldGauss, false, 1, {0.0, 10.0}},
};
// The pulley's circumference in inches, read only when depths are in feet.
constexpr RealKey kPulleyCircumInch = {
    "PulleyCircumInch", &Settings::PulleyCircumInch, false, 1, {10.0, 60.0}};

// The switches: 0 is off, any other number on; `yesNo` keys also read "yes" and "no".
struct FlagKey {
    const char* section;
    const char* key;
    bool Settings::*field;
    bool yesNo = false;
};
constexpr FlagKey kFlagKeys[] = {
    {kMain, "ShowPhantom", &Settings::ShowPhantom},
    {kMain, "BlackAndWhite", &Settings::BlackAndWhite},
    {kMain, "PulleyDir", &Settings::PulleyDir},
    {kMain, "DisplayTracking", &Settings::DisplayTracking},
    {kMain, "SplashScreenOff", &Settings::SplashScreenOff, true},
    {kMain, "QualityTracks", &Settings::QualityTracks},
    {kLas, "ExportSpeed", &Settings::ExportSpeed},
    {kLas, "ExportIncl", &Settings::ExportIncl},
    {kLas, "ExportAzimuth", &Settings::ExportAzimuth},
    {kLas, "ExportRoll", &Settings::ExportRoll},
    {kLas, "ExportMroll", &Settings::ExportMroll},
    {kLas, "ExportTgrav", &Settings::ExportTgrav},
    {kLas, "ExportTDelta", &Settings::ExportTDelta},
    {kLas, "ExportTgauss", &Settings::ExportTgauss},
    {kLas, "ExportRaw", &Settings::ExportRaw},
    {kLas, "ExportGamm", &Settings::ExportGamm},
};

// The last log's keys, stored with native separators. A file without FilePath (a first start) names
// the demonstration log of the program folder, and gets these names written into it.
struct LastLogKey {
    const char* key;
    std::string ProgramPaths::*field;
    const char* demo;
    bool inProgramDir;  // `demo` is a path in the program folder, else a bare file name
};
constexpr const char* kNoPath = "none";
constexpr LastLogKey kLastLogKeys[] = {
    {"FileName", &ProgramPaths::dataFileName, "Demo.VIV", false},
    {"LastFile", &ProgramPaths::lastHeader, "Demo/Demo.HED", true},
    {"DataFile", &ProgramPaths::lastDataFile, "Demo/Demo.VIV", true},
    {"FilePath", &ProgramPaths::logDir, "Demo", true},
};
}  // namespace

std::string defaultUserFolder() {
    const char* home = std::getenv("HOME");
    std::string dir = home && *home ? home : "/";
    if (dir.back() != '/') dir += '/';
    return dir;
}

CPreferences::CPreferences(Settings& settings, ProgramPaths& paths, PlacementRecord& placements, Operator& op,
                           SwitchStore switches)
    : CIni(1),
      settings_(settings),
      paths_(paths),
      placements_(placements),
      operator_(op),
      switchStore_(std::move(switches)) {}

void CPreferences::LoadAll(const std::string& programDir) {
    paths_ = ProgramPaths{};
    programDir_ = programDir;
    if (!programDir_.empty() && programDir_.back() != '/') programDir_ += '/';
    setProgramDirectory(programDir_);
    paths_.programDir = programDir_;
    if (settings_.loaded) return;

    // A folder, FIFO or device under the name of one of the program's files is read as a missing
    // file (its defaults), with a message that names it.
    for (const char* name : {kSettingsFileName, kPlacementFileName, kSondeDatabaseFileName, "Palette.ini"}) {
        std::string why = notRegularFileReason(resolveNoCase(programDir_ + name).string());
        if (!why.empty()) operator_.message(why + " Its defaults are used.", MessageKind::Warning);
    }
    std::string placementFile = resolveNoCase(programDir_ + kPlacementFileName).string();
    std::string datBytes;
    bool datOpened = readRegularFile(placementFile, datBytes) == ReadFileResult::Ok;

    LoadSettings();
    if (loadSondeDatabase) loadSondeDatabase();

    bool placementsRead = false;
    if (datOpened) {
        PlacementRecord record;
        if (datBytes.size() >= PlacementRecord::kSize) {
            std::copy_n(datBytes.begin(), PlacementRecord::kSize, record.bytes.begin());
            placements_ = record;
            placementsRead = true;
        }
    }
    if (!placementsRead) ResetPlacements();
    settings_.loaded = true;
}

void CPreferences::LoadSettings() {
    loadNotes_.clear();
    paths_.settingsFile = resolveNoCase(programDir_ + kSettingsFileName).string();
    file_ = paths_.settingsFile;
    section_ = kMain;
    Load load(*this);  // one read of the file for every key below
    loadPaths();
    loadSwitches();
    std::setlocale(LC_NUMERIC, "C");
    loadNumbers();
    for (const FlagKey& k : kFlagKeys)
        settings_.*k.field = k.yesNo ? GetYesNo(k.key, defaultSettings().*k.field, k.section)
                                     : GetBool(k.key, defaultSettings().*k.field ? 1 : 0, k.section);
    deriveShownValues();
    SetSection(kMain);
    if (loadPalettes) loadPalettes();
}

void CPreferences::loadPaths() {
    const std::string tempDir = GetString("Tempdir", systemTempDir(), kMain);
    std::string lastLog[std::size(kLastLogKeys)];
    for (size_t i = 0; i < std::size(kLastLogKeys); ++i)
        lastLog[i] = GetString(kLastLogKeys[i].key, kNoPath);
    if (lastLog[std::size(kLastLogKeys) - 1] == kNoPath) {
        for (size_t i = 0; i < std::size(kLastLogKeys); ++i) {
            const LastLogKey& k = kLastLogKeys[i];
            lastLog[i] = k.inProgramDir ? resolveNoCase(programDir_ + k.demo).string() : k.demo;
            WriteString(k.key, lastLog[i]);
        }
    }
    paths_.tempDir = localTempDir(tempDir);
    for (size_t i = 0; i < std::size(kLastLogKeys); ++i)
        paths_.*kLastLogKeys[i].field = nativePath(lastLog[i]);
    paths_.language = static_cast<std::uint16_t>(GetInt("languageID", 0));
}

void CPreferences::loadSwitches() {
    Settings& s = settings_;
    if (auto sw = switchStore_.read()) {
        s.switches = *sw;
        Diagnostics::configure(programDir_, s.switches.DebugingTools);
        if (s.switches.DebugingTools || s.switches.DebugingTrace) operator_.message("Debugging mode!");
        if (s.switches.DebugingTrace) {
            fs::path trace = resolveNoCase(programDir_ + "Trace_KLAR.log");
            std::error_code ec;
            fs::remove(trace, ec);
        }
    } else {
        s.switches = TechnicalSwitches{};
        Diagnostics::configure(programDir_, false);
    }
}

void CPreferences::loadNumbers() {
    Settings& s = settings_;
    const Settings& d = defaultSettings();
    for (const PeriodKey& k : kPeriodKeys) {
        s.*k.field = GetInt(k.key, kPeriodMissing);
        if (s.*k.field == kPeriodMissing) {
            s.*k.field = d.*k.field;
            WriteInt(k.key, s.*k.field);
        }
        s.*k.field = std::max(s.*k.field, k.floor);
    }
    for (const IntKey& k : kIntKeys)
        s.*k.field = static_cast<int>(inRange(k.key, GetInt(k.key, d.*k.field), k.range.low, k.range.high));
    for (size_t i = 0; i < s.MotorPeriodPreset.size(); ++i) {
        const std::string key = format("%s%zu", kMotorPeriodPresetKey, i + 1);
        s.MotorPeriodPreset[i] =
            static_cast<int>(inRange(key.c_str(), GetInt(key.c_str(), d.MotorPeriodPreset[i]),
                                     kMotorPeriodRange.low, kMotorPeriodRange.high));
    }
    for (size_t i = 0; i < s.PicColorRef.size(); ++i) {
        const std::string key = format("PicColorRef%zu", i);
        s.PicColorRef[i] =
            static_cast<std::uint32_t>(GetInt(key.c_str(), static_cast<int>(d.PicColorRef[i])));
    }
    auto readReal = [this, &d](const RealKey& k) {
        const double fallback = d.*k.field * k.unitsInFile;
        const double value =
            k.whole ? GetInt(k.key, static_cast<int>(std::lround(fallback))) : GetDouble(k.key, fallback);
        return inRange(k.key, value, k.range.low, k.range.high) / k.unitsInFile;
    };
    for (const RealKey& k : kRealKeys)
        s.*k.field = readReal(k);
    // The travel-time display opens on the acquisition's blanking and window unless it has its own.
    s.DisplayBlanking = GetInt("DisplayBlanking", static_cast<int>(s.UpBlanking));
    s.DisplayWindow = GetInt("DisplayWindow", static_cast<int>(s.UpWindow));
    if (s.SetDepthUnit == 1) s.PulleyCircumInch = readReal(kPulleyCircumInch);
}

// The values that follow from the keys read: the shown units and the copies the windows restore.
void CPreferences::deriveShownValues() {
    Settings& s = settings_;
    s.SavedDisplayBlanking = s.DisplayBlanking;
    s.SavedDisplayWindow = s.DisplayWindow;
    s.PaletteScale = defaultSettings().PaletteScale;
    s.ShownDepthUnit = s.SetDepthUnit;
    s.ShownGamma = s.GammaScale != 0 ? 1 : 0;
    s.UpGainCommand = s.UpGain;
    s.SavedLevelContrast = s.LevelContrast;
}

double CPreferences::inRange(const char* key, double value, double low, double high) {
    if (low == kFree && high == kFree) return value;
    const double clamped = !std::isfinite(value) ? low : value < low ? low : value > high ? high : value;
    if (clamped == value) return value;
    std::string note = format("Setting %s = %s is outside %s..%s in %s: %s is used", key,
                              formatG(value).c_str(), formatG(low).c_str(), formatG(high).c_str(),
                              paths_.settingsFile.c_str(), formatG(clamped).c_str());
    TraceDebug("%s\n", note.c_str());
    loadNotes_.push_back(std::move(note));
    return clamped;
}

bool CPreferences::WriteString(const char* key, const std::string& text, const char* section) {
    if (CIni::WriteString(key, text, section)) return true;
    const int err = errno;
    // Once per run: a folder that cannot be written stays so, and every later save would say it again.
    if (!saveFailureReported_) {
        saveFailureReported_ = true;
        const std::string why =
            format("The settings cannot be saved in %s (%s): changes last until the program ends.",
                   file_.c_str(), std::strerror(err));
        TraceDebug("%s\n", why.c_str());
        operator_.message(why, MessageKind::Warning);
    }
    return false;
}

bool CPreferences::WriteInt(const char* key, int value, const char* section) {
    return WriteString(key, format("%d", value), section);
}

bool CPreferences::WriteDouble(const char* key, double value, const char* section) {
    return WriteString(key, formatG(value), section);
}

void CPreferences::SaveSettings() {
    Settings& s = settings_;
    file_ = paths_.settingsFile.empty() ? resolveNoCase(programDir_ + kSettingsFileName).string()
                                        : paths_.settingsFile;
    SetSection(kMain);
    WriteInt("PicOriented", s.PicOriented);
    WriteInt("ShownGamma", s.ShownGamma);
    WriteInt("GammaScale", s.GammaScale);
    WriteInt("PicColorRef6", static_cast<int>(s.PicColorRef[6]));
    WriteInt("PulleyDir", s.PulleyDir ? 1 : 0);
    WriteInt("CableType", s.CableType);
    WriteInt("SondeUsed", s.SondeUsed);
    WriteInt("DownEnergie", s.DownEnergie);
    s.UpGainCommand = s.UpGain;
    WriteInt("UpGain", s.UpGainCommand);
    WriteInt("MotorPeriod", s.MotorPeriod);
    for (size_t i = 0; i < s.MotorPeriodPreset.size(); ++i)
        WriteInt(format("MotorPeriod_M%zu", i + 1).c_str(), s.MotorPeriodPreset[i]);
    WriteInt("PicResolution", s.PicResolution);
    WriteString("MagneticOffset", format("%#.2f", s.MagneticOffset));
    WriteInt("Power", s.Power);
    WriteInt("PulleysDiameter", truncTenths(s.PulleysDiameter));
    WriteInt("PulsResolution", s.PulsResolution);
    if (s.SetDepthUnit == 1) WriteDouble("PulleyCircumInch", s.PulleyCircumInch);
    WriteInt("SetDepthUnit", s.SetDepthUnit);
    WriteInt("UpholePulseWidth", s.UpholePulseWidth);
    WriteInt("SetFilter", s.SetFilter);
    WriteInt("LevelContrast", s.LevelContrast);
    WriteInt("UpBaudDivisor", s.UpBaudDivisor);
    WriteInt("WaterVelocity", s.WaterVelocity);
    WriteInt("ImpWaterVelocity", s.ImpWaterVelocity);
    WriteInt("DisplayTracking", s.DisplayTracking ? 1 : 0);
}

void CPreferences::SaveAcquisitionSettings(int reason, bool replayLoaded) {
    Settings& s = settings_;
    file_ = resolveNoCase(programDir_ + kSettingsFileName).string();
    if (reason != kSaveAcquisitionReason) return;
    SetSection(kMain);
    WriteInt("UpGain", s.UpGain);
    WriteInt("AcousticalAGC", s.AcousticalAGC);
    WriteInt("AcousticalGain", s.AcousticalGain);
    WriteInt("UpBlanking", static_cast<int>(std::trunc(s.UpBlanking)));
    WriteInt("UpWindow", static_cast<int>(std::trunc(s.UpWindow)));
    WriteInt("DisplayBlanking", static_cast<int>(std::trunc(s.DisplayBlanking)));
    WriteInt("DisplayWindow", static_cast<int>(std::trunc(s.DisplayWindow)));
    WriteInt("UpBaudDivisor", s.UpBaudDivisor);
    WriteDouble("DepthMemo", s.DepthMemo);
    WriteInt("ShowPhantom", s.ShowPhantom ? 1 : 0);
    WriteInt("DisplayTracking", s.DisplayTracking ? 1 : 0);
    if (replayLoaded) {
        WriteInt("PlaybackDisplayBlanking", static_cast<int>(std::trunc(s.DisplayBlanking)));
        WriteInt("PlaybackDisplayWindow", static_cast<int>(std::trunc(s.DisplayWindow)));
    }
}

void CPreferences::SavePaths() {
    const TechnicalSwitches& sw = settings_.switches;
    if (sw.TechnicalTools || sw.DebugingTools || sw.DebugingTrace) switchStore_.write(sw);

    file_ = resolveNoCase(programDir_ + kSettingsFileName).string();
    SetSection(kMain);
    WriteString("Tempdir", paths_.tempDir);
    WriteString("LastFile", paths_.lastHeader);
    WriteString("FileName", paths_.dataFileName);
    WriteString("FilePath", paths_.logDir);
    WriteInt("languageID", paths_.language);

    placements_.bytes[0] = 1;
    std::string bytes(reinterpret_cast<const char*>(placements_.bytes.data()), PlacementRecord::kSize);
    replaceFileAtomically(resolveNoCase(programDir_ + kPlacementFileName), bytes);
}

void CPreferences::ResetPlacements() {
    paths_.lastHeader = defaultUserFolder();
    paths_.logDir = defaultUserFolder();
    paths_.tempDir = systemTempDir();
    WindowPlacement main;
    main.length = 44;
    main.left = 10;
    main.top = 10;
    main.right = 700;
    main.bottom = 500;
    placements_.set(PlacementSlot::MainWindow, main);
    SavePaths();
}

std::vector<SettingItem> listSettings(const Settings& s, const ProgramPaths& p) {
    std::vector<SettingItem> out;
    auto add = [&](const char* key, SettingValue v) { out.push_back({kMain, key, std::move(v)}); };
    add("Tempdir", p.tempDir);
    add("FileName", p.dataFileName);
    add("LastFile", p.lastHeader);
    add("DataFile", p.lastDataFile);
    add("FilePath", p.logDir);
    add("languageID", static_cast<int>(p.language));
    add("RefreshTime", s.RefreshTime);
    add("ScreenRefreshTime", s.ScreenRefreshTime);
    add("UpGain", s.UpGain);
    add("UpBlanking", s.UpBlanking);
    add("UpWindow", s.UpWindow);
    add("DisplayBlanking", s.DisplayBlanking);
    add("DisplayWindow", s.DisplayWindow);
    add("AcousticalGain", s.AcousticalGain);
    add("AcousticalAGC", s.AcousticalAGC);
    add("UpBaudDivisor", s.UpBaudDivisor);
    add("DepthMemo", s.DepthMemo);
    add("SampleDephtMode", s.SampleDephtMode);
    add("WaterVelocity", s.WaterVelocity);
    add("ImpWaterVelocity", s.ImpWaterVelocity);
    add("ShowPhantom", s.ShowPhantom);
    add("RefreshTravelDialog", s.RefreshTravelDialog);
    add("PicBkgColor", s.PicBkgColor);
    add("PicForeColor", s.PicForeColor);
    add("GammaScale", s.GammaScale);
    add("ShownGamma", s.ShownGamma);
    add("BlackAndWhite", s.BlackAndWhite);
    for (size_t i = 0; i < s.PicColorRef.size(); ++i)
        out.push_back({kMain, format("PicColorRef%zu", i), static_cast<int>(s.PicColorRef[i])});
    add("PicOriented", s.PicOriented);
    add("DisplayTracking", s.DisplayTracking);
    add("LevelContrast", s.LevelContrast);
    add("PaletteInUse", s.PaletteInUse);
    add("SplashScreenOff", s.SplashScreenOff);
    add("QualityTracks", s.QualityTracks);
    add("QualityStepMm", s.QualityStepMm);
    add("QualityFieldGauss", s.QualityFieldGauss);
    add("SondeUsed", s.SondeUsed);
    add("DownEnergie", s.DownEnergie);
    add("UpholePulseWidth", s.UpholePulseWidth);
    add("MotorPeriod", s.MotorPeriod);
    for (size_t i = 0; i < s.MotorPeriodPreset.size(); ++i)
        out.push_back({kMain, format("MotorPeriod_M%zu", i + 1), s.MotorPeriodPreset[i]});
    add("PicResolution", s.PicResolution);
    add("SetFilter", s.SetFilter);
    add("MagneticOffset", s.MagneticOffset);
    add("Power", s.Power);
    add("PulleyDir", s.PulleyDir);
    add("CableType", s.CableType);
    add("PulsResolution", s.PulsResolution);
    add("PulleysDiameter", s.PulleysDiameter);
    add("PulleyCircumInch", s.PulleyCircumInch);
    add("SetDepthUnit", s.SetDepthUnit);
    for (const FlagKey& flag : kFlagKeys)
        if (flag.section == kLas) out.push_back({kLas, flag.key, s.*flag.field});
    return out;
}

}  // namespace quelt

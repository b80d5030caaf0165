#include "config/Preferences.h"

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

// The whole-number keys of section QueltLogger: where each goes, its value when the file has none, and
// the range its setup page allows (a value outside it, from an older version or an edited file, is
// clamped on loading). kFree: no page limits the key.
constexpr int kFree = 0;
struct IntKey {
    const char* key;
    int Settings::*field;
    int fallback;
    int low = kFree, high = kFree;
};
constexpr IntKey kIntKeys[] = {
    {"SampleDephtMode", &Settings::SampleDephtMode, 1},
    {"AcousticalGain", &Settings::AcousticalGain, 10},
    {"AcousticalAGC", &Settings::AcousticalAGC, 0},
    {"UpBaudDivisor", &Settings::UpBaudDivisor, 10, 2, 20},
    {"PicBkgColor", &Settings::PicBkgColor, 0},
    {"PicForeColor", &Settings::PicForeColor, 5},
    {"GammaScale", &Settings::GammaScale, 0},
    {"RefreshTravelDialog", &Settings::RefreshTravelDialog, 0},
    {"SondeUsed", &Settings::SondeUsed, 0},
    {"WaterVelocity", &Settings::WaterVelocity, 1484},
    {"ImpWaterVelocity", &Settings::ImpWaterVelocity, 4868},
    {"PicOriented", &Settings::PicOriented, 0, 0, 2},
    {"SetDepthUnit", &Settings::SetDepthUnit, 0, 0, 1},
    {"CableType", &Settings::CableType, 0},
    {"DownEnergie", &Settings::DownEnergie, 15, 5, 60},
    {"UpGain", &Settings::UpGain, 25, 0, 40},
    {"MotorPeriod", &Settings::MotorPeriod, 87, 21, 127},
    {"PicResolution", &Settings::PicResolution, 2, 1, 4},
    {"Power", &Settings::Power, 90, 80, 125},
    {"PulsResolution", &Settings::PulsResolution, 1000, 500, 10000},
    {"UpholePulseWidth", &Settings::UpholePulseWidth, 15, 5, 60},
    {"LevelContrast", &Settings::LevelContrast, 0},
    {"SetFilter", &Settings::SetFilter, 50, 50, 2000},
    {"PaletteInUse", &Settings::PaletteInUse, 1},
};
constexpr IntKey kMotorPeriodPreset = {"MotorPeriod_M", &Settings::MotorPeriod, 87, 21, 127};

// The real keys with a page range, in file units. (MagneticOffset is read as it stands: a declination
// stored west, negative, means the same as its page's 0..359.99 value.)
struct RealRange {
    const char* key;
    double low, high;
};
constexpr RealRange kPulleysDiameter = {"PulleysDiameter", 2500, 15000};  // tenths of a millimetre
constexpr RealRange kPulleyCircumInch = {"PulleyCircumInch", 10.0, 60.0};

struct LasFlag {
    const char* key;
    bool Settings::*field;
};
constexpr LasFlag kLasFlags[] = {
    {"ExportSpeed", &Settings::ExportSpeed},     {"ExportIncl", &Settings::ExportIncl},
    {"ExportAzimuth", &Settings::ExportAzimuth}, {"ExportRoll", &Settings::ExportRoll},
    {"ExportMroll", &Settings::ExportMroll},     {"ExportTgrav", &Settings::ExportTgrav},
    {"ExportTDelta", &Settings::ExportTDelta},   {"ExportTgauss", &Settings::ExportTgauss},
    {"ExportRaw", &Settings::ExportRaw},         {"ExportGamm", &Settings::ExportGamm},
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
    Settings& s = settings_;
    loadNotes_.clear();
    paths_.settingsFile = resolveNoCase(programDir_ + kSettingsFileName).string();
    file_ = paths_.settingsFile;
    section_ = kMain;
    Load load(*this);

    std::string tempDir = GetString("Tempdir", systemTempDir(), kMain);
    std::string fileName = GetString("FileName", "none");
    std::string lastFile = GetString("LastFile", "none");
    std::string dataFile = GetString("DataFile", "none");
    std::string filePath = GetString("FilePath", "none");
    if (filePath == "none") {
        fileName = "Demo.VIV";
        lastFile = resolveNoCase(programDir_ + "Demo/Demo.HED").string();
        dataFile = resolveNoCase(programDir_ + "Demo/Demo.VIV").string();
        filePath = resolveNoCase(programDir_ + "Demo").string();
        WriteString("FileName", fileName);
        WriteString("LastFile", lastFile);
        WriteString("DataFile", dataFile);
        WriteString("FilePath", filePath);
    }
    paths_.tempDir = localTempDir(tempDir);
    paths_.dataFileName = nativePath(fileName);
    paths_.lastHeader = nativePath(lastFile);
    paths_.lastDataFile = nativePath(dataFile);
    paths_.logDir = nativePath(filePath);
    paths_.language = static_cast<std::uint16_t>(GetInt("languageID", 0));

    // The technical switches.
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

    s.RefreshTime = GetInt("RefreshTime", 999999);
    if (s.RefreshTime == 999999) {
        s.RefreshTime = 500;
        WriteInt("RefreshTime", 500);
    }
    if (s.RefreshTime < 100) s.RefreshTime = 100;
    s.ScreenRefreshTime = GetInt("ScreenRefreshTime", 999999);
    if (s.ScreenRefreshTime == 999999) {
        s.ScreenRefreshTime = 2000;
        WriteInt("ScreenRefreshTime", 2000);
    }
    if (s.ScreenRefreshTime < 200) s.ScreenRefreshTime = 200;

    std::setlocale(LC_NUMERIC, "C");
    for (const IntKey& k : kIntKeys)
        s.*k.field = static_cast<int>(inRange(k.key, GetInt(k.key, k.fallback), k.low, k.high));
    for (size_t i = 0; i < s.MotorPeriodPreset.size(); ++i) {
        const std::string key = format("%s%zu", kMotorPeriodPreset.key, i + 1);
        s.MotorPeriodPreset[i] =
            static_cast<int>(inRange(key.c_str(), GetInt(key.c_str(), kMotorPeriodPreset.fallback),
                                     kMotorPeriodPreset.low, kMotorPeriodPreset.high));
    }

    s.UpBlanking = GetInt("UpBlanking", 1200);
    s.UpWindow = GetInt("UpWindow", 500);
    s.DisplayBlanking = GetInt("DisplayBlanking", static_cast<int>(s.UpBlanking));
    s.DisplayWindow = GetInt("DisplayWindow", static_cast<int>(s.UpWindow));
    s.SavedDisplayBlanking = s.DisplayBlanking;
    s.SavedDisplayWindow = s.DisplayWindow;
    s.DepthMemo = GetDouble("DepthMemo", 0.0);
    s.ShowPhantom = GetBool("ShowPhantom", 0);
    s.BlackAndWhite = GetBool("BlackAndWhite", 0);
    const Settings defaults;
    for (size_t i = 0; i < s.PicColorRef.size(); ++i) {
        std::string key = format("PicColorRef%zu", i);
        s.PicColorRef[i] =
            static_cast<std::uint32_t>(GetInt(key.c_str(), static_cast<int>(defaults.PicColorRef[i])));
    }
    s.PaletteScale = {0, 127, 255, 0, 127, 255, 80};

    s.ShownDepthUnit = s.SetDepthUnit;
    s.ShownGamma = s.GammaScale != 0 ? 1 : 0;

    s.PulleyDir = GetBool("PulleyDir", 1);
    s.UpGainCommand = s.UpGain;
    s.MagneticOffset = GetDouble("MagneticOffset", 0.0);
    s.PulleysDiameter = inRange(kPulleysDiameter.key, GetInt(kPulleysDiameter.key, 5000),
                                kPulleysDiameter.low, kPulleysDiameter.high) /
                        10.0;
    if (s.SetDepthUnit == 1)
        s.PulleyCircumInch = inRange(kPulleyCircumInch.key, GetDouble(kPulleyCircumInch.key, 19.685),
                                     kPulleyCircumInch.low, kPulleyCircumInch.high);
    s.SavedLevelContrast = s.LevelContrast;
    s.DisplayTracking = GetBool("DisplayTracking", 1);
    s.SplashScreenOff = GetYesNo("SplashScreenOff", false);

    for (const auto& flag : kLasFlags) {
        s.*flag.field = true;
        if (!GetBool(flag.key, 1, kLas)) s.*flag.field = false;
    }

    SetSection(kMain);
    if (loadPalettes) loadPalettes();
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
    for (const auto& flag : kLasFlags)
        out.push_back({kLas, flag.key, s.*flag.field});
    return out;
}

}  // namespace quelt

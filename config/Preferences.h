#pragma once
// Loading and saving of the settings file Zorak.cfg, the placement file Zorak.dat and the technical
// switches, into the process-wide Settings, ProgramPaths and PlacementRecord.

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "config/Ini.h"
#include "config/Settings.h"
#include "platform/Operator.h"
#include "platform/SwitchStore.h"

namespace quelt {

inline constexpr const char* kSettingsFileName = "Zorak.cfg";
inline constexpr const char* kPlacementFileName = "Zorak.dat";
inline constexpr int kSaveAcquisitionReason = 101;

class CPreferences : public CIni {
  public:
    CPreferences(Settings& settings, ProgramPaths& paths, PlacementRecord& placements, Operator& op,
                 SwitchStore switches = SwitchStore());
    ~CPreferences() override = default;

    // Seams for the loaders that come with the sonde database and the palettes.
    std::function<void()> loadSondeDatabase;
    std::function<void()> loadPalettes;

    // The start-up load from the program folder `programDir`; runs once per Settings record.
    void LoadAll(const std::string& programDir);
    void LoadSettings();
    void SaveSettings();
    // Writes the acquisition keys when `reason` is 101; with `replayLoaded` also the playback display keys.
    void SaveAcquisitionSettings(int reason, bool replayLoaded);
    void SavePaths();
    void ResetPlacements();

    Settings& settings() { return settings_; }
    ProgramPaths& paths() { return paths_; }

    // One line per value that the last load found outside the range its setup page allows and clamped
    // (also in the diagnostic trace). The command line prints them on standard error.
    const std::vector<std::string>& loadNotes() const { return loadNotes_; }

    // The writes of the settings: a file that cannot be written (a read-only program folder, a full
    // disk) is reported to the operator once per run instead of being lost without a word.
    bool WriteString(const char* key, const std::string& text, const char* section = nullptr);
    bool WriteInt(const char* key, int value, const char* section = nullptr);
    bool WriteDouble(const char* key, double value, const char* section = nullptr);

  private:
    // The steps of LoadSettings.
    void loadPaths();
    void loadSwitches();
    void loadNumbers();
    void deriveShownValues();
    double inRange(const char* key, double value, double low, double high);

    std::string programDir_;
    Settings& settings_;
    ProgramPaths& paths_;
    PlacementRecord& placements_;
    Operator& operator_;
    SwitchStore switchStore_;
    std::vector<std::string> loadNotes_;
    bool saveFailureReported_ = false;
};

// The folder that stands for "the root of the system drive" in paths reset by the placement reset.
std::string defaultUserFolder();

// Every key of sections QueltLogger and LASGenerator with its value in memory, in file order.
using SettingValue = std::variant<bool, int, double, std::string>;
struct SettingItem {
    const char* section;
    std::string key;
    SettingValue value;
};
std::vector<SettingItem> listSettings(const Settings& settings, const ProgramPaths& paths);

}  // namespace quelt

#pragma once
// The sonde database Zorak.tol in the program directory: the channel list of the data line that every
// log carries (never written by the program) and ten slots of individual sondes with the offsets that
// depth correction, image orientation and the natural-gamma curve need.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/Channels.h"
#include "config/Settings.h"
#include "platform/Operator.h"

namespace quelt {

class CPreferences;

inline constexpr const char* kSondeDatabaseFileName = "Zorak.tol";
inline constexpr int kSondeSlotCount = 10;
inline constexpr int kMaxChannels = 50;

// Channel identifiers: the kind codes of the channels of the data line and of the log header.

// One slot of the database. The defaults are those of an empty slot.
struct SondeEntry {
    std::int32_t serialNumber = -999;
    double rotationOffset = 0.0;          // degrees, 0 to 359.99
    std::int32_t sondeLength = 207;       // centimetres
    std::int32_t heightOffset = 190;      // centimetres: sonde length minus window offset
    std::int32_t transducerLength = 69;   // carried as read
    std::int32_t travelTimeOffset = 132;  // microseconds: the two-way travel time at 42 mm diameter
    double deviationOffset = 151.0;       // centimetres
    double gammaOffset = 199.0;           // centimetres
    double gammaCoef = 1.0;
    bool gammaOnBoard = false;
    bool highSpeedCom = false;

    // A slot is in use when its serial number is above 0.
    bool inUse() const { return serialNumber > 0; }
    int windowOffset() const { return sondeLength - heightOffset; }
};

// One channel of the data line as the database declares it.
struct ChannelDef {
    std::string title;
    std::string mnemonic;
    std::string unit;
    std::int32_t sampleType = 0;
    std::int32_t kind = 0;
};

// The database record: one instance, owned by the application object. Operations run on the
// user-interface thread; the height offset and the high-speed flag of the current sonde may be read
// from any thread.
class SondeDatabase {
  public:
    SondeDatabase(Settings& settings, Operator& op);
    virtual ~SondeDatabase() = default;
    SondeDatabase(const SondeDatabase&) = delete;
    SondeDatabase& operator=(const SondeDatabase&) = delete;

    // Reads Zorak.tol into the record and selects the slot of SondeUsed (slot 0 when outside 0..9).
    // A missing file loads as no channels and ten free slots.
    void LoadSondeDatabase();
    // Makes the slot (0..9) current and sets SondeUsed; an index outside 0..9 selects slot 0.
    void SelectSonde(int slot);
    // The first slot whose serial number equals `serial`.
    std::optional<int> FindSonde(int serial) const;
    // Asks for an import file and adds or overwrites a slot from it; true when a slot was written.
    bool ImportSonde();
    // Blanks the current slot after the operator confirms; true when removed.
    bool RemoveSonde();
    // Writes every key of the slot's section.
    bool SaveSonde(int slot);
    // Write RotationOffset ("%#.1f") and GammaCoef ("%#.2f") of the current slot.
    bool SaveRotationOffset();
    bool SaveGammaCoef();

    // Sets the value in the current slot and in the current-sonde copy (the probe page's edits).
    void setRotationOffset(double degrees);
    void setGammaCoef(double coef);

    int currentSlot() const { return current_; }
    // The copy of the current slot.
    const SondeEntry& current() const { return currentSonde_; }
    const SondeEntry& slot(int index) const { return slots_.at(static_cast<size_t>(index)); }
    // Replaces a slot in memory (the sonde file dialog's "Write" before SaveSonde); the current-sonde
    // copy follows when it is the current slot.
    void setSlot(int index, const SondeEntry& entry);
    int usedSlotCount() const;

    int channelCount() const { return static_cast<int>(channels_.size()); }
    const std::vector<ChannelDef>& channels() const { return channels_; }

    // The current sonde's height offset (centimetres) and high-speed flag, safe from any thread.
    int heightOffset() const { return heightOffset_.load(); }
    bool highSpeed() const { return highSpeed_.load(); }

    // The full path of Zorak.tol in the program directory.
    static std::string filePath();

  private:
    void publishCurrent();

    Settings& settings_;
    Operator& operator_;
    int current_ = 0;
    std::vector<ChannelDef> channels_;
    std::array<SondeEntry, kSondeSlotCount> slots_{};
    SondeEntry currentSonde_;
    std::atomic<int> heightOffset_{190};
    std::atomic<bool> highSpeed_{false};
};

// Lets the settings load (LoadAll) load the database through its seam.
void connectSondeDatabase(CPreferences& preferences, SondeDatabase& database);

}  // namespace quelt

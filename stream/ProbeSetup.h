#pragma once
// The probe page and the "*.tol" tab without their windows: supply voltage, magnetic declination, the
// sonde in use, the two calibration values an operator may touch in the field (rotation offset and gamma
// coefficient, behind a confirmation), the natural-gamma display, and Add / Remove / Write through the
// sonde database.

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "stream/SetupPorts.h"

namespace quelt {

inline constexpr int kMinSupplyVoltage = 80;
inline constexpr int kMaxSupplyVoltage = 125;
inline constexpr double kMaxDeclination = 359.99;
inline constexpr double kMaxRotationOffset = 359.9;
inline constexpr double kMinGammaCoef = 0.2;
inline constexpr double kMaxGammaCoefEntry = 1.99;  // the probe page's limit
inline constexpr double kMaxGammaCoefFile = 5.0;    // the "*.tol" tab's (and the import's) limit

// Every field of a database slot as the "*.tol" tab shows and reads it.
struct TolFields {
    std::string serialNumber, sondeLength, windowOffset, deviationOffset, rotationOffset, offsetD42;
    std::string gammaOffset, gammaCoef;
    bool highSpeed = false, gammaOnBoard = false;
};

class ProbeSetup {
  public:
    explicit ProbeSetup(SetupShared& shared);

    static constexpr std::array<int, 8> kGammaScales = {0, 100, 200, 500, 1000, 2000, 5000, 10000};
    static std::string gammaScaleText(int index);  // "Hide", "100" ...
    // The list text of a slot: "%04d" of its serial, "-" when empty.
    std::string slotText(int slot) const;

    // "S&upply Voltage" confirmed: 80..125 is stored and sent with command 0x01.
    bool applyVoltage(int volts);
    // "&Magnetic Declination" confirmed: returns the text the entry shows afterwards (two decimals).
    std::string applyDeclination(const std::string& entry);
    // One spin step of 0.1 with the wrap: above 359.99 to 0, below 0 to 359.99.
    static double stepDeclination(double value, int direction);

    // A sonde chosen from the list; an empty slot is refused while the sonde is powered.
    bool chooseSonde(int slot);
    bool addEnabled() const { return s_.sondes.usedSlotCount() < kSondeSlotCount; }
    bool add();     // ImportSonde
    bool remove();  // RemoveSonde

    // Rotation-offset editing: start (behind the question), the entry text while editing, Enter
    // (checks without leaving), save, cancel. The shown text is the stored value with one decimal.
    bool startRotationEdit(Millis now);
    void setRotationEntry(const std::string& text) { rotationEntry_ = text; }
    const std::string& rotationEntry() const { return rotationEntry_; }
    void checkRotationEntry();
    void saveRotationEdit(Millis now);
    void cancelRotationEdit(Millis now);
    bool rotationEditing() const { return rotationEditing_; }
    std::string rotationText() const;

    // Gamma-coefficient editing: start (the same question), the entry, save (leaves editing either way).
    bool startGammaEdit();
    void setGammaEntry(const std::string& text) { gammaEntry_ = text; }
    const std::string& gammaEntry() const { return gammaEntry_; }
    bool saveGammaEdit();
    void cancelGammaEdit();
    bool gammaEditing() const { return gammaEditing_; }
    std::string gammaCoefText() const;

    // Either edit open: the Power button, closing the travel tools and leaving the tab are guarded.
    bool editOpen() const { return rotationEditing_ || gammaEditing_; }
    // Closes both edits, saving them (the sheet's "Do you save now ..." answered Yes).
    void closeEdits(Millis now);

    // "&Gamma Display" chosen (list index) and "Color" chosen (0x00BBGGRR).
    void chooseGammaScale(int index);
    int gammaScaleIndex() const;
    void chooseGammaColour(std::uint32_t colour);
    // The sonde whose gamma flag rules the page: the replayed log's (by serial) while playing, else the
    // selected one.
    bool gammaDetector(std::optional<int> replaySerial) const;

    // The "*.tol" tab: a slot chosen in "dbase" (made current without writing the settings file), its
    // fields, and "&Write" (silent clamps, SaveSonde, reselect).
    void chooseTolSlot(int slot);
    TolFields tolFields(int slot) const;
    bool writeTol(int slot, const TolFields& fields);

    // The offset-edit notification (1 start, 2 end) for the picture page; the travel tools get it
    // through the ports.
    std::function<void(int code, Millis now)> onOffsetEdit;

  private:
    bool confirmCritical();
    void notifyOffsetEdit(int code, Millis now);
    void editFlagsChanged();
    void selected();

    SetupShared& s_;
    std::string rotationEntry_, gammaEntry_;
    bool rotationEditing_ = false, gammaEditing_ = false;
};

}  // namespace quelt

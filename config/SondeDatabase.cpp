#include "config/SondeDatabase.h"

#include <algorithm>
#include <filesystem>

#include "config/Ini.h"
#include "config/Preferences.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace quelt {

namespace {
constexpr double kAbsentReal = -999.0;

std::string slotSection(int slot) {
    return format("Sonde%d", slot);
}

// The import file to read for the chosen name: the chosen file when it is a ".vxq" or ".txt" file,
// otherwise the file of the same base name with either extension.
std::optional<std::string> importFileFor(const std::string& chosen) {
    fs::path path(nativePath(chosen));
    std::error_code ec;
    auto usable = [&](const fs::path& p) { return fs::is_regular_file(p, ec); };
    std::string ext = toUpper(path.extension().string());
    if ((ext == ".VXQ" || ext == ".TXT") && usable(resolveNoCase(path))) return resolveNoCase(path).string();
    for (const char* e : {".vxq", ".txt"}) {
        fs::path candidate = resolveNoCase(fs::path(path).replace_extension(e));
        if (usable(candidate)) return candidate.string();
    }
    return std::nullopt;
}
}  // namespace

SondeDatabase::SondeDatabase(Settings& settings, Operator& op) : settings_(settings), operator_(op) {
    publishCurrent();
}

std::string SondeDatabase::filePath() {
    return resolveNoCase(programDirectory() + kSondeDatabaseFileName).string();
}

void SondeDatabase::LoadSondeDatabase() {
    CIni ini(filePath(), kApplicationName, 1);
    CIni::Load load(ini);
    int total = ini.GetInt("TotalChannel", 0, "Commun");
    total = std::clamp(total, 0, kMaxChannels);

    for (int i = 0; i < kSondeSlotCount; ++i) {
        std::string section = slotSection(i);
        const char* sec = section.c_str();
        SondeEntry e;
        e.serialNumber = ini.GetInt("SerialNumber", -999, sec);
        e.sondeLength = ini.GetInt("SondeLenght", 207, sec);
        int windowOffset = ini.GetInt("WindowOffset", -999, sec);
        if (windowOffset != -999) {
            e.heightOffset = e.sondeLength - windowOffset;
        } else {
            int height = ini.GetInt("HeightOffset", -999, sec);
            e.heightOffset = height != -999 ? height : e.sondeLength - 17;
        }
        e.rotationOffset = ini.GetDouble("RotationOffset", kAbsentReal, sec);
        if (e.rotationOffset == kAbsentReal) e.rotationOffset = ini.GetDouble("ImageOffset", 0.0, sec);
        e.transducerLength = ini.GetInt("PiezzoLenght", 69, sec);
        e.travelTimeOffset = ini.GetInt("D42Travel", 132, sec);
        e.deviationOffset = ini.GetInt("DeviationOffset", 151, sec);
        e.gammaOffset = ini.GetInt("GammaOffset", 199, sec);
        e.gammaOnBoard = ini.GetBool("GammaOnBoard", 0, sec);
        e.gammaCoef = ini.GetFloat("GammaCoef", 1.0f, sec);
        e.highSpeedCom = ini.GetYesNo("HighSpeedCOM", false, sec);
        slots_[static_cast<size_t>(i)] = e;
    }

    SelectSonde(settings_.SondeUsed);

    channels_.clear();
    for (int i = 0; i < total; ++i) {
        std::string section = format("Channel%d", i);
        const char* sec = section.c_str();
        ChannelDef c;
        c.title = ini.GetString("Title", "", sec);
        c.mnemonic = ini.GetString("TitleShort", "", sec);
        c.unit = ini.GetString("Unit", "", sec);
        c.sampleType = ini.GetInt("SampleType", 0, sec);
        c.kind = channelKindFromMnemonic(c.mnemonic);
        channels_.push_back(std::move(c));
    }
}

void SondeDatabase::SelectSonde(int slot) {
    if (slot < 0 || slot >= kSondeSlotCount) slot = 0;
    current_ = slot;
    settings_.SondeUsed = slot;
    currentSonde_ = slots_[static_cast<size_t>(slot)];
    publishCurrent();
}

void SondeDatabase::publishCurrent() {
    heightOffset_.store(currentSonde_.heightOffset);
    highSpeed_.store(currentSonde_.highSpeedCom);
}

std::optional<int> SondeDatabase::FindSonde(int serial) const {
    for (int i = 0; i < kSondeSlotCount; ++i)
        if (slots_[static_cast<size_t>(i)].serialNumber == serial) return i;
    return std::nullopt;
}

int SondeDatabase::usedSlotCount() const {
    return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [](auto& s) { return s.inUse(); }));
}

void SondeDatabase::setSlot(int index, const SondeEntry& entry) {
    slots_.at(static_cast<size_t>(index)) = entry;
    if (index == current_) {
        currentSonde_ = entry;
        publishCurrent();
    }
}

void SondeDatabase::setRotationOffset(double degrees) {
    slots_[static_cast<size_t>(current_)].rotationOffset = degrees;
    currentSonde_.rotationOffset = degrees;
}

void SondeDatabase::setGammaCoef(double coef) {
    slots_[static_cast<size_t>(current_)].gammaCoef = coef;
    currentSonde_.gammaCoef = coef;
}

bool SondeDatabase::ImportSonde() {
    int freeSlot = -1;
    for (int i = 0; i < kSondeSlotCount && freeSlot < 0; ++i)
        if (!slots_[static_cast<size_t>(i)].inUse()) freeSlot = i;
    if (freeSlot < 0) {
        operator_.message("The maximum of storable sonde is reached.", MessageKind::Warning);
        return false;
    }

    auto chosen = operator_.chooseFile(
        "Import sonde file", programDirectory(),
        "VEXA importation sonde File (*.vxq *.VXQ);;VEXA importation sonde File (*.txt *.TXT)", false);
    if (!chosen) return false;
    auto file = importFileFor(*chosen);
    if (!file) {
        operator_.message("Bad sonde file", MessageKind::Error);
        return false;
    }

    CIni in(*file, "Sonde", 1);
    CIni::Load load(in);
    SondeEntry e;
    e.serialNumber = in.GetInt("SerialNumber", 0);
    // A serial number not above 0 would be stored in a slot that counts as free: nothing to import.
    if (e.serialNumber <= 0) {
        operator_.message("Bad sonde file", MessageKind::Error);
        return false;
    }
    e.sondeLength = in.GetInt("SondeLength", 209);
    e.heightOffset = e.sondeLength - in.GetInt("WindowOffset", 15);
    e.deviationOffset = in.GetInt("DeviationOffset", 130);
    e.rotationOffset = std::clamp(in.GetDouble("RotationOffset", 0.0), 0.0, 359.99);
    e.travelTimeOffset = in.GetInt("OffsetD42", 100);
    e.gammaOnBoard = in.GetYesNo("GammaOnBoard", false);
    e.gammaOffset = in.GetInt("GammaOffset", 170);
    e.gammaCoef = std::clamp(in.GetFloat("GammaCoef", 1.0f), 0.2f, 5.0f);
    e.highSpeedCom = in.GetYesNo("HSCOM", false);

    int target = freeSlot;
    if (auto same = FindSonde(e.serialNumber)) {
        if (!operator_.askYesNo("A sonde with the same serial number is already stored in dbase. Overwrite?"))
            return false;
        target = *same;
    }
    // The transducer length is not part of an import file: the slot keeps its own.
    e.transducerLength = slots_[static_cast<size_t>(target)].transducerLength;
    slots_[static_cast<size_t>(target)] = e;
    SelectSonde(target);
    return SaveSonde(target);
}

bool SondeDatabase::RemoveSonde() {
    if (!operator_.askYesNo("Do you want remove this sonde from dbase ?")) return false;
    SondeEntry blank;
    blank.transducerLength = slots_[static_cast<size_t>(current_)].transducerLength;
    slots_[static_cast<size_t>(current_)] = blank;
    currentSonde_ = blank;
    publishCurrent();
    bool written = SaveSonde(current_);
    operator_.message("Sonde removed.\nDo not forget to select another sonde");
    return written;
}

bool SondeDatabase::SaveSonde(int slot) {
    if (slot < 0 || slot >= kSondeSlotCount) return false;
    const SondeEntry& e = slots_[static_cast<size_t>(slot)];
    std::string section = slotSection(slot);
    CIni ini(filePath(), section, 1);
    return writeProfileStrings(
        ini.File(), section,
        {
            {"SerialNumber", format("%04d", e.serialNumber)},
            {"SondeLenght", format("%d", e.sondeLength)},
            {"WindowOffset", format("%d", e.windowOffset())},
            {"DeviationOffset", format("%d", static_cast<int>(e.deviationOffset))},
            {"RotationOffset", format("%#.1f", e.rotationOffset)},
            {"D42Travel", format("%d", e.travelTimeOffset)},
            {"GammaOnBoard", e.gammaOnBoard ? "-1" : "0"},
            {"GammaOffset", format("%d", static_cast<int>(e.gammaOffset))},
            {"GammaCoef", formatG(static_cast<double>(static_cast<float>(e.gammaCoef)))},
            {"HighSpeedCOM", e.highSpeedCom ? "yes" : "no"},
        });
}

bool SondeDatabase::SaveRotationOffset() {
    std::string section = slotSection(current_);
    CIni ini(filePath(), section, 1);
    return ini.WriteString("RotationOffset",
                           format("%#.1f", slots_[static_cast<size_t>(current_)].rotationOffset));
}

bool SondeDatabase::SaveGammaCoef() {
    std::string section = slotSection(current_);
    CIni ini(filePath(), section, 1);
    return ini.WriteString("GammaCoef", format("%#.2f", slots_[static_cast<size_t>(current_)].gammaCoef));
}

void connectSondeDatabase(CPreferences& preferences, SondeDatabase& database) {
    preferences.loadSondeDatabase = [&database] { database.LoadSondeDatabase(); };
}

}  // namespace quelt

#pragma once
// The in-memory records of the settings file, the program paths and the placement file.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/SwitchStore.h"

namespace quelt {

// Every key of section QueltLogger (and LASGenerator) of Zorak.cfg, one field per key, named after it.
// Written on the user-interface thread; the link and stream threads read single fields.
struct Settings {
    // Paths and language live in ProgramPaths.
    bool loaded = false;  // LoadAll has run for this record

    // Timing, milliseconds.
    int RefreshTime = 500;
    int ScreenRefreshTime = 2000;

    // Acquisition and travel-time display.
    int UpGain = 25;           // acquisition group
    int UpGainCommand = 25;    // sonde-command group; SaveSettings copies UpGain into it before writing
    double UpBlanking = 1200;  // tenths of a microsecond
    double UpWindow = 500;
    double DisplayBlanking = 1200;
    double DisplayWindow = 500;
    double SavedDisplayBlanking = 1200;  // restored by the probe panel after replay
    double SavedDisplayWindow = 500;
    int AcousticalGain = 10;
    int AcousticalAGC = 0;
    int UpBaudDivisor = 10;
    double DepthMemo = 0.0;
    int SampleDephtMode = 1;
    int WaterVelocity = 1484;
    int ImpWaterVelocity = 4868;
    bool ShowPhantom = false;
    int RefreshTravelDialog = 0;

    // Picture and display.
    int PicBkgColor = 0;
    int PicForeColor = 5;
    int GammaScale = 0;
    int ShownGamma = 0;
    bool BlackAndWhite = false;
    std::array<std::uint32_t, 7> PicColorRef = {0x510006, 0x0078B9, 0x80FFFF, 0x510006,
                                                0x0078B9, 0x80FFFF, 0xFFFF00};
    std::array<int, 7> PaletteScale = {0, 127, 255, 0, 127, 255, 80};
    int PicOriented = 0;  // 0 none, 1 magnetic north, 2 high side
    bool DisplayTracking = true;
    int LevelContrast = 0;
    int SavedLevelContrast = 0;
    int PaletteInUse = 1;
    bool SplashScreenOff = false;
    bool QualityTracks = false;  // a key of our own: the quality tracks shown beside the pictures
    // A key of our own: the vertical step the operator wants between two lines, millimetres; with the
    // revolutions a second it gives the highest logging speed that leaves no gap.
    double QualityStepMm = 5.0;
    // A key of our own: the total magnetic field |B| is judged against, in the sonde's unit (gauss); 0
    // judges it against the field the sonde measured over the first metres of the log.
    double QualityFieldGauss = 0.0;

    // Sonde command parameters.
    int SondeUsed = 0;
    int DownEnergie = 15;
    int UpholePulseWidth = 15;
    int MotorPeriod = 87;
    std::array<int, 4> MotorPeriodPreset = {87, 87, 87, 87};  // MotorPeriod_M1 .. MotorPeriod_M4
    int PicResolution = 2;
    int SetFilter = 50;
    double MagneticOffset = 0.0;
    int Power = 90;

    // Winch and depth.
    bool PulleyDir = true;
    int CableType = 0;
    int PulsResolution = 1000;
    double PulleysDiameter = 500.0;  // millimetres in memory; tenths of a millimetre in the file
    double PulleyCircumInch = 19.685;
    int SetDepthUnit = 0;  // 0 metres, 1 feet
    int ShownDepthUnit = 0;

    // Section LASGenerator.
    bool ExportSpeed = true;
    bool ExportIncl = true;
    bool ExportAzimuth = true;
    bool ExportRoll = true;
    bool ExportMroll = true;
    bool ExportTgrav = true;
    bool ExportTDelta = true;
    bool ExportTgauss = true;
    bool ExportRaw = true;
    bool ExportGamm = true;

    // The technical switches of the per-user store.
    TechnicalSwitches switches;
};

// The paths of the program and of the last log. Stored paths use native separators.
struct ProgramPaths {
    std::string programDir;      // the home, with its trailing separator
    std::string settingsFile;    // full path of Zorak.cfg
    std::string lastHeader;      // LastFile
    std::string logDir;          // FilePath
    std::string lastDataFile;    // DataFile
    std::string dataFileName;    // FileName
    std::string tempDir;         // Tempdir
    std::uint16_t language = 0;  // languageID
};

// One window placement: eleven little-endian 32-bit integers.
struct WindowPlacement {
    std::int32_t length = 0, flags = 0, showCmd = 0;
    std::int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;

    // A slot holds a placement when its length, read as unsigned, is non-zero and below 1000.
    bool valid() const {
        auto n = static_cast<std::uint32_t>(length);
        return n != 0 && n < 1000;
    }
};

enum class PlacementSlot { MainWindow = 0, DepthMagnifier, ToolsBox, TravelTime, LoggerSetup };

// The 237 bytes of Zorak.dat: marker, 16 reserved bytes, five 44-byte placement slots.
struct PlacementRecord {
    static constexpr size_t kSize = 237;
    static constexpr size_t kSlotSize = 44;
    static constexpr size_t kFirstSlot = 17;
    std::array<std::uint8_t, kSize> bytes{};

    WindowPlacement get(PlacementSlot slot) const;
    void set(PlacementSlot slot, const WindowPlacement& placement);
};

}  // namespace quelt

#pragma once
// A simulated run: a winch profile, a borehole, a cable, a sonde and the faults to inject, reproducible
// from a seed. Named scenarios are built in; a user writes their own as a small INI file.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/Borehole.h"
#include "sim/Cable.h"
#include "sim/Winch.h"

namespace quelt::sim {

// Faults on demand. Rates are probabilities per uplink byte or per frame; times are seconds of the run
// (negative: never).
struct FaultSpec {
    double corruptRate = 0;     // a byte of the uplink is changed
    double dropRate = 0;        // a byte of the uplink is lost
    double insertRate = 0;      // a stray byte is inserted
    double lostFrameRate = 0;   // a whole frame is lost (its sequence number is skipped)
    bool encoderFault = false;  // alarm bit 6 in every frame
    bool lowBattery = false;    // alarm bit 7 in every frame
    bool sondeSilent = false;   // the sonde never takes commands 0x04 and 0x05
    int sondeEchoError = 0;     // added to the blanking and window the sonde reads back
    int loggerEchoError = 0;    // added to the power byte the logger reads back
    // The logger and sonde read back a wrong uphole gain, motor period and winch mode for any value other
    // than the first one they were given (the power-up values echo right, a later change never does).
    bool changedEchoWrong = false;
    double loggerResetAt = -1;  // the logger loses power for a moment and forgets command 0x01
    double pullAt = -1;         // the USB cable is pulled ...
    double returnAt = -1;       // ... and plugged back
    double garbledAt = -1;      // from then on no reply of the sonde reaches the logger clean
};

struct SondeSpec {
    double d42Travel = 132.0;  // us
    bool threeByteSamples =
        false;                     // honour format 6 literally (three-byte samples with a one-byte amplitude)
    bool loggerFrame19 = false;    // the logger sends 19-byte logger frames
    bool encoderReversed = false;  // the encoder counts the other way round
    // The serial number of the simulated logger's bridge; it always starts with "SIM-" (a scenario's own
    // serial gets the prefix), so the logger is never taken for a real one.
    std::string serial = "SIM-00001234";
};

struct Scenario {
    std::string name = "clean";
    std::string description;
    std::uint64_t seed = 1;
    WinchProfile winch;
    BoreholeStyle hole;
    double waterVelocity = 1484;
    double waterLevel = 2.0;
    CableSpec cable;
    SondeSpec sonde;
    FaultSpec faults;
};

struct ScenarioInfo {
    std::string name;
    std::string description;
};

// The built-in scenarios, in the order `--list` shows them.
std::vector<ScenarioInfo> builtinScenarios();
// A built-in scenario by name (case-insensitive); false when there is none of that name.
bool builtinScenario(const std::string& name, std::uint64_t seed, Scenario& out);

// A scenario from an INI file: section [Scenario] (Base = a built-in name to start from, Seed,
// Description), [Winch] (StartDepth, StartPause, Acceleration, Legs = "depth@speed/pause, ..."),
// [Borehole] (MaxDepth, BitDiameter, CasingBottom, Tilt, TiltPer100m, Azimuth, AzimuthPer100m,
// FracturesPer10m, WashoutsPer100m, WaterVelocity, WaterLevel), [Cable] (Type = 4cond|mono, Length,
// Noise, DriveWindow = "lo..hi" and GainWindow = "lo..hi" to pin the windows), [Sonde] (D42Travel, Serial,
// LoggerFrame19, ThreeByteSamples, EncoderReversed) and [Faults] (CorruptRate, DropRate, InsertRate,
// LostFrameRate, EncoderFault, LowBattery, SondeSilent, SondeEchoError, LoggerEchoError, ChangedEchoWrong,
// LoggerResetAt, PullAt, ReturnAt, GarbledAt). Missing keys keep the base's values.
bool loadScenarioFile(const std::string& path, Scenario& out, std::string& error);

// A name given to --scenario: a built-in name, else a path to an INI file.
bool resolveScenario(const std::string& nameOrPath, std::uint64_t seed, bool seedGiven, Scenario& out,
                     std::string& error);

// The borehole a scenario describes.
BoreholeSpec boreholeOf(const Scenario& s);

}  // namespace quelt::sim

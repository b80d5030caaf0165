#include "sim/Scenario.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "config/Ini.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace quelt::sim {
namespace {

WinchProfile logDownAndUp(double from, double to, double speed) {
    WinchProfile w;
    w.startDepth = from;
    // The winch starts within seconds of the power-up, so a short run already logs.
    w.startPause = 2;
    w.legs = {{to, speed, 30}, {from, speed * 2, 10}};
    return w;
}

struct Builtin {
    const char* name;
    const char* description;
    void (*make)(Scenario&);
};

const Builtin kBuiltins[] = {
    {"clean", "a clean log: short four-conductor cable, near-vertical hole, 10 m to 120 m at 3 m/min",
     [](Scenario& s) { s.winch = logDownAndUp(10, 120, 3.0); }},
    {"deviated", "a deviated and fractured hole: 25 to 40 degrees of tilt, many fractures and washouts",
     [](Scenario& s) {
         s.winch = logDownAndUp(10, 200, 2.0);
         s.hole.tilt0 = 25;
         s.hole.tiltPer100m = 8;
         s.hole.azimuth0 = 130;
         s.hole.azimuthPer100m = 15;
         s.hole.fracturesPer10m = 4;
         s.hole.washoutsPer100m = 10;
     }},
    {"mono", "a noisy long mono cable (3.5 km): only the slow speeds carry the frames",
     [](Scenario& s) {
         s.winch = logDownAndUp(20, 300, 3.0);
         s.cable = {CableKind::Mono, 3500, 1.0};
         s.faults.corruptRate = 2e-5;
     }},
    {"pulled", "the USB cable is pulled 60 s into the run and plugged back 20 s later",
     [](Scenario& s) {
         s.winch = logDownAndUp(10, 120, 3.0);
         s.faults.pullAt = 60;
         s.faults.returnAt = 80;
     }},
    {"refusing", "a sonde that refuses its commands: 0x04 and 0x05 are never taken",
     [](Scenario& s) {
         s.winch = logDownAndUp(10, 120, 3.0);
         s.faults.sondeSilent = true;
     }},
    {"noisy", "a clean hole behind a noisy link: corrupted, dropped and inserted bytes, lost frames",
     [](Scenario& s) {
         s.winch = logDownAndUp(10, 120, 3.0);
         s.faults.corruptRate = 2e-4;
         s.faults.dropRate = 1e-4;
         s.faults.insertRate = 1e-4;
         s.faults.lostFrameRate = 0.01;
     }},
    {"alarms", "an encoder fault and a low battery raise both alarm bits",
     [](Scenario& s) {
         s.winch = logDownAndUp(10, 60, 3.0);
         s.faults.encoderFault = true;
         s.faults.lowBattery = true;
     }},
    {"reset", "the logger loses power 45 s into the run and forgets command 0x01",
     [](Scenario& s) {
         s.winch = logDownAndUp(10, 120, 3.0);
         s.faults.loggerResetAt = 45;
     }},
    {"misecho", "a changed uphole gain, motor period or winch mode is read back wrong",
     [](Scenario& s) {
         s.winch = logDownAndUp(10, 120, 3.0);
         s.faults.changedEchoWrong = true;
     }},
};

bool parseLegs(const std::string& text, std::vector<WinchLeg>& legs) {
    legs.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(',', pos);
        std::string item = trim(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        pos = end == std::string::npos ? text.size() : end + 1;
        if (item.empty()) continue;
        WinchLeg leg;
        double pause = 0;
        int n = std::sscanf(item.c_str(), "%lf@%lf/%lf", &leg.toDepth, &leg.speed, &pause);
        if (n < 2) return false;
        leg.pauseAfter = n == 3 ? pause : 0;
        legs.push_back(leg);
    }
    return !legs.empty();
}

}  // namespace

std::vector<ScenarioInfo> builtinScenarios() {
    std::vector<ScenarioInfo> out;
    for (const Builtin& b : kBuiltins)
        out.push_back({b.name, b.description});
    return out;
}

bool builtinScenario(const std::string& name, std::uint64_t seed, Scenario& out) {
    for (const Builtin& b : kBuiltins) {
        if (equalsNoCase(name, b.name)) {
            out = Scenario{};
            out.name = b.name;
            out.description = b.description;
            out.seed = seed;
            b.make(out);
            return true;
        }
    }
    return false;
}

bool loadScenarioFile(const std::string& path, Scenario& out, std::string& error) {
    std::string bytes, why;
    if (readRegularFile(path, bytes, &why) != ReadFileResult::Ok) {
        error = "cannot read scenario file " + path + (why.empty() ? "" : " (" + why + ")");
        return false;
    }
    CIni ini(path, 0);
    std::string base = ini.GetString("Base", "clean", "Scenario");
    auto seed = static_cast<std::uint64_t>(ini.GetInt("Seed", 1, "Scenario"));
    if (!builtinScenario(base, seed, out)) {
        error = "unknown base scenario " + base;
        return false;
    }
    out.name = path;
    out.description = ini.GetString("Description", out.description, "Scenario");

    WinchProfile& w = out.winch;
    w.startDepth = ini.GetDouble("StartDepth", w.startDepth, "Winch");
    w.startPause = ini.GetDouble("StartPause", w.startPause, "Winch");
    w.acceleration = ini.GetDouble("Acceleration", w.acceleration, "Winch");
    std::string legs = ini.GetString("Legs", "", "Winch");
    if (!legs.empty() && !parseLegs(legs, w.legs)) {
        error = "bad Legs in [Winch]: " + legs + " (expected depth@speed/pause, ...)";
        return false;
    }

    BoreholeStyle& h = out.hole;
    h.maxDepth = ini.GetDouble("MaxDepth", h.maxDepth, "Borehole");
    h.bitDiameter = ini.GetDouble("BitDiameter", h.bitDiameter, "Borehole");
    h.casingBottom = ini.GetDouble("CasingBottom", h.casingBottom, "Borehole");
    h.tilt0 = ini.GetDouble("Tilt", h.tilt0, "Borehole");
    h.tiltPer100m = ini.GetDouble("TiltPer100m", h.tiltPer100m, "Borehole");
    h.azimuth0 = ini.GetDouble("Azimuth", h.azimuth0, "Borehole");
    h.azimuthPer100m = ini.GetDouble("AzimuthPer100m", h.azimuthPer100m, "Borehole");
    h.fracturesPer10m = ini.GetDouble("FracturesPer10m", h.fracturesPer10m, "Borehole");
    h.washoutsPer100m = ini.GetDouble("WashoutsPer100m", h.washoutsPer100m, "Borehole");
    out.waterVelocity = ini.GetDouble("WaterVelocity", out.waterVelocity, "Borehole");
    out.waterLevel = ini.GetDouble("WaterLevel", out.waterLevel, "Borehole");

    std::string type = ini.GetString("Type", out.cable.kind == CableKind::Mono ? "mono" : "4cond", "Cable");
    out.cable.kind = equalsNoCase(type, "mono") ? CableKind::Mono : CableKind::FourConductor;
    out.cable.lengthM = ini.GetDouble("Length", out.cable.lengthM, "Cable");
    out.cable.noiseDb = ini.GetDouble("Noise", out.cable.noiseDb, "Cable");
    for (auto [key, window] : {std::pair{"DriveWindow", &out.cable.pinnedDrives},
                               std::pair{"GainWindow", &out.cable.pinnedGains}}) {
        std::string text = ini.GetString(key, "", "Cable");
        if (text.empty()) continue;
        // Whole gains and drives: "12..30" takes 12 and 30 and nothing beyond.
        const size_t dots = text.find("..");
        char *loEnd = nullptr, *hiEnd = nullptr;
        const std::string loText = text.substr(0, dots),
                          hiText = dots == std::string::npos ? "" : text.substr(dots + 2);
        const double lo = std::strtod(loText.c_str(), &loEnd), hi = std::strtod(hiText.c_str(), &hiEnd);
        if (dots == std::string::npos || loEnd == loText.c_str() || *loEnd || hiEnd == hiText.c_str() ||
            *hiEnd || hi < lo) {
            error = std::string("bad ") + key + " in [Cable]: " + text + " (expected lo..hi)";
            return false;
        }
        *window = {lo - 0.5, hi + 0.5};
    }

    SondeSpec& so = out.sonde;
    so.d42Travel = ini.GetDouble("D42Travel", so.d42Travel, "Sonde");
    so.serial = ini.GetString("Serial", so.serial, "Sonde");
    so.loggerFrame19 = ini.GetBool("LoggerFrame19", so.loggerFrame19, "Sonde");
    so.threeByteSamples = ini.GetBool("ThreeByteSamples", so.threeByteSamples, "Sonde");
    so.encoderReversed = ini.GetBool("EncoderReversed", so.encoderReversed, "Sonde");

    FaultSpec& f = out.faults;
    f.corruptRate = ini.GetDouble("CorruptRate", f.corruptRate, "Faults");
    f.dropRate = ini.GetDouble("DropRate", f.dropRate, "Faults");
    f.insertRate = ini.GetDouble("InsertRate", f.insertRate, "Faults");
    f.lostFrameRate = ini.GetDouble("LostFrameRate", f.lostFrameRate, "Faults");
    f.encoderFault = ini.GetBool("EncoderFault", f.encoderFault, "Faults");
    f.lowBattery = ini.GetBool("LowBattery", f.lowBattery, "Faults");
    f.sondeSilent = ini.GetBool("SondeSilent", f.sondeSilent, "Faults");
    f.sondeEchoError = ini.GetInt("SondeEchoError", f.sondeEchoError, "Faults");
    f.loggerEchoError = ini.GetInt("LoggerEchoError", f.loggerEchoError, "Faults");
    f.changedEchoWrong = ini.GetBool("ChangedEchoWrong", f.changedEchoWrong, "Faults");
    f.loggerResetAt = ini.GetDouble("LoggerResetAt", f.loggerResetAt, "Faults");
    f.pullAt = ini.GetDouble("PullAt", f.pullAt, "Faults");
    f.returnAt = ini.GetDouble("ReturnAt", f.returnAt, "Faults");
    f.garbledAt = ini.GetDouble("GarbledAt", f.garbledAt, "Faults");
    return true;
}

bool resolveScenario(const std::string& nameOrPath, std::uint64_t seed, bool seedGiven, Scenario& out,
                     std::string& error) {
    if (builtinScenario(nameOrPath, seed, out)) return true;
    if (!loadScenarioFile(nameOrPath, out, error)) {
        if (nameOrPath.find('.') == std::string::npos && nameOrPath.find('/') == std::string::npos)
            error = "unknown scenario " + nameOrPath + " (quelt simulate --list shows them)";
        return false;
    }
    if (seedGiven) out.seed = seed;
    return true;
}

BoreholeSpec boreholeOf(const Scenario& s) {
    BoreholeStyle style = s.hole;
    double deepest = s.winch.startDepth;
    for (const WinchLeg& l : s.winch.legs)
        deepest = std::max(deepest, l.toDepth);
    style.maxDepth = std::max(style.maxDepth, deepest + 20);
    BoreholeSpec hole = generateBorehole(s.seed, style);
    hole.waterVelocity = s.waterVelocity;
    hole.waterLevel = s.waterLevel;
    hole.toolDiameter = 42.0;
    return hole;
}

}  // namespace quelt::sim

// quelt setup: the values of the Logger Setup sheet, and changing them by the sheet's own rules.

#include <cmath>
#include <cstdio>
#include <optional>
#include <type_traits>
#include <variant>

#include "cli/CliOperator.h"
#include "cli/Command.h"
#include "cli/Headless.h"
#include "cli/Json.h"
#include "config/ProgramContext.h"
#include "link/Commands.h"
#include "link/SpeedTables.h"
#include "platform/Text.h"
#include "stream/AcquisitionSetup.h"

namespace quelt::cli {
namespace {

constexpr int kExitEchoMismatch = 4;  // the logger never echoed a value after the resends
constexpr Millis kLoggerWait = 10000;
constexpr Millis kCheckWait = 30000;

const char* const kUsage =
    "Usage: quelt [--home DIR] [--device sim|ftdi|serial:PATH] setup [--json] [--power]\n"
    "       quelt [--home DIR] [--device ...] setup set NAME=VALUE ... [--baud BAUDS]\n"
    "With --device sim: --scenario NAME, --seed N, --fast (simulated time) as for `quelt acquire`.\n\n"
    "Without `set`: prints every value of the Logger Setup sheet's pages (Winch, Probe, Communication,\n"
    "Acquisition Mode, *.tol) as stored. With --device, the logger is asked too and its read-backs are\n"
    "printed; --power switches the sonde on for the sonde's own read-backs (speed and uphole drive in use,\n"
    "resolution, motor period, temperatures) and off again.\n\n"
    "With `set`: each value is checked by the rules of its page (the page's text on standard error and exit\n"
    "2 when refused; then nothing at all is stored), applied in the pages' order with their side effects (a\n"
    "new speed lowers the uphole drive and raises the motor period) and stored. With --device the logger\n"
    "gets each value with its command and its echo is checked (the sonde is switched on for the\n"
    "Communication and Acquisition Mode values, and off again).\n"
    "Names, as in Zorak.cfg: PulleyDir CableType PulsResolution PulleysDiameter (mm) Power MagneticOffset\n"
    "UpBaudDivisor UpGain UpholePulseWidth DownEnergie PicResolution MotorPeriod PicOriented SetFilter;\n"
    "--baud 62500 chooses UpBaudDivisor by its speed.\n\n"
    "  --json    one JSON object, a member per page (\"winch\", \"probe\", \"communication\",\n"
    "            \"acquisitionMode\", \"tol\"), and \"readBack\" when the logger answered\n\n"
    "Exit codes: 0 done, 1 the program folder cannot be used, 2 bad arguments or a value refused,\n"
    "3 no logger, 4 the logger did not echo a value after five resends (or gave no clean read-back).\n";

// The names `set` takes, in the order the pages apply them; `page` 0 winch, 1 probe, 2 communication,
// 3 acquisition mode. The winch and probe values go to an unpowered sonde, the others to a powered one.
struct Name {
    const char* key;
    int page;
};
constexpr Name kNames[] = {
    {"PulleyDir", 0},       {"CableType", 0},     {"PulsResolution", 0},
    {"PulleysDiameter", 0}, {"Power", 1},         {"MagneticOffset", 1},
    {"UpBaudDivisor", 2},   {"UpGain", 2},        {"UpholePulseWidth", 2},
    {"DownEnergie", 2},     {"PicResolution", 3}, {"MotorPeriod", 3},
    {"PicOriented", 3},     {"SetFilter", 3},
};

struct Assignment {
    const Name* name;
    double value;
    std::string text;
};

// Ports that store and send nothing: the trial run that checks every value before anything is kept.
struct TrialPorts final : SetupPorts {
    void saveSettings() override {}
    void sendF1() override {}
    void sendF3() override {}
    void sendF4() override {}
};

// Ports that store through CPreferences and send nothing: no logger.
struct StoringPorts final : SetupPorts {
    explicit StoringPorts(CPreferences& p) : prefs(p) {}
    CPreferences& prefs;
    void saveSettings() override { prefs.SaveSettings(); }
    void saveAcquisitionSettings(int reason) override { prefs.SaveAcquisitionSettings(reason, false); }
    void sendF1() override {}
    void sendF3() override {}
    void sendF4() override {}
};

// Forwards to the command line's operator and counts what it was shown.
struct CountingOperator final : Operator {
    explicit CountingOperator(Operator& o) : inner(o) {}
    Operator& inner;
    int messages = 0;
    void message(const std::string& text, MessageKind kind) override {
        ++messages;
        inner.message(text, kind);
    }
    bool askYesNo(const std::string& text) override { return inner.askYesNo(text); }
    std::optional<std::string> chooseFile(const std::string& t, const std::string& d, const std::string& f,
                                          bool s) override {
        return inner.chooseFile(t, d, f, s);
    }
    std::optional<std::string> chooseFolder(const std::string& t, const std::string& d) override {
        return inner.chooseFolder(t, d);
    }
};

// Applies one value through its page; false when the page refused it (its text was shown).
bool applyOne(SetupSheet& sheet, Settings& s, const Assignment& a, Operator& op, Millis now) {
    const std::string key = a.name->key;
    const double v = a.value;
    const int i = static_cast<int>(v);
    auto bad = [&] {
        op.message("Bad entered value", MessageKind::Warning);
        return false;
    };
    if (key == "PulleyDir") {
        if (i != 0 && i != 1) return bad();
        sheet.winch.setDirection(i == 1, now);
        return true;
    }
    if (key == "CableType") {
        if (i != 0 && i != 1) return bad();
        sheet.winch.setCableType(i, now);
        return true;
    }
    if (key == "PulsResolution") return sheet.winch.applyResolution(i, now);
    if (key == "PulleysDiameter")
        return sheet.winch.applyCircumference(sheet.winch.imperial() ? v / kInchToMm : v, s.PulsResolution,
                                              now);
    if (key == "Power") return sheet.probe.applyVoltage(i);
    if (key == "MagneticOffset") {
        if (v < 0 || v > kMaxDeclination) {
            sheet.probe.applyDeclination(a.text);  // shows the page's text
            return false;
        }
        sheet.probe.applyDeclination(a.text);
        return true;
    }
    if (key == "UpBaudDivisor") {
        sheet.comm.refresh();
        const auto& speeds = sheet.comm.speeds();
        for (size_t k = 0; k < speeds.size(); ++k)
            if (speeds[k].divisor == i) {
                sheet.comm.chooseSpeed(static_cast<int>(k));
                return true;
            }
        return bad();
    }
    if (key == "UpGain") return sheet.comm.applyGain(i, now);
    if (key == "UpholePulseWidth") return sheet.comm.applyUpholeDrive(i);
    if (key == "DownEnergie") return sheet.comm.applyDownholeDrive(i, now);
    if (key == "PicResolution") {
        if (i < 1 || i > 4) return bad();
        sheet.picture.chooseResolution(i, now);
        return true;
    }
    if (key == "MotorPeriod") return sheet.picture.applyMotorPeriod(i, now);
    if (key == "PicOriented") {
        if (i < 0 || i > 2) return bad();
        sheet.picture.chooseOrientation(i);
        return true;
    }
    if (key == "SetFilter") {
        if (i < kMinFilter || i > kMaxFilter) return bad();
        sheet.picture.setFilter(i);
        return true;
    }
    return bad();
}

bool checksRunning(const SetupSheet& sheet) {
    return sheet.comm.readBack.running() || sheet.picture.echoCheck.running() ||
           sheet.winch.echoCheck.running();
}

// Parses NAME=VALUE and --baud into assignments in the pages' order; false (usage) on a bad argument.
bool parseAssignments(const std::vector<std::string>& args, std::vector<Assignment>& out) {
    std::vector<Assignment> given;
    for (size_t k = 0; k < args.size(); ++k) {
        std::string name, text;
        if (args[k] == "--baud") {
            if (k + 1 >= args.size()) {
                std::fprintf(stderr, "quelt setup: --baud needs a speed\n%s", kUsage);
                return false;
            }
            text = args[++k];
            int divisor = 0;
            for (std::size_t e = 0; e < kSpeedCount; ++e)
                if (text == speedTable()[e].text) divisor = speedTable()[e].divisor;
            if (divisor == 0) {
                std::fprintf(stderr, "quelt setup: no speed %s (312500 ... 31250)\n", text.c_str());
                return false;
            }
            name = "UpBaudDivisor";
            text = std::to_string(divisor);
        } else {
            auto eq = args[k].find('=');
            if (eq == std::string::npos) {
                std::fprintf(stderr, "quelt setup: bad argument %s\n%s", args[k].c_str(), kUsage);
                return false;
            }
            name = args[k].substr(0, eq);
            text = args[k].substr(eq + 1);
        }
        const Name* found = nullptr;
        for (const Name& n : kNames)
            if (equalsNoCase(n.key, name)) found = &n;
        if (!found) {
            std::fprintf(stderr, "quelt setup: %s cannot be set here\n", name.c_str());
            return false;
        }
        auto v = parseEntryNumber(text);
        const bool real =
            equalsNoCase(found->key, "MagneticOffset") || equalsNoCase(found->key, "PulleysDiameter");
        if (!v || (!real && *v != std::floor(*v))) {
            std::fprintf(stderr, "quelt setup: %s needs a %s, not %s\n", found->key,
                         real ? "number" : "whole number", text.c_str());
            return false;
        }
        given.push_back({found, *v, text});
    }
    if (given.empty()) {
        std::fprintf(stderr, "quelt setup set: nothing to set\n%s", kUsage);
        return false;
    }
    for (const Name& n : kNames)
        for (const Assignment& a : given)
            if (a.name == &n) out.push_back(a);
    return true;
}

// --- printing ---------------------------------------------------------------------------------------

struct ReadBacks {
    ReplyEcho::Slots echo{};
    LiveValues live;
    bool sonde = false;  // the sonde was on: its own read-backs are there
};

using Member = std::pair<std::string, SettingValue>;
struct Page {
    const char* name;
    std::vector<Member> members;
    void add(std::string key, SettingValue value) { members.emplace_back(std::move(key), std::move(value)); }
};

std::vector<Page> pages(ProgramContext& c, const std::optional<ReadBacks>& rb) {
    const Settings& s = c.settings;
    const SondeEntry& e = c.sondes->current();
    std::vector<Page> out;
    Page winch{"winch", {}};
    winch.add("PulleyDir", s.PulleyDir);
    winch.add("PulsResolution", s.PulsResolution);
    winch.add("PulleysDiameter", s.PulleysDiameter);
    winch.add("PulleyCircumInch", s.PulleyCircumInch);
    winch.add("CableType", s.CableType);
    winch.add("unit", std::string(s.SetDepthUnit == 1 ? "inch" : "mm"));
    const double p40 = s.PulleysDiameter > 0 ? 40.0 * s.PulsResolution / s.PulleysDiameter : 0.0;
    winch.add("encoderScale", roundHalfAway(p40 * 256.0) / 256.0);
    winch.add("scaleSent", static_cast<int>(encoderScale(s).field));
    out.push_back(winch);

    Page probe{"probe", {}};
    probe.add("Power", s.Power);
    probe.add("MagneticOffset", s.MagneticOffset);
    probe.add("SondeUsed", s.SondeUsed);
    probe.add("serialNumber", e.serialNumber);
    probe.add("RotationOffset", e.rotationOffset);
    probe.add("GammaCoef", parseLeadingDouble(formatG(e.gammaCoef)));
    probe.add("gammaOnBoard", e.gammaOnBoard);
    probe.add("highSpeed", e.highSpeedCom);
    probe.add("GammaScale", s.GammaScale);
    probe.add("PicColorRef6", format("0x%06X", s.PicColorRef[6]));
    out.push_back(probe);

    Page comm{"communication", {}};
    comm.add("UpBaudDivisor", s.UpBaudDivisor);
    comm.add("speed", std::string(baudText(s.UpBaudDivisor)));
    comm.add("UpGain", s.UpGain);
    comm.add("UpholePulseWidth", s.UpholePulseWidth);
    comm.add("upholeMaximum", upholeDriveMaximum(s.UpBaudDivisor));
    comm.add("DownEnergie", s.DownEnergie);
    out.push_back(comm);

    Page pic{"acquisitionMode", {}};
    pic.add("PicResolution", s.PicResolution);
    pic.add("samples", std::string(resolutionText(s.PicResolution)));
    pic.add("MotorPeriod", s.MotorPeriod);
    pic.add("rps", PictureSetup::rpsText(s.MotorPeriod));
    for (size_t i = 0; i < s.MotorPeriodPreset.size(); ++i)
        pic.add(format("MotorPeriod_M%zu", i + 1), s.MotorPeriodPreset[i]);
    pic.add("PicOriented", s.PicOriented);
    pic.add("orientation", std::string(PictureSetup::orientationText(s.PicOriented)));
    pic.add("SetFilter", s.SetFilter);
    out.push_back(pic);

    Page tol{"tol", {}};
    tol.add("slot", c.sondes->currentSlot());
    tol.add("SerialNumber", e.serialNumber);
    tol.add("SondeLenght", e.sondeLength);
    tol.add("WindowOffset", e.windowOffset());
    tol.add("DeviationOffset", static_cast<int>(e.deviationOffset));
    tol.add("RotationOffset", e.rotationOffset);
    tol.add("D42Travel", e.travelTimeOffset);
    tol.add("HighSpeedCOM", e.highSpeedCom);
    tol.add("GammaOnBoard", e.gammaOnBoard);
    tol.add("GammaOffset", static_cast<int>(e.gammaOffset));
    tol.add("GammaCoef", parseLeadingDouble(formatG(e.gammaCoef)));
    out.push_back(tol);

    if (rb) {
        Page r{"readBack", {}};
        r.add("winchMode", rb->echo[0] & 0x30);
        r.add("constant", rb->echo[1] | rb->echo[2] << 8);
        r.add("scale", rb->echo[3] | rb->echo[4] << 8);
        r.add("power", static_cast<int>(rb->echo[5]));
        r.add("upGain", static_cast<int>(rb->echo[6]));
        r.add("downDrive", static_cast<int>(rb->echo[7]));
        if (rb->sonde) {
            r.add("speed", rb->live.baudText);
            r.add("upholeDrive", rb->live.pulseText);
            r.add("resolution", rb->live.resolutionText);
            r.add("motorPeriod", rb->live.stepValueText);
            r.add("transducerTemperature", rb->live.toolTempText);
            r.add("electronicsTemperature", rb->live.probeTempText);
        }
        out.push_back(r);
    }
    return out;
}

void printPages(const std::vector<Page>& list, bool json, const char* device) {
    if (json) {
        JsonObject out;
        for (const Page& p : list) {
            JsonObject o;
            for (const auto& [key, value] : p.members)
                o.add(key, jsonValue(value));
            out.add(p.name, o.str());
        }
        if (device) out.addString("device", device);
        std::printf("%s\n", out.str().c_str());
        return;
    }
    for (const Page& p : list) {
        std::printf("[%s]\n", p.name);
        for (const auto& [key, value] : p.members)
            std::printf("%s=%s\n", key.c_str(), settingText(value, formatG).c_str());
        std::printf("\n");
    }
}

// Waits for the logger; false (after the message) when none answers.
bool waitForLogger(Headless& h) {
    for (Millis waited = 0; !h.loggerAnswering() && waited < kLoggerWait; waited += 100) {
        if (!h.run(100)) break;
        if (h.threaded() && waited >= 3000 && !h.acq->linkFlags.devicePresent) break;
    }
    if (h.loggerAnswering()) return true;
    std::fprintf(stderr, "quelt setup: Not hardware detected.\n");
    return false;
}

// Runs the pipeline and the sheet's timers until every echo check has ended.
void runChecks(Headless& h, SetupSheet& sheet) {
    for (Millis waited = 0; checksRunning(sheet) && waited < kCheckWait; waited += 50) {
        if (!h.run(50)) break;
        sheet.tick(h.now());
    }
}

int runSet(const GlobalOptions& options, std::vector<std::string> args) {
    HeadlessOptions ho;
    if (!takeHeadlessOptions(args, ho, "setup")) return kExitUsage;
    std::vector<Assignment> assignments;
    if (!parseAssignments(args, assignments)) return kExitUsage;

    CliOperator cliOp(options.yes);
    ProgramContext context;
    std::string error;
    if (!startCommand("setup", options.home, cliOp, context)) return kExitFailure;

    // The trial: every value through its page on a copy of the settings; one refusal and nothing is kept.
    {
        Settings trial = context.settings;
        CountingOperator trialOp(cliOp);
        ReplyEcho echo;
        LiveState live;
        LinkCounters counters;
        ModeFlags modes;
        LinkFlags flags;
        std::atomic<int> status{0};
        TrialPorts ports;
        SetupShared shared{trial,    *context.sondes, trialOp, echo,   live,
                           counters, modes,           flags,   status, ports};
        SetupSheet sheet(shared);
        for (const Assignment& a : assignments) {
            if (!applyOne(sheet, trial, a, trialOp, 0)) {
                std::fprintf(stderr, "quelt setup: %s=%s refused; nothing stored\n", a.name->key,
                             a.text.c_str());
                return kExitUsage;
            }
        }
    }

    if (options.device.empty()) {
        StoringPorts ports(*context.preferences);
        ReplyEcho echo;
        LiveState live;
        LinkCounters counters;
        ModeFlags modes;
        LinkFlags flags;
        std::atomic<int> status{0};
        SetupShared shared{context.settings, *context.sondes, cliOp, echo,   live,
                           counters,         modes,           flags, status, ports};
        SetupSheet sheet(shared);
        for (const Assignment& a : assignments)
            applyOne(sheet, context.settings, a, cliOp, 0);
        sheet.winch.echoCheck.stop();
        sheet.comm.readBack.stop();
        sheet.picture.echoCheck.stop();
        std::fprintf(stderr, "quelt setup: stored in %s\n", context.paths.settingsFile.c_str());
        return kExitOk;
    }

    // A logger: the winch and probe values to the unpowered sonde, then the others to the powered one.
    Headless h(options, ho);
    if (!h.start("setup")) return h.startFailure;
    if (!waitForLogger(h)) return kExitNoDevice;
    CountingOperator op(h.op);
    AcquisitionSetupPorts ports(*h.acq);
    SetupShared shared = setupShared(*h.acq, op, ports);
    SetupSheet sheet(shared);
    // The logger holds the stored winch values first, as the link's reader gives them at its start (a run
    // on simulated time has no reader start).
    if (assignments.front().name->page < 2) {
        ports.sendF1();
        h.run(300);
    }
    bool powered = false;
    int rc = kExitOk;
    for (const Assignment& a : assignments) {
        if (a.name->page >= 2 && !powered) {
            runChecks(h, sheet);
            rc = powerUp(h, "setup", true);
            if (rc != kExitOk) return rc;
            powered = true;
        }
        applyOne(sheet, h.context.settings, a, op, h.now());
        std::fprintf(stderr, "quelt setup: %s=%s sent\n", a.name->key, a.text.c_str());
    }
    runChecks(h, sheet);
    // A sonde whose frames never come back clean keeps a check waiting; the command line stops waiting.
    const bool unanswered = checksRunning(sheet);
    if (unanswered)
        std::fprintf(stderr, "quelt setup: no clean read-back from the sonde within %d s\n",
                     static_cast<int>(kCheckWait / 1000));
    if (powered) powerDown(h, "setup");
    if (op.messages > 0 || unanswered) return kExitEchoMismatch;
    std::fprintf(stderr, "quelt setup: every value echoed; stored in %s\n",
                 h.context.paths.settingsFile.c_str());
    return kExitOk;
}

int runSetup(const GlobalOptions& options, const std::vector<std::string>& argsIn) {
    if (!argsIn.empty() && argsIn[0] == "set") return runSet(options, {argsIn.begin() + 1, argsIn.end()});
    std::vector<std::string> args = argsIn;
    HeadlessOptions ho;
    if (!takeHeadlessOptions(args, ho, "setup")) return kExitUsage;
    bool json = false, power = false;
    OptionTable table;
    table.switches = {{"--json", &json}, {"--power", &power}};
    if (!parseOptions(args, table, "setup", kUsage)) return kExitUsage;

    if (options.device.empty()) {
        CliOperator op(options.yes);
        ProgramContext context;
        std::string error;
        if (!startCommand("setup", options.home, op, context)) return kExitFailure;
        printPages(pages(context, std::nullopt), json, nullptr);
        return kExitOk;
    }
    Headless h(options, ho);
    if (!h.start("setup")) return h.startFailure;
    if (!waitForLogger(h)) return kExitNoDevice;
    h.run(600);  // a few logger frames
    ReadBacks rb;
    if (power) {
        int rc = powerUp(h, "setup", true);
        if (rc != kExitOk) return rc;
        h.run(1500);
        rb.sonde = true;
    }
    rb.echo = h.acq->echo.snapshot();
    rb.live = h.acq->live.snapshot();
    if (power) powerDown(h, "setup");
    printPages(pages(h.context, rb), json, options.device.c_str());
    return kExitOk;
}

CommandRegistration registration{{
    "setup",
    "show or change the Logger Setup values (winch, probe, communication, acquisition mode, *.tol)",
    kUsage,
    runSetup,
}};

}  // namespace
}  // namespace quelt::cli

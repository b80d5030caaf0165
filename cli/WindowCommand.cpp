// quelt window: the sonde's acoustic window in borehole diameters, checked and set as the travel-time
// tools do it, and sent to the sonde with command 0x05 when a logger answers.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/Headless.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "imaging/CrossSection.h"
#include "platform/Text.h"
#include "platform/Units.h"
#include "stream/TravelTools.h"

namespace quelt::cli {
namespace {

constexpr int kExitReadBackMismatch = 4;
constexpr int kReadBackSends = 5;        // as the setup pages: five sends before giving up
constexpr Millis kReadBackPeriod = 300;  // ms between two sends of command 0x05
constexpr std::uint8_t kGainAutomaticBit = 0x80;
constexpr int kCrossSectionSize = 401;  // pixels, odd so that the axis falls on a pixel

// The command line stores nothing until every entry passed: the model's saves and command are noted and
// done afterwards.
struct DeferredPorts final : TravelToolsPorts {
    void sendF5() override { sendWanted = true; }
    void saveSettings() override { saveWanted = true; }
    void saveAcquisitionSettings() override { saveWanted = true; }
    void savePlaybackToHeader() override { headerWanted = true; }
    bool sendWanted = false, saveWanted = false, headerWanted = false;
};

struct WindowOptions {
    std::optional<double> dmin, dmax, velocity;
    std::optional<int> gain;
    bool agc = false, json = false;
    std::string crossSection;
    double seconds = 5;
    bool hasValues() const { return dmin || dmax || velocity || gain || agc; }
};

bool number(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(out);
}

bool parse(std::vector<std::string>& args, WindowOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            o.json = true;
            continue;
        }
        if (a == "--agc") {
            o.agc = true;
            continue;
        }
        const bool takesValue = a == "--dmin" || a == "--dmax" || a == "--velocity" || a == "--gain" ||
                                a == "--cross-section" || a == "--seconds";
        if (!takesValue) {
            std::fprintf(stderr, "quelt window: unknown argument %s\n", a.c_str());
            return false;
        }
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "quelt window: %s needs a value\n", a.c_str());
            return false;
        }
        const std::string& v = args[++i];
        if (a == "--cross-section") {
            o.crossSection = v;
            continue;
        }
        double x = 0;
        if (!number(v, x)) {
            std::fprintf(stderr, "quelt window: %s takes a number, not %s\n", a.c_str(), v.c_str());
            return false;
        }
        if (a == "--dmin") o.dmin = x;
        if (a == "--dmax") o.dmax = x;
        if (a == "--velocity") o.velocity = x;
        if (a == "--seconds") o.seconds = x;
        if (a == "--gain") {
            if (x < 0 || x > kMaxGain || x != std::floor(x)) {
                std::fprintf(stderr, "quelt window: --gain takes a whole number of dB from 0 to %d\n",
                             kMaxGain);
                return false;
            }
            o.gain = static_cast<int>(x);
        }
    }
    if (o.gain && o.agc) {
        std::fprintf(stderr, "quelt window: --gain and --agc exclude each other\n");
        return false;
    }
    if (o.seconds <= 0) {
        std::fprintf(stderr, "quelt window: --seconds takes a positive number\n");
        return false;
    }
    return true;
}

// The windows as they stand in the settings, for the sonde of the database and the stored velocity.
struct WindowReport {
    int sonde = 0;
    double offset = 0, velocity = 0;
    bool imperial = false;
    double blanking = 0, window = 0, dmin = 0, dmax = 0;
    double displayBlanking = 0, displayWindow = 0, displayMin = 0, displayMax = 0;
    double maxDiameter = 0;
    int gain = 0;
    bool agc = false;
    PhantomInterval phantom;
    bool phantomInWindow = false;
};

WindowReport report(const ProgramContext& c, const TravelTools& tools) {
    const Settings& s = c.settings;
    const TravelScale sc = tools.scale();
    WindowReport r;
    r.sonde = c.sondes->current().serialNumber;
    r.offset = tools.offsetMicros();
    r.velocity = sc.velocity;
    r.imperial = tools.imperial();
    r.blanking = s.UpBlanking;
    r.window = s.UpWindow;
    r.dmin = sc.diameter(s.UpBlanking);
    r.dmax = sc.diameter(s.UpBlanking + s.UpWindow);
    r.displayBlanking = s.DisplayBlanking;
    r.displayWindow = s.DisplayWindow;
    r.displayMin = sc.diameter(s.DisplayBlanking);
    r.displayMax = sc.diameter(s.DisplayBlanking + s.DisplayWindow);
    r.maxDiameter = sc.largestDiameter();
    r.agc = s.AcousticalAGC != 0;
    r.gain = s.AcousticalGain;
    r.phantom = tools.phantom();
    r.phantomInWindow =
        windowMeetsPhantom(r.phantom, static_cast<int>(s.UpBlanking), static_cast<int>(s.UpWindow));
    return r;
}

std::string windowJson(double blanking, double window, double dmin, double dmax) {
    JsonObject o;
    o.addReal("blanking", blanking / 10.0)
        .addReal("window", window / 10.0)
        .addReal("dmin", dmin)
        .addReal("dmax", dmax);
    return o.str();
}

JsonObject reportJson(const WindowReport& r) {
    JsonObject o;
    JsonObject phantom;
    phantom.addInt("begin", r.phantom.begin)
        .addInt("end", r.phantom.end)
        .addBool("inWindow", r.phantomInWindow);
    o.addInt("sonde", r.sonde)
        .addReal("offset", r.offset)
        .addReal("velocity", r.velocity)
        .add("acquisition", windowJson(r.blanking, r.window, r.dmin, r.dmax))
        .add("display", windowJson(r.displayBlanking, r.displayWindow, r.displayMin, r.displayMax))
        .addReal("maxDiameter", r.maxDiameter)
        .addBool("agc", r.agc)
        .addInt("gain", r.agc ? kAutomaticGainValue : r.gain)
        .add("phantom", phantom.str());
    return o;
}

void printReport(const WindowReport& r) {
    const char* unit = r.imperial ? "inch" : "mm";
    auto d = [&](double mm) { return diameterText(mm, r.imperial); };
    std::printf("sonde %d, travel-time offset %.1f us, water velocity %.0f m/s\n", r.sonde, r.offset,
                r.velocity);
    std::printf("acquisition: blanking %.1f us, window %.1f us, D-MIN %s %s, D-MAX %s %s\n",
                r.blanking / 10.0, r.window / 10.0, d(r.dmin).c_str(), unit, d(r.dmax).c_str(), unit);
    std::printf("display:     blanking %.1f us, window %.1f us, D-MIN %s %s, D-MAX %s %s\n",
                r.displayBlanking / 10.0, r.displayWindow / 10.0, d(r.displayMin).c_str(), unit,
                d(r.displayMax).c_str(), unit);
    std::printf("largest diameter for this velocity: %s %s\n", d(r.maxDiameter).c_str(), unit);
    if (r.agc)
        std::printf("gain: AGC\n");
    else
        std::printf("gain: %d db\n", r.gain);
    std::printf("phantom interval: %d - %d us%s\n", r.phantom.begin, r.phantom.end,
                r.phantomInWindow ? " (inside the acquisition window)" : "");
}

// Checks the values with the travel-time tools' rules. The messages are the tools' own; empty when
// every value was taken.
std::string check(TravelTools& tools, const WindowOptions& o) {
    TravelTools::Entries& e = tools.entries();
    std::string shown;
    if (o.velocity) {
        const double v = *o.velocity;
        e.velocity = static_cast<int>(roundHalfAway(tools.imperial() ? v * units::kFeetPerMetre : v));
        shown += tools.validateAcquisition(TravelField::Velocity);
    }
    if (o.dmin) e.dmin = *o.dmin;
    if (o.dmax) e.dmax = *o.dmax;
    if (o.gain) {
        e.gain = *o.gain;
        e.agc = false;
    }
    if (o.agc) e.agc = true;
    if (shown.empty()) shown += tools.validateAcquisition(TravelField::None);
    // The gain choice and, with tracking, the display window follow as the window's check boxes do.
    if (shown.empty()) tools.readEntries(false);
    return shown;
}

// Sends command 0x05 until the sonde reads back what was sent; false when it never does.
bool sendAndReadBack(Headless& h, std::array<std::uint8_t, 7>& sent) {
    LoggerCommands& commands = *h.acq;
    for (int k = 0; k < kReadBackSends && !interrupted(); ++k) {
        h.acq->echo.clearNewReply();
        sent = commands.sendF5();
        h.run(kReadBackPeriod);
        const std::uint32_t blanking = h.acq->echo.dword(ReplyEcho::kBlanking),
                            window = h.acq->echo.dword(ReplyEcho::kWindow);
        const int gain = h.acq->live.read([](const LiveValues& v) { return v.gain; });
        const bool gainMatches =
            (sent[5] & kGainAutomaticBit) ? (gain & kGainAutomaticBit) != 0 : gain == sent[5];
        if (blanking == static_cast<std::uint32_t>(sent[1] | sent[2] << 8) &&
            window == static_cast<std::uint32_t>(sent[3] | sent[4] << 8) && gainMatches)
            return true;
    }
    return false;
}

// Draws the revolutions of `seconds` into the cross-section view and writes it as a PNG file.
bool writeCrossSection(Headless& h, double offsetMicros, const std::string& path, double seconds,
                       std::string& why) {
    const Settings& s = h.context.settings;
    CrossSectionView view(kCrossSectionSize);
    CrossSectionSettings cs;
    cs.offsetMicros = offsetMicros;
    cs.displayBlanking = s.DisplayBlanking;
    cs.displayWindow = s.DisplayWindow;
    cs.showPhantom = s.ShowPhantom;
    cs.refreshMode = s.RefreshTravelDialog;
    view.settingsChanged(cs, h.now());
    view.tick(h.now(), true, 0);
    h.acq->onImageLine = [&h, &view](std::uint8_t, int) {
        Revolution r;
        const int n = std::clamp(h.acq->image.samplesPerTurn, 0, static_cast<int>(ImageLine::kRawLineSize));
        r.travel.assign(h.acq->image.rawLine.begin(), h.acq->image.rawLine.begin() + n);
        r.orientation = h.acq->live.read([](const LiveValues& v) { return v.rotation; });
        r.acquisition = true;
        view.post(std::move(r));
    };
    const Millis end = h.now() + static_cast<Millis>(seconds * 1000.0);
    bool ok = true;
    while (h.now() < end && !interrupted()) {
        if (!h.run(CrossSectionView::kPeriod)) {
            ok = false;
            why = "the logger was lost";
            break;
        }
        view.tick(h.now(), h.acq->linkStatus.load() == kLinkFullData, 0);
    }
    h.acq->onImageLine = nullptr;
    if (!ok) return false;
    std::fprintf(stderr, "quelt window: %d revolutions drawn\n", view.curvesDrawn());
    if (!writePng(view.section().raster(), path)) {
        why = "cannot write " + path;
        return false;
    }
    return true;
}

void showReport(const WindowReport& r, bool json) {
    if (json)
        std::printf("%s\n", reportJson(r).str().c_str());
    else
        printReport(r);
}

// With no logger the values are only stored: said on standard error, and the report shown.
int storedOnly(const WindowReport& r, bool json) {
    std::fprintf(stderr, "quelt window: no logger answered: stored only, nothing sent\n");
    showReport(r, json);
    return kExitOk;
}

// Checks the values asked for and stores them (the settings, and the playback keys of the log's header
// when a replay is loaded). kExitOk, or kExitUsage when a value is refused: nothing is stored then,
// and the corrected values are shown for the next attempt.
int storeValues(ProgramContext& context, TravelTools& tools, DeferredPorts& ports, const WindowOptions& o) {
    ports = DeferredPorts{};
    const std::string refused = check(tools, o);
    if (!refused.empty()) {
        std::fprintf(stderr, "quelt window: %s\n", refused.c_str());
        WindowReport r = report(context, tools);
        if (o.json) {
            JsonObject out = reportJson(r);
            out.addString("refused", refused);
            std::printf("%s\n", out.str().c_str());
        } else {
            std::printf("corrected values:\n");
            printReport(r);
        }
        return kExitUsage;
    }
    context.preferences->SaveAcquisitionSettings(kSaveAcquisitionReason, false);
    context.preferences->SaveSettings();
    if (ports.headerWanted && context.headerIo) context.headerIo->SavePlaybackToHeader();
    std::fprintf(stderr, "quelt window: stored in %s\n", context.paths.settingsFile.c_str());
    return kExitOk;
}

// With the sonde powered: the values sent and read back, and the cross-section written. The report
// (with the read-back) is printed; the exit code returned.
int sendToSonde(Headless& h, const WindowOptions& o, const WindowReport& r) {
    int exit = kExitOk;
    JsonObject out = reportJson(r);
    if (o.hasValues()) {
        std::array<std::uint8_t, 7> sent{};
        const bool matches = sendAndReadBack(h, sent);
        const LiveValues v = h.acq->live.snapshot();
        JsonObject rb;
        rb.addReal("blanking", v.blanking / 10.0)
            .addReal("window", v.window / 10.0)
            .addInt("gain", v.gain)
            .addBool("matches", matches);
        out.add("readBack", rb.str());
        std::fprintf(stderr,
                     "quelt window: command 0x05 sent; the sonde reads back blanking %.1f us, window %.1f "
                     "us, gain %s%s\n",
                     v.blanking / 10.0, v.window / 10.0,
                     v.gain & kGainAutomaticBit ? "AGC" : std::to_string(v.gain).c_str(),
                     matches ? "" : ": not what was sent");
        if (!matches) exit = kExitReadBackMismatch;
    }
    if (!o.crossSection.empty() && exit == kExitOk && !interrupted()) {
        std::string why;
        if (!writeCrossSection(h, r.offset, o.crossSection, o.seconds, why)) {
            std::fprintf(stderr, "quelt window: %s\n", why.c_str());
            exit = kExitFailure;
        }
    }
    powerDown(h, "window");
    if (o.json)
        std::printf("%s\n", out.str().c_str());
    else
        printReport(r);
    return exit;
}

int runWindow(const GlobalOptions& global, const std::vector<std::string>& argsIn) {
    std::vector<std::string> args = argsIn;
    HeadlessOptions ho;
    if (!takeHeadlessOptions(args, ho, "window")) return kExitUsage;
    WindowOptions o;
    if (!parse(args, o)) return kExitUsage;

    CliOperator op(global.yes);
    ProgramContext context;
    if (!startCommand("window", global.home, op, context)) return kExitFailure;
    DeferredPorts ports;
    TravelTools tools(context.settings, *context.sondes, ports);
    tools.start(0);
    if (o.hasValues()) {
        if (const int rc = storeValues(context, tools, ports, o); rc != kExitOk) return rc;
    }
    const WindowReport r = report(context, tools);
    if (!o.hasValues() && o.crossSection.empty()) {
        showReport(r, o.json);
        return kExitOk;
    }

    // The sonde: powered up through the shared pipeline, which reads the stored settings again.
    Headless h(global, ho);
    if (!h.start("window")) {
        if (h.startFailure == kExitNoDevice && o.crossSection.empty()) return storedOnly(r, o.json);
        return h.startFailure;
    }
    catchInterrupts();
    const int rc = powerUp(h, "window", o.json);
    if (rc == kExitNoDevice && o.crossSection.empty()) return storedOnly(r, o.json);
    if (rc != kExitOk) return rc;
    const int exit = sendToSonde(h, o, r);
    return interrupted() ? kExitInterrupted : exit;
}

CommandRegistration registration{{
    "window",
    "show or set the sonde's acoustic window in borehole diameters (command 0x05)",
    "Usage: quelt [--home DIR] [--device sim|ftdi|serial:PATH] window [--dmin MM --dmax MM] [--velocity "
    "M/S]\n"
    "                                 [--gain DB|--agc] [--json] [--cross-section FILE --seconds N]\n"
    "                                 [--scenario S --seed N] [--fast] [--capture FILE]\n\n"
    "Without values prints the acquisition window (blanking and window in microseconds, and the borehole\n"
    "diameters D-MIN and D-MAX they mean for the selected sonde and the stored water velocity), the display\n"
    "window, the largest diameter for this velocity and the phantom echo interval.\n\n"
    "With values checks them as the travel-time tools do. A refused value prints the tools' message and the\n"
    "corrected values and stores nothing (exit 2). Accepted values are stored in Zorak.cfg; when a logger\n"
    "answers, the sonde is powered up, command 0x05 is sent and its read-back awaited, then the sonde is\n"
    "powered down.\n\n"
    "  --dmin MM, --dmax MM  the acquisition window as diameters in millimetres\n"
    "  --velocity M/S        water velocity, 1400 to 2000 m/s\n"
    "  --gain DB             acoustic gain 0 to 80 dB (automatic gain off); --agc turns automatic gain on\n"
    "  --json                one JSON object: "
    "{\"sonde\",\"offset\",\"velocity\",\"acquisition\":{\"blanking\",\n"
    "                        "
    "\"window\",\"dmin\",\"dmax\"},\"display\":{...},\"maxDiameter\",\"agc\",\"gain\",\n"
    "                        \"phantom\":{\"begin\",\"end\",\"inWindow\"}} (microseconds, millimetres), "
    "plus\n"
    "                        \"refused\" with the message, or "
    "\"readBack\":{\"blanking\",\"window\",\"gain\",\"matches\"}\n"
    "  --cross-section FILE  powers the sonde up and draws the cross-section of the revolutions of N "
    "seconds\n"
    "                        (--seconds, 5 by default) into FILE\n"
    "  --scenario S, --seed N, --fast, --capture FILE  as for quelt monitor\n\n"
    "Exit codes: 0 done (values stored and, with a logger, read back), 1 failed, 2 bad arguments or a value\n"
    "refused, 3 no logger (only with --cross-section), 4 the sonde's read-back differs from command 0x05,\n"
    "130 interrupted.\n",
    runWindow,
}};

}  // namespace
}  // namespace quelt::cli

#include "export/LasExport.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "config/Diagnostics.h"
#include "config/Ini.h"
#include "export/DepthEntry.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Units.h"
#include "stream/DataFile.h"
#include "stream/LogFile.h"

namespace quelt {
namespace {

constexpr double kEps = 1e-7;
constexpr const char* kSeparator =
    "#------------------------------------------------------------------------------\n";
constexpr const char* kTmpCreate = "Trouble for create tempory file .\n Aborded ...";
constexpr const char* kTmpOpen = "Trouble for open tempory file .\n Aborded ...";
constexpr const char* kBadFormat = "Bad file format.\nExport file failled...";
// An export larger than this is refused before it starts: a header whose depths disagree with its
// lines can ask for billions of grid lines.
constexpr std::int64_t kMaxLasLines = 50'000'000;

double hundredths(double x) {
    return roundHalfAway(x * 100.0);
}

// The index of the first channel of `kind` in the layout.
std::optional<size_t> channelIndex(const LineLayout& layout, int kind) {
    for (size_t i = 0; i < layout.channels.size(); ++i)
        if (layout.channels[i].kind == kind) return i;
    return std::nullopt;
}

// The mean of the last up to N values.
template <size_t N>
class RunningMean {
  public:
    void add(double v) {
        if (count_ == N)
            sum_ -= values_[next_];
        else
            ++count_;
        values_[next_] = v;
        sum_ += v;
        next_ = (next_ + 1) % N;
    }
    double mean() const { return count_ ? sum_ / static_cast<double>(count_) : 0.0; }

  private:
    std::array<double, N> values_{};
    size_t count_ = 0, next_ = 0;
    double sum_ = 0;
};

void addRecord(LasRecord& sum, const LasRecord& r) {
    auto* s = reinterpret_cast<double*>(&sum);
    const auto* v = reinterpret_cast<const double*>(&r);
    for (int i = 0; i < 16; ++i)
        s[i] += v[i];
}

bool readRecord(std::FILE* f, std::int64_t index, LasRecord& r) {
    if (std::fseek(f, static_cast<long>(index * 128), SEEK_SET) != 0) return false;
    return std::fread(&r, sizeof r, 1, f) == 1;
}

std::string wellValue(const std::string& text) {
    std::string v = trim(text);
    if (v.empty()) v = "N/A";
    int pad = std::abs(40 - static_cast<int>(v.size()));
    return v + std::string(static_cast<size_t>(std::max(pad, 1)), ' ');
}

}  // namespace

LasCurves curvesFromSettings(const Settings& s) {
    LasCurves c;
    c.speed = s.ExportSpeed;
    c.gamma = s.ExportGamm;
    c.incl = s.ExportIncl;
    c.azimuth = s.ExportAzimuth;
    c.hgDelta = s.ExportTDelta;
    c.roll = s.ExportRoll;
    c.mroll = s.ExportMroll;
    c.tgrav = s.ExportTgrav;
    c.tmag = s.ExportTgauss;
    c.raw = s.ExportRaw;
    return c;
}

void curvesToSettings(const LasCurves& c, Settings& s) {
    s.ExportSpeed = c.speed;
    s.ExportGamm = c.gamma;
    s.ExportIncl = c.incl;
    s.ExportAzimuth = c.azimuth;
    s.ExportTDelta = c.hgDelta;
    s.ExportRoll = c.roll;
    s.ExportMroll = c.mroll;
    s.ExportTgrav = c.tgrav;
    s.ExportTgauss = c.tmag;
    s.ExportRaw = c.raw;
}

std::vector<LasStepItem> lasStepItems(int displayUnit) {
    if (displayUnit == 1) return {{"1 \"", 8}, {"2 \"", 17}, {"4 \"", 33}};
    return {{"1cm", 1}, {"2cm", 2}, {"5cm", 5}, {"10cm", 10}};
}

CLasExport::CLasExport(Settings& settings, ProgramPaths& paths, PlacementRecord& placements, Operator& op,
                       const SondeDatabase& sondes, OrientationRoutine orientation)
    : settings_(settings),
      paths_(paths),
      placements_(placements),
      operator_(op),
      sondes_(sondes),
      orientation_(std::move(orientation)) {}

bool CLasExport::fail(const std::string& text, MessageKind kind) {
    operator_.message(text, kind);
    return false;
}

double CLasExport::toDisplay(double v) const {
    if (ctx_.displayUnit == ctx_.logUnit) return v;
    return ctx_.displayUnit == 1 ? v * units::kFeetPerMetre : v * units::kMetresPerFoot;
}

double CLasExport::toLog(double v) const {
    if (ctx_.displayUnit == ctx_.logUnit) return v;
    return ctx_.logUnit == 1 ? v * units::kFeetPerMetre : v * units::kMetresPerFoot;
}

double CLasExport::stepInLogUnit(int stepIndex) const {
    auto items = lasStepItems(ctx_.displayUnit);
    size_t i = static_cast<size_t>(std::clamp(stepIndex, 0, static_cast<int>(items.size()) - 1));
    return toLog(items[i].hundredths / 100.0);
}

bool CLasExport::LoadInput(const std::string& headerPathIn) {
    namespace fs = std::filesystem;
    loaded_ = false;
    createdFolder_ = false;
    LasContext c;
    c.displayUnit = settings_.SetDepthUnit == 1 ? 1 : 0;

    auto unusable = [&](const std::string& text) {
        setStatus("export file failled...");
        return text.empty() ? false : fail(text);
    };
    // The log is opened as every command opens it: the same checks and the same reasons.
    LogHeader logHeader;
    OpenedLog log;
    {
        CHeader reader(settings_, paths_, placements_, operator_, logHeader, sondes_);
        if (openLog(headerPathIn, reader, operator_, log, /*repair=*/false) != OpenLogResult::Ok)
            return unusable("");
    }
    fs::path header = log.headerPath;
    c.headerPath = log.headerPath;
    c.dataPath = log.dataPath;
    c.layout = log.layout;
    fs::path folder = header.parent_path();
    fs::path las20 = folder / "LAS20";
    fs::path out = las20 / header.filename();
    out.replace_extension("las");
    c.outputPath = out.string();
    for (int kind : {channel::DPTH, channel::NGAM, channel::GCLK, channel::HX, channel::GX, channel::HY,
                     channel::GY, channel::HZ, channel::GZ})
        if (!channelIndex(c.layout, kind)) return unusable(kBadFormat);

    std::error_code ec;
    createdFolder_ = fs::create_directories(las20, ec);
    c.logUnit = logHeader.depthUnit == 1 ? 1 : 0;
    c.magneticDeclination = logHeader.magneticDeclination;

    SondeEntry sonde = sondes_.current();
    if (auto slot = sondes_.FindSonde(logHeader.serialNumber)) {
        sonde = sondes_.slot(*slot);
    } else {
        operator_.message(
            format("The sonde %d not found in dbase.\nThe offset parameter from sonde %d are used "
                   "by default.",
                   logHeader.serialNumber, sondes_.current().serialNumber),
            MessageKind::Information);
    }
    c.gammaOnBoard = sonde.gammaOnBoard;
    double length = sonde.sondeLength / 100.0, height = sonde.heightOffset / 100.0;
    double dv = sonde.deviationOffset / 100.0, gv = sonde.gammaOffset / 100.0;
    c.gammaCoef = sonde.gammaCoef;
    c.g0 = gv - dv;
    c.d0 = dv - (length - height);
    if (c.logUnit == 1) {
        c.d0 *= units::kFeetPerMetre;
        c.g0 *= units::kFeetPerMetre;
    }

    static const char* const kWellKeys[11] = {"Company", "Wellname", "Fieldname", "Location",
                                              "Country", "",         "",          "ServiceCompany",
                                              "Date",    "UWI",      "UWI"};
    for (size_t i = 0; i < 11; ++i)
        c.wellTexts[i] = *kWellKeys[i] ? logHeader.text(kWellKeys[i]) : std::string();

    LasDataFile f;
    f.fileName = log.dataPath;
    f.startDepth = (logHeader.fileStartDepth - c.d0 * 1000.0) / 1000.0;
    f.endDepth = (logHeader.fileEndDepth - c.d0 * 1000.0) / 1000.0;
    f.recLineSize = static_cast<int>(c.layout.lineSize);
    c.records = static_cast<std::int64_t>(log.reader.wholeLines());
    c.files.push_back(std::move(f));
    if (c.records <= 0) return unusable("The data file holds no whole line.\nExport file failled...");

    double first = c.files.front().startDepth, last = c.files.back().endDepth;
    bool down = first < last;
    double rf = hundredths(first) / 100.0, rl = hundredths(last) / 100.0;
    if (down) {
        if (rf < first - 1e-9) rf += 0.01;
        if (rl > last + 1e-9) rl -= 0.01;
    } else {
        if (rf > first + 1e-9) rf -= 0.01;
        if (rl < last - 1e-9) rl += 0.01;
    }
    c.firstDepth = rf;
    c.lastDepth = rl;
    c.mode = down ? kLasModeDown : kLasModeUp;
    c.from = rf;
    c.to = rl;

    double perRecord = std::fabs((rl - rf) / static_cast<double>(c.records));
    double shown;
    if (c.displayUnit == 0) {
        shown = perRecord * (c.logUnit == 0 ? 1000.0 : units::kMetresPerFoot * 1000.0);
        c.intervalUnit = "mm";
    } else {
        shown = perRecord * (c.logUnit == 1 ? 12.0 : units::kInchesPerMetre);
        c.intervalUnit = "\"";
    }
    c.intervalText = format("%.2f", shown);
    ctx_ = std::move(c);
    loaded_ = true;
    return true;
}

namespace {
// The operator's text for a refused From or To entry.
std::string depthEntryText(DepthEntryFault fault, double firstShown, double lastShown, bool down) {
    if (fault == DepthEntryFault::OutOfRange)
        return format("Bad entry value (begining %#.2f ending %#.2f) \n", firstShown, lastShown);
    return down ? "Bad entry value, the depth of beginning must be smaller than the depth of stop"
                : "Bad entry value, the depth of stop must be smaller than the depth of beginning";
}
}  // namespace

bool CLasExport::SetFrom(double displayValue) {
    const double v = toLog(displayValue);
    const bool down = ctx_.mode == kLasModeDown;
    const DepthEntryFault fault = checkDepthEntry(v, ctx_.firstDepth, ctx_.lastDepth, ctx_.to, down, true);
    if (fault == DepthEntryFault::None) {
        ctx_.from = v;
        return true;
    }
    operator_.message(depthEntryText(fault, toDisplay(ctx_.firstDepth), toDisplay(ctx_.lastDepth), down),
                      MessageKind::Error);
    ctx_.from = ctx_.firstDepth;
    return false;
}

bool CLasExport::SetTo(double displayValue) {
    const double v = toLog(displayValue);
    const bool down = ctx_.mode == kLasModeDown;
    const DepthEntryFault fault = checkDepthEntry(v, ctx_.firstDepth, ctx_.lastDepth, ctx_.from, down, false);
    if (fault == DepthEntryFault::None) {
        ctx_.to = v;
        return true;
    }
    operator_.message(depthEntryText(fault, toDisplay(ctx_.firstDepth), toDisplay(ctx_.lastDepth), down),
                      MessageKind::Error);
    ctx_.to = ctx_.lastDepth;
    return false;
}

bool CLasExport::Start(const LasChoices& choices, bool replaceExisting) {
    if (!choices.curves.any()) return fail("You must at least choose one channel !!!");
    return GenerateLASFormatFile(choices, replaceExisting);
}

void CLasExport::Close(const LasCurves& curves) {
    curvesToSettings(curves, settings_);
    CIni ini("ZORAK.cfg", "LASGenerator", 1);
    const Settings& s = settings_;
    const std::pair<const char*, bool> keys[] = {
        {"ExportSpeed", s.ExportSpeed},     {"ExportIncl", s.ExportIncl},
        {"ExportAzimuth", s.ExportAzimuth}, {"ExportRoll", s.ExportRoll},
        {"ExportMroll", s.ExportMroll},     {"ExportTgrav", s.ExportTgrav},
        {"ExportTDelta", s.ExportTDelta},   {"ExportTgauss", s.ExportTgauss},
        {"ExportRaw", s.ExportRaw},         {"ExportGamm", s.ExportGamm}};
    for (const auto& [key, value] : keys)
        ini.WriteInt(key, value ? 1 : 0);
}

bool CLasExport::GenerateLASFormatFile(const LasChoices& choicesIn, bool replaceExisting) {
    namespace fs = std::filesystem;
    if (!loaded_) return fail(kBadFormat);
    LasChoices choices = choicesIn;
    if (!ctx_.gammaOnBoard) choices.curves.gamma = false;
    const fs::path outputFolder = fs::path(ctx_.outputPath).parent_path();
    // The scratch files and the unfinished output live inside this call only: whatever way it ends,
    // they are gone when it returns.
    auto attempt = [&]() -> bool {
        setProgress(0, ctx_.records);
        setStatus("");
        if (std::string clash = outputMeetsSource({ctx_.outputPath}, {ctx_.headerPath, ctx_.dataPath});
            !clash.empty())
            return fail(clash);
        const double step = stepInLogUnit(choices.stepIndex);
        const double gridLines = std::fabs(ctx_.to - ctx_.from) / step + 1;
        if (!(gridLines <= static_cast<double>(kMaxLasLines)))
            return fail(format("The export from %.2f to %.2f would make %.0f lines (at most %lld): refused.",
                               toDisplay(ctx_.from), toDisplay(ctx_.to), gridLines,
                               static_cast<long long>(kMaxLasLines)));
        std::error_code ec;
        if (fs::exists(ctx_.outputPath, ec)) {
            if (!replaceExisting && !operator_.askYesNo("Same file name exist, do you want replace this ?"))
                return fail("Migration to LAS file aborted. ", MessageKind::Information);
        }
        setStatus("Create tempory file ...");
        // Scratch files of this run only, beside the output: two exports at once never share one, and
        // the program folder need not be writable.
        TempFile tmp, la;
        if (!tmp.create(outputFolder, "las~") || !la.create(outputFolder, "las~"))
            return fail(std::string(kTmpCreate) + "\n" + (tmp.error().empty() ? la.error() : tmp.error()));
        ctx_.tmpPath = tmp.path().string();
        ctx_.laPath = la.path().string();
        if (!ReadDataFile(tmp.file())) return false;
        setStatus("Create LAS file ...");
        AtomicOutput out(ctx_.outputPath);
        if (!out.open()) return fail("Trouble opening or create file. " + out.error());
        WriteHeaderLASFile(out.file(), choices);
        // A partial LAS file would pass for a whole one in the client's software: it never gets the name.
        if (!resamplingPass(out.file(), tmp.file(), la.file(), choices)) return false;
        if (choices.curves.gamma && !gammaPass(out.file(), la.file(), choices)) return false;
        if (!out.commit()) return fail("Trouble opening or create file. " + out.error());
        setStatus("File migred.");
        return true;
    };
    bool ok = false;
    try {
        ok = attempt();
    } catch (...) {
        ReportException("CLasExport::GenerateLASFormatFile", "LasExport.cpp", __LINE__);
        WriteCaughtException("CLasExport::GenerateLASFormatFile");
    }
    std::error_code ec;
    // A folder this export made and left empty goes with a failed export.
    if (!ok && createdFolder_ && fs::is_empty(outputFolder, ec)) fs::remove(outputFolder, ec);
    return ok;
}

bool CLasExport::ReadDataFile(std::FILE* tmp) {
    try {
        setProgress(0, ctx_.records);
        RunningMean<75> speed;
        std::array<RunningMean<2>, 6> axes;  // hx gx hy gy hz gz
        bool firstRecord = true;
        double previous = 0;
        std::int64_t count = 0;
        std::vector<std::uint8_t> line;
        ParsedLine parsed;
        const LineLayout& layout = ctx_.layout;
        const size_t depthAt = *channelIndex(layout, channel::DPTH);
        const size_t gammaAt = *channelIndex(layout, channel::NGAM);
        const size_t clockAt = *channelIndex(layout, channel::GCLK);
        const size_t axisAt[6] = {*channelIndex(layout, channel::HX), *channelIndex(layout, channel::GX),
                                  *channelIndex(layout, channel::HY), *channelIndex(layout, channel::GY),
                                  *channelIndex(layout, channel::HZ), *channelIndex(layout, channel::GZ)};
        for (const LasDataFile& f : ctx_.files) {
            DataFileReader reader;
            if (!reader.open(f.fileName, layout.lineSize))
                return fail("Trouble opening file.\nFile busy or bad file !!!");
            for (std::uint64_t pos = 0; reader.readLine(pos, line); pos += reader.lineSize()) {
                parseDataLine(line, layout, parsed);
                auto value = [&](size_t i) { return static_cast<double>(parsed.values[i]); };
                LasRecord r;
                r.depth = roundHalfAway((value(depthAt) / 1000.0 - ctx_.d0) * 1000.0) / 1000.0;
                if (firstRecord) previous = r.depth;
                firstRecord = false;
                double t = value(clockAt);
                // A record without counting time has no speed of its own; it stays out of the mean.
                if (t > 0) speed.add((r.depth - previous) / t * 60000.0);
                previous = r.depth;
                r.speed = speed.mean();
                r.gamma = t == 0 ? -999.25 : value(gammaAt) / t * 1000.0 * ctx_.gammaCoef;
                for (size_t a = 0; a < 6; ++a)
                    axes[a].add(value(axisAt[a]));
                r.hx = axes[0].mean();
                r.gx = axes[1].mean();
                r.hy = axes[2].mean();
                r.gy = axes[3].mean();
                r.hz = axes[4].mean();
                r.gz = axes[5].mean();
                if (std::fwrite(&r, sizeof r, 1, tmp) != 1)
                    return fail(std::string(kTmpCreate) + "\n" + systemErrorText(ctx_.tmpPath, errno));
                if (++count % 200 == 0) setProgress(count, ctx_.records);
            }
        }
        setProgress(count, ctx_.records);
        if (std::fflush(tmp) != 0)
            return fail(std::string(kTmpCreate) + "\n" + systemErrorText(ctx_.tmpPath, errno));
        return true;
    } catch (...) {
        ReportException("CLasExport::ReadDataFile", "LasExport.cpp", __LINE__);
        WriteCaughtException("CLasExport::ReadDataFile");
        return false;
    }
}

LasRecord CLasExport::averagedLine(double depth, const LasRecord& sum, int n) const {
    LasRecord r;
    if (n == 0) {
        auto* v = reinterpret_cast<double*>(&r);
        for (int i = 0; i < 16; ++i)
            v[i] = kLasNull;
        r.depth = depth;
        return r;
    }
    double k = n;
    r.depth = depth;
    r.speed = sum.speed / k;
    r.gamma = sum.gamma / k;
    r.hx = sum.hx / k;
    r.hy = sum.hy / k;
    r.hz = sum.hz / k;
    r.gx = sum.gx / k;
    r.gy = sum.gy / k;
    r.gz = sum.gz / k;
    std::optional<OrientationValues> o;
    if (orientation_) o = orientation_(r.gx, r.gy, r.gz, r.hx, r.hy, r.hz, ctx_.magneticDeclination);
    OrientationValues v = o.value_or(OrientationValues{});
    r.incl = v.tilt;
    r.azimuth = v.azimuth;
    r.roll = v.highSide;
    r.mroll = v.magToolface;
    r.tgrav = v.gravityTotal;
    r.tmag = v.magneticTotal;
    r.hgDelta = v.fieldAngle;
    if (r.incl == 0 && r.azimuth == 0 && r.roll == 0 && r.mroll == 0 && r.tgrav == 0 && r.tmag == 0 &&
        r.hgDelta == 0)
        r.incl = r.azimuth = r.roll = r.mroll = r.tgrav = r.tmag = r.hgDelta = kLasNull;
    return r;
}

bool CLasExport::resamplingPass(std::FILE* out, std::FILE* tmp, std::FILE* la, const LasChoices& choices) {
    std::fseek(tmp, 0, SEEK_END);
    std::int64_t n = std::ftell(tmp) / 128;
    std::fseek(tmp, 0, SEEK_SET);

    const bool gamma = choices.curves.gamma;
    const double sign = (ctx_.mode == kLasModeDown ? 1.0 : -1.0) * (choices.reverse ? -1.0 : 1.0);
    const double step = stepInLogUnit(choices.stepIndex);
    const double t0 = choices.reverse ? ctx_.to : ctx_.from;
    const double end = choices.reverse ? ctx_.from : ctx_.to;
    const double lo = std::min(ctx_.from, ctx_.to) - kEps, hi = std::max(ctx_.from, ctx_.to) + kEps;
    std::int64_t gridIndex = 0;
    auto gridAt = [&](std::int64_t k) { return t0 + sign * step * static_cast<double>(k); };

    LasRecord sum;
    int count = 0;
    bool sumInRange = false;
    std::int64_t written = 0;
    double lastWritten = t0;
    bool ok = true;
    auto emit = [&](const LasRecord& r) {
        // Nothing goes beyond the far end of the range the header announces.
        if ((r.depth - end) * sign > kEps) return;
        if (gamma) {
            if (ok && std::fwrite(&r, sizeof r, 1, la) != 1)
                ok = fail(std::string(kTmpCreate) + "\n" + systemErrorText(ctx_.laPath, errno));
        } else {
            WriteLineAscFile(out, r, choices.curves);
        }
        lastWritten = r.depth;
        ++written;
    };
    auto clear = [&] {
        sum = LasRecord{};
        count = 0;
        sumInRange = false;
    };

    LasRecord r;
    for (std::int64_t i = 0; i < n && ok; ++i) {
        std::int64_t index = choices.reverse ? n - 1 - i : i;
        bool got = choices.reverse ? readRecord(tmp, index, r) : std::fread(&r, sizeof r, 1, tmp) == 1;
        if (!got) {
            ok = fail(kTmpOpen);
            break;
        }
        if ((i + 1) % 200 == 0) setProgress(i + 1, n);
        double z = r.depth;
        bool inRange = z >= lo && z <= hi;
        bool continuing = written > 0 && (end - lastWritten) * sign > kEps;
        if (!inRange && !continuing) {
            sum = r;
            count = 1;
            sumInRange = false;
            continue;
        }
        double t = gridAt(gridIndex);
        double d = (z - t) * sign;
        if (std::fabs(d) <= kEps) {
            addRecord(sum, r);
            ++count;
            emit(averagedLine(t, sum, count));
            clear();
            ++gridIndex;
        } else if (d > 0) {
            emit(averagedLine(t, sum, count));
            clear();
            addRecord(sum, r);
            count = 1;
            sumInRange = inRange;
            auto kmax =
                std::max<std::int64_t>(1, static_cast<std::int64_t>(truncTolerant(std::fabs(z - t) / step)));
            LasRecord single = averagedLine(0, r, 1);
            for (std::int64_t k = 1; k < kmax; ++k) {
                single.depth = gridAt(gridIndex + k);
                emit(single);
            }
            gridIndex += kmax;
        } else {
            addRecord(sum, r);
            ++count;
            sumInRange = sumInRange || inRange;
        }
    }
    // The records gathered for the last grid depth of the range are not lost at the end of the log.
    if (ok && count > 0 && sumInRange) emit(averagedLine(gridAt(gridIndex), sum, count));
    setProgress(n, n);
    if (ok && std::fflush(la) != 0)
        ok = fail(std::string(kTmpCreate) + "\n" + systemErrorText(ctx_.laPath, errno));
    return ok;
}

bool CLasExport::gammaPass(std::FILE* out, std::FILE* la, const LasChoices& choices) {
    if (std::fseek(la, 0, SEEK_SET) != 0) return fail(kTmpOpen);
    std::vector<LasRecord> recs;
    LasRecord r;
    while (std::fread(&r, sizeof r, 1, la) == 1)
        recs.push_back(r);
    if (recs.empty()) return true;
    setStatus("I write the gamma curve,wait ...");
    // The shift keeps the sign of G0. The gamma detector sits G0 above the deviation sensor, the depth
    // reference of the curves: above it (G0 > 0) it passes a depth later on a down log, so its reading
    // of a depth is found c records further on; below it (G0 < 0) it passes the depth earlier, and the
    // reading is |c| records back. A count made positive whatever the sign would move a negative offset
    // the wrong way by twice the distance.
    auto c = static_cast<std::int64_t>(truncTolerant(ctx_.g0 / stepInLogUnit(choices.stepIndex)));
    auto n = static_cast<std::int64_t>(recs.size());
    bool up = recs.back().depth < recs.front().depth;
    for (std::int64_t i = 0; i < n; ++i) {
        LasRecord line = recs[static_cast<size_t>(i)];
        std::int64_t j = up ? i - c : i + c;
        line.gamma = j >= 0 && j < n ? recs[static_cast<size_t>(j)].gamma : kLasNull;
        WriteLineAscFile(out, line, choices.curves);
    }
    return true;
}

void CLasExport::WriteLineAscFile(std::FILE* out, const LasRecord& r, const LasCurves& c) const {
    try {
        auto conv = [&](double v) { return v == kLasNull ? v : toDisplay(v); };
        std::fprintf(out, "\n%#9.2f", conv(r.depth));
        if (c.speed) std::fprintf(out, " %#9.2f", conv(r.speed));
        if (c.gamma) std::fprintf(out, " %#9.2f", r.gamma);
        if (c.incl) std::fprintf(out, " %#9.2f", r.incl);
        if (c.azimuth) std::fprintf(out, " %#9.2f", r.azimuth);
        if (c.hgDelta) std::fprintf(out, " %#9.2f", r.hgDelta);
        if (c.roll) std::fprintf(out, " %#9.2f", r.roll);
        if (c.mroll) std::fprintf(out, " %#9.2f", r.mroll);
        if (c.tgrav) std::fprintf(out, " %#9.3f", r.tgrav);
        if (c.tmag) {
            if (r.tmag == kLasNull)
                std::fprintf(out, " %#9.2f", r.tmag);
            else
                std::fprintf(out, " %9d", static_cast<int>(r.tmag * 100000.0));
        }
        if (c.raw)
            std::fprintf(out, " %#9.2f %#9.2f %#9.2f %#9.2f %#9.2f %#9.2f", r.gx, r.gy, r.gz, r.hx, r.hy,
                         r.hz);
    } catch (...) {
        ReportException("CLasExport::WriteLineAscFile", "LasExport.cpp", __LINE__);
        WriteCaughtException("CLasExport::WriteLineAscFile");
    }
}

void CLasExport::WriteHeaderLASFile(std::FILE* out, const LasChoices& choices) const {
    try {
        std::string h;
        h += "#VEXA Logger file export\n";
        h += "~VERSION INFORMATION\n";
        h += kSeparator;
        h += " VERS. 2.0 : CWLS LOG ASCII STANDARD - VERSION 2.0\n";
        h += " WRAP. NO  : ONE LINE PER DEPTH STEP\n";
        h += "~WELL INFORMATION\n";
        h += "#MNEM.UNIT         DATA                                DESCRIPTION \n";
        h += kSeparator;

        double start = choices.reverse ? ctx_.to : ctx_.from;
        double stop = choices.reverse ? ctx_.from : ctx_.to;
        auto shown = [&](double v) {
            if (ctx_.displayUnit == ctx_.logUnit) return hundredths(v) / 100.0;
            return ctx_.displayUnit == 0 ? v * units::kMetresPerFoot : v * units::kFeetPerMetre;
        };
        double s = shown(start), e = shown(stop);
        double step =
            lasStepItems(ctx_.displayUnit)[static_cast<size_t>(std::clamp(
                                               choices.stepIndex, 0,
                                               static_cast<int>(lasStepItems(ctx_.displayUnit).size()) - 1))]
                .hundredths /
            100.0;
        if (e < s) step = -step;
        if (ctx_.displayUnit == 1) {
            h += format(" STRT.ft       %#8.2f                            :   START DEPTH\n", s);
            h += format(" STOP.ft       %#8.2f                            :   STOP DEPTH\n", e);
            h += format(" STEP.ft       %#8.2f                            :   STEP VALUE\n", step);
        } else if (ctx_.logUnit == 0) {
            h += format(" STRT.M        %#8.2f                            :   START DEPTH\n", s);
            h += format(" STOP.M        %#8.2f                            :   STOP DEPTH\n", e);
            h += format(" STEP.M        %#8.2f                            :   STEP VALUE\n", step);
        } else {
            h += format(" STRT.M       %#8.2f                             :   START DEPTH\n", s);
            h += format(" STOP.M       %#8.2f                             :   STOP DEPTH\n", e);
            h += format(" STEP.M       %#8.2f                             :   STEP VALUE\n", step);
        }
        h += " NULL.        -9999.250                            :   NULL VALUE\n";

        static const char* const kPrefix[11] = {" COMP.    ", " WELL.    ", " FLD.     ", " LOC.     ",
                                                " CTRY.    ", " CNTY.    ", " STAT.    ", " SRVC.    ",
                                                " DATE.    ", " UWI.     ", " API.     "};
        static const char* const kSuffix[11] = {" :   COMPANY NAME\n",
                                                " :   WELL NAME\n",
                                                " :   FIELD NAME\n",
                                                " :   LOCATION\n",
                                                " :   COUNTRY\n",
                                                " :   COUNTY\n",
                                                " :   STATE\n",
                                                " :   SERVICE COMPANY NAME\n",
                                                " :   DATE\n",
                                                " :   UNIQUE WELL IDENTIFIER\n",
                                                " :   API REFERENCE NUMBER\n"};
        for (size_t i = 0; i < 11; ++i)
            h += kPrefix[i] + wellValue(ctx_.wellTexts[i]) + kSuffix[i];

        h += "~PARAMETER INFORMATION\n";
        h += "#MNEM.UNIT         VALUE                 DESCRIPTION OF MNEMONIC\n";
        h += kSeparator;
        h += format(" MAGN-DEC.  %#14.2f         : Magnetic declination in degree.\n",
                    ctx_.magneticDeclination);
        h += "~OTHER INFORMATION SECTION\n";
        h += kSeparator;
        h += ctx_.mode == kLasModeUp ? "     Notes: The log is recorded in Up Mode.\n"
                                     : "     Notes: The log is recorded in Down Mode.\n";
        h += kSeparator;
        h += "~CURVE INFORMATION\n";
        h += "#MNEM.UNIT         API CODE              CURVE DESCRIPTION\n";
        h += kSeparator;
        bool feet = ctx_.displayUnit == 1;
        h += feet ? " DEPTH     .ft                                :  Depth        \n"
                  : " DEPTH     .M                                 :  Depth        \n";
        std::string titles = "~A  DEPTH";
        const LasCurves& c = choices.curves;
        auto curve = [&](bool on, const char* line, const char* title) {
            if (!on) return;
            h += line;
            titles += title;
        };
        curve(c.speed,
              feet ? " SPEED     .ft/Min                            :  Logging speed\n"
                   : " SPEED     .M/Min                             :  Logging speed\n",
              "     SPEED");
        curve(c.gamma, " GAMMA     .CPS                               :  Natural gamma\n", "     GAMMA");
        curve(c.incl, " INCL      .DEGREE                            :  inclination\n", "      INCL");
        curve(c.azimuth, " AZ        .DEGREE                            :  azimuth\n", "        AZ");
        curve(c.hgDelta, " HGDELTA   .DEGREE                            :  HG Delta\n", "   HGDELTA");
        curve(c.roll, " ROLL      .DEGREE                            :  Roll\n", "      ROLL");
        curve(c.mroll, " MROLL\t   .DEGREE                            :  Magnetic roll\n", "     MROLL");
        curve(c.tgrav, " TGRAV     .G                                 :  Total gravity\n", "     TGRAV");
        curve(c.tmag, " TMAG      .nT                                :  Total Heading\n", "     TMAG");
        if (c.raw) {
            h += " GX        .RAW                               :  Accelerometer x axis\n";
            h += " GY        .RAW                               :  Accelerometer y axis\n";
            h += " GZ        .RAW                               :  Accelerometer z axis\n";
            h += " HX        .RAW                               :  Magnetometer x axis\n";
            h += " HY        .RAW                               :  Magnetometer y axis\n";
            h += " HZ        .RAW                               :  Magnetometer z axis\n";
            titles += "        GX        GY        GZ        HX        HY        HZ";
        }
        h += kSeparator;
        h += titles;
        std::fputs(h.c_str(), out);
    } catch (...) {
        ReportException("CLasExport::WriteHeaderLASFile", "LasExport.cpp", __LINE__);
        WriteCaughtException("CLasExport::WriteHeaderLASFile");
    }
}

}  // namespace quelt

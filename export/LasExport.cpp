#include "export/LasExport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "config/Diagnostics.h"
#include "config/Ini.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "stream/DataFile.h"

namespace quelt {
namespace {

constexpr double kMetresToFeet = 3.28083;
constexpr double kFeetToMetres = 0.3048;
constexpr double kEps = 1e-7;
constexpr const char* kSeparator =
    "#------------------------------------------------------------------------------\n";
constexpr const char* kTmpCreate = "Trouble for create tempory file .\n Aborded ...";
constexpr const char* kTmpOpen = "Trouble for open tempory file .\n Aborded ...";
constexpr const char* kBadFormat = "Bad file format.\nExport file failled...";
constexpr size_t kHeadBytes = 37;

double hundredths(double x) {
    return roundHalfAway(x * 100.0);
}

std::int16_t i16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}
std::uint16_t u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::int32_t i32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
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
    return ctx_.displayUnit == 1 ? v * kMetresToFeet : v * kFeetToMetres;
}

double CLasExport::toLog(double v) const {
    if (ctx_.displayUnit == ctx_.logUnit) return v;
    return ctx_.logUnit == 1 ? v * kMetresToFeet : v * kFeetToMetres;
}

double CLasExport::stepInLogUnit(int stepIndex) const {
    auto items = lasStepItems(ctx_.displayUnit);
    size_t i = static_cast<size_t>(std::clamp(stepIndex, 0, static_cast<int>(items.size()) - 1));
    return toLog(items[i].hundredths / 100.0);
}

bool CLasExport::LoadInput(const std::string& headerPathIn) {
    namespace fs = std::filesystem;
    loaded_ = false;
    LasContext c;
    c.tmpPath = programDirectory() + "las~.tmp";
    c.laPath = programDirectory() + "las~.la~";
    c.displayUnit = settings_.SetDepthUnit == 1 ? 1 : 0;

    fs::path header = resolveNoCase(nativePath(headerPathIn));
    fs::path data = header;
    data.replace_extension("viv");
    data = resolveNoCase(data);
    c.headerPath = header.string();
    c.dataPath = data.string();
    fs::path folder = header.parent_path();
    fs::path las20 = folder / "LAS20";
    fs::path out = las20 / header.filename();
    out.replace_extension("las");
    c.outputPath = out.string();

    std::error_code ec;
    auto unusable = [&](const std::string& text) {
        setStatus("export file failled...");
        return fail(text);
    };
    if (!fs::is_regular_file(data, ec)) return unusable("Data file not present.");
    if (!fs::is_regular_file(header, ec)) return unusable("Bad header file.");
    fs::create_directories(las20, ec);

    LogHeader logHeader;
    {
        CHeader reader(settings_, paths_, placements_, operator_, logHeader, sondes_);
        if (!reader.ReadHeader(c.headerPath)) return unusable(kBadFormat);
    }
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
        c.d0 *= kMetresToFeet;
        c.g0 *= kMetresToFeet;
    }

    static const char* const kWellKeys[11] = {"Company", "Wellname", "Fieldname", "Location",
                                              "Country", "",         "",          "ServiceCompany",
                                              "Date",    "UWI",      "UWI"};
    for (size_t i = 0; i < 11; ++i)
        c.wellTexts[i] = *kWellKeys[i] ? logHeader.text(kWellKeys[i]) : std::string();

    int fileCount = std::max(logHeader.dataFiles, 1);
    for (int i = 1; i <= fileCount; ++i) {
        std::string section = format("File%d", i);
        LasDataFile f;
        f.fileName = trim(readProfileString(c.headerPath, section, "FileName", ""));
        double start = parseLeadingDouble(readProfileString(c.headerPath, section, "StartDepth", "0"));
        double end = parseLeadingDouble(readProfileString(c.headerPath, section, "EndDepth", "0"));
        f.startDepth = (start - c.d0 * 1000.0) / 1000.0;
        f.endDepth = (end - c.d0 * 1000.0) / 1000.0;
        f.recLineSize = parseLeadingInt(readProfileString(c.headerPath, section, "RecLineSize", "0"));
        // A line shorter than its fixed head (or none at all) cannot be read.
        if (f.recLineSize < static_cast<int>(kHeadBytes)) return unusable(kBadFormat);
        fs::path p =
            f.fileName.empty() ? data : resolveNoCase(folder / fs::path(nativePath(f.fileName)).filename());
        if (i == 1 && !fs::is_regular_file(p, ec)) p = data;
        f.fileName = p.string();
        auto size = fs::file_size(p, ec);
        if (!ec) c.records += static_cast<std::int64_t>(size / static_cast<std::uintmax_t>(f.recLineSize));
        c.files.push_back(std::move(f));
    }
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
        shown = perRecord * (c.logUnit == 0 ? 1000.0 : kFeetToMetres * 1000.0);
        c.intervalUnit = "mm";
    } else {
        shown = perRecord * (c.logUnit == 1 ? 12.0 : 39.37);
        c.intervalUnit = "\"";
    }
    c.intervalText = format("%.2f", shown);
    ctx_ = std::move(c);
    loaded_ = true;
    return true;
}

bool CLasExport::SetFrom(double displayValue) {
    double v = toLog(displayValue);
    double lo = std::min(hundredths(ctx_.firstDepth), hundredths(ctx_.lastDepth));
    double hi = std::max(hundredths(ctx_.firstDepth), hundredths(ctx_.lastDepth));
    double h = hundredths(v);
    std::string error;
    if (h < lo || h > hi)
        error = format("Bad entry value (begining %#.2f ending %#.2f) \n", toDisplay(ctx_.firstDepth),
                       toDisplay(ctx_.lastDepth));
    else if (ctx_.mode == kLasModeDown && h > hundredths(ctx_.to))
        error = "Bad entry value, the depth of beginning must be smaller than the depth of stop";
    else if (ctx_.mode == kLasModeUp && h < hundredths(ctx_.to))
        error = "Bad entry value, the depth of stop must be smaller than the depth of beginning";
    if (!error.empty()) {
        operator_.message(error, MessageKind::Error);
        ctx_.from = ctx_.firstDepth;
        return false;
    }
    ctx_.from = v;
    return true;
}

bool CLasExport::SetTo(double displayValue) {
    double v = toLog(displayValue);
    double lo = std::min(hundredths(ctx_.firstDepth), hundredths(ctx_.lastDepth));
    double hi = std::max(hundredths(ctx_.firstDepth), hundredths(ctx_.lastDepth));
    double h = hundredths(v);
    std::string error;
    if (h < lo || h > hi)
        error = format("Bad entry value (begining %#.2f ending %#.2f) \n", toDisplay(ctx_.firstDepth),
                       toDisplay(ctx_.lastDepth));
    else if (ctx_.mode == kLasModeDown && h < hundredths(ctx_.from))
        error = "Bad entry value, the depth of beginning must be smaller than the depth of stop";
    else if (ctx_.mode == kLasModeUp && h > hundredths(ctx_.from))
        error = "Bad entry value, the depth of stop must be smaller than the depth of beginning";
    if (!error.empty()) {
        operator_.message(error, MessageKind::Error);
        ctx_.to = ctx_.lastDepth;
        return false;
    }
    ctx_.to = v;
    return true;
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
    try {
        setProgress(0, ctx_.records);
        setStatus("");
        std::error_code ec;
        if (fs::exists(ctx_.outputPath, ec)) {
            if (!replaceExisting && !operator_.askYesNo("Same file name exist, do you want replace this ?"))
                return fail("Migration to LAS file aborted. ", MessageKind::Information);
            fs::remove(ctx_.outputPath, ec);
        }
        setStatus("Create tempory file ...");
        if (!ReadDataFile()) return false;
        setStatus("Create LAS file ...");
        std::FILE* out = std::fopen(ctx_.outputPath.c_str(), "a");
        if (!out) return fail("Trouble opening or create file. " + ctx_.outputPath);
        WriteHeaderLASFile(out, choices);
        bool ok = resamplingPass(out, choices);
        if (ok && choices.curves.gamma) ok = gammaPass(out, choices);
        ok = !std::ferror(out) && ok;
        if (std::fclose(out) != 0) ok = false;
        if (!ok) {
            // A partial LAS file would pass for a whole one in the client's software.
            fs::remove(ctx_.outputPath, ec);
            return false;
        }
        setStatus("File migred.");
        return true;
    } catch (...) {
        ReportException("CLasExport::GenerateLASFormatFile", "LasExport.cpp", __LINE__);
        WriteCaughtException("CLasExport::GenerateLASFormatFile");
        return false;
    }
}

bool CLasExport::ReadDataFile() {
    try {
        std::remove(ctx_.tmpPath.c_str());
        std::remove(ctx_.laPath.c_str());
        std::FILE* tmp = std::fopen(ctx_.tmpPath.c_str(), "ab");
        if (!tmp) return fail(kTmpCreate);
        setProgress(0, ctx_.records);
        RunningMean<75> speed;
        std::array<RunningMean<2>, 6> axes;  // hx gx hy gy hz gz
        bool firstRecord = true;
        double previous = 0;
        std::int64_t count = 0;
        std::vector<std::uint8_t> line;
        for (const LasDataFile& f : ctx_.files) {
            DataFileReader reader;
            if (!reader.open(f.fileName, static_cast<size_t>(f.recLineSize))) {
                std::fclose(tmp);
                return fail("Trouble opening file.\nFile busy or bad file !!!");
            }
            for (std::uint64_t pos = 0; reader.readLine(pos, line); pos += reader.lineSize()) {
                const std::uint8_t* p = line.data();
                LasRecord r;
                r.depth = roundHalfAway((i32(p) / 1000.0 - ctx_.d0) * 1000.0) / 1000.0;
                if (firstRecord) previous = r.depth;
                firstRecord = false;
                int t = p[34];
                // A record without counting time has no speed of its own; it stays out of the mean.
                if (t > 0) speed.add((r.depth - previous) / t * 60000.0);
                previous = r.depth;
                r.speed = speed.mean();
                r.gamma = t == 0 ? -999.25 : u16(p + 32) / static_cast<double>(t) * 1000.0 * ctx_.gammaCoef;
                for (size_t a = 0; a < 6; ++a)
                    axes[a].add(i16(p + 20 + 2 * a));
                r.hx = axes[0].mean();
                r.gx = axes[1].mean();
                r.hy = axes[2].mean();
                r.gy = axes[3].mean();
                r.hz = axes[4].mean();
                r.gz = axes[5].mean();
                if (std::fwrite(&r, sizeof r, 1, tmp) != 1) {
                    std::fclose(tmp);
                    return fail(kTmpCreate);
                }
                if (++count % 200 == 0) setProgress(count, ctx_.records);
            }
        }
        setProgress(count, ctx_.records);
        if (std::fclose(tmp) != 0) return fail(kTmpCreate);
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

bool CLasExport::resamplingPass(std::FILE* out, const LasChoices& choices) {
    std::FILE* tmp = std::fopen(ctx_.tmpPath.c_str(), "rb");
    if (!tmp) return fail(kTmpOpen);
    std::FILE* la = std::fopen(ctx_.laPath.c_str(), "ab");
    if (!la) {
        std::fclose(tmp);
        return fail(kTmpCreate);
    }
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
            if (std::fwrite(&r, sizeof r, 1, la) != 1) ok = false;
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
    std::fclose(tmp);
    if (std::fclose(la) != 0) ok = false;
    if (!ok) return false;
    return true;
}

bool CLasExport::gammaPass(std::FILE* out, const LasChoices& choices) {
    std::FILE* la = std::fopen(ctx_.laPath.c_str(), "rb");
    if (!la) return fail(kTmpOpen);
    std::vector<LasRecord> recs;
    LasRecord r;
    while (std::fread(&r, sizeof r, 1, la) == 1)
        recs.push_back(r);
    std::fclose(la);
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
            return ctx_.displayUnit == 0 ? v * kFeetToMetres : v * kMetresToFeet;
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

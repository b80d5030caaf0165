#include "export/LasExport.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>
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

// Lines read, records written and read back a block at a time; progress every few hundred lines.
constexpr size_t kBlockLines = 512;
constexpr std::int64_t kProgressLines = 200;

// printf's "%#9.2f" (or "%#9.3f") through std::to_chars: the same digits, right-aligned in nine
// columns, at a fraction of the cost.
void appendFixed(std::string& text, double v, int decimals) {
    char digits[400];  // the widest double in fixed notation with three decimals
    const auto r = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed, decimals);
    const auto used = static_cast<size_t>(r.ptr - digits);
    if (used < 9) text.append(9 - used, ' ');
    text.append(digits, used);
}

// printf's "%9d".
void appendInteger(std::string& text, int v) {
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    const auto used = static_cast<size_t>(r.ptr - digits);
    if (used < 9) text.append(9 - used, ' ');
    text.append(digits, used);
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

bool CLasExport::unusable(const std::string& text) {
    setStatus("export file failled...");
    return text.empty() ? false : fail(text);
}

bool CLasExport::LoadInput(const std::string& headerPath) {
    loaded_ = false;
    createdFolder_ = false;
    LasContext c;
    c.displayUnit = settings_.SetDepthUnit == 1 ? 1 : 0;
    LogHeader logHeader;
    OpenedLog log;
    if (!openInput(headerPath, logHeader, log, c)) return false;
    c.logUnit = logHeader.depthUnit == 1 ? 1 : 0;
    c.magneticDeclination = logHeader.magneticDeclination;
    takeSondeOffsets(logHeader, c);
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
    takeDepthRange(c);
    describeInterval(c);
    ctx_ = std::move(c);
    loaded_ = true;
    return true;
}

bool CLasExport::openInput(const std::string& headerPath, LogHeader& logHeader, OpenedLog& log,
                           LasContext& c) {
    namespace fs = std::filesystem;
    // The log is opened as every command opens it: the same checks and the same reasons.
    {
        CHeader reader(settings_, paths_, placements_, operator_, logHeader, sondes_);
        if (openLog(headerPath, reader, operator_, log, /*repair=*/false) != OpenLogResult::Ok)
            return unusable("");
    }
    fs::path header = log.headerPath;
    c.headerPath = log.headerPath;
    c.dataPath = log.dataPath;
    c.layout = log.layout;
    fs::path las20 = header.parent_path() / "LAS20";
    fs::path out = las20 / header.filename();
    out.replace_extension("las");
    c.outputPath = out.string();
    for (int kind : {channel::DPTH, channel::NGAM, channel::GCLK, channel::HX, channel::GX, channel::HY,
                     channel::GY, channel::HZ, channel::GZ})
        if (!channelIndex(c.layout, kind)) return unusable(kBadFormat);
    std::error_code ec;
    createdFolder_ = fs::create_directories(las20, ec);
    return true;
}

void CLasExport::takeSondeOffsets(const LogHeader& logHeader, LasContext& c) const {
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
}

void CLasExport::takeDepthRange(LasContext& c) {
    double first = c.files.front().startDepth, last = c.files.back().endDepth;
    bool down = first < last;
    // The range starts and ends on whole hundredths inside the recorded depths.
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
}

void CLasExport::describeInterval(LasContext& c) {
    double perRecord = std::fabs((c.lastDepth - c.firstDepth) / static_cast<double>(c.records));
    double shown;
    if (c.displayUnit == 0) {
        shown = perRecord * (c.logUnit == 0 ? 1000.0 : units::kMetresPerFoot * 1000.0);
        c.intervalUnit = "mm";
    } else {
        shown = perRecord * (c.logUnit == 1 ? 12.0 : units::kInchesPerMetre);
        c.intervalUnit = "\"";
    }
    c.intervalText = format("%.2f", shown);
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

bool CLasExport::StartChecks(const LasChoices& choices, bool replaceExisting) {
    if (!choices.curves.any()) return fail("You must at least choose one channel !!!");
    return Prepare(choices, replaceExisting);
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

LasChoices CLasExport::effective(const LasChoices& choices) const {
    LasChoices c = choices;
    if (!ctx_.gammaOnBoard) c.curves.gamma = false;
    return c;
}

bool CLasExport::ended(bool ok) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::path(ctx_.outputPath).parent_path();
    // A folder this export made and left empty goes with a failed export.
    if (!ok && createdFolder_ && fs::is_empty(folder, ec)) fs::remove(folder, ec);
    return ok;
}

bool CLasExport::GenerateLASFormatFile(const LasChoices& choices, bool replaceExisting) {
    return Prepare(choices, replaceExisting) && Write(choices);
}

bool CLasExport::Prepare(const LasChoices& choicesIn, bool replaceExisting) {
    namespace fs = std::filesystem;
    if (!loaded_) return fail(kBadFormat);
    const LasChoices choices = effective(choicesIn);
    abort = false;  // a Cancel of an earlier export, not of this one
    setProgress(0, ctx_.records);
    setStatus("");
    if (std::string clash = outputMeetsSource({ctx_.outputPath}, {ctx_.headerPath, ctx_.dataPath});
        !clash.empty())
        return ended(fail(clash));
    const double step = stepInLogUnit(choices.stepIndex);
    const double gridLines = std::fabs(ctx_.to - ctx_.from) / step + 1;
    if (!(gridLines <= static_cast<double>(kMaxLasLines)))
        return ended(fail(format(
            "The export from %.2f to %.2f would make %.0f lines (at most %lld): refused.",
            toDisplay(ctx_.from), toDisplay(ctx_.to), gridLines, static_cast<long long>(kMaxLasLines))));
    std::error_code ec;
    if (fs::exists(ctx_.outputPath, ec)) {
        if (!replaceExisting && !operator_.askYesNo("Same file name exist, do you want replace this ?"))
            return ended(fail("Migration to LAS file aborted. ", MessageKind::Information));
    }
    return true;
}

bool CLasExport::Write(const LasChoices& choicesIn) {
    namespace fs = std::filesystem;
    if (!loaded_) return fail(kBadFormat);
    const LasChoices choices = effective(choicesIn);
    // The scratch file and the unfinished output live inside this call only: whatever way it ends,
    // they are gone when it returns.
    auto attempt = [&]() -> bool {
        setStatus("Create tempory file ...");
        // A scratch file of this run only, beside the output: two exports at once never share one, and
        // the program folder need not be writable.
        TempFile tmp;
        if (!tmp.create(fs::path(ctx_.outputPath).parent_path(), "las~"))
            return fail(std::string(kTmpCreate) + "\n" + tmp.error());
        ctx_.tmpPath = tmp.path().string();
        if (!ReadDataFile(tmp.file())) return false;
        setStatus("Create LAS file ...");
        AtomicOutput out(ctx_.outputPath);
        if (!out.open()) return fail("Trouble opening or create file. " + out.error());
        WriteHeaderLASFile(out.file(), choices);
        // A partial LAS file would pass for a whole one in the client's software: it never gets the name.
        if (!resamplingPass(out.file(), tmp.file(), choices) || abort) return false;
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
    return ended(ok);
}

bool CLasExport::ReadDataFile(std::FILE* tmp) {
    try {
        setProgress(0, ctx_.records);
        RunningMean<75> speed;
        std::array<RunningMean<2>, 6> axes;  // hx gx hy gy hz gz
        bool firstRecord = true;
        double previous = 0;
        std::int64_t count = 0;
        const LineLayout& layout = ctx_.layout;
        auto at = [&](int kind) { return layout.channels[*channelIndex(layout, kind)]; };
        const LineChannel depthAt = at(channel::DPTH), gammaAt = at(channel::NGAM),
                          clockAt = at(channel::GCLK);
        const LineChannel axisAt[6] = {at(channel::HX), at(channel::GX), at(channel::HY),
                                       at(channel::GY), at(channel::HZ), at(channel::GZ)};
        std::vector<std::uint8_t> block;
        std::vector<LasRecord> records;
        records.reserve(kBlockLines);
        for (const LasDataFile& f : ctx_.files) {
            DataFileReader reader;
            if (!reader.open(f.fileName, layout.lineSize))
                return fail("Trouble opening file.\nFile busy or bad file !!!");
            const size_t size = reader.lineSize();
            std::uint64_t pos = 0;
            for (size_t n; (n = reader.readLines(pos, kBlockLines, block)) > 0; pos += n * size) {
                if (abort) return false;
                records.clear();
                for (size_t i = 0; i < n; ++i) {
                    const std::span<const std::uint8_t> line(block.data() + i * size, size);
                    auto value = [&](const LineChannel& c) {
                        return static_cast<double>(channelValue(line, c));
                    };
                    LasRecord& r = records.emplace_back();
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
                    if (++count % kProgressLines == 0) setProgress(count, ctx_.records);
                }
                if (std::fwrite(records.data(), sizeof(LasRecord), records.size(), tmp) != records.size())
                    return fail(std::string(kTmpCreate) + "\n" + systemErrorText(ctx_.tmpPath, errno));
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

namespace {

// The records of the scratch file in export order (forwards, or backwards for a reversed export),
// read a block at a time.
class RecordReader {
  public:
    RecordReader(std::FILE* f, std::int64_t count, bool backwards)
        : f_(f), left_(count), backwards_(backwards) {
        next_ = backwards ? count : 0;
    }
    // False at the end, or when the file cannot be read (`failed`).
    bool read(LasRecord& r) {
        if (at_ == block_.size()) {
            if (left_ == 0 || !fill()) return false;
        }
        r = block_[backwards_ ? block_.size() - 1 - at_ : at_];
        ++at_;
        return true;
    }
    bool failed() const { return failed_; }

  private:
    bool fill() {
        const std::int64_t n = std::min<std::int64_t>(left_, kBlockLines);
        const std::int64_t first = backwards_ ? next_ - n : next_;
        block_.resize(static_cast<size_t>(n));
        if (std::fseek(f_, static_cast<long>(first * static_cast<std::int64_t>(sizeof(LasRecord))),
                       SEEK_SET) != 0 ||
            std::fread(block_.data(), sizeof(LasRecord), block_.size(), f_) != block_.size()) {
            failed_ = true;
            return false;
        }
        next_ = backwards_ ? first : first + n;
        left_ -= n;
        at_ = 0;
        return true;
    }

    std::FILE* f_;
    std::int64_t left_, next_ = 0;
    bool backwards_, failed_ = false;
    std::vector<LasRecord> block_;
    size_t at_ = 0;
};

}  // namespace

// The grid lines on their way into the LAS file, formatted into a buffer written in large blocks.
// With the gamma curve each line takes the gamma of the record `shift` lines further on in the file
// (back, when negative): a line waits for the record whose gamma it takes, so only the lines between
// the two are held.
class CLasExport::LineWriter {
  public:
    LineWriter(const CLasExport& las, std::FILE* out, const LasCurves& curves,
               std::optional<std::int64_t> shift)
        : las_(las), out_(out), curves_(curves), shift_(shift) {}

    void add(const LasRecord& r) {
        if (!shift_) return write(r);
        const std::int64_t shift = *shift_;
        if (shift >= 0) {
            held_.push_back(r);
            if (static_cast<std::int64_t>(held_.size()) > shift) {
                LasRecord line = held_.front();
                held_.pop_front();
                line.gamma = r.gamma;
                write(line);
            }
        } else {
            LasRecord line = r;
            line.gamma = static_cast<std::int64_t>(earlier_.size()) == -shift ? earlier_.front() : kLasNull;
            earlier_.push_back(r.gamma);
            if (static_cast<std::int64_t>(earlier_.size()) > -shift) earlier_.pop_front();
            write(line);
        }
    }
    // The lines still waiting have no record to take their gamma from.
    void finish() {
        for (LasRecord line : held_) {
            line.gamma = kLasNull;
            write(line);
        }
        held_.clear();
        flush();
    }

  private:
    void write(const LasRecord& r) {
        las_.appendLine(text_, r, curves_);
        if (text_.size() >= kTextBlock) flush();
    }
    void flush() {
        // A short write sets the file's error flag, which the commit of the output reports.
        std::fwrite(text_.data(), 1, text_.size(), out_);
        text_.clear();
    }

    static constexpr size_t kTextBlock = 1 << 16;
    const CLasExport& las_;
    std::FILE* out_;
    LasCurves curves_;
    std::optional<std::int64_t> shift_;
    std::deque<LasRecord> held_;
    std::deque<double> earlier_;
    std::string text_;
};

bool CLasExport::resamplingPass(std::FILE* out, std::FILE* tmp, const LasChoices& choices) {
    std::fseek(tmp, 0, SEEK_END);
    std::int64_t n = std::ftell(tmp) / static_cast<std::int64_t>(sizeof(LasRecord));

    const double sign = (ctx_.mode == kLasModeDown ? 1.0 : -1.0) * (choices.reverse ? -1.0 : 1.0);
    const double step = stepInLogUnit(choices.stepIndex);
    const double t0 = choices.reverse ? ctx_.to : ctx_.from;
    const double end = choices.reverse ? ctx_.from : ctx_.to;
    const double lo = std::min(ctx_.from, ctx_.to) - kEps, hi = std::max(ctx_.from, ctx_.to) + kEps;
    std::int64_t gridIndex = 0;
    auto gridAt = [&](std::int64_t k) { return t0 + sign * step * static_cast<double>(k); };

    // The shift keeps the sign of G0. The gamma detector sits G0 above the deviation sensor, the depth
    // reference of the curves: above it (G0 > 0) it passes a depth later on a down log, so its reading
    // of a depth is found c records further on; below it (G0 < 0) it passes the depth earlier, and the
    // reading is |c| records back. A count made positive whatever the sign would move a negative offset
    // the wrong way by twice the distance. Lines written upwards look the other way.
    std::optional<std::int64_t> shift;
    if (choices.curves.gamma) {
        auto c = static_cast<std::int64_t>(truncTolerant(ctx_.g0 / step));
        shift = sign < 0 ? -c : c;
    }
    LineWriter writer(*this, out, choices.curves, shift);

    LasRecord sum;
    int count = 0;
    bool sumInRange = false;
    std::int64_t written = 0;
    double lastWritten = t0;
    auto emit = [&](const LasRecord& r) {
        // Nothing goes beyond the far end of the range the header announces.
        if ((r.depth - end) * sign > kEps) return;
        writer.add(r);
        lastWritten = r.depth;
        ++written;
    };
    auto clear = [&] {
        sum = LasRecord{};
        count = 0;
        sumInRange = false;
    };

    RecordReader records(tmp, n, choices.reverse);
    LasRecord r;
    for (std::int64_t i = 0; i < n; ++i) {
        if (!records.read(r)) return fail(kTmpOpen);
        if ((i + 1) % kProgressLines == 0) {
            if (abort) return false;
            setProgress(i + 1, n);
        }
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
    if (count > 0 && sumInRange) emit(averagedLine(gridAt(gridIndex), sum, count));
    setProgress(n, n);
    if (shift && written > 0) setStatus("I write the gamma curve,wait ...");
    writer.finish();
    return true;
}

void CLasExport::WriteLineAscFile(std::FILE* out, const LasRecord& r, const LasCurves& c) const {
    std::string text;
    appendLine(text, r, c);
    std::fwrite(text.data(), 1, text.size(), out);
}

void CLasExport::appendLine(std::string& text, const LasRecord& r, const LasCurves& c) const {
    auto conv = [&](double v) { return v == kLasNull ? v : toDisplay(v); };
    text += '\n';
    appendFixed(text, conv(r.depth), 2);
    auto column = [&](bool on, double v, int decimals = 2) {
        if (!on) return;
        text += ' ';
        appendFixed(text, v, decimals);
    };
    column(c.speed, conv(r.speed));
    column(c.gamma, r.gamma);
    column(c.incl, r.incl);
    column(c.azimuth, r.azimuth);
    column(c.hgDelta, r.hgDelta);
    column(c.roll, r.roll);
    column(c.mroll, r.mroll);
    column(c.tgrav, r.tgrav, 3);
    if (c.tmag) {
        text += ' ';
        // The total field in nT (a whole number); a value no int holds (a damaged log) is written as null.
        const double nanotesla = r.tmag * 100000.0;
        if (r.tmag == kLasNull || !(std::fabs(nanotesla) < 2147483647.0))
            appendFixed(text, kLasNull, 2);
        else
            appendInteger(text, static_cast<int>(nanotesla));
    }
    for (double v : {r.gx, r.gy, r.gz, r.hx, r.hy, r.hz})
        column(c.raw, v);
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

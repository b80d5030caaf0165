#include "export/Resampling.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "config/Diagnostics.h"
#include "config/Ini.h"
#include "export/DepthEntry.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Units.h"

namespace quelt {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBadFormat = "Bad file format.\nExport file failled...";

std::int32_t le32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}
void put(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Sample i moves to (i + k) modulo n.
template <typename T>
void rotateSamples(T& a, int n, int k) {
    if (n <= 0 || k % n == 0) return;
    T copy = a;
    for (int i = 0; i < n; ++i)
        a[static_cast<size_t>((i + k) % n)] = copy[static_cast<size_t>(i)];
}

int shiftFor(double degrees, int n) {
    return n > 0 ? static_cast<int>(std::trunc(degrees / (360.0 / n))) : 0;
}

int into360(int a) {
    a %= 360;
    return a < 0 ? a + 360 : a;
}

}  // namespace

std::int32_t ResampleLine::depth() const {
    return le32(head.data());
}
std::int32_t ResampleLine::time() const {
    return le32(head.data() + 4);
}
std::int16_t ResampleLine::shaft() const {
    return static_cast<std::int16_t>(head[8] | (head[9] << 8));
}
std::int16_t ResampleLine::axis(int i) const {
    size_t at = 20 + 2 * static_cast<size_t>(i);
    return static_cast<std::int16_t>(head[at] | (head[at + 1] << 8));
}

CFileResampling::CFileResampling(Settings& settings, ProgramPaths& paths, PlacementRecord& placements,
                                 Operator& op, const SondeDatabase& sondes, RotationRoutine rotation)
    : settings_(settings),
      paths_(paths),
      placements_(placements),
      operator_(op),
      sondes_(sondes),
      rotation_(std::move(rotation)) {}

bool CFileResampling::fail(const std::string& text, MessageKind kind) {
    operator_.message(text, kind);
    return false;
}

double CFileResampling::toLog(double v) const {
    if (displayUnit_ == logUnit_) return v;
    return logUnit_ == 1 ? v * units::kFeetPerMetre : v * units::kMetresPerFoot;
}

double CFileResampling::shown(double v) const {
    if (displayUnit_ == logUnit_) return v;
    return displayUnit_ == 1 ? v * units::kFeetPerMetre : v * units::kMetresPerFoot;
}

bool CFileResampling::LoadInput(const std::string& headerPathIn) {
    loaded_ = false;
    reader_.close();
    displayUnit_ = settings_.SetDepthUnit == 1 ? 1 : 0;
    fs::path header = resolveNoCase(nativePath(headerPathIn));
    fs::path data = header;
    data.replace_extension("viv");
    data = resolveNoCase(data);
    headerPath_ = header.string();
    dataPath_ = data.string();
    std::string stem = header.stem().string();
    if (stem.size() >= 2) {
        std::string tail = toUpper(stem.substr(stem.size() - 2));
        if (tail == "_X" || tail == "_N" || tail == "_H") stem.resize(stem.size() - 2);
    }
    base_ = stem;
    outFolder_ = (header.parent_path() / "RESAMPLING").string() + "/";
    std::error_code ec;
    createdFolder_ = fs::create_directories(outFolder_, ec);

    auto unusable = [&](const std::string& text) { return text.empty() ? false : fail(text); };
    block_.clear();  // lines of the log loaded before
    // The log is opened as every command opens it: the same checks and the same reasons.
    {
        CHeader hr(settings_, paths_, placements_, operator_, header_, sondes_);
        if (openLog(headerPath_, hr, operator_, log_, /*repair=*/false) != OpenLogResult::Ok)
            return unusable("");
    }
    headerPath_ = log_.headerPath;
    dataPath_ = log_.dataPath;
    logUnit_ = header_.depthUnit == 1 ? 1 : 0;
    deviation_ = header_.horizontalMode == 1 ? 2 : std::clamp(header_.screenMode, 0, 2);
    BuildOutputNames();

    SondeEntry sonde = sondes_.current();
    if (auto slot = sondes_.FindSonde(header_.serialNumber)) {
        sonde = sondes_.slot(*slot);
    } else {
        operator_.message(
            format("The sonde %d not found in dbase.\nThe offset parameter from sonde %d are used "
                   "by default.",
                   header_.serialNumber, sondes_.current().serialNumber),
            MessageKind::Information);
    }
    h_ = sonde.heightOffset / 100.0 * (logUnit_ == 1 ? units::kFeetPerMetre : 1.0);

    // The resampled lines are written as the head, four-byte samples and the 16-bit sum.
    layout_ = log_.layout;
    int samples = 0;
    for (const auto& c : layout_.channels)
        if (c.sampleType == 11 || c.sampleType == 12) samples = c.sampleCount;
    if (layout_.lineSize != 37 + 4 * static_cast<size_t>(samples) + 2 || samples == 0)
        return unusable(kBadFormat);
    if (reader_.wholeLines() == 0)
        return unusable("The data file holds no whole line.\nExport file failled...");

    double first = (header_.fileStartDepth - h_ * 1000.0) / 1000.0;
    double last = (header_.fileEndDepth - h_ * 1000.0) / 1000.0;
    down_ = first < last;
    double rf = roundHalfAway(first * 100.0) / 100.0, rl = roundHalfAway(last * 100.0) / 100.0;
    if (down_) {
        if (rf < first - 1e-9) rf += 0.01;
        if (rl > last + 1e-9) rl -= 0.01;
    } else {
        if (rf > first + 1e-9) rf -= 0.01;
        if (rl < last - 1e-9) rl += 0.01;
    }
    first_ = from_ = rf;
    last_ = to_ = rl;
    interval_ = roundHalfAway((rl - rf) / static_cast<double>(reader_.wholeLines()) * 1000.0) / 1000.0;
    loaded_ = true;
    position_ = 0;
    detectOrientation();
    ComputeSampling();
    return true;
}

bool CFileResampling::SetFrom(double displayValue) {
    double v = toLog(displayValue);
    DepthEntryFault fault = checkDepthEntry(v, first_, last_, to_, down_, true);
    if (fault == DepthEntryFault::OutOfRange)
        return fail(format("Bad entry value (begining %#.2f ending %#.2f) \n", shown(first_), shown(last_)));
    if (fault == DepthEntryFault::WrongOrder)
        return fail("Bad entry value, the depth of beginning must be smaller than the depth of stop");
    bool changed = roundHalfAway(v * 100) != roundHalfAway(from_ * 100);
    from_ = v;
    if (changed) ComputeSampling();
    return true;
}

bool CFileResampling::SetTo(double displayValue) {
    double v = toLog(displayValue);
    DepthEntryFault fault = checkDepthEntry(v, first_, last_, from_, down_, false);
    if (fault == DepthEntryFault::OutOfRange)
        return fail(format("Bad entry value (begining %#.2f ending %#.2f) \n", shown(first_), shown(last_)));
    if (fault == DepthEntryFault::WrongOrder)
        return fail("Bad entry value, the depth of beginning must be smaller than the depth of stop");
    bool changed = roundHalfAway(v * 100) != roundHalfAway(to_ * 100);
    to_ = v;
    if (changed) ComputeSampling();
    return true;
}

bool CFileResampling::readLine(std::uint64_t pos, ResampleLine& out) const {
    // The export reads forwards line after line: the lines come from the file a block at a time.
    const size_t size = reader_.lineSize();
    if (pos < blockStart_ || pos + size > blockStart_ + block_.size()) {
        blockStart_ = pos;
        if (reader_.readLines(pos, kBlockLines, block_) == 0) return false;
    }
    ParsedLine& p = parsed_;
    parseDataLine(std::span<const std::uint8_t>(block_.data() + (pos - blockStart_), size), layout_, p);
    out.head = p.head;
    out.samples = p.sampleCount;
    out.travel = p.travelTimes;
    out.amplitude = p.amplitudes;
    out.amplitudes16 = p.amplitudes16;
    out.extra = p.lastByte;
    return true;
}

void CFileResampling::ComputeSampling() {
    if (!loaded_) return;
    const size_t size = reader_.lineSize();
    auto target = [&](double v) { return static_cast<std::int32_t>(roundHalfAway((v + h_) * 1000.0)); };
    std::uint64_t start = reader_.seekDepthField(0, target(from_), down_);
    std::int32_t end = target(to_);
    std::int64_t count = 0;
    std::int32_t d = 0;
    for (std::uint64_t pos = start; reader_.readDepthField(pos, d); pos += size) {
        if (down_ ? d >= end : d <= end) break;
        ++count;
    }
    if (count == 0) return;
    position_ = start;
    double s = (to_ * 1000.0 - from_ * 1000.0) / 1000.0 / static_cast<double>(count);
    average_ = s;
    interval_ = roundHalfAway(s * 1000.0) / 1000.0;
    updateView();
}

void CFileResampling::updateView() {
    double s = std::fabs(average_), iv = std::fabs(interval_);
    SamplingView v;
    if (displayUnit_ == 0 && logUnit_ == 0) {
        double mm = s * 1000.0;
        v.averageText = format("%.1f", mm);
        v.unitText = "mm";
        v.intervalShown = static_cast<int>(truncTolerant(iv * 1000.0));
        v.minimum = static_cast<int>(roundHalfAway(0.5 * mm));
        v.maximum = static_cast<int>(roundHalfAway(5.0 * mm));
        v.rangeText = format("(%d - %d)", v.minimum, v.maximum);
        intervalCopy_ = v.intervalShown;
    } else if (displayUnit_ == 0) {
        int mm = static_cast<int>(truncTolerant(s * units::kMetresPerFoot * 1000.0));
        v.averageText = format("%d", mm);
        v.unitText = "mm";
        v.intervalShown = static_cast<int>(truncTolerant(iv * 1000.0 * units::kMetresPerFoot));
        v.minimum = static_cast<int>(std::trunc(0.5 * mm));
        v.maximum = static_cast<int>(std::trunc(5.0 * mm));
        v.rangeText = format("(%d - %d)", v.minimum, v.maximum);
        intervalCopy_ = static_cast<int>(truncTolerant(iv * 1000.0));
    } else {
        double mil = logUnit_ == 1 ? s * 1000.0 * 12.0 : s * 1000.0 * units::kInchesPerMetre;
        double ivMil = logUnit_ == 1 ? iv * 1000.0 * 12.0 : iv * 1000.0 * units::kInchesPerMetre;
        v.averageText = logUnit_ == 1 ? format("%.1f", truncTolerant(mil))
                                      : format("%d", static_cast<int>(truncTolerant(mil)));
        v.unitText = "mil";
        v.intervalShown = static_cast<int>(truncTolerant(ivMil));
        v.minimum = static_cast<int>(std::trunc(0.5 * mil));
        v.maximum = static_cast<int>(std::trunc(5.0 * mil));
        v.rangeText = format("(%d - %d)", v.minimum, v.maximum);
        intervalCopy_ =
            static_cast<int>(truncTolerant(iv * 1000.0 * (logUnit_ == 1 ? 1.0 : units::kFeetPerMetre)));
    }
    view_ = v;
}

bool CFileResampling::CheckInterval(const std::string& typed) {
    std::string t = trim(typed);
    char* endp = nullptr;
    double v = std::strtod(t.c_str(), &endp);
    if (t.empty() || endp == t.c_str()) return false;
    const char* unit = displayUnit_ == 0 ? "mm" : "mil";
    double s = std::fabs(average_);
    int minimum = view_.minimum, maximum = view_.maximum;
    // nan, a negative interval and -inf are below the range; +inf is above it.
    if (std::isnan(v) || v < 0) return fail(format("Minimal interval : %d %s", minimum, unit));
    if (std::isinf(v)) return fail(format("Maximal interval : %d %s", maximum, unit));
    bool refusedLow = false, refusedHigh = false;
    if (displayUnit_ == 0 && logUnit_ == 0) {
        v = std::fabs(v);
        minimum = static_cast<int>(roundHalfAway(0.5 * s * 1000.0));
        maximum = static_cast<int>(roundHalfAway(5.0 * s * 1000.0));
        refusedLow = v < minimum - 0.1;
        refusedHigh = v > maximum;
    } else {
        v = std::fabs(roundHalfAway(v));
        refusedLow = v < minimum;
        refusedHigh = v > maximum;
    }
    if (refusedLow) return fail(format("Minimal interval : %d %s", minimum, unit));
    if (refusedHigh) return fail(format("Maximal interval : %d %s", maximum, unit));
    double iv;
    if (displayUnit_ == 0 && logUnit_ == 0)
        iv = v / 1000.0;
    else if (displayUnit_ == 0)
        iv = v / 1000.0 * units::kFeetPerMetre;
    else if (logUnit_ == 0)
        iv = v / 1000.0 * units::kMetresPerInch;
    else
        iv = v / 12000.0;
    interval_ = down_ ? iv : -iv;
    SamplingView keep = view_;
    updateView();
    view_.minimum = keep.minimum;
    view_.maximum = keep.maximum;
    view_.rangeText = keep.rangeText;
    view_.averageText = keep.averageText;
    return true;
}

void CFileResampling::SetDeviation(int choice) {
    deviation_ = std::clamp(choice, 0, 2);
    BuildOutputNames();
}

void CFileResampling::SetOutputFolder(const std::string& folder) {
    outFolder_ = folder;
    if (!outFolder_.empty() && outFolder_.back() != '/') outFolder_ += '/';
    BuildOutputNames();
}

void CFileResampling::BuildOutputNames() {
    static const char* const kSuffix[3] = {"_X", "_N", "_H"};
    std::string name = base_ + kSuffix[std::clamp(deviation_, 0, 2)];
    outDataName_ = name + ".viv";
    outData_ = outFolder_ + outDataName_;
    outHeader_ = outFolder_ + name + ".hed";
}

void CFileResampling::detectOrientation() {
    orientationText_.clear();
    directionText_ = "-";
    std::array<double, 4> sums{};  // none, north, high side, recorded
    int used = 0;
    std::int32_t eleventh = 0, lastDepth = 0;
    int reads = 0;
    ResampleLine line;
    for (std::uint64_t pos = position_; reads < 100 && readLine(pos, line); pos += reader_.lineSize()) {
        ++reads;
        if (reads == 11) eleventh = line.depth();
        lastDepth = line.depth();
        if (!rotation_) continue;
        double g[6];
        for (int i = 0; i < 6; ++i)
            g[i] = line.axis(i);
        // axes in line order hx gx hy gy hz gz
        auto rot = [&](int mode) {
            return rotation_(g[1], g[3], g[5], g[0], g[2], g[4], mode, header_.magneticDeclination,
                             header_.imageOffset);
        };
        auto r0 = rot(0);
        if (!r0) continue;
        sums[0] += *r0;
        sums[1] += rot(1).value_or(0);
        sums[2] += rot(2).value_or(0);
        sums[3] += line.shaft();
        ++used;
    }
    std::array<double, 4> avg{};
    for (size_t i = 0; i < 4; ++i)
        avg[i] = used && sums[i] != 0 ? sums[i] / used : 0;
    int detected = -1;
    for (int mode : {0, 2, 1})
        if (std::fabs(avg[static_cast<size_t>(mode)] - avg[3]) <= 2.0) detected = mode;
    if (detected == 0)
        orientationText_ = "None";
    else if (detected == 2)
        orientationText_ = "HighSide";
    else if (detected == 1)
        orientationText_ = "Magnetic North";
    else
        orientationText_ = format(
            "Delta : %d\u00B0", static_cast<int>(std::trunc(avg[static_cast<size_t>(deviation_)] - avg[3])));
    if (reads >= 11) directionText_ = lastDepth > eleventh ? "Down" : lastDepth < eleventh ? "Up" : "-";
}

void CFileResampling::CreateViewerBMP(PreviewRaster& raster, int rows) {
    if (!loaded_) return;
    ResampleLine line;
    std::uint64_t pos = position_;
    for (int row = 0; row < rows; ++row, pos += reader_.lineSize()) {
        if (!readLine(pos, line)) continue;
        double rotation = 0;
        if (rotation_) {
            if (auto r =
                    rotation_(line.axis(1), line.axis(3), line.axis(5), line.axis(0), line.axis(2),
                              line.axis(4), deviation_, header_.magneticDeclination, header_.imageOffset))
                rotation = *r;
        }
        double offset = std::trunc(rotation - line.shaft());
        raster.ComposeRow(row, line, offset < -999 ? 0 : into360(static_cast<int>(offset)));
    }
}

namespace {

constexpr const char* kCreateFailed = "Trouble for create the new file .\n Aborded ...";

// A line's samples turned back from the rotation it was recorded with.
void unrotate(ResampleLine& l) {
    int a = into360(360 - l.shaft());
    if (a == 0) return;
    rotateSamples(l.travel, l.samples, shiftFor(a, l.samples));
    rotateSamples(l.amplitude, l.samples, shiftFor(a, l.samples));
}

// The line `e` of the way from `prev` to `cur` (0 < e < 1): time, rotation, axes, gamma and the samples
// interpolated, the rest of `cur`.
ResampleLine interpolated(const ResampleLine& prev, const ResampleLine& cur, double e) {
    ResampleLine o = cur;
    auto mix = [&](double a, double b) { return roundHalfAway(a + e * (b - a)); };
    put(o.head.data() + 4,
        static_cast<std::uint32_t>(static_cast<std::int32_t>(mix(prev.time(), cur.time()))), 4);
    put(o.head.data() + 8, static_cast<std::uint32_t>(static_cast<int>(mix(prev.shaft(), cur.shaft()))), 2);
    for (int a = 0; a < 6; ++a)
        put(o.head.data() + 20 + 2 * a,
            static_cast<std::uint32_t>(static_cast<int>(mix(prev.axis(a), cur.axis(a)))), 2);
    std::uint16_t pg = static_cast<std::uint16_t>(prev.head[32] | (prev.head[33] << 8));
    std::uint16_t cg = static_cast<std::uint16_t>(cur.head[32] | (cur.head[33] << 8));
    put(o.head.data() + 32, static_cast<std::uint32_t>(mix(pg, cg)), 2);
    o.head[34] = static_cast<std::uint8_t>(mix(prev.head[34], cur.head[34]));
    int n = std::min(prev.samples, cur.samples);
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        o.travel[i] =
            static_cast<std::uint16_t>(std::trunc(prev.travel[i] + e * (cur.travel[i] - prev.travel[i])));
        o.amplitude[i] = static_cast<std::uint16_t>(
            std::trunc(prev.amplitude[i] + e * (cur.amplitude[i] - prev.amplitude[i])));
    }
    return o;
}

}  // namespace

bool CFileResampling::Resample(bool replaceExisting) {
    return CheckOutputs(replaceExisting) && WriteResampled();
}

bool CFileResampling::ended(bool done) {
    std::error_code ec;
    const fs::path folder = fs::path(outData_).parent_path();
    // A folder made for this log and left empty goes with a failed export.
    if (!done && createdFolder_ && fs::is_empty(folder, ec)) fs::remove(folder, ec);
    return done;
}

bool CFileResampling::CheckOutputs(bool replaceExisting) {
    if (!loaded_) return fail(kBadFormat);
    abort = false;  // a Cancel of an earlier export, not of this one
    written_ = 0;
    BuildOutputNames();
    if (std::string clash = outputMeetsSource({outData_, outHeader_}, {headerPath_, dataPath_});
        !clash.empty())
        return ended(fail(clash));
    std::error_code ec;
    if (fs::exists(outData_, ec)) {
        if (!replaceExisting && !operator_.askYesNo("Same file name exist, do you want replace this ?"))
            return ended(fail("Resample file aborted. ", MessageKind::Information));
    }
    const double step = std::fabs(interval_);
    if (!(step > 0) || !std::isfinite(step)) return ended(fail(kCreateFailed));
    return true;
}

void CFileResampling::encodeLine(ResampleLine l, std::int32_t depth, const ResampleLine& axesFrom,
                                 std::vector<std::uint8_t>& bytes) {
    if (rotation_) {
        auto r = rotation_(axesFrom.axis(1), axesFrom.axis(3), axesFrom.axis(5), axesFrom.axis(0),
                           axesFrom.axis(2), axesFrom.axis(4), deviation_, header_.magneticDeclination,
                           header_.imageOffset);
        // A line whose axes give no rotation keeps the one before it.
        if (r) rotationNow_ = *r;
    }
    int rot = into360(static_cast<int>(roundHalfAway(rotationNow_)));
    int n = l.samples;
    rotateSamples(l.travel, n, shiftFor(rot, n));
    rotateSamples(l.amplitude, n, shiftFor(rot, n));
    std::int32_t stored = depth;
    if (displayUnit_ != logUnit_)
        stored = static_cast<std::int32_t>(
            truncTolerant(depth * (displayUnit_ == 1 ? units::kFeetPerMetre : units::kMetresPerFoot)));
    put(l.head.data(), static_cast<std::uint32_t>(stored), 4);
    put(l.head.data() + 8, static_cast<std::uint32_t>(rot), 2);
    bytes.assign(l.head.begin(), l.head.end());
    for (int i = 0; i < n; ++i) {
        std::uint16_t tt = l.travel[static_cast<size_t>(i)];
        std::uint16_t am = l.amplitude[static_cast<size_t>(i)];
        bytes.push_back(static_cast<std::uint8_t>(tt));
        bytes.push_back(static_cast<std::uint8_t>(tt >> 8));
        bytes.push_back(static_cast<std::uint8_t>(am));
        bytes.push_back(l.amplitudes16 ? static_cast<std::uint8_t>(am >> 8) : l.extra);
    }
    std::uint16_t sum = 0;
    for (auto b : bytes)
        sum = static_cast<std::uint16_t>(sum + b);
    bytes.push_back(static_cast<std::uint8_t>(sum));
    bytes.push_back(static_cast<std::uint8_t>(sum >> 8));
}

bool CFileResampling::WriteResampled() {
    if (!loaded_) return fail(kBadFormat);
    bool done = false;
    try {
        // Both files are written under private names and renamed when complete: whatever way this
        // ends, no unfinished output is left.
        AtomicOutput data(outData_);
        if (!data.open()) return ended(fail(std::string(kCreateFailed) + "\n" + data.error()));
        Extent extent;
        if (resampleLines(data.file(), extent) && !abort) done = commitOutputs(data, extent);
    } catch (...) {
        ReportException("CFileResampling::Resample", "Resampling.cpp", __LINE__);
    }
    return ended(done);
}

bool CFileResampling::resampleLines(std::FILE* out, Extent& extent) {
    const double step = std::fabs(interval_);
    const std::int64_t range = static_cast<std::int64_t>(std::fabs(to_ - from_) / step);
    if (progress) progress(0, range);
    rotationNow_ = 0;
    std::vector<std::uint8_t> bytes;
    bool ok = true;
    auto writeLine = [&](const ResampleLine& l, std::int32_t depth, const ResampleLine& axesFrom) {
        encodeLine(l, depth, axesFrom, bytes);
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) ok = false;
        ++written_;
        extent.lastTime = le32(bytes.data() + 4);
        extent.lastDepth = depth;
    };

    std::uint64_t pos = position_;
    ResampleLine prev, cur;
    if (!readLine(pos, cur)) return fail("The data file holds no whole line.\nExport file failled...");
    unrotate(cur);
    prev = cur;
    extent.firstDepth = cur.depth();
    extent.firstTime = cur.time();
    writeLine(cur, cur.depth(), cur);
    double t = cur.depth() / 1000.0;
    const std::int32_t endMark = static_cast<std::int32_t>(roundHalfAway((to_ + h_) * 1000.0));
    auto shortOf = [&](std::int32_t a, std::int32_t b) { return down_ ? a < b : a > b; };
    while (ok && shortOf(static_cast<std::int32_t>(roundHalfAway(t * 1000.0)), endMark)) {
        if (abort) return false;  // nothing of a cancelled export is left
        double next = down_ ? t + step : t - step;
        auto T = static_cast<std::int32_t>(roundHalfAway(t * 1000.0));
        auto N = static_cast<std::int32_t>(roundHalfAway(next * 1000.0));
        // The source lines up to the next grid depth; T becomes the depth of the line before them.
        bool firstRead = true, readFailed = false;
        while (shortOf(cur.depth(), N)) {
            ResampleLine before = cur;
            pos += reader_.lineSize();
            ResampleLine fresh;
            if (!readLine(pos, fresh)) {
                readFailed = true;
                break;
            }
            unrotate(fresh);
            prev = before;
            cur = fresh;
            if (firstRead) T = before.depth();
            firstRead = false;
        }
        if (readFailed) break;
        double e = cur.depth() == T ? 999.0 : double(N - T) / double(cur.depth() - T);
        if (e >= 0.999)
            writeLine(cur, N, cur);
        else if (e <= 0.001)
            writeLine(prev, N, cur);
        else
            writeLine(interpolated(prev, cur, e), N, cur);
        t = next;
        if (progress) progress(written_ - 1, range);
    }
    if (!ok) {
        errno = 0;
        std::fflush(out);
        return fail(std::string(kCreateFailed) + "\n" + systemErrorText(outData_, errno ? errno : EIO));
    }
    if (progress) progress(range, range);
    return true;
}

bool CFileResampling::commitOutputs(AtomicOutput& data, const Extent& extent) {
    AtomicOutput headerOut(outHeader_);
    std::string headerText;
    if (!outputHeaderText(extent.firstDepth, extent.firstTime, extent.lastDepth, extent.lastTime,
                          headerText) ||
        !headerOut.open() ||
        std::fwrite(headerText.data(), 1, headerText.size(), headerOut.file()) != headerText.size())
        return fail(std::string(kCreateFailed) + "\n" + headerOut.error());
    if (!data.commit()) return fail(std::string(kCreateFailed) + "\n" + data.error());
    if (!headerOut.commit()) {
        // The data without its header would be a log no program can open.
        ::unlink(outData_.c_str());
        return fail(std::string(kCreateFailed) + "\n" + headerOut.error());
    }
    return true;
}

bool CFileResampling::outputHeaderText(std::int32_t firstDepth, std::int32_t firstTime,
                                       std::int32_t lastDepth, std::int32_t lastTime, std::string& text) {
    std::string source;
    if (readRegularFile(headerPath_, source) != ReadFileResult::Ok) return false;
    IniDocument doc = IniDocument::parse(source);
    int choice = deviation_;
    doc.set("General", "ScreenMode", format("%d", choice));
    doc.set("General", "HorizontalMode", format("%d", std::max(choice - 1, 0)));
    std::int32_t start = firstDepth, end = lastDepth;
    if (displayUnit_ != logUnit_) {
        double f = displayUnit_ == 1 ? units::kFeetPerMetre : units::kMetresPerFoot;
        start = static_cast<std::int32_t>(truncTolerant(firstDepth * f));
        end = static_cast<std::int32_t>(truncTolerant(lastDepth * f));
        doc.set("Channel0", "Unit", displayUnit_ == 1 ? "FEET" : "M");
    }
    for (const char* section : {"WellInfo", "File1"}) {
        doc.set(section, section == std::string("WellInfo") ? "Startdepth" : "StartDepth",
                format("%d", start));
        doc.set(section, "EndDepth", format("%d", end));
    }
    std::int32_t endTime = lastTime - firstTime;
    doc.set("WellInfo", "DepthUnit", format("%d", displayUnit_));
    doc.set("WellInfo", "StartTime", "0");
    doc.set("WellInfo", "EndTime", format("%d", endTime));
    doc.set("Channel2", "Unit", "DEGREES");
    doc.set("File1", "ReferenceUnit", format("%d", displayUnit_));
    doc.set("File1", "FileName", outDataName_);
    doc.set("File1", "StartTime", "0");
    doc.set("File1", "EndTime", format("%d", endTime));
    int stepValue;
    if (displayUnit_ == 0 && logUnit_ == 0)
        stepValue = static_cast<int>(truncTolerant(std::fabs(interval_ * 1000.0)));
    else if (displayUnit_ == 0)
        stepValue = static_cast<int>(roundHalfAway(std::fabs(intervalCopy_ * units::kMetresPerFoot)));
    else
        stepValue = std::abs(intervalCopy_);
    doc.set("WellInfo", "step", format("%d", stepValue));
    doc.set("File1", "Interval", format("%d", stepValue));
    text = doc.serialize();
    return true;
}

}  // namespace quelt

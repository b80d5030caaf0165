#include "imaging/ScrollBack.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/Operator.h"

namespace quelt {

namespace {

// The history is kept in blocks of this size; the oldest block goes first when the budget is spent.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

// The values of a row beside its samples.
struct PackedHead {
    double depth;
    double rotation;
    double gammaCoef;
    std::int32_t resolutionCode;
    std::int32_t gammaScale;
    std::int32_t motorPeriod;
    std::int32_t depthUnit;
    std::uint16_t gammaCount;
    std::uint8_t gammaTime;
    std::uint8_t flags;
};

enum : std::uint8_t { kOrient = 1, kShowGamma = 2, kBlackAndWhite = 4, kFresh = 8 };

// The samples of each picture the row builder reads for a resolution code (a code outside 1..4 is
// drawn as code 1).
std::size_t samplesDrawn(int code) {
    return static_cast<std::size_t>(code >= 1 && code <= 4 ? kPictureWidth / code : kPictureWidth);
}

}  // namespace

// --- LineHistory -----------------------------------------------------------------------------------

LineHistory::LineHistory(std::size_t budgetBytes) : budget_(budgetBytes) {}

void LineHistory::setBudget(std::size_t bytes) {
    budget_ = bytes;
    if (budget_ == 0) {
        chunks_.clear();
        index_.clear();
        firstChunk_ = 0;
        return;
    }
    while (chunks_.size() > 1 && this->bytes() > budget_)
        dropOldestChunk();
}

// Every block is reserved whole when it is started.
std::size_t LineHistory::bytes() const {
    return chunks_.size() * kChunkBytes + index_.size() * sizeof(std::uint64_t);
}

void LineHistory::add(const ImageLine& line, int resolutionCode, const RowInputs& in, bool orient,
                      bool showGamma, double depth) {
    if (budget_ == 0) return;
    const std::size_t ns = samplesDrawn(resolutionCode);
    const std::size_t need = sizeof(PackedHead) + 2 * ns;
    if (chunks_.empty() || chunks_.back().size() + need > kChunkBytes) {
        chunks_.emplace_back();
        chunks_.back().reserve(kChunkBytes);
    }
    std::vector<std::uint8_t>& chunk = chunks_.back();
    const std::size_t offset = chunk.size();
    chunk.resize(offset + need);

    PackedHead h{};
    h.depth = depth;
    h.rotation = in.rotation;
    h.gammaCoef = in.gammaCoef;
    h.resolutionCode = resolutionCode;
    h.gammaScale = in.gammaScale;
    h.motorPeriod = in.motorPeriod;
    h.depthUnit = in.depthUnit;
    h.gammaCount = in.gammaCount;
    h.gammaTime = in.gammaTime;
    h.flags = static_cast<std::uint8_t>((orient ? kOrient : 0) | (showGamma ? kShowGamma : 0) |
                                        (in.blackAndWhite ? kBlackAndWhite : 0) | (freshNext_ ? kFresh : 0));
    freshNext_ = false;
    std::uint8_t* p = chunk.data() + offset;
    std::memcpy(p, &h, sizeof h);
    std::memcpy(p + sizeof h, line.sampleLine.data(), ns);
    std::memcpy(p + sizeof h + ns, line.sampleLine.data() + ImageLine::kAmplitudeOffset, ns);
    index_.push_back((firstChunk_ + chunks_.size() - 1) << 32 | offset);

    while (chunks_.size() > 1 && bytes() > budget_)
        dropOldestChunk();
}

void LineHistory::dropOldestChunk() {
    while (!index_.empty() && (index_.front() >> 32) == firstChunk_)
        index_.pop_front();
    chunks_.pop_front();
    ++firstChunk_;
}

bool LineHistory::read(std::size_t index, HistoryLine& out) {
    if (index >= index_.size()) return false;
    const std::uint64_t at = index_[index];
    const std::vector<std::uint8_t>& chunk = chunks_[static_cast<std::size_t>((at >> 32) - firstChunk_)];
    const std::uint8_t* p = chunk.data() + (at & 0xFFFFFFFFu);
    PackedHead h;
    std::memcpy(&h, p, sizeof h);
    const std::size_t ns = samplesDrawn(h.resolutionCode);
    std::memcpy(out.line.sampleLine.data(), p + sizeof h, ns);
    std::memcpy(out.line.sampleLine.data() + ImageLine::kAmplitudeOffset, p + sizeof h + ns, ns);
    out.depth = h.depth;
    out.resolutionCode = h.resolutionCode;
    out.in.rotation = h.rotation;
    out.in.gammaCoef = h.gammaCoef;
    out.in.gammaScale = h.gammaScale;
    out.in.motorPeriod = h.motorPeriod;
    out.in.depthUnit = h.depthUnit;
    out.in.gammaCount = h.gammaCount;
    out.in.gammaTime = h.gammaTime;
    out.in.blackAndWhite = (h.flags & kBlackAndWhite) != 0;
    out.orient = (h.flags & kOrient) != 0;
    out.showGamma = (h.flags & kShowGamma) != 0;
    out.fresh = (h.flags & kFresh) != 0;
    return true;
}

// --- LogRowSource ----------------------------------------------------------------------------------

LogRowSource::LogRowSource(const std::string& dataPath, const LineLayout& layout,
                           const Settings& liveSettings, const LogHeader& header, double gammaCoef,
                           double rotationOffset)
    : layout_(layout), decoder_(liveSettings, header, layout, rotationOffset), gammaCoef_(gammaCoef) {
    reader_.open(dataPath, layout.lineSize);
}

bool LogRowSource::read(std::size_t index, HistoryLine& out) {
    if (index >= rows_ || !reader_.readLine(static_cast<std::uint64_t>(index) * layout_.lineSize, bytes_))
        return false;
    parseDataLine(bytes_, layout_, parsed_);
    decoder_.apply(parsed_, layout_);
    const LiveValues v = decoder_.live.snapshot();
    out.line.sampleLine = decoder_.image.sampleLine;
    out.resolutionCode = v.resolutionCode;
    out.in = rowInputsFor(v, decoder_.settings, gammaCoef_);
    out.orient = false;  // a replay draws without rotation
    out.showGamma = decoder_.settings.ShownGamma != 0;
    out.depth = v.fileDepth;
    out.fresh = false;
    return true;
}

// --- ScrollViewport --------------------------------------------------------------------------------

int ScrollViewport::maxRowsBack(std::size_t available, int visible) {
    const std::size_t shown = static_cast<std::size_t>(std::max(visible, 1));
    if (available <= shown) return 0;
    return static_cast<int>(std::min<std::size_t>(available - shown, INT_MAX));
}

void ScrollViewport::rowAdded(std::size_t available, int visible) {
    if (rowsBack_ == 0) return;
    if (rowsBack_ < INT_MAX) ++rowsBack_;
    clamp(available, visible);
}

bool ScrollViewport::scrollBack(int rows, std::size_t available, int visible) {
    const long long wanted = static_cast<long long>(rowsBack_) + rows;
    const int next = static_cast<int>(std::clamp<long long>(wanted, 0, maxRowsBack(available, visible)));
    const bool moved = next != rowsBack_;
    rowsBack_ = next;
    return moved;
}

bool ScrollViewport::clamp(std::size_t available, int visible) {
    const int most = maxRowsBack(available, visible);
    if (rowsBack_ <= most) return false;
    rowsBack_ = most;
    return true;
}

// --- ScrollBackRenderer ----------------------------------------------------------------------------

void ScrollBackRenderer::render(RowSource& source, std::size_t newest, int visible, bool down,
                                const ColourTable& colours, PictureSurface& surface) {
    if (visible <= 0) return;
    // A builder of its own each time: the rows from the oldest one are drawn from the state a picture
    // starts with, as the live picture drew them.
    const int height = std::max(visible + kWarmupRows + kLookaheadRows, kMinScreenHeight);
    CToolsBmp bmp;
    ScriptedOperator quiet;  // a scratch picture that cannot be made shows nothing, and says nothing
    if (!bmp.InitImageBuffer(height, quiet)) return;
    bmp.setColourTable(colours);
    bmp.ClearImageBuffer();

    // The rows drawn: the window, the rows before it that set the builder's state, the rows after it
    // whose labels reach into it.
    std::size_t after = 0;
    const std::size_t n = source.rows();
    if (n > 0) {
        newest = std::min(newest, n - 1);
        const std::size_t last = std::min(n - 1, newest + kLookaheadRows);
        const std::size_t span = static_cast<std::size_t>(visible) + kWarmupRows;
        const std::size_t first = newest + 1 >= span ? newest + 1 - span : 0;
        std::size_t drawn = 0;
        for (std::size_t i = first; i <= last; ++i) {
            if (!source.read(i, row_)) break;
            if (row_.fresh && i != first) bmp.StartDepthTrackAfresh();
            bmp.DrawLineOfPixel(row_.line, row_.in, down, row_.resolutionCode, row_.orient, row_.showGamma,
                                row_.depth);
            drawn = i;
        }
        after = drawn > newest ? drawn - newest : 0;
    }

    std::lock_guard lock(bmp.buffer().mutex);
    const ImageBuffer& b = bmp.buffer();
    const int h = bmp.screenHeight();
    const int offset = static_cast<int>(after);
    const int top = down ? b.cursor + h - 1 - offset - (visible - 1) : b.cursor + offset;
    surface.copyRows(b.row(top), std::min(surface.clientWidth(), b.width), visible, b.width);
}

}  // namespace quelt

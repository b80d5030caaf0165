#pragma once
// Scroll-back of the picture. The screen buffer holds three screen heights of rows and forgets the
// rest, while the operator wants to look back over the whole log as new rows keep coming. Pixels of
// a long log are too big to keep (three kilobytes a row), so an older row is drawn again from what
// it was made of, through the same row builder: a live row from a compact record of its line (the
// samples the builder reads, one byte each, and the few values beside them), a replayed row from the
// log file itself, read back through the line reader. The row builder carries state from row to row
// (the gamma window, the depth track and its labels), so a window is drawn from a few rows before
// its first row and a few rows after its last: the rows shown are then the rows the live picture
// showed.
//
// Threads: LineHistory and ScrollViewport are not locked; PictureController holds them under its
// mutex (rows are added on the thread that delivers the line, windows drawn where the window paints).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "config/Header.h"
#include "config/Settings.h"
#include "imaging/ToolsBmp.h"
#include "stream/DataFile.h"
#include "stream/DataLine.h"
#include "stream/ImageLine.h"
#include "stream/ReplayLine.h"

namespace quelt {

// One line as the row builder takes it.
struct HistoryLine {
    ImageLine line;  // the sample line; the rest is not used
    int resolutionCode = 1;
    RowInputs in;
    bool orient = true;
    bool showGamma = false;
    double depth = 0.0;
    bool fresh = false;  // the picture was cleared just before this row: the depth track starts afresh
};

// Rows that can be drawn again, from the oldest (0) to the newest (rows() - 1).
class RowSource {
  public:
    virtual ~RowSource() = default;
    virtual std::size_t rows() const = 0;
    // False when the row cannot be read (the file is gone or shorter).
    virtual bool read(std::size_t index, HistoryLine& out) = 0;
};

// What the live picture has drawn since the program started, a few hundred bytes a row: the samples
// the row builder reads (360 / code of each picture) and the values beside them. Past `budgetBytes`
// the oldest rows are let go, a megabyte at a time.
class LineHistory final : public RowSource {
  public:
    explicit LineHistory(std::size_t budgetBytes);

    // A row as the live picture drew it.
    void add(const ImageLine& line, int resolutionCode, const RowInputs& in, bool orient, bool showGamma,
             double depth);
    // The picture was cleared: the next row starts the depth track afresh.
    void markFresh() { freshNext_ = true; }
    void setBudget(std::size_t bytes);

    std::size_t rows() const override { return index_.size(); }
    bool read(std::size_t index, HistoryLine& out) override;
    std::size_t bytes() const;

  private:
    void dropOldestChunk();

    std::size_t budget_;
    std::deque<std::vector<std::uint8_t>> chunks_;
    std::uint64_t firstChunk_ = 0;     // sequence number of chunks_.front()
    std::deque<std::uint64_t> index_;  // per row: chunk sequence number << 32 | offset in the chunk
    bool freshNext_ = false;
};

// The rows of a log being replayed, read back from its data file when they are shown again; nothing
// of the log is held in memory. Decoded as the replay decodes them (the log's own settings, no
// rotation). rows() is the number of lines replayed up to the newest one drawn (setNewest).
class LogRowSource final : public RowSource {
  public:
    LogRowSource(const std::string& dataPath, const LineLayout& layout, const Settings& liveSettings,
                 const LogHeader& header, double gammaCoef, double rotationOffset);

    bool isOpen() const { return reader_.isOpen(); }
    // The line at `index` of the data file is the newest row of the picture.
    void setNewest(std::uint64_t index) { rows_ = index + 1; }

    std::size_t rows() const override { return rows_; }
    bool read(std::size_t index, HistoryLine& out) override;

  private:
    LineLayout layout_;
    DataFileReader reader_;
    ReplayDecoder decoder_;
    double gammaCoef_;
    std::size_t rows_ = 0;
    std::vector<std::uint8_t> bytes_;
    ParsedLine parsed_;
};

// How far back the window looks: 0 at the live edge (the newest row at the window's edge), N when
// the window ends N rows before the newest row. The window never reaches past the oldest row.
class ScrollViewport {
  public:
    int rowsBack() const { return rowsBack_; }
    bool atLiveEdge() const { return rowsBack_ == 0; }
    // The largest rowsBack that still fills a window of `visible` rows from `available` rows.
    static int maxRowsBack(std::size_t available, int visible);

    // A row was added: at the live edge the window follows it, looking back it stays on its rows.
    void rowAdded(std::size_t available, int visible);
    // Positive looks further back. Returns whether the window moved.
    bool scrollBack(int rows, std::size_t available, int visible);
    void toLiveEdge() { rowsBack_ = 0; }
    // After the oldest rows were let go or the window grew. Returns whether the window moved.
    bool clamp(std::size_t available, int visible);

  private:
    int rowsBack_ = 0;
};

// Draws a window of rows from a RowSource, through a row builder of its own, and copies it to a
// surface as the live picture would show it.
class ScrollBackRenderer {
  public:
    // Rows drawn before the window so that the gamma window and the depth track are what they were
    // (the gamma window spans at most 25 lines, a label less than 16 rows), and rows drawn after it
    // for the upper halves of the labels of the rows just past it.
    static constexpr int kWarmupRows = 32;
    static constexpr int kLookaheadRows = 16;

    // The window of `visible` rows whose newest row is `newest`, the newest at the bottom (down) or
    // at the top (up), as `surface` (visible rows high) shows it.
    void render(RowSource& source, std::size_t newest, int visible, bool down, const ColourTable& colours,
                PictureSurface& surface);

  private:
    HistoryLine row_;
};

}  // namespace quelt

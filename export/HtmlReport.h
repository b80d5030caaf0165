#pragma once
// The HTML picture report of a log: JPEG pictures of 400 lines of the acoustic image, with the depth
// track marks, and one page that shows them from shallow to deep. The pictures are composed and
// saved through ReportRaster (the export raster of the imaging code); the lines come from a
// ReportLineSource (the replay reader, or the plain data file reader below).

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/Header.h"
#include "export/EncoderPool.h"
#include "stream/DataFile.h"
#include "stream/DataLine.h"

namespace quelt {

inline constexpr int kReportPictureRows = 400;

// One line as the report reads it.
struct ReportLine {
    double depthMetres = 0;
    int resolutionCode = 0;
    ParsedLine parsed;
};

class ReportLineSource {
  public:
    virtual ~ReportLineSource() = default;
    virtual bool readLine(ReportLine& line) = 0;
    // Passes the next line by, as readLine would read it; false where readLine would be.
    virtual bool skipLine() {
        ReportLine line;
        return readLine(line);
    }
    virtual std::uint64_t position() const = 0;
    virtual void setPosition(std::uint64_t position) = 0;
};

// Lines of a log's data file in the layout of its header.
class DataFileLineSource final : public ReportLineSource {
  public:
    // False when the layout does not fit the header's line size or the file cannot be opened.
    bool open(const std::string& dataPath, const LogHeader& header);
    bool readLine(ReportLine& line) override;
    bool skipLine() override;
    std::uint64_t position() const override { return position_; }
    void setPosition(std::uint64_t position) override { position_ = position; }

  private:
    static constexpr size_t kBlockLines = 256;  // lines read from the file at a time
    DataFileReader reader_;
    LineLayout layout_;
    std::uint64_t position_ = 0;
    std::uint64_t end_ = 0;  // after the last whole line
    int depthUnit_ = 0;
    std::vector<std::uint8_t> block_;  // whole lines from blockStart_
    std::uint64_t blockStart_ = 0;
};

// The export raster: 764 x 400 pixels, 24 bits, composed row by row and saved as JPEG.
class ReportRaster {
  public:
    virtual ~ReportRaster() = default;
    virtual void ClearRaster() = 0;
    // Both halves of one raster row (travel time 0..360, amplitude 404..764), no column offset, no
    // gamma trace.
    virtual void ComposeRow(int row, const ReportLine& line) = 0;
    // Glyph row `glyphRow` (0..7) of the depth label `value` on raster row `row`.
    virtual void DrawLabel(int row, int value, int glyphRow) = 0;
    virtual void DrawTick(int row, int length) = 0;
    // A fresh picture: the depth track redrawn in light grey.
    virtual void DrawTrackBase() = 0;
    // The first `rows` rows as a JPEG file, flipped vertically when asked; false when not written.
    virtual bool SaveJpeg(const std::string& path, int rows, bool flip) = 0;
    // A copy of the first `rows` rows that saves itself as SaveJpeg would, on any thread, while this
    // raster goes on; none when the raster cannot be copied (the report then calls SaveJpeg).
    virtual std::function<bool(const std::string& path)> snapshot(int rows, bool flip) {
        (void)rows;
        (void)flip;
        return nullptr;
    }
};

// The quality tracks of the report (`quelt html --tracks`): a narrow picture beside each report picture,
// one row a line as the picture has, saved with it.
class ReportTracks {
  public:
    virtual ~ReportTracks() = default;
    // The row of the line the report picture just composed.
    virtual void addLine(const ReportLine& line) = 0;
    // The rows added since the last save as a JPEG file, flipped vertically as the picture is.
    virtual bool save(const std::string& path, bool flip) = 0;
    // The names and scales of the tracks, shown once above them.
    virtual bool saveHeader(const std::string& path) = 0;
    virtual int width() const = 0;
    virtual int headerRows() const = 0;
};

// The picture name: log name + "+%07.2f-%07.2f.jpg" of the absolute depths, always with points.
std::string reportPictureName(const std::string& logName, double firstDepth, double lastDepth);
// The quality tracks beside a report picture, and their header.
std::string reportTracksName(const std::string& pictureName);
std::string reportTracksHeaderName(const std::string& logName);
// Text made safe for HTML, and a file name made safe for a src attribute.
std::string htmlEscape(const std::string& text);
std::string urlEncodePath(const std::string& name);

class CHtmlReport {
  public:
    // `logDir` is the log directory of the program's paths; `displayUnit` is SetDepthUnit.
    CHtmlReport(std::string logDir, int displayUnit, ReportRaster& raster);
    virtual ~CHtmlReport() = default;

    std::function<void(const std::string&)> status;
    std::function<void(int percent)> progress;
    // Optional: the quality tracks beside each picture.
    ReportTracks* tracks = nullptr;
    // Set from any thread: the report stops at the next line and leaves none of its files.
    std::atomic<bool> abort{false};
    // The threads that encode the pictures (0: each picture is saved before the next is composed).
    void setEncoderThreads(unsigned threads) { encoderThreads_ = threads; }

    // The line count as the report defines it: N + 1 for a log of N lines, 1 for an empty log.
    int CountLines(ReportLineSource& source);
    // The whole report; true when every picture and the page were written.
    bool MakeHtmlReport(ReportLineSource& source, const LogHeader& header, const std::string& logName);
    bool WriteHtmlPage(int pictureCount, int lastRows, const std::string& logName, bool upward);

    std::string reportFolder(const std::string& logName) const;
    std::string pagePath(const std::string& logName) const;
    const std::vector<std::string>& pictures() const { return pictures_; }
    const std::vector<std::string>& trackPictures() const { return trackPictures_; }
    int lastRows() const { return lastRows_; }

  private:
    void setStatus(const std::string& s) const {
        if (status) status(s);
    }
    // The tracks beside the picture just saved (and their header with the first); false when not written.
    bool saveTracks(const std::string& folder, const std::string& logName, const std::string& picture,
                    bool flip);
    // The steps of MakeHtmlReport: the report folder emptied of an earlier report; one section's
    // picture saved (or handed to the encoders) under `name`; everything written removed.
    bool prepareFolder(const std::string& logName);
    bool finishSection(const std::string& name, int rows, bool upward);
    bool abandon();

    std::string logDir_;
    int displayUnit_;
    ReportRaster& raster_;
    std::vector<std::string> pictures_;
    std::vector<std::string> trackPictures_;  // the header first, then one beside each picture
    int lastRows_ = 0;
    unsigned encoderThreads_ = EncoderPool::defaultThreads();
    EncoderPool* encoders_ = nullptr;  // during MakeHtmlReport
    std::string folder_;
    bool createdFolder_ = false;
    std::atomic<bool> saveFailed_{false};
};

}  // namespace quelt

#pragma once
// Resampling of a recorded log onto a regular depth grid, with the acoustic image re-oriented to
// magnetic north, to the high side or left without deviation correction. The dialog only collects
// choices and shows progress; every control is a member or an argument here.
//
// Lines are read in the usual channel order (the 37-byte head, the samples of four bytes, a 16-bit
// sum); the output log has the same layout and a copy of the source header with its start, end, unit
// and step values rewritten.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/Header.h"
#include "config/SondeDatabase.h"
#include "platform/Files.h"
#include "platform/Operator.h"
#include "stream/DataFile.h"
#include "stream/DataLine.h"
#include "stream/LogFile.h"

namespace quelt {

// The rotation (whole degrees) that the orientation routine of the live decoders computes, with
// averaging, for the six axes of a line in orientation mode 0 (none), 1 (magnetic north) or 2 (high
// side), before the rule that shows 0 during replay; nullopt when it computes nothing.
using RotationRoutine =
    std::function<std::optional<double>(double gx, double gy, double gz, double hx, double hy, double hz,
                                        int mode, double magneticOffset, double rotationOffset)>;

// One source line held by the resampler: the head and the samples turned back to their recorded order.
struct ResampleLine {
    std::array<std::uint8_t, 37> head{};
    int samples = 0;  // per line, from the resolution code
    std::array<std::uint16_t, 360> travel{};
    std::array<std::uint16_t, 360> amplitude{};
    bool amplitudes16 = false;
    std::uint8_t extra = 0;
    std::int32_t depth() const;
    std::int32_t time() const;
    std::int16_t shaft() const;
    std::int16_t axis(int i) const;  // hx gx hy gy hz gz
};

// The allowed interval range and the texts of the sampling controls.
struct SamplingView {
    std::string averageText;  // "Average source file depth sampling :"
    std::string unitText;     // "mm" or "mil"
    int intervalShown = 0;    // the interval edit
    int minimum = 0, maximum = 0;
    std::string rangeText;  // "(%d - %d)"
};

// The preview raster of the dialog (the export raster of the imaging code): one row composed from a
// line with a column offset.
class PreviewRaster {
  public:
    virtual ~PreviewRaster() = default;
    virtual void ComposeRow(int row, const ResampleLine& line, int columnOffset) = 0;
};

class CFileResampling {
  public:
    CFileResampling(Settings& settings, ProgramPaths& paths, PlacementRecord& placements, Operator& op,
                    const SondeDatabase& sondes, RotationRoutine rotation);
    virtual ~CFileResampling() = default;

    std::function<void(std::int64_t pos, std::int64_t range)> progress;
    // Set from any thread (the window's Cancel); the export stops before the next line.
    std::atomic<bool> abort{false};

    bool LoadInput(const std::string& headerPath);
    bool SetFrom(double displayValue);
    bool SetTo(double displayValue);
    void ComputeSampling();
    // The typed interval in mm or mil; false when refused (after the message) or unreadable.
    bool CheckInterval(const std::string& typed);
    // 0 no deviation, 1 magnetic north, 2 high side; the output names follow.
    void SetDeviation(int choice);
    void SetOutputFolder(const std::string& folder);
    void BuildOutputNames();
    // The preview: `rows` lines from the line of From, each re-oriented by the chosen mode's rotation
    // less the recorded one; a row whose line cannot be read is left as it was.
    void CreateViewerBMP(PreviewRaster& raster, int rows);
    // "&Export": true only when the output data file and header are complete.
    bool Resample(bool replaceExisting);
    // Resample in two halves: the checks of the outputs with the question about an existing file
    // (false after the message), then the writing, which asks nothing and may run on a worker thread
    // (its progress and messages come from that thread).
    bool CheckOutputs(bool replaceExisting);
    bool WriteResampled();

    // What the dialog shows.
    const std::string& baseName() const { return base_; }
    const LogHeader& header() const { return header_; }
    const std::string& outputFolder() const { return outFolder_; }
    const std::string& outputDataPath() const { return outData_; }
    const std::string& outputHeaderPath() const { return outHeader_; }
    const std::string& sourceHeaderPath() const { return headerPath_; }
    const std::string& sourceDataPath() const { return dataPath_; }
    int deviation() const { return deviation_; }
    double from() const { return from_; }
    double to() const { return to_; }
    double interval() const { return interval_; }  // U per line, negative for an upward log
    double averageSampling() const { return average_; }
    const SamplingView& sampling() const { return view_; }
    const std::string& orientationText() const { return orientationText_; }
    const std::string& directionText() const { return directionText_; }
    bool down() const { return down_; }
    std::int64_t linesWritten() const { return written_; }

  private:
    // The first and last lines written, for the output header.
    struct Extent {
        std::int32_t firstDepth = 0, firstTime = 0, lastDepth = 0, lastTime = 0;
    };
    bool fail(const std::string& text, MessageKind kind = MessageKind::Error);
    // The end of an export, `done` or not; returns `done`.
    bool ended(bool done);
    // The grid lines into `out`; false (after the message, none when cancelled) when not complete.
    bool resampleLines(std::FILE* out, Extent& extent);
    // One output line: `l` turned by the rotation of the axes of `axesFrom`, at `depth`, with its sum.
    void encodeLine(ResampleLine l, std::int32_t depth, const ResampleLine& axesFrom,
                    std::vector<std::uint8_t>& bytes);
    // The header beside the complete data, then both under their names.
    bool commitOutputs(AtomicOutput& data, const Extent& extent);
    bool readLine(std::uint64_t pos, ResampleLine& out) const;
    void updateView();
    void detectOrientation();
    double shown(double logValue) const;
    double toLog(double displayValue) const;
    // The output header: the source header with its start, end, unit and step values rewritten.
    bool outputHeaderText(std::int32_t firstDepth, std::int32_t firstTime, std::int32_t lastDepth,
                          std::int32_t lastTime, std::string& text);

    Settings& settings_;
    ProgramPaths& paths_;
    PlacementRecord& placements_;
    Operator& operator_;
    const SondeDatabase& sondes_;
    RotationRoutine rotation_;

    LogHeader header_;
    LineLayout layout_;
    OpenedLog log_;
    DataFileReader& reader_ = log_.reader;
    std::uint64_t position_ = 0;  // the line of From
    std::string headerPath_, dataPath_, base_, outFolder_, outData_, outHeader_, outDataName_;
    int logUnit_ = 0, displayUnit_ = 0;
    double h_ = 0;  // height offset, U
    double first_ = 0, last_ = 0, from_ = 0, to_ = 0;
    double average_ = 0, interval_ = 0;
    int intervalCopy_ = 0;  // whole-number interval for the header step
    bool down_ = true, loaded_ = false;
    bool createdFolder_ = false;  // the RESAMPLING folder was made for this log
    int deviation_ = 0;
    SamplingView view_;
    std::string orientationText_, directionText_;
    std::int64_t written_ = 0;
    double rotationNow_ = 0;  // the rotation of the last line written
    // The lines last read from the data file (from blockStart_), and the last line decoded.
    static constexpr size_t kBlockLines = 256;
    mutable std::vector<std::uint8_t> block_;
    mutable std::uint64_t blockStart_ = 0;
    mutable ParsedLine parsed_;
};

}  // namespace quelt

#pragma once
// What the exports take from the rest of the program: the orientation of the live decoders (for the
// LAS curves and the re-orientation of a resampled log) and the export raster of the imaging code
// (for the HTML report pictures and the resampling preview).

#include <filesystem>
#include <memory>
#include <string>

#include "config/Header.h"
#include "config/Settings.h"
#include "export/HtmlReport.h"
#include "export/LasExport.h"
#include "export/Resampling.h"
#include "imaging/ExportBmp.h"
#include "imaging/Palette.h"
#include "stream/DataLine.h"
#include "stream/ReplayLine.h"

namespace quelt {

// A decoder of its own (settings, live record, averaging history) that runs the orientation routine
// of CToolsStream on axes handed to it, without any link or window around it.
class DecoderOrientation {
  public:
    explicit DecoderOrientation(const Settings& settings);

    // The seven LAS values, without averaging, with `magneticOffset` as the magnetic offset.
    std::optional<OrientationValues> values(double gx, double gy, double gz, double hx, double hy, double hz,
                                            double magneticOffset);
    // The image rotation (whole degrees, 0..359) of orientation mode `mode`, with averaging, as the
    // routine computes it before the rule that shows 0 during a replay.
    std::optional<double> rotation(double gx, double gy, double gz, double hx, double hy, double hz, int mode,
                                   double magneticOffset, double rotationOffset);

  private:
    Settings settings_;
    LiveState live_;
    ReplyEcho echo_;
    ImageLine image_;
    StreamShared shared_;
    NullStreamEvents events_;
    LinkCounters counters_;
    std::atomic<int> linkStatus_{0};
    CToolsStream stream_;
};

// The routines the LAS export and the resampling take, each over a DecoderOrientation of its own.
OrientationRoutine decoderOrientationRoutine(const Settings& settings);
RotationRoutine decoderRotationRoutine(const Settings& settings);

// Palette.ini of the program folder `home` read into a colour table (the palette in use of
// `settings`, corrected when it is not defined).
ColourTable loadColourTable(const std::filesystem::path& home, Settings& settings);

// The report raster over CExportBmp and SaveJpeg: each line's samples go through the replay decoder
// of the log (its playback display window and level contrast) before they are composed.
class ExportReportRaster final : public ReportRaster {
  public:
    ExportReportRaster(const Settings& settings, const LogHeader& header, const LineLayout& layout,
                       const ColourTable& table);

    void ClearRaster() override;
    void ComposeRow(int row, const ReportLine& line) override;
    void DrawLabel(int row, int value, int glyphRow) override;
    void DrawTick(int row, int length) override;
    void DrawTrackBase() override;
    bool SaveJpeg(const std::string& path, int rows, bool flip) override;
    std::function<bool(const std::string& path)> snapshot(int rows, bool flip) override;

    const ExportRaster& raster() const { return raster_; }

  private:
    ColourTable table_;
    CExportBmp bmp_;
    ExportRaster raster_;
    LineLayout layout_;
    ReplayDecoder replay_;
};

// The resampling preview over CExportBmp: the recorded samples scaled into the display window as the
// replay shows them, composed with the preview's column offset.
class ExportPreviewRaster final : public PreviewRaster {
  public:
    ExportPreviewRaster(const Settings& settings, const LogHeader& header, const ColourTable& table);

    void ClearRaster() { bmp_.ClearRaster(raster_); }
    void ComposeRow(int row, const ResampleLine& line, int columnOffset) override;
    // The first `rows` rows as a picture file (JPEG or BMP by the extension); false when not written.
    bool save(const std::string& path, int rows) const;

    const ExportRaster& raster() const { return raster_; }

  private:
    Settings settings_;
    ColourTable table_;
    CExportBmp bmp_;
    ExportRaster raster_;
    ImageLine image_;
};

}  // namespace quelt

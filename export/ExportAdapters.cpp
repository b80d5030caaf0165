#include "export/ExportAdapters.h"

#include "platform/Paths.h"

namespace quelt {

DecoderOrientation::DecoderOrientation(const Settings& settings)
    : settings_(settings),
      stream_(settings_, live_, echo_, image_, shared_, counters_, linkStatus_, events_) {}

std::optional<OrientationValues> DecoderOrientation::values(double gx, double gy, double gz, double hx,
                                                            double hy, double hz, double magneticOffset) {
    settings_.MagneticOffset = magneticOffset;
    LiveValues v;
    if (stream_.orientationInto(v, hx, hy, hz, gx, gy, gz, false)) return std::nullopt;
    OrientationValues o;
    o.tilt = v.tilt;
    o.azimuth = v.azimuth;
    o.highSide = v.highSide;
    o.magToolface = v.magToolface;
    o.gravityTotal = v.gravityTotal;
    o.magneticTotal = v.magneticTotal;
    o.fieldAngle = v.fieldAngle;
    return o;
}

std::optional<double> DecoderOrientation::rotation(double gx, double gy, double gz, double hx, double hy,
                                                   double hz, int mode, double magneticOffset,
                                                   double rotationOffset) {
    settings_.PicOriented = mode;
    settings_.MagneticOffset = magneticOffset;
    shared_.rotationOffset = rotationOffset;
    shared_.modes.replayLoaded = 0;  // the rotation itself, not the 0 a replay shows
    LiveValues v;
    if (stream_.orientationInto(v, hx, hy, hz, gx, gy, gz, true)) return std::nullopt;
    return v.rotation;
}

OrientationRoutine decoderOrientationRoutine(const Settings& settings) {
    auto decoder = std::make_shared<DecoderOrientation>(settings);
    return [decoder](double gx, double gy, double gz, double hx, double hy, double hz, double offset) {
        return decoder->values(gx, gy, gz, hx, hy, hz, offset);
    };
}

RotationRoutine decoderRotationRoutine(const Settings& settings) {
    auto decoder = std::make_shared<DecoderOrientation>(settings);
    return [decoder](double gx, double gy, double gz, double hx, double hy, double hz, int mode,
                     double magnetic, double rotationOffset) {
        return decoder->rotation(gx, gy, gz, hx, hy, hz, mode, magnetic, rotationOffset);
    };
}

ColourTable loadColourTable(const std::filesystem::path& home, Settings& settings) {
    PaletteSet palettes;
    ColourTable table;
    LoadPalettes(resolveNoCase(home / kPaletteFileName).string(), settings, palettes, table);
    return table;
}

ExportReportRaster::ExportReportRaster(const Settings& settings, const LogHeader& header,
                                       const LineLayout& layout, const ColourTable& table)
    : table_(table),
      bmp_(table_, colourModeOf(settings.BlackAndWhite)),
      layout_(layout),
      replay_(settings, header, layout, 0.0) {}

void ExportReportRaster::ClearRaster() {
    bmp_.ClearRaster(raster_);
}

void ExportReportRaster::ComposeRow(int row, const ReportLine& line) {
    replay_.apply(line.parsed, layout_);
    const std::uint8_t* samples = replay_.image.sampleLine.data();
    bmp_.ComposeRow(raster_, samples, 0, kExportBytesPerRow, row, 0, 360, line.resolutionCode);
    bmp_.ComposeRow(raster_, samples, 0, kExportBytesPerRow, row,
                    static_cast<int>(ImageLine::kAmplitudeOffset),
                    static_cast<int>(ImageLine::kSampleLineSize), line.resolutionCode);
}

void ExportReportRaster::DrawLabel(int row, int value, int glyphRow) {
    // The report has already chosen the glyph row of an upward log.
    bmp_.DrawLabel(raster_, value, glyphRow, false, row, bmp_.foreground);
}

void ExportReportRaster::DrawTick(int row, int length) {
    bmp_.DrawTick(raster_, row, length);
}

void ExportReportRaster::DrawTrackBase() {
    bmp_.DrawTrackBase(raster_, kExportLightGrey);
}

bool ExportReportRaster::SaveJpeg(const std::string& path, int rows, bool flip) {
    return quelt::SaveJpeg(raster_, path, rows, flip);
}

std::function<bool(const std::string& path)> ExportReportRaster::snapshot(int rows, bool flip) {
    auto copy = std::make_shared<const ExportRaster>(raster_);
    return [copy, rows, flip](const std::string& path) { return quelt::SaveJpeg(*copy, path, rows, flip); };
}

ExportPreviewRaster::ExportPreviewRaster(const Settings& settings, const LogHeader& header,
                                         const ColourTable& table)
    : settings_(replaySettings(settings, header)),
      table_(table),
      bmp_(table_, colourModeOf(settings.BlackAndWhite)) {
    bmp_.ClearRaster(raster_);
}

void ExportPreviewRaster::ComposeRow(int row, const ResampleLine& line, int columnOffset) {
    const int n = std::min(line.samples, 360);
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<size_t>(i);
        image_.sampleLine[k] =
            scaleTravelTime(line.travel[k], settings_.DisplayBlanking, settings_.DisplayWindow);
        image_.sampleLine[ImageLine::kAmplitudeOffset + k] =
            line.amplitudes16 ? scaleAmplitude16(line.amplitude[k], settings_.LevelContrast)
                              : static_cast<std::uint8_t>(line.amplitude[k]);
    }
    const int code = line.head[15];
    const std::uint8_t* samples = image_.sampleLine.data();
    bmp_.ComposeRow(raster_, samples, columnOffset, kExportBytesPerRow, row, 0, 360, code);
    bmp_.ComposeRow(raster_, samples, columnOffset, kExportBytesPerRow, row,
                    static_cast<int>(ImageLine::kAmplitudeOffset),
                    static_cast<int>(ImageLine::kSampleLineSize), code);
}

bool ExportPreviewRaster::save(const std::string& path, int rows) const {
    if (rows <= 0 || rows > kExportRows) return false;
    return SavePictureFile(raster_.bytes.data(), 764, rows, kExportBytesPerRow, path);
}

}  // namespace quelt

#include "export/ReportTracks.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/ExportBmp.h"
#include "imaging/ToolsBmp.h"
#include "platform/Paths.h"

namespace quelt {

QualityTracksReport::QualityTracksReport(const Settings& settings, const LogHeader& header,
                                         const LineLayout& layout, double rotationOffset, double gammaCoef,
                                         const QualityLimits& limits, int depthUnit)
    : header_(header),
      layout_(layout),
      rotationOffset_(rotationOffset),
      gammaCoef_(gammaCoef),
      settings_(settings),
      limits_(limits),
      depthUnit_(depthUnit),
      decoder_(settings, header, layout, rotationOffset),
      tracks_(limits) {
    scales_ = trackScalesFor(tracks_.window(0), depthUnit_);
}

QualityLine QualityTracksReport::lineOf(const ReportLine& line, ReplayDecoder& decoder,
                                        GammaRate& gamma) const {
    decoder.apply(line.parsed, layout_);
    const LiveValues v = decoder.live.snapshot();
    const RowInputs in = rowInputsFor(v, decoder.settings, gammaCoef_);
    const double rate = gamma.push(in.gammaCount, in.gammaTime, in.motorPeriod, in.gammaCoef);
    return trackLineOf(v, line.depthMetres, rate, false);
}

void QualityTracksReport::survey(ReportLineSource& source) {
    const std::uint64_t start = source.position();
    ReplayDecoder decoder(settings_, header_, layout_, rotationOffset_);
    GammaRate gamma;
    LogQuality quality(limits_);
    TrackWindow whole;  // no rows: what the scales are chosen from
    ReportLine line;
    while (source.readLine(line)) {
        const QualityLine q = lineOf(line, decoder, gamma);
        quality.add(q);
        if (q.tilt != kNoValue && std::isfinite(q.tilt))
            whole.largestTilt = std::max(whole.largestTilt, q.tilt);
        if (std::isfinite(q.gamma)) whole.largestGamma = std::max(whole.largestGamma, q.gamma);
    }
    source.setPosition(start);
    whole.speedLimit = quality.speedLimit();
    scales_ = trackScalesFor(whole, depthUnit_);
    // |B| is judged against the reference of the whole report from its first line on.
    if (limits_.magneticReference <= 0 && quality.magneticReference() > 0) {
        QualityLimits fixed = limits_;
        fixed.magneticReference = quality.magneticReference();
        tracks_.setLimits(fixed);
    }
}

void QualityTracksReport::addLine(const ReportLine& line) {
    tracks_.add(lineOf(line, decoder_, gamma_), true);
    ++rows_;
}

bool QualityTracksReport::save(const std::string& path, bool flip) {
    // The report picture's rows in reading order (the first line on top), flipped as it is.
    TrackWindow w = tracks_.window(static_cast<std::size_t>(rows_));
    w.down = true;
    Raster32 raster(kQualityTracksWidth, std::max(rows_, 1), kTracksEmpty);
    drawQualityTrackRows(raster, 0, rows_, w, scales_);
    rows_ = 0;
    return write(raster, path, flip);
}

bool QualityTracksReport::saveHeader(const std::string& path) {
    Raster32 raster(kQualityTracksWidth, kQualityTracksHeaderRows, kTracksBackground);
    drawQualityTracksHeader(raster, 0, tracks_.window(0), scales_);
    return write(raster, path, false);
}

bool QualityTracksReport::write(const Raster32& raster, const std::string& path, bool flip) const {
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(raster.width) * raster.height * 3);
    for (std::size_t i = 0; i < raster.pixels.size(); ++i) {
        const std::uint32_t p = raster.pixels[i];
        bgr[3 * i] = static_cast<std::uint8_t>(p);
        bgr[3 * i + 1] = static_cast<std::uint8_t>(p >> 8);
        bgr[3 * i + 2] = static_cast<std::uint8_t>(p >> 16);
    }
    std::vector<std::uint8_t> jpeg;
    if (!encodeJpegBgr(bgr.data(), raster.width, raster.height, raster.width * 3, flip, kJpegQuality, jpeg))
        return false;
    return replaceFileAtomically(path, std::string(jpeg.begin(), jpeg.end()));
}

}  // namespace quelt

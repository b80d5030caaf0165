#pragma once
// The quality tracks of the HTML report: each line of the report decoded as a replay decodes it (the
// orientation, the field totals, the gamma rate as the row builder counts it), kept in a QualityTracks
// model and drawn beside each report picture by the tracks' renderer. A survey of the report's lines
// first fixes what every picture is drawn against (the scales and the |B| reference), so the pictures
// of one report read alike and |B| is judged from its first line.

#include <string>

#include "config/Header.h"
#include "config/Settings.h"
#include "export/HtmlReport.h"
#include "imaging/QualityTracksPicture.h"
#include "stream/QualityTracks.h"
#include "stream/ReplayLine.h"
#include "stream/ToolsStream.h"

namespace quelt {

class QualityTracksReport final : public ReportTracks {
  public:
    // `limits`: the step and the revolution time of the log; `depthUnit` labels the speed's scale.
    QualityTracksReport(const Settings& settings, const LogHeader& header, const LineLayout& layout,
                        double rotationOffset, double gammaCoef, const QualityLimits& limits, int depthUnit);

    // Reads the lines `source` gives from its position on, then goes back to it.
    void survey(ReportLineSource& source);

    void addLine(const ReportLine& line) override;
    bool save(const std::string& path, bool flip) override;
    bool saveHeader(const std::string& path) override;
    int width() const override { return kQualityTracksWidth; }
    int headerRows() const override { return kQualityTracksHeaderRows; }

  private:
    // The line's values through a decoder and gamma count of `decoder` / `gamma`.
    QualityLine lineOf(const ReportLine& line, ReplayDecoder& decoder, GammaRate& gamma) const;
    bool write(const Raster32& raster, const std::string& path, bool flip) const;

    const LogHeader header_;
    const LineLayout layout_;
    const double rotationOffset_, gammaCoef_;
    Settings settings_;
    QualityLimits limits_;
    int depthUnit_;
    ReplayDecoder decoder_;
    GammaRate gamma_;
    QualityTracks tracks_;
    TrackScales scales_;
    int rows_ = 0;  // since the last save
};

}  // namespace quelt

#include "export/HtmlReport.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "export/EncoderPool.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Units.h"

namespace quelt {
namespace {

namespace fs = std::filesystem;

double fraction(double x) {
    return x - std::trunc(x);
}

}  // namespace

bool DataFileLineSource::open(const std::string& dataPath, const LogHeader& header) {
    std::vector<LineChannel> channels;
    for (const auto& c : header.channels)
        channels.push_back({c.kind, c.sampleType, std::max(c.sampleCount, 1), 0, 0});
    layout_ = makeLayout(channels);
    if (header.recLineSize <= 0 || !checkLayout(layout_, static_cast<size_t>(header.recLineSize)).empty())
        return false;
    depthUnit_ = header.depthUnit;
    position_ = 0;
    block_.clear();
    if (!reader_.open(dataPath, layout_.lineSize)) return false;
    end_ = reader_.wholeLines() * reader_.lineSize();
    return true;
}

bool DataFileLineSource::skipLine() {
    if (position_ + reader_.lineSize() > end_) return false;
    position_ += reader_.lineSize();
    return true;
}

bool DataFileLineSource::readLine(ReportLine& line) {
    const size_t size = reader_.lineSize();
    if (position_ < blockStart_ || position_ + size > blockStart_ + block_.size()) {
        blockStart_ = position_;
        if (reader_.readLines(position_, kBlockLines, block_) == 0) return false;
    }
    const std::span<const std::uint8_t> bytes(block_.data() + (position_ - blockStart_), size);
    position_ += size;
    parseDataLine(bytes, layout_, line.parsed);
    double stored = lineDepthField(bytes) / 1000.0;
    line.depthMetres = depthUnit_ == 1 ? stored * units::kMetresPerFoot : stored;
    line.resolutionCode = line.parsed.head[15];
    return true;
}

std::string reportPictureName(const std::string& logName, double firstDepth, double lastDepth) {
    std::string name = logName + format("+%07.2f-%07.2f.jpg", std::fabs(firstDepth), std::fabs(lastDepth));
    for (char& ch : name)
        if (ch == ',') ch = '.';
    return name;
}

std::string reportTracksName(const std::string& pictureName) {
    return fs::path(pictureName).stem().string() + "-tracks.jpg";
}

std::string reportTracksHeaderName(const std::string& logName) {
    return logName + "-tracks.jpg";
}

std::string htmlEscape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += ch;
        }
    }
    return out;
}

std::string urlEncodePath(const std::string& name) {
    std::string out;
    for (unsigned char ch : name) {
        if (std::isalnum(ch) || ch == '-' || ch == '.' || ch == '_' || ch == '~' || ch == '+')
            out += static_cast<char>(ch);
        else
            out += format("%%%02X", ch);
    }
    return out;
}

CHtmlReport::CHtmlReport(std::string logDir, int displayUnit, ReportRaster& raster)
    : logDir_(std::move(logDir)), displayUnit_(displayUnit), raster_(raster) {}

std::string CHtmlReport::reportFolder(const std::string& logName) const {
    return (fs::path(nativePath(logDir_)) / (logName + "-HTML")).string();
}

std::string CHtmlReport::pagePath(const std::string& logName) const {
    return (fs::path(reportFolder(logName)) / (logName + ".html")).string();
}

int CHtmlReport::CountLines(ReportLineSource& source) {
    std::uint64_t saved = source.position();
    int n = 1, pause = 0;
    if (source.skipLine()) {
        for (;;) {
            bool got = source.skipLine();
            ++n;
            if (++pause > 400) {
                pause = 0;
                int pictures = (n + kReportPictureRows - 1) / kReportPictureRows;
                if (status)
                    setStatus(pictures < 2 ? format("Check file - %d picture found - wait...", pictures)
                                           : format("Check file - %d pictures found - wait...", pictures));
            }
            if (!got) break;
        }
    }
    source.setPosition(saved);
    return n;
}

namespace {

// The depth track of the report pictures: a tick at each tenth of the display unit (longer at the
// half), and the whole value as a label eight rows high when the whole part changes, drawn from the
// twelfth line of the log on.
class TrackMarks {
  public:
    TrackMarks(bool upward) : upward_(upward) {}

    // Line `lineNo` (from 1) at depth `j` of the display unit, on raster row `row`.
    void mark(ReportRaster& raster, int row, int lineNo, double j) {
        if (lineNo == 1) previous_ = j;
        int length;
        double fl = fraction(previous_), fj = fraction(j);
        if (j > previous_)
            length = fl > 0.45 && fj < 0.55 ? 5 : 2;
        else
            length = fj > 0.45 && fl < 0.55 ? 5 : 2;
        if (fj == 0.5) length = 5;
        previous_ = j;

        const bool drawn = lineNo >= 12;
        if (lineNo == 1) {
            whole_ = std::trunc(j);
            sign_ = j < 0;
            tenth_ = 0;
            counter_ = 11;
        } else if (counter_ < 11) {
            ++counter_;
            if (!isLabel_ && drawn && counter_ == 5) counter_ = 11;
        } else {
            double whole = std::trunc(j);
            bool sign = j < 0;
            if (whole != whole_ || sign != sign_) {
                const bool down = !upward_;
                bool newWhole = sign != sign_ || (down && j >= 0) || (!down && j < 0);
                labelValue_ = static_cast<int>(newWhole ? whole : whole_);
                counter_ = 0;
                isLabel_ = true;
                whole_ = whole;
                sign_ = sign;
                tenth_ = std::trunc(j * 10);
            } else if (std::trunc(j * 10) != tenth_) {
                counter_ = 0;
                isLabel_ = false;
                tenth_ = std::trunc(j * 10);
                tickLength_ = length;
            }
        }
        if (drawn && counter_ < 8) {
            if (isLabel_) {
                raster.DrawLabel(row, labelValue_, upward_ ? 7 - counter_ : counter_);
                if (counter_ == 0) raster.DrawTick(row, 3);
            } else if (counter_ == 0) {
                raster.DrawTick(row, tickLength_);
            }
        }
    }

  private:
    bool upward_;
    double previous_ = 0;
    double whole_ = 0, tenth_ = 0;  // the whole value and tenth last marked
    bool sign_ = false;
    bool isLabel_ = false;
    int counter_ = 11, labelValue_ = 0, tickLength_ = 2;
};

// The report's progress in whole percents of `total` lines.
class PercentSteps {
  public:
    PercentSteps(int total, const std::function<void(int)>& report) : total_(total), report_(report) {}
    void lineDone() {
        ++done_;
        while (steps_ < 100 && done_ > total_ / 100.0 * (steps_ + 1)) {
            ++steps_;
            if (report_) report_(steps_);
        }
    }

  private:
    int total_, done_ = 0, steps_ = 0;
    const std::function<void(int)>& report_;
};

}  // namespace

bool CHtmlReport::prepareFolder(const std::string& logName) {
    std::error_code ec;
    folder_ = reportFolder(logName);
    createdFolder_ = fs::create_directories(folder_, ec);
    // The pictures and page of an earlier report go: a shorter log would leave some behind.
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        std::string ext = toUpper(entry.path().extension().string());
        if (entry.is_regular_file() && (ext == ".JPG" || ext == ".HTML")) fs::remove(entry.path(), ec);
    }
    return true;
}

bool CHtmlReport::abandon() {
    // A report that fails leaves none of its pictures, nor a folder it made.
    if (encoders_) encoders_->wait();
    setStatus("HTML generation aborded !!! ");
    std::error_code rc;
    for (const auto& name : pictures_)
        fs::remove(fs::path(folder_) / name, rc);
    for (const auto& name : trackPictures_)
        fs::remove(fs::path(folder_) / name, rc);
    pictures_.clear();
    trackPictures_.clear();
    if (createdFolder_ && fs::is_empty(folder_, rc)) fs::remove(folder_, rc);
    return false;
}

bool CHtmlReport::finishSection(const std::string& name, int rows, bool upward) {
    if (saveFailed_) return false;
    const std::string path = (fs::path(folder_) / name).string();
    pictures_.push_back(name);
    lastRows_ = rows;
    // A copy of the raster is encoded on the pool while the next picture is composed; a raster that
    // cannot be copied is saved here, in order.
    if (auto save = raster_.snapshot(rows, upward); save && encoders_) {
        encoders_->submit([this, save = std::move(save), path] {
            try {
                if (!save(path)) saveFailed_ = true;
            } catch (...) {
                saveFailed_ = true;
            }
        });
        return true;
    }
    return raster_.SaveJpeg(path, rows, upward);
}

bool CHtmlReport::MakeHtmlReport(ReportLineSource& source, const LogHeader& header,
                                 const std::string& logName) {
    pictures_.clear();
    trackPictures_.clear();
    lastRows_ = 0;
    saveFailed_ = false;
    abort = false;
    raster_.ClearRaster();
    prepareFolder(logName);
    setStatus("Check file - wait...");
    const int total = CountLines(source);
    if (progress) progress(0);
    EncoderPool encoders(encoderThreads_);
    encoders_ = &encoders;
    struct Detach {
        CHtmlReport* self;
        ~Detach() { self->encoders_ = nullptr; }
    } detach{this};

    const bool upward = header.fileStartDepth >= header.fileEndDepth;
    PercentSteps percent(total, progress);
    TrackMarks marks(upward);
    int row = 0, lineNo = 0;
    double first = 0, j = 0;
    ReportLine line;
    while (source.readLine(line)) {
        if (abort) return abandon();
        ++lineNo;
        percent.lineDone();
        raster_.ComposeRow(row, line);
        if (tracks) tracks->addLine(line);
        j = displayUnit_ == 1 ? line.depthMetres * units::kFeetPerMetre : line.depthMetres;
        if (row == 0) first = j;
        marks.mark(raster_, row, lineNo, j);
        if (++row == kReportPictureRows) {
            const std::string picture = reportPictureName(logName, first, j);
            if (!finishSection(picture, kReportPictureRows, upward)) return abandon();
            if (tracks && !saveTracks(folder_, logName, picture, upward)) return abandon();
            raster_.DrawTrackBase();
            row = 0;
        }
    }
    if (row > 0) {
        const std::string picture = reportPictureName(logName, first, std::fabs(header.endDepth / 1000.0));
        if (!finishSection(picture, row, upward)) return abandon();
        if (tracks && !saveTracks(folder_, logName, picture, upward)) return abandon();
    }
    encoders.wait();
    if (saveFailed_) return abandon();
    if (progress) progress(0);
    if (!WriteHtmlPage(static_cast<int>(pictures_.size()), lastRows_, logName, upward)) return abandon();
    setStatus(pagePath(logName));
    return true;
}

bool CHtmlReport::saveTracks(const std::string& folder, const std::string& logName,
                             const std::string& picture, bool flip) {
    if (trackPictures_.empty()) {
        const std::string header = reportTracksHeaderName(logName);
        if (!tracks->saveHeader((fs::path(folder) / header).string())) return false;
        trackPictures_.push_back(header);
    }
    const std::string name = reportTracksName(picture);
    if (!tracks->save((fs::path(folder) / name).string(), flip)) return false;
    trackPictures_.push_back(name);
    return true;
}

bool CHtmlReport::WriteHtmlPage(int pictureCount, int lastRows, const std::string& logName, bool upward) {
    std::string path = pagePath(logName);
    std::string page;
    page += "<html><head><title>QueltLogger VEXA</title>\n";
    page += "<meta http-equiv='Content-Type' content='text/html; charset=iso-8859-1'>\n";
    page += "</head>";
    page += "<body bgcolor='#FFFFFF' text='#000000'>";
    page += "<table border='0' cellspacing='10' cellpadding='0' width='679' align='center'>";
    page +=
        "<tr><td colspan='3' align='center' height='119'>\n<p><h2><p><i><b><font color='#0000FF'>QueltLogger "
        "VEXA </font></b></i></p>\n";
    page += "<p>File : " + htmlEscape(logName) + "</p>";
    page += "</h2></td></tr>";
    page += "<tr>\n<td colspan='3' align='center' height='119'>\n";
    int count = std::min(pictureCount, static_cast<int>(pictures_.size()));
    // The quality tracks: their header over them, then each beside its picture, as wide as they are drawn.
    const bool withTracks = tracks && trackPictures_.size() == pictures_.size() + 1;
    if (withTracks)
        page += "<span style='display:inline-block;width:568px'></span><img height='" +
                format("%d", tracks->headerRows()) + "' width='" + format("%d", tracks->width()) + "' src='" +
                urlEncodePath(trackPictures_[0]) + "' border='0'  nosave><br>\n";
    for (int k = 0; k < count; ++k) {
        int i = upward ? count - 1 - k : k;
        int height = i == count - 1 ? lastRows / 4 * 3 : 300;
        page += "<img height='" + format("%d", height) + "' width='568' src='" +
                urlEncodePath(pictures_[static_cast<size_t>(i)]) + "' border='0'  nosave>";
        if (withTracks)
            page += "<img height='" + format("%d", height) + "' width='" + format("%d", tracks->width()) +
                    "' src='" + urlEncodePath(trackPictures_[static_cast<size_t>(i) + 1]) +
                    "' border='0'  nosave>";
        page += "<br>\n";
    }
    page += "</td>\n</tr>\n</table>\n</body>\n</html>";
    return replaceFileAtomically(path, page);
}

}  // namespace quelt

#include "export/HtmlReport.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

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
    return reader_.open(dataPath, layout_.lineSize);
}

bool DataFileLineSource::readLine(ReportLine& line) {
    if (!reader_.readLine(position_, bytes_)) return false;
    position_ += reader_.lineSize();
    parseDataLine(bytes_, layout_, line.parsed);
    double stored = lineDepthField(bytes_) / 1000.0;
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
    ReportLine line;
    if (source.readLine(line)) {
        for (;;) {
            bool got = source.readLine(line);
            ++n;
            if (++pause > 400) {
                pause = 0;
                int pictures = (n + kReportPictureRows - 1) / kReportPictureRows;
                setStatus(pictures < 2 ? format("Check file - %d picture found - wait...", pictures)
                                       : format("Check file - %d pictures found - wait...", pictures));
            }
            if (!got) break;
        }
    }
    source.setPosition(saved);
    return n;
}

bool CHtmlReport::MakeHtmlReport(ReportLineSource& source, const LogHeader& header,
                                 const std::string& logName) {
    pictures_.clear();
    trackPictures_.clear();
    lastRows_ = 0;
    raster_.ClearRaster();
    std::error_code ec;
    fs::path folder = reportFolder(logName);
    const bool createdFolder = fs::create_directories(folder, ec);
    // A report that fails leaves none of its pictures, nor a folder it made.
    auto abandon = [&] {
        setStatus("HTML generation aborded !!! ");
        std::error_code rc;
        for (const auto& name : pictures_)
            fs::remove(folder / name, rc);
        for (const auto& name : trackPictures_)
            fs::remove(folder / name, rc);
        pictures_.clear();
        trackPictures_.clear();
        if (createdFolder && fs::is_empty(folder, rc)) fs::remove(folder, rc);
        return false;
    };
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string ext = toUpper(entry.path().extension().string());
        if (entry.is_regular_file() && (ext == ".JPG" || ext == ".HTML")) fs::remove(entry.path(), ec);
    }
    setStatus("Check file - wait...");
    const int total = CountLines(source);
    if (progress) progress(0);

    const bool upward = header.fileStartDepth >= header.fileEndDepth;
    const bool down = !upward;
    int steps = 0, done = 0;
    int row = 0;
    double first = 0, previous = 0;
    int lineNo = 0;
    // Track marks.
    double rememberedWhole = 0;
    bool rememberedSign = false;
    double rememberedTenth = 0;
    bool isLabel = false;
    int counter = 11, labelValue = 0, tickLength = 2;

    ReportLine line;
    double j = 0;
    while (source.readLine(line)) {
        ++lineNo;
        ++done;
        while (steps < 100 && done > total / 100.0 * (steps + 1)) {
            ++steps;
            if (progress) progress(steps);
        }
        raster_.ComposeRow(row, line);
        if (tracks) tracks->addLine(line);
        j = displayUnit_ == 1 ? line.depthMetres * units::kFeetPerMetre : line.depthMetres;
        if (row == 0) first = j;

        if (lineNo == 1) previous = j;
        int length;
        double fl = fraction(previous), fj = fraction(j);
        if (j > previous)
            length = fl > 0.45 && fj < 0.55 ? 5 : 2;
        else
            length = fj > 0.45 && fl < 0.55 ? 5 : 2;
        if (fj == 0.5) length = 5;
        previous = j;

        const bool drawn = lineNo >= 12;
        if (lineNo == 1) {
            rememberedWhole = std::trunc(j);
            rememberedSign = j < 0;
            rememberedTenth = 0;
            counter = 11;
        } else if (counter < 11) {
            ++counter;
            if (!isLabel && drawn && counter == 5) counter = 11;
        } else {
            double whole = std::trunc(j);
            bool sign = j < 0;
            if (whole != rememberedWhole || sign != rememberedSign) {
                bool newWhole = sign != rememberedSign || (down && j >= 0) || (!down && j < 0);
                labelValue = static_cast<int>(newWhole ? whole : rememberedWhole);
                counter = 0;
                isLabel = true;
                rememberedWhole = whole;
                rememberedSign = sign;
                rememberedTenth = std::trunc(j * 10);
            } else if (std::trunc(j * 10) != rememberedTenth) {
                counter = 0;
                isLabel = false;
                rememberedTenth = std::trunc(j * 10);
                tickLength = length;
            }
        }
        if (drawn && counter < 8) {
            if (isLabel) {
                raster_.DrawLabel(row, labelValue, upward ? 7 - counter : counter);
                if (counter == 0) raster_.DrawTick(row, 3);
            } else if (counter == 0) {
                raster_.DrawTick(row, tickLength);
            }
        }

        if (++row == kReportPictureRows) {
            std::string name = reportPictureName(logName, first, j);
            if (!raster_.SaveJpeg((folder / name).string(), kReportPictureRows, upward)) return abandon();
            pictures_.push_back(name);
            if (tracks && !saveTracks(folder.string(), logName, name, upward)) return abandon();
            lastRows_ = kReportPictureRows;
            raster_.DrawTrackBase();
            row = 0;
        }
    }
    if (row > 0) {
        std::string name = reportPictureName(logName, first, std::fabs(header.endDepth / 1000.0));
        if (!raster_.SaveJpeg((folder / name).string(), row, upward)) return abandon();
        pictures_.push_back(name);
        if (tracks && !saveTracks(folder.string(), logName, name, upward)) return abandon();
        lastRows_ = row;
    }
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

#include "imaging/ToolsBmp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/Text.h"
#include "platform/Units.h"

namespace quelt {

void RowInputs::takeSettings(const Settings& settings) {
    gammaScale = settings.GammaScale;
    blackAndWhite = settings.BlackAndWhite;
    motorPeriod = settings.MotorPeriod;
    depthUnit = settings.SetDepthUnit;
}

RowInputs rowInputsFor(const LiveValues& v, const Settings& settings, double gammaCoef) {
    RowInputs in;
    in.takeSettings(settings);
    in.rotation = v.rotation;
    in.gammaCount = static_cast<std::uint16_t>(v.gamma);
    in.gammaTime = static_cast<std::uint8_t>(v.gclk);
    in.gammaCoef = gammaCoef;
    return in;
}

void RasterSurface::resizeClient(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<size_t>(width_) * height_, 0);
}

void RasterSurface::copyRows(const std::uint32_t* pixels, int width, int rows, int stride) {
    ++paints;
    int w = std::min(width, width_);
    for (int y = 0; y < std::min(rows, height_); ++y) {
        std::memcpy(&pixels_[static_cast<size_t>(y) * width_], pixels + static_cast<size_t>(y) * stride,
                    static_cast<size_t>(w) * sizeof(std::uint32_t));
    }
}

namespace {

double rotationCorrection(int code) {
    switch (code) {
        case 1:
            return 0.5;
        case 2:
            return 1.0;
        case 3:
            return 1.5;
        case 4:
            return 2.0;
        default:
            return 0.0;
    }
}

int clampCode(int code) {
    return code >= 1 && code <= 4 ? code : 1;
}

}  // namespace

CToolsBmp::CToolsBmp() {
    Palette p = defaultPalette();
    BuildColourTable(p, 0, colours_);
    buffer_.font = &smallLabelFont();
}

CToolsBmp::~CToolsBmp() = default;

bool CToolsBmp::InitImageBuffer(int screenHeight, Operator& op) {
    std::lock_guard lock(buffer_.mutex);
    if (buffer_.width != 0) return true;
    buffer_.firstRow = true;
    screenHeight_ = std::max(screenHeight, kMinScreenHeight);
    try {
        buffer_.pixels.assign(static_cast<size_t>(kRowWidth) * 3 * screenHeight_, 0xFF000000u);
    } catch (const std::bad_alloc&) {
        buffer_.pixels.clear();
        op.message("Error : Could not create DIB", MessageKind::Error);
        return false;
    }
    buffer_.width = kRowWidth;
    buffer_.height = 3 * screenHeight_;
    buffer_.cursor = kMarginRows;
    buffer_.font = &smallLabelFont();
    buffer_.background = kButtonFace;
    buffer_.labelHeight = buffer_.font->cellHeight - 1;
    buffer_.labelWidth = buffer_.font->cellWidth - 1;
    return true;
}

void CToolsBmp::ClearImageBuffer() {
    std::lock_guard lock(buffer_.mutex);
    clearLocked();
}

void CToolsBmp::clearLocked() {
    ImageBuffer& b = buffer_;
    if (b.width == 0) return;
    int trackLeft = (b.width - kTrackWidth) / 2;
    for (int r = 0; r < b.height; ++r) {
        std::uint32_t* px = b.row(r);
        for (int x = 0; x < b.width; ++x) {
            px[x] = (x >= trackLeft && x < trackLeft + kTrackWidth) ? b.background : 0xFF000000u;
        }
    }
    b.cursor = kMarginRows;
    b.lastDepth = kNoDepth;
    b.labelCountdown = 0;
    b.firstRow = true;
}

void CToolsBmp::StartDepthTrackAfresh() {
    std::lock_guard lock(buffer_.mutex);
    buffer_.lastDepth = kNoDepth;
    buffer_.labelCountdown = 0;
    buffer_.firstRow = true;
}

void CToolsBmp::setColourTable(const ColourTable& table) {
    std::lock_guard lock(buffer_.mutex);
    colours_ = table;
}

ColourTable CToolsBmp::colourTable() const {
    std::lock_guard lock(buffer_.mutex);
    return colours_;
}

int CToolsBmp::rowsSinceLastPaint() const {
    std::lock_guard lock(buffer_.mutex);
    return rowsSinceLastPaint_;
}

void CToolsBmp::DrawLineOfPixel(const ImageLine& line, const RowInputs& in, bool down, int resolutionCode,
                                bool orient, bool showGamma, double depth) {
    int code = resolutionCode;
    {
        std::lock_guard lock(buffer_.mutex);
        ImageBuffer& b = buffer_;
        if (b.width == 0) return;
        const int W = b.width, H = screenHeight_;

        int rotation = 0;
        if (orient) {
            double angle = in.rotation - rotationCorrection(code);
            if (angle < 0) angle += 360;
            // An angle that is no angle (unknown, out of range) reuses the previous rotation.
            rotation = (std::isfinite(angle) && angle >= 0 && angle < 360) ? static_cast<int>(angle) : 360;
        }
        down_ = down;
        double hundredths = std::trunc(depth * 100);
        if (!std::isfinite(hundredths)) hundredths = 0;
        hundredths = std::clamp(hundredths, -2e9, 2e9);
        int depthHundredths = static_cast<int>(hundredths);
        if (b.lastDepth == kNoDepth) b.lastDepth = down ? depthHundredths - 1 : depthHundredths + 1;

        // The rows of the label drawn last that lie outside the window go with it when it is moved.
        int labelRows = std::max(b.labelCountdown, 0);
        int row;
        if (down) {
            if (static_cast<long>(b.cursor) * W + static_cast<long>(W) * H >
                static_cast<long>(W) * (3 * H - kMarginRows - 1)) {
                std::memmove(&b.pixels[static_cast<size_t>(kMarginRows) * W - 8],
                             &b.pixels[static_cast<size_t>(b.cursor) * W - 8],
                             (static_cast<size_t>(W) * (H + labelRows) + 16) * sizeof(std::uint32_t));
                b.cursor = kMarginRows;
            }
            row = b.cursor + H;
            createPixelRowLocked(row, line.sampleLine.data(), rotation, code, depthHundredths, showGamma,
                                 in.gammaCount, in.gammaTime, in);
            ++b.cursor;
        } else {
            if (b.cursor - 1 < kMarginRows) {
                int target = 2 * H - kMarginRows;
                std::memmove(&b.pixels[static_cast<size_t>(target - labelRows) * W - 8],
                             &b.pixels[static_cast<size_t>(b.cursor - labelRows) * W - 8],
                             (static_cast<size_t>(W) * (H + labelRows) + 16) * sizeof(std::uint32_t));
                b.cursor = target;
            }
            row = b.cursor - 1;
            createPixelRowLocked(row, line.sampleLine.data(), rotation, code, depthHundredths, showGamma,
                                 in.gammaCount, in.gammaTime, in);
            --b.cursor;
        }
        ++rowsSinceLastPaint_;
    }
    if (resolutionListener) resolutionListener(code);
}

void CToolsBmp::CreatePixelRow(int row, const std::uint8_t* sampleLine, int rotation, int resolutionCode,
                               int depthHundredths, bool down, bool showGamma, std::uint16_t gammaCount,
                               std::uint8_t gammaTime, const RowInputs& in) {
    std::lock_guard lock(buffer_.mutex);
    if (buffer_.width == 0 || row < 0 || row >= buffer_.height) return;
    down_ = down;
    if (buffer_.lastDepth == kNoDepth) buffer_.lastDepth = down ? depthHundredths - 1 : depthHundredths + 1;
    createPixelRowLocked(row, sampleLine, rotation, resolutionCode, depthHundredths, showGamma, gammaCount,
                         gammaTime, in);
}

void CToolsBmp::createPixelRowLocked(int row, const std::uint8_t* sampleLine, int rotation, int code,
                                     int depthHundredths, bool showGamma, std::uint16_t gammaCount,
                                     std::uint8_t gammaTime, const RowInputs& in) {
    ImageBuffer& b = buffer_;
    std::uint32_t* px = b.row(row);
    code = clampCode(code);
    if (in.gammaScale == 0) showGamma = false;
    int mode = colourModeOf(in.blackAndWhite);

    // Gamma: the rate over the lines of about one second.
    const double rate = gammaRing_.push(gammaCount, gammaTime, in.motorPeriod, in.gammaCoef);
    gammaRate_ = rate;
    double g = rate;
    if (in.gammaScale > 0) g = rate * 360 / in.gammaScale;
    if (g >= 360) g = 359;
    if (g < 0 || !std::isfinite(g)) g = 0;
    int gammaPosition = showGamma ? static_cast<int>(g) : 0;

    if (rotation > 359 || rotation < 0) rotation = previousRotation_;
    previousRotation_ = rotation;
    const int shift = rotation / code;
    const int ns = kPictureWidth / code;

    for (int q = 0; q < ns; ++q) {
        int s = q - shift;
        if (s < 0) s += ns;
        int sp = s == 0 ? ns - 1 : s - 1;
        int tc = sampleLine[s], ac = sampleLine[kAmplitudeColumn + s];
        int tp = sampleLine[sp], ap = sampleLine[kAmplitudeColumn + sp];
        int dT = code > 1 ? (tc - tp) / code : 0;
        int dA = code > 1 ? (ac - ap) / code : 0;
        for (int k = 0; k < code; ++k) {
            int column = q * code + k;
            int t = tc - (code - 1 - k) * dT;
            int a = ac - (code - 1 - k) * dA;
            px[kAmplitudeColumn + column] = colours_.at(a, mode);
            px[column] = PixelColour(t, mode, column, showGamma, gammaPosition);
        }
    }

    depthTrack(px, row, depthHundredths, in.depthUnit);

    if (b.labelCountdown > 0) --b.labelCountdown;
    b.firstRow = false;
    if (showGamma) previousGammaPosition_ = gammaPosition;
}

std::uint32_t CToolsBmp::PixelColour(int value, int mode, int column, bool showGamma,
                                     int gammaPosition) const {
    if (showGamma) {
        int lo = std::min(previousGammaPosition_, gammaPosition);
        int hi = std::max(previousGammaPosition_, gammaPosition);
        if (column >= lo && column <= hi) return colours_.gammaTrace[mode];
    }
    return colours_.at(value, mode);
}

void CToolsBmp::fillTrack(std::uint32_t* px, int tickLength) {
    ImageBuffer& b = buffer_;
    std::uint32_t* track = px + kTrackColumn;
    bool protect = b.labelCountdown > 0;
    for (int x = 0; x < kTrackWidth; ++x) {
        if (tickLength > 0 && ((x >= 2 && x < tickLength) || (x >= kTrackWidth - tickLength && x < 42))) {
            track[x] = b.tickColour;
        } else if (!(protect && x >= b.labelMargin && x < kTrackWidth - b.labelMargin)) {
            track[x] = b.background;
        }
    }
}

void CToolsBmp::measure(const std::string& text) {
    buffer_.labelHeight = buffer_.font->cellHeight - 1;
    buffer_.labelWidth = buffer_.font->textWidth(text) - 1;
}

bool CToolsBmp::drawLabel(const std::string& text, int row, bool red) {
    ImageBuffer& b = buffer_;
    const BitmapFont& want = text.size() > 3 ? largeLabelFont() : smallLabelFont();
    if (&want != b.font) {
        measure(text);  // measured with the font still selected
        b.font = &want;
    }
    const BitmapFont& f = *b.font;
    int e = &f == &largeLabelFont() ? 1 : 0;
    int y = row - b.labelHeight / 2 - e;
    int width = f.textWidth(text);
    int left = kTrackColumn + kTrackWidth / 2 - width / 2;
    if (y < 0 || y + f.cellHeight > b.height) return false;
    std::uint32_t ink = red ? kLabelRed : 0xFF000000u;
    for (int gy = 0; gy < f.cellHeight; ++gy) {
        std::uint32_t* px = b.row(y + gy);
        for (size_t i = 0; i < text.size(); ++i) {
            for (int gx = 0; gx < f.cellWidth; ++gx) {
                int x = left + static_cast<int>(i) * f.cellWidth + gx;
                if (x < 0 || x >= b.width) continue;
                px[x] = f.on(text[i], gx, gy) ? ink : b.background;
            }
        }
    }
    return true;
}

void CToolsBmp::depthTrack(std::uint32_t* px, int row, int depthHundredths, int depthUnit) {
    ImageBuffer& b = buffer_;
    const bool metric = depthUnit != 1;
    int D = metric ? depthHundredths
                   : static_cast<int>(std::trunc(units::metresToFeet(depthHundredths / 100.0) * 1000.0));
    long long delta = static_cast<long long>(D) - b.lastDepth;

    if (delta == 0 && !b.labelPending) {
        fillTrack(px, 0);
        return;
    }

    int level = 0, tick = 0;
    bool wanted = false;
    std::string depthText;
    while (delta != 0) {
        long long V = b.lastDepth + delta;
        if (metric) {
            std::string labelText = format("%d", static_cast<int>(V / 100));
            measure(labelText);
            depthText = format("%d", static_cast<int>(V));
            size_t len = depthText.size();
            if (V == 0) {
                tick = 6;
                wanted = true;
                break;
            }
            if (len >= 2 && depthText[len - 1] == '0') {
                level = std::max(level, 1);
                if (depthText[len - 2] == '5') level = std::max(level, 2);
                if (depthText[len - 2] == '0') {
                    level = 3;
                    break;
                }
            }
        } else {
            depthText = format("%.3f", static_cast<double>(V) / 1000.0);
            size_t len = depthText.size();
            if (len >= 3 && depthText.compare(len - 2, 2, "00") == 0) {
                level = std::max(level, 1);
                if (depthText[len - 3] == '5') {
                    level = 2;
                    break;
                }
                if (depthText[len - 3] == '0') {
                    level = 3;
                    measure(format("%.1f", static_cast<double>(V) / 1000.0));
                    break;
                }
            }
        }
        delta += delta > 0 ? -1 : 1;
    }
    if (level == 1) tick = 4;
    if (level == 2) tick = 6;
    if (level == 3) {
        tick = 6;
        if (!b.firstRow) wanted = true;
    }

    if (tick == 0 && !b.labelPending) {
        fillTrack(px, 0);
        b.lastDepth = D;
        return;
    }
    fillTrack(px, tick);

    bool drawn;
    if (b.labelPending) {
        drawn = drawLabel(b.pendingText, b.pendingRow, D < 0);
        if (drawn) b.labelPending = false;
    } else if (wanted) {
        std::string text = depthText.size() >= 2 ? depthText.substr(0, depthText.size() - 2) : depthText;
        drawn = drawLabel(text, row, D < 0);
        if (!drawn) {
            b.labelPending = true;
            b.pendingText = text;
            b.pendingRow = row;
        }
    } else {
        b.lastDepth = D;
        return;
    }
    b.labelCountdown = b.labelHeight / 2;
    b.labelMargin = b.labelWidth > 43 ? 0 : static_cast<int>((kTrackWidth - b.labelWidth) * 0.5);
    b.lastDepth = D;
}

void CToolsBmp::DrawImageBuffer(PictureSurface& surface, bool force) {
    std::lock_guard lock(buffer_.mutex);
    ImageBuffer& b = buffer_;
    if (b.width == 0) return;
    if (!force && rowsSinceLastPaint_ <= 20) {
        ++rowsSinceLastPaint_;
        return;
    }
    rowsSinceLastPaint_ = 0;
    if (rememberedClientHeight_ == 0) rememberedClientHeight_ = surface.clientHeight();
    if (surface.clientWidth() != b.width) {
        int h = surface.clientHeight() > 0 ? surface.clientHeight() : rememberedClientHeight_;
        surface.resizeClient(b.width, h);
    }
    // A client taller than the screen shows the screen's rows only.
    int rows = std::clamp(surface.clientHeight(), 0, screenHeight_);
    int width = std::min(surface.clientWidth(), b.width);
    int source = b.cursor;
    if (down_) source += screenHeight_ - rows;
    surface.copyRows(b.row(source), width, rows, b.width);
}

bool CToolsBmp::PaintIfPending(PictureSurface& surface) {
    {
        std::lock_guard lock(buffer_.mutex);
        if (rowsSinceLastPaint_ == 0) return false;
    }
    DrawImageBuffer(surface, false);
    return true;
}

}  // namespace quelt

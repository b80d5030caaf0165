#pragma once
// The scrolling picture: the ImageBuffer (764 x 3H pixels, 0xAARRGGBB) and CToolsBmp, which turns each
// image line into one row (travel-time picture, depth track, amplitude picture) and copies the visible
// rows to the picture window. Rows are built on the thread that delivers the line while the window
// paints; both sides hold the buffer's mutex.

#include <atomic>
#include <climits>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "imaging/BitmapFont.h"
#include "imaging/Palette.h"
#include "platform/Operator.h"
#include "stream/ImageLine.h"
#include "stream/LiveState.h"
#include "stream/ToolsStream.h"

namespace quelt {

inline constexpr int kRowWidth = 764;
inline constexpr int kPictureWidth = 360;
inline constexpr int kTrackWidth = 44;
inline constexpr int kTrackColumn = 360;
inline constexpr int kAmplitudeColumn = 404;
inline constexpr int kMarginRows = 32;
inline constexpr int kMinScreenHeight = 64;
inline constexpr int kNoDepth = INT_MAX;
inline constexpr std::uint32_t kButtonFace = 0xFFF0F0F0;  // the track background
inline constexpr std::uint32_t kTickColour = 0xFF000000;
inline constexpr std::uint32_t kLabelRed = 0xFFFF0000;
inline constexpr int kResolutionMessage = 0x7E8;  // the row's resolution code, to the probe page

// What a row needs besides the sample line, filled from the live state and the settings by the live
// path and by replay alike.
struct RowInputs {
    double rotation = 0.0;         // orientation angle of the line, degrees, 0 <= angle < 360
    std::uint16_t gammaCount = 0;  // NGAM of the line
    std::uint8_t gammaTime = 0;    // GCLK of the line
    int gammaScale = 0;            // GammaScale: counts per second across the picture; 0 hides the trace
    bool blackAndWhite = false;    // BlackAndWhite
    int motorPeriod = 87;          // MotorPeriod
    double gammaCoef = 1.0;        // GammaCoef of the sonde in use
    int depthUnit = 0;             // SetDepthUnit: 0 metres, 1 feet

    // The settings part (GammaScale, BlackAndWhite, MotorPeriod, SetDepthUnit).
    void takeSettings(const Settings& settings);
};

// The inputs of a row from the live record of its line (rotation, NGAM, GCLK), the settings the line
// was decoded with and the gamma coefficient of the sonde in use.
RowInputs rowInputsFor(const LiveValues& v, const Settings& settings, double gammaCoef);

// Where the visible rows are painted: the picture window's client area.
class PictureSurface {
  public:
    virtual ~PictureSurface() = default;
    virtual int clientWidth() const = 0;
    virtual int clientHeight() const = 0;
    virtual void resizeClient(int width, int height) = 0;
    // `rows` rows of `width` pixels, `stride` pixels apart, to the client area from its top.
    virtual void copyRows(const std::uint32_t* pixels, int width, int rows, int stride) = 0;
};

// A surface in memory (the command line, tests).
class RasterSurface final : public PictureSurface {
  public:
    RasterSurface(int width, int height) { resizeClient(width, height); }
    int clientWidth() const override { return width_; }
    int clientHeight() const override { return height_; }
    void resizeClient(int width, int height) override;
    void copyRows(const std::uint32_t* pixels, int width, int rows, int stride) override;
    std::uint32_t at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    int paints = 0;

  private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

struct ImageBuffer {
    int width = 0;   // 764
    int height = 0;  // 3H
    std::vector<std::uint32_t> pixels;
    int cursor = kMarginRows;  // first row of the on-screen window of H rows

    // Depth track.
    int lastDepth = kNoDepth;  // display units of the previous row
    int labelCountdown = 0;    // rows below the label that keep its lower half
    int labelMargin = 0;
    int labelHeight = 0;  // height - 1 of the last measured label
    int labelWidth = 0;   // width - 1
    bool firstRow = true;
    bool labelPending = false;
    std::string pendingText;
    int pendingRow = 0;
    const BitmapFont* font = nullptr;  // the selected font

    std::uint32_t background = kButtonFace;
    std::uint32_t tickColour = kTickColour;

    mutable std::mutex mutex;

    std::uint32_t* row(int r) { return &pixels[static_cast<size_t>(r) * width]; }
    const std::uint32_t* row(int r) const { return &pixels[static_cast<size_t>(r) * width]; }
};

class CToolsBmp {
  public:
    CToolsBmp();
    virtual ~CToolsBmp();

    // Creates the 764 x 3H buffer (H at least 64). False, after "Error : Could not create DIB" to the
    // operator, when it cannot be made: the program then ends with exit code -1.
    bool InitImageBuffer(int screenHeight, Operator& op);
    // Black pictures, background track, cursor at row 32, no last depth, first-row flag set.
    void ClearImageBuffer();
    // The depth track as after a clear (no last depth, first-row flag set), the rows drawn kept: a
    // picture drawn again across the place where the live one was cleared.
    void StartDepthTrackAfresh();
    // One row from `line` and `in`, scrolled in at the bottom (down) or the top (up) of the window.
    void DrawLineOfPixel(const ImageLine& line, const RowInputs& in, bool down, int resolutionCode,
                         bool orient, bool showGamma, double depth);
    // The row builder proper, into buffer row `row`.
    void CreatePixelRow(int row, const std::uint8_t* sampleLine, int rotation, int resolutionCode,
                        int depthHundredths, bool down, bool showGamma, std::uint16_t gammaCount,
                        std::uint8_t gammaTime, const RowInputs& in);
    // Colour of one travel-time pixel: the gamma trace between the previous and this gamma position.
    std::uint32_t PixelColour(int value, int mode, int column, bool showGamma, int gammaPosition) const;
    // Copies the visible rows; without force only every 21st request paints.
    void DrawImageBuffer(PictureSurface& surface, bool force);
    // False when no row was added since the last paint; else an unforced DrawImageBuffer.
    bool PaintIfPending(PictureSurface& surface);

    // The colour table the rows are coloured with (copied; rows drawn keep their colours).
    void setColourTable(const ColourTable& table);
    ColourTable colourTable() const;
    // Called with the resolution code of every new row while set (the probe page's listener).
    std::function<void(int)> resolutionListener;

    double currentGammaRate() const { return gammaRate_.load(); }
    int screenHeight() const { return screenHeight_; }
    int rowsSinceLastPaint() const;
    // The buffer, for the painting side and tests; hold its mutex while reading it.
    const ImageBuffer& buffer() const { return buffer_; }
    ImageBuffer& buffer() { return buffer_; }

  private:
    void clearLocked();
    void createPixelRowLocked(int row, const std::uint8_t* sampleLine, int rotation, int code,
                              int depthHundredths, bool showGamma, std::uint16_t gammaCount,
                              std::uint8_t gammaTime, const RowInputs& in);
    void depthTrack(std::uint32_t* px, int row, int depthHundredths, int depthUnit);
    void fillTrack(std::uint32_t* px, int tickLength);
    void measure(const std::string& text);
    bool drawLabel(const std::string& text, int row, bool red);

    int screenHeight_ = 0;  // H
    int previousGammaPosition_ = 0;
    int previousRotation_ = 0;
    int rowsSinceLastPaint_ = 0;
    bool down_ = true;
    int rememberedClientHeight_ = 0;

    GammaRate gammaRing_;
    std::atomic<double> gammaRate_{0.0};

    ColourTable colours_;
    ImageBuffer buffer_;
};

}  // namespace quelt

#pragma once
// The large-digit counter, the compass needle and the polar level curve. Each draws into an off-screen
// image of its size and copies it when painted; updates are deferred through a short one-shot timer so
// that several updates in a row cost one redraw.

#include <QColor>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

namespace quelt::ui {

// A colour reference 0x00BBGGRR as a colour.
inline QColor colourFromRef(std::uint32_t ref) {
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>(ref >> 8 & 0xFF),
                  static_cast<int>(ref >> 16 & 0xFF));
}
// An RGB value 0xRRGGBB as a colour.
inline QColor colourFromRgb(std::uint32_t rgb) {
    return QColor(static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

// Blink speed codes of the counters and coloured texts: 0 2000 ms, 1 1000 ms, 2 500 ms, else milliseconds.
int blinkPeriodOf(int speed);

// Where a counter draws its text.
struct CounterPlacement {
    int fontHeight = 0, charWidth = 0, weight = 700;
    int alignment = 5;  // 5 right, 6 centred, 7 left: the one used
    int x = 0;          // anchor: the right end of the text for 5 and 6, its left end for 7
};
CounterPlacement counterPlacement(int clientWidth, int clientHeight, std::size_t chars, double widthRatio,
                                  int alignment);

class CGraphicCounterCtrl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRight = 5, kCentred = 6, kLeft = 7;
    static constexpr double kSmallFont = -999;

    explicit CGraphicCounterCtrl(QWidget* parent = nullptr);

    void WriteCounterDataInt(int value);
    void WriteCounterDataDouble(double value, const char* format);
    void WriteCounterDataCString(const std::string& text);
    void SetColours(QColor background, QColor text, QColor blinkBackground, QColor blinkText);
    void SetWidthRatio(double ratio) { ratio_ = ratio; }
    void SetAlignment(int alignment) { alignment_ = (alignment == 6 || alignment == 7) ? alignment : 5; }
    void SetRedrawDelay(int ms) { redrawDelay_ = ms; }
    void StartBlink(int speed);
    void StopBlink();

    const std::string& text() const { return text_; }
    bool blinking() const { return blinking_; }
    bool blinkPhase() const { return phase_; }
    int blinkPeriod() const { return blinkPeriod_; }
    bool redrawPending() const { return redraw_.isActive(); }
    QColor shownBackground() const { return phase_ ? blinkBackground_ : background_; }
    QColor shownTextColour() const { return phase_ ? blinkText_ : textColour_; }
    const CounterPlacement& lastPlacement() const { return placement_; }
    // The blink timer's tick: flips the phase and redraws.
    void blinkTick();
    // Draws now into the off-screen image.
    void redraw();

  protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

  private:
    void scheduleRedraw();

    std::string text_;
    double ratio_ = 1.0;
    int alignment_ = kRight;
    QColor background_ = Qt::black, textColour_ = QColor(255, 255, 0);
    QColor blinkBackground_ = Qt::black, blinkText_ = QColor(255, 0, 0);
    bool blinking_ = false, phase_ = false;
    int blinkPeriod_ = 1000;
    int redrawDelay_ = 200;
    QTimer redraw_, blink_;
    QImage surface_;
    CounterPlacement placement_;
};

// The compass needle: 0 degrees points up, angles grow clockwise.
class CViewMeterCtrl : public QWidget {
    Q_OBJECT
  public:
    explicit CViewMeterCtrl(QWidget* parent = nullptr);
    // Angles outside 0..360 are ignored.
    void setAngle(double degrees);
    int storedAngle() const { return stored_; }  // screen angle: (angle + 270) wrapped into 0..360
    // The outer end of the needle in a client square of `size` pixels.
    QPointF needleEnd(int size) const;
    void redraw();

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    int stored_ = 270;
    QTimer redraw_;
    QImage surface_;
};

// One revolution of echo amplitudes as a polar curve inside the acoustic window's rings.
struct LevelInputs {
    bool replay = false;
    int linkStatus = 0;
    int blanking = 0, window = 0;          // UpBlanking/UpWindow, or the replayed line's
    std::vector<std::uint8_t> amplitudes;  // one revolution
    double stepDegrees = 2.0;              // per sample
    double orientation = 0.0;              // the line's orientation, degrees
    int resolutionStep = 2;                // 1..4
    int refreshEvery = 0;                  // RefreshTravelDialog: the frame is redrawn every N lines
};

class CLevelCtrl : public QWidget {
    Q_OBJECT
  public:
    explicit CLevelCtrl(QWidget* parent = nullptr);
    void refresh(const LevelInputs& in);
    void clear();
    const QImage& surface() const { return surface_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    void drawFrame(const LevelInputs& in);
    bool replayMode_ = false;
    bool haveMode_ = false;
    int lines_ = 0;
    QImage surface_;
};

}  // namespace quelt::ui

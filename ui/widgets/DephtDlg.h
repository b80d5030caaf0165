#pragma once
// The depth panel docked in the main window and the floating depth magnifier: depth, speed and the
// vertical step of one revolution in the display unit, the orientation of the sonde with its compass
// needle, the serial number of the sonde, the depth reference, the B/W switch and the palette strip.
// Live values are yellow, replayed ones pale cyan; fields without a value are empty.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "config/Settings.h"
#include "imaging/Palette.h"
#include "stream/LiveState.h"

namespace quelt::ui {

class CGraphicCounterCtrl;
class CViewMeterCtrl;
class CColorStaticST;

// RGB values.
inline constexpr std::uint32_t kLiveColour = 0xFFFF00;    // ff,ff,00
inline constexpr std::uint32_t kReplayColour = 0xA0FFFF;  // a0,ff,ff
inline constexpr std::uint32_t kNoOrientationColour = 0x00FF00;
inline constexpr std::uint32_t kHighSideColour = 0xF8BF24;  // orange
inline constexpr std::uint32_t kBlinkColour = 0xFF0000;
inline constexpr std::uint32_t kOverSpeedColour = 0xFF3030;  // the speed above the limit
inline constexpr const char* kOrientationWait = "------";

// What the panel shows, from the live record and the modes.
struct DepthInputs {
    LiveValues values;
    int linkStatus = 0;
    bool replayLoaded = false, playing = false, paused = false;
    int depthUnit = 0;                 // SetDepthUnit: 0 metres, 1 feet
    int heightOffsetCm = 0;            // of the selected sonde
    int sondeLengthCm = 0;             // of the selected sonde
    bool referenceAtTop = false;       // the depth reference flag
    int serialNumber = 0;              // of the replayed log in replay, else of the selected sonde
    bool sondeReady = true;            // PowerUpStep reached 10
    double verticalStepMm = kNoValue;  // between two revolutions (ImageLine step)
    double speedLimit = 0;             // metres a minute that leave no gap (live); 0: none shown
    int picOriented = 0;               // PicOriented: 0 none, 1 magnetic north, 2 high side
};

enum class OrientationShow { Empty, Values, Waiting };

struct DepthTexts {
    std::string depth, speed, step;
    std::uint32_t colour = kLiveColour;  // RGB of the depth and speed digits
    std::string speedLimit;              // "max 2.17" beside the speed, in its unit
    bool overSpeed = false;              // the speed digits red: faster than the limit
    std::string depthUnit, speedUnit, stepUnit;
    std::string serial;
    bool serialBlinking = false;
    // Tilt, azimuth, gravity total, magnetic total, field angle.
    std::array<std::string, 5> orientation;
    OrientationShow orientationShow = OrientationShow::Empty;
    std::uint32_t orientationColour = kNoOrientationColour;
    bool needleShown = false;
    double needleAngle = 0;
};

DepthTexts depthTexts(const DepthInputs& in);
// The magnifier: in replay values only while playing, depth and speed empty while paused.
DepthTexts magnifierTexts(const DepthInputs& in);

// The floating window with depth, speed and step in large digits.
class CBigDepth : public QDialog {
    Q_OBJECT
  public:
    explicit CBigDepth(QWidget* parent = nullptr);
    void RefreshValues(const DepthInputs& in);
    void RefreshUnits(int depthUnit);
    CGraphicCounterCtrl* depthField() const { return depth_; }
    CGraphicCounterCtrl* speedField() const { return speed_; }
    // Closing, or a double click, stores the placement and hides the window.
    std::function<void()> onLeave;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    CGraphicCounterCtrl *depth_, *speed_, *step_;
    QLabel *depthUnit_, *speedUnit_, *stepUnit_;
};

// The strip of the palette in use; a click asks for the palette selector.
class PaletteStrip : public QWidget {
    Q_OBJECT
  public:
    PaletteStrip(const ColourTable& table, const Settings& settings, QWidget* parent = nullptr);
    std::function<void()> clicked;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

  private:
    const ColourTable& table_;
    const Settings& settings_;
};

class CDephtDlg : public QWidget {
    Q_OBJECT
  public:
    CDephtDlg(const ColourTable& table, const Settings& settings, QWidget* parent = nullptr);

    // Where the panel's timer takes its values.
    std::function<DepthInputs()> inputs;
    // Button 1400 ("Set current depht."), button 1408 (the magnifier), the B/W box, the palette strip.
    std::function<void()> onSetDepth;
    std::function<void()> onShowMagnifier;
    std::function<void(bool)> onBlackAndWhite;
    std::function<void()> onPalette;

    // Formats and shows every value.
    void PutDataOnScreen(const DepthInputs& in);
    void RefreshSerial(const DepthInputs& in);
    void RefreshUnits(int depthUnit);
    // One tick of the panel timer (250, then 402 every 70 ms).
    void timerTick();

    bool referenceAtTop() const { return referenceAtTop_; }
    void toggleReference();
    const DepthTexts& shown() const { return shown_; }
    CGraphicCounterCtrl* depthField() const { return depth_; }
    CGraphicCounterCtrl* speedField() const { return speed_; }
    CGraphicCounterCtrl* orientationField(int i) const { return orientation_.at(static_cast<size_t>(i)); }
    CViewMeterCtrl* needle() const { return needle_; }
    CColorStaticST* serialLabel() const { return serial_; }
    QToolButton* setDepthButton() const { return setDepth_; }
    QCheckBox* blackAndWhite() const { return bw_; }
    PaletteStrip* paletteStrip() const { return strip_; }
    CBigDepth* magnifier() const { return magnifier_; }
    QLabel* speedLimitLabel() const { return speedLimit_; }

  private:
    void colourDigits(std::uint32_t rgb, bool overSpeed);

    CGraphicCounterCtrl *depth_, *speed_, *step_;
    QLabel *depthUnit_, *speedUnit_, *stepUnit_;
    QLabel* speedLimit_;
    std::array<CGraphicCounterCtrl*, 5> orientation_{};
    CViewMeterCtrl* needle_;
    CColorStaticST* serial_;
    QToolButton* reference_;
    QToolButton* setDepth_;
    QToolButton* showMagnifier_;
    QCheckBox* bw_;
    PaletteStrip* strip_;
    CBigDepth* magnifier_;
    QTimer timer_, magnifierTimer_;
    DepthTexts shown_;
    DepthInputs last_;
    bool haveShown_ = false;
    bool referenceAtTop_ = false;
    bool waiting_ = false;      // the orientation fields blink "------"
    bool serialBlink_ = false;  // the serial label blinks
    bool notReady_ = false;
    int replayCounter_ = 0;
    std::uint32_t orientationColour_ = 0;
};

}  // namespace quelt::ui

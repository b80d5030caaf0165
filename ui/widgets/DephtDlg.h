#pragma once
// The depth panel docked in the main window: depth, speed and the vertical step of one revolution in
// the display unit, and the serial number of the sonde. Live values are yellow, replayed ones pale
// cyan; fields without a value are empty.

#include <QLabel>
#include <QWidget>
#include <cstdint>
#include <string>

#include "stream/LiveState.h"

namespace quelt::ui {

inline constexpr std::uint32_t kLiveColour = 0xFFFF00;    // RGB ff,ff,00
inline constexpr std::uint32_t kReplayColour = 0xA0FFFF;  // RGB a0,ff,ff

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
};

struct DepthTexts {
    std::string depth, speed, step;
    std::uint32_t colour = kLiveColour;  // RGB of the depth and speed digits
    std::string depthUnit, speedUnit, stepUnit;
    std::string serial;
    bool serialBlinking = false;
};

DepthTexts depthTexts(const DepthInputs& in);

class CDephtDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CDephtDlg(QWidget* parent = nullptr);

    // Formats and shows every value.
    void PutDataOnScreen(const DepthInputs& in);
    const DepthTexts& shown() const { return shown_; }
    QLabel* depthField() const { return depth_; }
    QLabel* speedField() const { return speed_; }

  private:
    QLabel* depth_;
    QLabel* depthUnit_;
    QLabel* speed_;
    QLabel* speedUnit_;
    QLabel* step_;
    QLabel* stepUnit_;
    QLabel* serial_;
    DepthTexts shown_;
    bool blinkOn_ = false;
};

}  // namespace quelt::ui

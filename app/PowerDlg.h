#pragma once
// The probe control panel's window: the Power button and the transport buttons Record, Pause, Stop,
// Play and Rewind with the speed variator, the counters and the coloured status text. It only shows
// the state of the ProbePanel model and of the transport; the main window acts on its clicks.

#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QWidget>

#include "stream/ProbePanel.h"
#include "ui/widgets/ColorStaticST.h"
#include "ui/widgets/GraphicCounterCtrl.h"

namespace quelt::app {

class CPowerDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CPowerDlg(QWidget* parent = nullptr);

    // The panel state of the model: counters, status text and its colour class, the Power picture.
    void showView(const ProbePanelView& view);
    // The elapsed counter: shown in `rgb` (yellow while recording, pale cyan in replay), or hidden.
    void showElapsed(bool shown, std::uint32_t rgb, const std::string& text);
    // Play, Rewind, Pause and Stop on and the speed variator shown; the gamma counter hidden.
    void EnableReplayControls();
    // Play, Rewind, Pause, Stop and Record off and the speed variator hidden.
    void DisableTransport();
    // The Record picture active or idle, the Pause picture in its blink phase or idle.
    void setRecordActive(bool active);
    void setPauseBlink(bool on);
    bool recordShownActive() const { return recordActive_; }
    bool pauseShownBlinking() const { return pauseBlink_; }

    QToolButton* power;
    QToolButton* rewind;
    QToolButton* stop;
    QToolButton* pause;
    QToolButton* play;
    QToolButton* record;
    QToolButton* travelWindow;
    QToolButton* setLogger;
    QToolButton* comm;
    QSlider* speed;
    ui::CGraphicCounterCtrl* voltage;
    ui::CGraphicCounterCtrl* current;
    ui::CGraphicCounterCtrl* valid;
    ui::CGraphicCounterCtrl* error;
    ui::CGraphicCounterCtrl* elapsed;
    ui::CGraphicCounterCtrl* gamma;
    QLabel* gammaUnit;
    ui::CColorStaticST* status;
    QLabel* caption;

  private:
    bool recordActive_ = false, pauseBlink_ = false;
};

// The status text's colours: text and background as RGB.
struct StatusColours {
    std::uint32_t text, background;
    bool defaultBackground;
};
StatusColours statusColours(StatusClass c);

}  // namespace quelt::app

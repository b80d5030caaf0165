#pragma once
// The depth reset dialog ("Depth reset."), opened from the depth panel: presets the winch depth counter
// of the surface electronics (command 0x02) to the typed depth plus the sonde's height offset.

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "config/Settings.h"
#include "stream/DepthSetting.h"

namespace quelt::ui {

class CPSetDepthDlg : public QDialog {
    Q_OBJECT
  public:
    // `sendF2` sends command 0x02 with the typed depth (CUSB::sendF2).
    CPSetDepthDlg(const Settings& settings, double heightOffsetCm, std::function<void(double)> sendF2,
                  QWidget* parent = nullptr);

    QLineEdit* entry() const { return entry_; }
    QPushButton* okButton() const { return ok_; }
    // The preset stored at "OK", metres.
    double presetMetres() const { return reset_.presetMetres(); }

  private:
    DepthReset reset_;
    QLineEdit* entry_;
    QPushButton* ok_;
};

}  // namespace quelt::ui

#pragma once
// The recording mode dialog, shown when a new log is started: the logging direction and the picture
// orientation. Changing the orientation stores PicOriented at once; "OK" prepares the stream's line
// acceptance for the recording.

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "config/Settings.h"
#include "stream/StreamPorts.h"

namespace quelt::ui {

class CPRecordingMode : public QDialog {
    Q_OBJECT
  public:
    // `lineDirection` is the direction of the last drawn line (1 down, 0 up); `currentDepth` gives the
    // live depth (metres) at "OK"; `orientationChanged` saves the settings and updates the labels.
    CPRecordingMode(Settings& settings, StreamShared& shared, std::uint8_t lineDirection,
                    std::function<double()> currentDepth, std::function<void(int)> orientationChanged,
                    QWidget* parent = nullptr);

    QRadioButton* uphole() const { return uphole_; }
    QRadioButton* downhole() const { return downhole_; }
    QComboBox* orientation() const { return orientation_; }
    QPushButton* okButton() const { return ok_; }

  private:
    void onOk();

    Settings& settings_;
    StreamShared& shared_;
    std::function<double()> currentDepth_;
    std::function<void(int)> orientationChanged_;
    QRadioButton* uphole_;
    QRadioButton* downhole_;
    QComboBox* orientation_;
    QPushButton* ok_;
};

}  // namespace quelt::ui

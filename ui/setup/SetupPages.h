#pragma once
// The five pages of the Logger Setup sheet: thin views over the page models of stream/. Each page
// reloads its controls from the model (refresh), applies the sheet's control state, and turns the
// operator's entries into calls of the model.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>
#include <array>
#include <functional>

#include "platform/Clock.h"
#include "stream/SetupSheet.h"

namespace quelt::ui {

// A spin box whose arrow steps go through the page model: `step` gives the value a step leads to (the
// model may refuse the step and keep the value), `released` applies the value the arrows reached.
class SetupSpinBox : public QSpinBox {
    Q_OBJECT
  public:
    using QSpinBox::QSpinBox;
    std::function<int(int value, int steps)> step;
    std::function<void(int value)> released;
    void stepBy(int steps) override;
};

// The read-back fields: black on yellow, pale cyan during a replay.
void paintReadBack(QLabel* label, bool replay);

// The pictures of the status lamps, drawn here: on and off for each kind (valid, error, update).
QPixmap lampPicture(CommLamps::Kind kind, bool on);

class CPWinchDlg : public QWidget {
    Q_OBJECT
  public:
    CPWinchDlg(SetupSheet& sheet, const Clock& clock, QWidget* parent = nullptr);
    void refresh();
    void applyControls(const ControlState& c);

    QCheckBox* direction;
    SetupSpinBox* resolution;
    QLineEdit* circumference;
    QLabel* unit;
    QComboBox* cableType;
    QPushButton* set;

  private:
    SetupSheet& sheet_;
    const Clock& clock_;
};

class CPProbeDlg : public QWidget {
    Q_OBJECT
  public:
    CPProbeDlg(SetupSheet& sheet, const Clock& clock, QWidget* parent = nullptr);
    void refresh();
    void applyControls(const ControlState& c, bool gammaShown, bool addEnabled);
    // The offset view strip: the latest amplitude line rotated by the image rotation, while the rotation
    // offset is edited.
    void drawOffsetView(const std::uint8_t* amplitudes, int samples, double rotation);
    std::function<std::uint32_t(std::uint32_t)> chooseColour;  // the colour picker; returns 0x00BBGGRR

    QSpinBox* voltage;
    QLineEdit* declination;
    QComboBox* sondes;
    QPushButton *add, *remove;
    QLineEdit* rotation;
    QPushButton *rotationEdit, *rotationCancel;
    QGroupBox* gammaGroup;
    QComboBox* gammaDisplay;
    QPushButton* colour;
    QLineEdit* gammaCoef;
    QPushButton* gammaEdit;
    QPushButton* set;
    QLabel* offsetView;

  private:
    // The steps of the constructor.
    void makeControls();
    void layOut();
    void connectControls();

    SetupSheet& sheet_;
    const Clock& clock_;
};

class CPCommDlg : public QWidget {
    Q_OBJECT
  public:
    CPCommDlg(SetupSheet& sheet, const Clock& clock, QWidget* parent = nullptr);
    void refresh();
    void applyControls(const CommEnables& e);
    void readBack(bool replay);
    void showLamps();

    QComboBox* speed;
    QLabel* speedReadBack;
    SetupSpinBox *downhole, *gain, *uphole;
    QLabel* maxLabel;
    QLabel* upholeReadBack;
    QPushButton *set, *check;
    std::array<QLabel*, CommLamps::kCount> lamps{};

  signals:
    // "&Check" passed the recording guard: the auto-check dialog runs now (modally).
    void checkRequested();

  private:
    SetupSheet& sheet_;
    const Clock& clock_;
};

class CPPictureDlg : public QWidget {
    Q_OBJECT
  public:
    CPPictureDlg(SetupSheet& sheet, const Clock& clock, QWidget* parent = nullptr);
    void refresh();
    void applyControls(bool on);
    void readBack(bool replay, int replayOrientation);

    QComboBox* resolution;
    QLabel* resolutionReadBack;
    SetupSpinBox* motor;
    QLabel *motorReadBack, *rps;
    QComboBox* orientation;
    SetupSpinBox* filter;
    QLabel *toolTemp, *probeTemp;
    QLabel* replayOrientation;
    QPushButton* set;

  private:
    SetupSheet& sheet_;
    const Clock& clock_;
};

class CPFileTolDlg : public QWidget {
    Q_OBJECT
  public:
    CPFileTolDlg(SetupSheet& sheet, QWidget* parent = nullptr);
    void refresh();

    QLineEdit* serial;
    QComboBox* dbase;
    QLineEdit *length, *windowOffset, *deviationOffset, *rotationOffset, *offsetD42, *gammaOffset, *gammaCoef;
    QCheckBox *highSpeed, *gammaOnBoard;
    QPushButton* write;

  private:
    SetupSheet& sheet_;
};

}  // namespace quelt::ui

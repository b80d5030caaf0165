#pragma once
// The coloured static text whose text and background can blink, and the alarm window that shows the
// sonde's alarms with it.

#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <functional>

namespace quelt::ui {

class CColorStaticST : public QLabel {
    Q_OBJECT
  public:
    explicit CColorStaticST(QWidget* parent = nullptr);

    // An invalid colour stands for the system's face (background) or text colour.
    void SetBkColor(QColor colour);
    void SetTextColor(QColor colour);
    void SetBlinkTextColors(QColor c1, QColor c2);
    void SetBlinkBkColors(QColor c1, QColor c2);
    void EnableTextBlink(bool on, int speed = 1);
    void EnableBkBlink(bool on, int speed = 1);
    // Called on each blink tick whose phase is 1.
    void SetBlinkNotification(std::function<void()> notify) { notify_ = std::move(notify); }

    bool textBlinking() const { return textBlink_; }
    bool bkBlinking() const { return bkBlink_; }
    int blinkPeriod() const { return period_; }
    QColor shownTextColour() const;
    QColor shownBkColour() const;
    // The blink timer's tick.
    void blinkTick();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void restartTimer(int speed);

    QColor text_, bk_;
    QColor blinkText_[2], blinkBk_[2];
    bool textBlink_ = false, bkBlink_ = false;
    int textPhase_ = 0, bkPhase_ = 0;
    int period_ = 1000;
    QTimer timer_;
    std::function<void()> notify_;
};

// The alarm window: code 0 the encoder fault, code 1 the low battery; other codes change nothing.
class CAlertDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAlertDlg(QWidget* parent = nullptr);
    // Sets the title and message of the code and shows the window; false for an unknown code.
    bool showAlarm(int code);
    // Shows a fault of the recording that has no alarm code (full data frames that stopped).
    void showFault(const QString& title, const QString& text);
    QString messageText() const { return message_->text(); }

  private:
    CColorStaticST* message_;
};

}  // namespace quelt::ui

#include "ui/widgets/ColorStaticST.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/widgets/GraphicCounterCtrl.h"

namespace quelt::ui {

CColorStaticST::CColorStaticST(QWidget* parent) : QLabel(parent) {
    connect(&timer_, &QTimer::timeout, this, [this] { blinkTick(); });
    blinkText_[0] = blinkText_[1] = QColor();
    blinkBk_[0] = blinkBk_[1] = QColor();
}

void CColorStaticST::SetBkColor(QColor colour) {
    bk_ = colour;
    update();
}
void CColorStaticST::SetTextColor(QColor colour) {
    text_ = colour;
    update();
}
void CColorStaticST::SetBlinkTextColors(QColor c1, QColor c2) {
    blinkText_[0] = c1;
    blinkText_[1] = c2;
    update();
}
void CColorStaticST::SetBlinkBkColors(QColor c1, QColor c2) {
    blinkBk_[0] = c1;
    blinkBk_[1] = c2;
    update();
}

void CColorStaticST::restartTimer(int speed) {
    period_ = blinkPeriodOf(speed);
    if (textBlink_ || bkBlink_)
        timer_.start(period_);
    else
        timer_.stop();
}

void CColorStaticST::EnableTextBlink(bool on, int speed) {
    textBlink_ = on;
    if (!on) textPhase_ = 0;
    restartTimer(speed);
    update();
}

void CColorStaticST::EnableBkBlink(bool on, int speed) {
    bkBlink_ = on;
    if (!on) bkPhase_ = 0;
    restartTimer(speed);
    update();
}

void CColorStaticST::blinkTick() {
    if (!textBlink_ && !bkBlink_) return;
    if (textBlink_) textPhase_ ^= 1;
    if (bkBlink_) bkPhase_ ^= 1;
    update();
    if (notify_ && (textPhase_ == 1 || bkPhase_ == 1)) notify_();
}

QColor CColorStaticST::shownTextColour() const {
    QColor c = textBlink_ ? blinkText_[textPhase_] : text_;
    return c.isValid() ? c : palette().color(QPalette::ButtonText);
}

QColor CColorStaticST::shownBkColour() const {
    QColor c = bkBlink_ ? blinkBk_[bkPhase_] : bk_;
    return c.isValid() ? c : palette().color(QPalette::Button);
}

void CColorStaticST::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), shownBkColour());
    p.setPen(shownTextColour());
    p.setFont(font());
    p.drawText(contentsRect(), static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0), text());
}

// ---------------------------------------------------------------- alarm window

CAlertDlg::CAlertDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("alert");
    auto* column = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    message_ = new CColorStaticST(this);
    QFont f("MS Shell Dlg");
    f.setPixelSize(12);
    f.setBold(true);
    message_->setFont(f);
    message_->setMinimumWidth(220);
    row->addWidget(icon);
    row->addWidget(message_, 1);
    column->addLayout(row);
    auto* ok = new QPushButton("&OK", this);
    connect(ok, &QPushButton::clicked, this, &QDialog::hide);
    column->addWidget(ok, 0, Qt::AlignRight);
    setModal(false);
}

bool CAlertDlg::showAlarm(int code) {
    static const char* const kTexts[2][2] = {{"Invalid Depth !!!", "Encoder Error"},
                                             {"Low Battery.", "Low battery / Power Failure !!!"}};
    if (code < 0 || code > 1) return false;
    setWindowTitle(kTexts[code][0]);
    message_->setText(kTexts[code][1]);
    show();
    raise();
    return true;
}

void CAlertDlg::showFault(const QString& title, const QString& text) {
    setWindowTitle(title);
    message_->setText(text);
    show();
    raise();
}

}  // namespace quelt::ui

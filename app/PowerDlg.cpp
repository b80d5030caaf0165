#include "app/PowerDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quelt::app {

StatusColours statusColours(StatusClass c) {
    switch (c) {
        case StatusClass::Normal:
            return {0x0000FF, 0, true};
        case StatusClass::Replay:
            return {0xFF0000, 0, true};
        case StatusClass::Error:
            return {0xFFFFFF, 0xFF0000, false};
        case StatusClass::Blank:
        default:
            return {0x000000, 0, true};
    }
}

namespace {
QString rgbText(std::uint32_t rgb) {
    return QString("#%1").arg(rgb, 6, 16, QChar('0'));
}

QToolButton* button(QWidget* parent, const char* name, const QString& symbol, const char* tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(symbol);
    b->setToolTip(tip);
    b->setMinimumSize(36, 32);
    QFont f = b->font();
    f.setPointSize(14);
    b->setFont(f);
    return b;
}

QLabel* counter(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(64);
    l->setStyleSheet("QLabel { background: black; color: #ffff00; font: bold 14px 'Courier New'; }");
    return l;
}
}  // namespace

CPowerDlg::CPowerDlg(QWidget* parent) : QWidget(parent) {
    caption = new QLabel("Probe Control", this);
    power = button(this, "power", QString("I/O"), "Sonde power On/Off.");
    power->setCheckable(true);
    rewind = button(this, "rewind", QString::fromUtf8("|\u25C0"), "Reset file player .");
    stop = button(this, "stop", QString::fromUtf8("\u25A0"), "Player or recorder stop.");
    pause = button(this, "pause", QString::fromUtf8("\u275A\u275A"), "Player or recorder pause.");
    play = button(this, "play", QString::fromUtf8("\u25B6"), "Play file.");
    record = button(this, "record", QString::fromUtf8("\u25CF"), "Recording");
    travelWindow = button(this, "travelWindow", "T", "Caliper show.");
    setLogger = button(this, "setLogger", "S", "Technical sonde tools show.");
    comm = button(this, "comm", "C", "Show tools parameter.");
    speed = new QSlider(Qt::Horizontal, this);
    speed->setObjectName("speed");
    speed->setRange(1, 50);
    speed->setValue(25);
    speed->setToolTip("Player speed variator (depending of your sytem performance).");

    voltage = counter(this, "voltage");
    current = counter(this, "current");
    valid = counter(this, "valid");
    error = counter(this, "error");
    elapsed = counter(this, "elapsed");
    elapsed->setText("00:00:00");
    gamma = counter(this, "gamma");
    gammaUnit = new QLabel("CPS", this);
    status = new QLabel(this);
    status->setObjectName("status");
    status->setMinimumWidth(260);

    auto* v = new QVBoxLayout(this);
    v->addWidget(caption);
    auto* buttons = new QHBoxLayout;
    for (QToolButton* b : {power, record, pause, stop, play, rewind, travelWindow, setLogger, comm})
        buttons->addWidget(b);
    v->addLayout(buttons);
    v->addWidget(speed);
    auto* grid = new QGridLayout;
    int col = 0;
    auto add = [&](QLabel* c, const char* unit) {
        grid->addWidget(c, 0, col++);
        grid->addWidget(new QLabel(unit, this), 0, col++);
    };
    add(voltage, "V");
    add(current, "mA");
    add(valid, "Valid");
    add(error, "Error");
    v->addLayout(grid);
    auto* row = new QHBoxLayout;
    row->addWidget(elapsed);
    row->addWidget(gamma);
    row->addWidget(gammaUnit);
    row->addStretch();
    v->addLayout(row);
    v->addWidget(status);
    v->addStretch();

    // As the panel opens: everything but the icon buttons off, the variator hidden.
    for (QToolButton* b : {power, stop, play, record, rewind, pause, comm})
        b->setEnabled(false);
    speed->hide();
    elapsed->hide();
    gamma->hide();
    gammaUnit->hide();
}

void CPowerDlg::showView(const ProbePanelView& view) {
    voltage->setText(QString::fromStdString(view.voltageText));
    current->setText(QString::fromStdString(view.currentText));
    valid->setText(QString::fromStdString(view.validText));
    error->setText(QString::fromStdString(view.errorText));
    gamma->setText(QString::fromStdString(view.gammaText));
    gamma->setVisible(view.gammaShown && !speed->isVisible());
    gammaUnit->setVisible(gamma->isVisible());
    status->setText(QString::fromStdString(view.statusText));
    StatusColours c = view.statusBlack ? StatusColours{0, 0, true} : statusColours(view.statusClass);
    QString style = "QLabel { font: bold; color: " + rgbText(c.text) + ";";
    if (!c.defaultBackground) style += " background: " + rgbText(c.background) + ";";
    status->setStyleSheet(style + " }");
    power->setEnabled(view.powerEnabled);
    const bool on = view.powerPicture == PowerPicture::On || view.powerPicture == PowerPicture::OnBlink;
    power->setChecked(on);
    const bool blink =
        view.powerPicture == PowerPicture::OnBlink || view.powerPicture == PowerPicture::OffBlink;
    power->setStyleSheet(blink ? "QToolButton { color: #c0c000; }"
                         : on  ? "QToolButton { color: #00a000; }"
                               : "");
}

void CPowerDlg::showElapsed(bool shown, std::uint32_t rgb, const std::string& text) {
    elapsed->setVisible(shown);
    if (!shown) return;
    elapsed->setText(QString::fromStdString(text.empty() ? "00:00:00" : text));
    elapsed->setStyleSheet("QLabel { background: black; color: " + rgbText(rgb) +
                           "; font: bold 14px 'Courier New'; }");
}

void CPowerDlg::EnableReplayControls() {
    for (QToolButton* b : {play, rewind, pause, stop})
        b->setEnabled(true);
    speed->show();
    gamma->hide();
    gammaUnit->hide();
}

void CPowerDlg::DisableTransport() {
    for (QToolButton* b : {play, rewind, pause, stop, record})
        b->setEnabled(false);
    speed->hide();
}

void CPowerDlg::setRecordActive(bool active) {
    record->setStyleSheet(active ? "QToolButton { color: #ff0000; }" : "");
}

}  // namespace quelt::app

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

ui::CGraphicCounterCtrl* counter(QWidget* parent, const char* name) {
    auto* c = new ui::CGraphicCounterCtrl(parent);
    c->setObjectName(name);
    c->setFixedSize(64, 18);
    c->SetColours(Qt::black, ui::colourFromRgb(0xFFFF00), Qt::black, ui::colourFromRgb(0xFF0000));
    return c;
}

void blinkWhile(ui::CGraphicCounterCtrl* c, bool on) {
    if (on && !c->blinking()) c->StartBlink(500);
    if (!on && c->blinking()) c->StopBlink();
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
    elapsed->WriteCounterDataCString("00:00:00");
    gamma = counter(this, "gamma");
    gammaUnit = new QLabel("CPS", this);
    status = new ui::CColorStaticST(this);
    status->setObjectName("status");
    status->setMinimumWidth(180);
    status->setWordWrap(true);
    QFont bold = status->font();
    bold.setBold(true);
    status->setFont(bold);

    auto* v = new QVBoxLayout(this);
    v->addWidget(caption);
    // Two rows of buttons and two columns of counters keep the panel narrow beside the picture.
    auto* buttons = new QGridLayout;
    int at = 0;
    for (QToolButton* b : {power, record, pause, stop, play, rewind, travelWindow, setLogger, comm}) {
        buttons->addWidget(b, at / 5, at % 5);
        ++at;
    }
    v->addLayout(buttons);
    v->addWidget(speed);
    auto* grid = new QGridLayout;
    int cell = 0;
    auto add = [&](QWidget* c, const char* unit) {
        grid->addWidget(c, cell / 2, cell % 2 * 2);
        grid->addWidget(new QLabel(unit, this), cell / 2, cell % 2 * 2 + 1);
        ++cell;
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

    // As the panel opens: everything but the icon buttons off, the variator hidden. TravelWindow is
    // enabled by the window that owns the travel and level tools it opens.
    for (QToolButton* b : {power, stop, play, record, rewind, pause, comm, travelWindow})
        b->setEnabled(false);
    speed->hide();
    elapsed->hide();
    gamma->hide();
    gammaUnit->hide();
}

void CPowerDlg::showView(const ProbePanelView& view) {
    voltage->WriteCounterDataCString(view.voltageText);
    current->WriteCounterDataCString(view.currentText);
    blinkWhile(voltage, view.voltageBlinking);
    blinkWhile(current, view.currentBlinking);
    valid->WriteCounterDataCString(view.validText);
    error->WriteCounterDataCString(view.errorText);
    gamma->setVisible(view.gammaShown && !speed->isVisible());
    gammaUnit->setVisible(gamma->isVisible());
    gamma->WriteCounterDataCString(view.gammaText);
    status->setText(QString::fromStdString(view.statusText));
    StatusColours c = view.statusBlack ? StatusColours{0, 0, true} : statusColours(view.statusClass);
    status->SetTextColor(ui::colourFromRgb(c.text));
    status->SetBkColor(c.defaultBackground ? QColor() : ui::colourFromRgb(c.background));
    power->setEnabled(view.powerEnabled);
    const bool on = view.powerPicture == PowerPicture::On || view.powerPicture == PowerPicture::OnBlink;
    power->setChecked(on);
    const bool blink =
        view.powerPicture == PowerPicture::OnBlink || view.powerPicture == PowerPicture::OffBlink;
    power->setStyleSheet(blink ? "QToolButton { color: #c0c000; }"
                         : on  ? "QToolButton { color: #00a000; }"
                               : "");
    setRecordActive(view.recordActive);
    setPauseBlink(view.pauseBlink);
}

void CPowerDlg::showElapsed(bool shown, std::uint32_t rgb, const std::string& text) {
    elapsed->setVisible(shown);
    if (!shown) return;
    const QColor colour = ui::colourFromRgb(rgb);
    if (elapsed->shownTextColour() != colour) elapsed->SetColours(Qt::black, colour, Qt::black, colour);
    elapsed->WriteCounterDataCString(text.empty() ? "00:00:00" : text);
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
    recordActive_ = active;
    record->setStyleSheet(active ? "QToolButton { color: #ff0000; }" : "");
}

void CPowerDlg::setPauseBlink(bool on) {
    pauseBlink_ = on;
    pause->setStyleSheet(on ? "QToolButton { color: #c0c000; }" : "");
}

}  // namespace quelt::app

#include "ui/widgets/GraphicCounterCtrl.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "config/Diagnostics.h"
#include "platform/Text.h"

namespace quelt::ui {

int blinkPeriodOf(int speed) {
    switch (speed) {
        case 0:
            return 2000;
        case 1:
            return 1000;
        case 2:
            return 500;
        default:
            return speed;
    }
}

CounterPlacement counterPlacement(int clientWidth, int clientHeight, std::size_t chars, double widthRatio,
                                  int alignment) {
    CounterPlacement p;
    if (widthRatio == CGraphicCounterCtrl::kSmallFont) {
        p.fontHeight = 14;
        p.charWidth = 5;
        p.weight = 400;
    } else {
        p.fontHeight = static_cast<int>(1.2 * clientHeight);
        p.charWidth = static_cast<int>(p.fontHeight / 3.0 * widthRatio);
        p.weight = 700;
    }
    const double textWidth = static_cast<double>(p.charWidth) * static_cast<double>(chars);
    p.alignment = (alignment == 6 || alignment == 7) ? alignment : 5;
    if (clientWidth < 1.1 * textWidth) p.alignment = 7;
    switch (p.alignment) {
        case 6:
            p.x = clientWidth - static_cast<int>((clientWidth - textWidth) / 2);
            break;
        case 7:
            p.x = 0;
            break;
        default:
            p.x = clientWidth;
            break;
    }
    return p;
}

CGraphicCounterCtrl::CGraphicCounterCtrl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    redraw_.setSingleShot(true);
    connect(&redraw_, &QTimer::timeout, this, [this] { redraw(); });
    connect(&blink_, &QTimer::timeout, this, [this] { blinkTick(); });
    redraw_.start(20);
}

void CGraphicCounterCtrl::scheduleRedraw() {
    if (!redraw_.isActive()) redraw_.start(redrawDelay_);
}

void CGraphicCounterCtrl::WriteCounterDataInt(int value) {
    if (!isVisible()) return;
    try {
        text_ = format("%d", value);
        scheduleRedraw();
    } catch (...) {
        WriteCaughtException("CGraphicCounterCtrl::WriteCounterDataInt");
    }
}

void CGraphicCounterCtrl::WriteCounterDataDouble(double value, const char* fmt) {
    if (!isVisible()) return;
    try {
        text_ = format(fmt, std::isfinite(value) ? value : 0.0);
        scheduleRedraw();
    } catch (...) {
        WriteCaughtException("CGraphicCounterCtrl::WriteCounterDataDouble");
    }
}

void CGraphicCounterCtrl::WriteCounterDataCString(const std::string& text) {
    if (!isVisible()) return;
    try {
        text_ = text.substr(0, 255);
        scheduleRedraw();
    } catch (...) {
        WriteCaughtException("CGraphicCounterCtrl::WriteCounterDataCString");
    }
}

void CGraphicCounterCtrl::SetColours(QColor background, QColor text, QColor blinkBackground,
                                     QColor blinkText) {
    background_ = background;
    textColour_ = text;
    blinkBackground_ = blinkBackground;
    blinkText_ = blinkText;
    scheduleRedraw();
}

void CGraphicCounterCtrl::StartBlink(int speed) {
    blinkPeriod_ = blinkPeriodOf(speed);
    blinking_ = true;
    blink_.start(blinkPeriod_);
}

void CGraphicCounterCtrl::StopBlink() {
    blink_.stop();
    blinking_ = false;
    phase_ = false;
    scheduleRedraw();
}

void CGraphicCounterCtrl::blinkTick() {
    phase_ = !phase_;
    redraw();
    if (blinking_) blink_.start(blinkPeriod_);
}

void CGraphicCounterCtrl::showEvent(QShowEvent*) {
    scheduleRedraw();
}

void CGraphicCounterCtrl::redraw() {
    redraw_.stop();
    if (!isVisible() || isMinimized()) return;
    const QSize size = this->size();
    if (surface_.size() != size) surface_ = QImage(size, QImage::Format_RGB32);
    surface_.fill(shownBackground());
    placement_ = counterPlacement(size.width(), size.height(), text_.size(), ratio_, alignment_);
    QPainter p(&surface_);
    QFont font("Arial");
    // The cell height of the font is the placement's height; its em is about four fifths of it.
    font.setPixelSize(std::max(1, placement_.fontHeight * 4 / 5));
    font.setWeight(placement_.weight >= 700 ? QFont::Bold : QFont::Normal);
    const int natural = QFontMetrics(font).averageCharWidth();
    if (natural > 0 && placement_.charWidth > 0)
        font.setStretch(std::clamp(placement_.charWidth * 100 / natural, 1, 4000));
    p.setFont(font);
    p.setPen(shownTextColour());
    const QString text = QString::fromStdString(text_);
    const int w = QFontMetrics(font).horizontalAdvance(text);
    const QRect rect = placement_.alignment == 7 ? QRect(0, 0, std::max(w, size.width()), size.height())
                                                 : QRect(placement_.x - w, 0, w, size.height());
    p.drawText(rect, Qt::AlignVCenter | (placement_.alignment == 7 ? Qt::AlignLeft : Qt::AlignRight), text);
    p.end();
    update();
}

void CGraphicCounterCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (surface_.size() == size())
        p.drawImage(0, 0, surface_);
    else
        p.fillRect(rect(), shownBackground());
}

// ---------------------------------------------------------------- needle

CViewMeterCtrl::CViewMeterCtrl(QWidget* parent) : QWidget(parent) {
    redraw_.setSingleShot(true);
    connect(&redraw_, &QTimer::timeout, this, [this] { redraw(); });
    setMinimumSize(40, 40);
}

void CViewMeterCtrl::setAngle(double degrees) {
    if (!(degrees >= 0 && degrees <= 360)) return;
    stored_ = (static_cast<int>(degrees) + 270) % 360;
    if (!redraw_.isActive()) redraw_.start(100);
}

QPointF CViewMeterCtrl::needleEnd(int size) const {
    const double c = size / 2.0;
    const double theta = stored_ * M_PI / 180.0;
    return {c + std::cos(theta) * c, c + std::sin(theta) * c};
}

void CViewMeterCtrl::redraw() {
    const int s = std::min(width(), height());
    if (s <= 0) return;
    surface_ = QImage(size(), QImage::Format_RGB32);
    surface_.fill(palette().color(QPalette::Button));
    QPainter p(&surface_);
    p.setRenderHint(QPainter::Antialiasing);
    const double c = s / 2.0;
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(needleEnd(s), QPointF(c, c));
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(c, c), 3, 3);
    p.end();
    update();
}

void CViewMeterCtrl::paintEvent(QPaintEvent*) {
    if (surface_.size() != size()) redraw();
    QPainter p(this);
    p.drawImage(0, 0, surface_);
}

// ---------------------------------------------------------------- level curve

CLevelCtrl::CLevelCtrl(QWidget* parent) : QWidget(parent) {
    setMinimumSize(100, 100);
}

void CLevelCtrl::clear() {
    surface_ = QImage(size(), QImage::Format_RGB32);
    surface_.fill(colourFromRef(0xCC0000));
    lines_ = 0;
    update();
}

void CLevelCtrl::drawFrame(const LevelInputs& in) {
    const int s = std::min(width(), height());
    surface_ = QImage(size(), QImage::Format_RGB32);
    surface_.fill(colourFromRef(0xCC0000));
    QPainter p(&surface_);
    p.setPen(Qt::black);
    p.drawEllipse(0, 0, s - 1, s - 1);
    p.drawLine(s / 2, 0, s / 2, s);
    p.drawLine(0, s / 2, s, s / 2);
    const double scale = s / 409.0;
    const double outer = ((in.blanking + in.window) / 10.0) * scale / 2;
    const double inner = (in.blanking / 10.0) * scale / 2;
    const QPointF c(s / 2.0, s / 2.0);
    p.setPen(colourFromRef(0x696969));
    p.drawEllipse(c, outer, outer);
    p.setPen(colourFromRef(0xFF4646));
    p.drawEllipse(c, inner, inner);
}

void CLevelCtrl::refresh(const LevelInputs& in) {
    const bool modeChanged = !haveMode_ || in.replay != replayMode_;
    haveMode_ = true;
    replayMode_ = in.replay;
    if (modeChanged || (!in.replay && in.linkStatus <= 32)) {
        drawFrame(in);
        lines_ = 0;
        update();
        return;
    }
    if (in.refreshEvery <= 0 || lines_ % in.refreshEvery == 0 || surface_.size() != size()) drawFrame(in);
    ++lines_;
    if (in.amplitudes.empty() || in.stepDegrees <= 0) {
        update();
        return;
    }
    const int s = std::min(width(), height());
    const double c = s / 2.0;
    const int m = static_cast<int>(360.0 / in.stepDegrees);
    double start = in.orientation + 270;
    if (!in.replay && in.resolutionStep >= 1 && in.resolutionStep <= 4) start += 0.5 * in.resolutionStep;
    while (start >= 360)
        start -= 360;
    QPainterPath path;
    for (int i = 0; i <= m; ++i) {
        const std::size_t k = i == m ? 0 : static_cast<std::size_t>(i) % in.amplitudes.size();
        double a = start + i * in.stepDegrees;
        while (a >= 360)
            a -= 360;
        const double r = in.amplitudes[k] * (c - 1) / 256.0;
        const QPointF pt(c + r * std::cos(a * M_PI / 180), c + r * std::sin(a * M_PI / 180));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    QPainter p(&surface_);
    p.setPen(Qt::white);
    p.drawPath(path);
    p.end();
    update();
}

void CLevelCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (surface_.isNull())
        p.fillRect(rect(), colourFromRef(0xCC0000));
    else
        p.drawImage(0, 0, surface_);
}

}  // namespace quelt::ui

#include "ui/widgets/DephtDlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

#include "platform/Text.h"
#include "platform/Units.h"
#include "ui/widgets/ColorStaticST.h"
#include "ui/widgets/GraphicCounterCtrl.h"

namespace quelt::ui {

namespace {
constexpr double kUnknown = -32767;

CGraphicCounterCtrl* digits(QWidget* parent, const char* name, int width, int height) {
    auto* c = new CGraphicCounterCtrl(parent);
    c->setObjectName(name);
    c->setFixedSize(width, height);
    c->SetColours(Qt::black, colourFromRgb(kLiveColour), Qt::black, colourFromRgb(kBlinkColour));
    return c;
}
}  // namespace

DepthTexts depthTexts(const DepthInputs& in) {
    DepthTexts t;
    const bool feet = in.depthUnit == 1;
    t.depthUnit = feet ? "ft" : "M";
    t.speedUnit = feet ? "ft/min" : "M/min";
    t.stepUnit = feet ? "mil" : "mm";
    const double factor = feet ? units::kFeetPerMetre : 1.0;
    const LiveValues& v = in.values;

    bool show = false;
    double depth = v.depth, speed = v.speed;
    bool speedEmpty = false;
    if (in.linkStatus >= 16) {
        show = true;
        t.colour = kLiveColour;
        depth = in.referenceAtTop ? v.depth + (in.sondeLengthCm - in.heightOffsetCm) / 100.0
                                  : v.depth - in.heightOffsetCm / 100.0;
    } else if (in.replayLoaded && (in.playing || in.paused)) {
        show = true;
        t.colour = kReplayColour;
        speedEmpty = v.speed == 0.0;
    }
    if (show) {
        t.depth = trim(format("%8.2f", depth * factor));
        if (!speedEmpty) t.speed = trim(format("%6.2f", speed * factor));
    }
    if (in.linkStatus >= 16 && in.speedLimit > 0) {
        t.speedLimit = "max " + trim(format("%6.2f", in.speedLimit * factor));
        t.overSpeed = std::fabs(speed) > in.speedLimit;
    }
    if (in.linkStatus > 32) {
        const double step = in.verticalStepMm;
        if (step > -9999)
            t.step = feet ? format("%d", static_cast<int>(step * units::kInchesPerMetre))
                          : trim(format("%6.2f", step));
    }

    t.serial = in.serialNumber < 1 ? "SN : -" : format("SN: %d", in.serialNumber);
    t.serialBlinking = !in.replayLoaded && (in.serialNumber < 1 || !in.sondeReady);

    // Orientation.
    auto fill = [&t, &v] {
        t.orientationShow = OrientationShow::Values;
        t.orientation = {v.tiltText, v.azimuthText, format("%6.3f", v.gravityTotal),
                         format("%6.3f", v.magneticTotal), format("%5.1f", v.fieldAngle)};
    };
    if (in.replayLoaded) {
        t.orientationColour = kReplayColour;
        if ((in.playing || in.paused) && v.highSide > kUnknown) {
            fill();
            t.needleAngle = v.rotation;
        }
    } else if (in.linkStatus > 32) {
        if (v.tilt <= kUnknown && in.picOriented > 0) {
            t.orientationShow = OrientationShow::Waiting;
            t.orientation.fill(kOrientationWait);
        } else {
            t.orientationColour = in.picOriented == 1   ? kLiveColour
                                  : in.picOriented == 2 ? kHighSideColour
                                                        : kNoOrientationColour;
            if (v.gravityTotal > kUnknown) {
                fill();
                t.needleShown = true;
                t.needleAngle = v.rotation;
            }
        }
    }
    return t;
}

DepthTexts magnifierTexts(const DepthInputs& in) {
    DepthTexts t = depthTexts(in);
    if (in.linkStatus < 16 && in.replayLoaded && !in.playing) {
        t.depth.clear();
        t.speed.clear();
    }
    return t;
}

// ---------------------------------------------------------------- magnifier

CBigDepth::CBigDepth(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Depth magnifier");
    setObjectName("depthMagnifier");
    auto* grid = new QGridLayout(this);
    depth_ = digits(this, "bigDepth", 300, 70);
    speed_ = digits(this, "bigSpeed", 300, 50);
    step_ = digits(this, "bigStep", 300, 50);
    QFont big("MS Shell Dlg");
    big.setPixelSize(40);
    big.setBold(true);
    QFont small("MS Shell Dlg");
    small.setPixelSize(24);
    small.setBold(true);
    depthUnit_ = new QLabel("M", this);
    depthUnit_->setFont(big);
    speedUnit_ = new QLabel("M/min", this);
    speedUnit_->setFont(small);
    stepUnit_ = new QLabel("mm", this);
    stepUnit_->setFont(small);
    grid->addWidget(depth_, 0, 0);
    grid->addWidget(depthUnit_, 0, 1);
    grid->addWidget(speed_, 1, 0);
    grid->addWidget(speedUnit_, 1, 1);
    grid->addWidget(step_, 2, 0);
    grid->addWidget(stepUnit_, 2, 1);
}

void CBigDepth::RefreshValues(const DepthInputs& in) {
    DepthTexts t = magnifierTexts(in);
    const QColor c = colourFromRgb(t.colour);
    depth_->SetColours(Qt::black, c, Qt::black, c);
    speed_->SetColours(Qt::black, c, Qt::black, c);
    depth_->WriteCounterDataCString(t.depth);
    speed_->WriteCounterDataCString(t.speed);
    step_->WriteCounterDataCString(t.step);
}

void CBigDepth::RefreshUnits(int depthUnit) {
    const bool feet = depthUnit == 1;
    depthUnit_->setText(feet ? "ft" : "M");
    speedUnit_->setText(feet ? "ft/min" : "M/min");
    stepUnit_->setText(feet ? "mil" : "mm");
}

void CBigDepth::closeEvent(QCloseEvent* event) {
    if (onLeave) onLeave();
    hide();
    event->ignore();
}

void CBigDepth::mouseDoubleClickEvent(QMouseEvent*) {
    if (onLeave) onLeave();
    hide();
}

// ---------------------------------------------------------------- palette strip

PaletteStrip::PaletteStrip(const ColourTable& table, const Settings& settings, QWidget* parent)
    : QWidget(parent), table_(table), settings_(settings) {
    setObjectName("paletteStrip");
    setFixedHeight(14);
    setToolTip("Palette selector");
    setCursor(Qt::PointingHandCursor);
}

void PaletteStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width();
    const int mode = colourModeOf(settings_.BlackAndWhite);
    for (int x = 0; x < w; ++x) {
        p.setPen(QColor::fromRgb(table_.at(x * 256 / std::max(w, 1), mode)));
        p.drawLine(x, 0, x, height());
    }
}

void PaletteStrip::mousePressEvent(QMouseEvent*) {
    if (clicked) clicked();
    update();
}

// ---------------------------------------------------------------- depth panel

CDephtDlg::CDephtDlg(const ColourTable& table, const Settings& settings, QWidget* parent) : QWidget(parent) {
    setObjectName("depthPanel");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* grid = new QGridLayout;
    depth_ = digits(this, "depth", 130, 30);
    speed_ = digits(this, "speed", 130, 30);
    step_ = digits(this, "step", 130, 30);
    depthUnit_ = new QLabel("M", this);
    speedUnit_ = new QLabel("M/min", this);
    stepUnit_ = new QLabel("mm", this);
    grid->addWidget(new QLabel("Depth", this), 0, 0);
    grid->addWidget(depth_, 0, 1);
    grid->addWidget(depthUnit_, 0, 2);
    grid->addWidget(new QLabel("Speed", this), 1, 0);
    grid->addWidget(speed_, 1, 1);
    // The unit, and under it the highest speed that leaves no gap.
    speedLimit_ = new QLabel(this);
    speedLimit_->setObjectName("speedLimit");
    QFont limitFont = speedLimit_->font();
    limitFont.setPointSizeF(limitFont.pointSizeF() * 0.8);
    speedLimit_->setFont(limitFont);
    auto* speedUnits = new QVBoxLayout;
    speedUnits->setSpacing(0);
    speedUnits->addWidget(speedUnit_);
    speedUnits->addWidget(speedLimit_);
    grid->addLayout(speedUnits, 1, 2);
    grid->addWidget(new QLabel("reso.", this), 2, 0);
    grid->addWidget(step_, 2, 1);
    grid->addWidget(stepUnit_, 2, 2);
    column->addLayout(grid);

    // Orientation: tilt, azimuth, G, H, field angle, and the needle.
    auto* orientation = new QGridLayout;
    static const char* const kNames[5] = {"tilt", "azimuth", "gravity", "magnetic", "fieldAngle"};
    static const char* const kCaptions[5] = {"Tilt", "Azim.", "G", "H", "Angle"};
    for (int i = 0; i < 5; ++i) {
        auto* c = digits(this, kNames[i], 66, 18);
        c->SetWidthRatio(0.9);
        orientation_[static_cast<size_t>(i)] = c;
        orientation->addWidget(new QLabel(kCaptions[i], this), i / 3 * 2, i % 3);
        orientation->addWidget(c, i / 3 * 2 + 1, i % 3);
    }
    needle_ = new CViewMeterCtrl(this);
    needle_->setObjectName("needle");
    needle_->setFixedSize(40, 40);
    needle_->hide();
    orientation->addWidget(needle_, 2, 2, 2, 1, Qt::AlignCenter);
    column->addLayout(orientation);

    auto* row = new QHBoxLayout;
    serial_ = new CColorStaticST(this);
    serial_->setObjectName("serial");
    serial_->setAlignment(Qt::AlignCenter);
    serial_->setText("SN : -");
    serial_->setMinimumWidth(64);
    serial_->SetBlinkBkColors(colourFromRgb(kBlinkColour), QColor());
    reference_ = new QToolButton(this);
    reference_->setObjectName("depthReference");
    reference_->setToolTip("Depth reference: the measure point or the top of the sonde.");
    connect(reference_, &QToolButton::clicked, this, [this] { toggleReference(); });
    setDepth_ = new QToolButton(this);
    setDepth_->setObjectName("setDepth");
    setDepth_->setText("D");
    setDepth_->setToolTip("Set current depht.");
    setDepth_->setEnabled(false);
    connect(setDepth_, &QToolButton::clicked, this, [this] {
        if (onSetDepth) onSetDepth();
    });
    showMagnifier_ = new QToolButton(this);
    showMagnifier_->setObjectName("showMagnifier");
    showMagnifier_->setText("+");
    showMagnifier_->setToolTip("Depth magnifier");
    connect(showMagnifier_, &QToolButton::clicked, this, [this] {
        if (onShowMagnifier) onShowMagnifier();
    });
    bw_ = new QCheckBox("B/W", this);
    bw_->setObjectName("blackAndWhite");
    bw_->setToolTip("Checked for black and white, unchecked for colorized mode.");
    bw_->setChecked(settings.BlackAndWhite);
    strip_ = new PaletteStrip(table, settings, this);
    connect(bw_, &QCheckBox::clicked, this, [this](bool on) {
        if (onBlackAndWhite) onBlackAndWhite(on);
        strip_->update();
    });
    strip_->clicked = [this] {
        if (onPalette) onPalette();
    };
    row->addWidget(serial_);
    row->addWidget(reference_);
    row->addWidget(setDepth_);
    row->addWidget(showMagnifier_);
    row->addWidget(bw_);
    column->addLayout(row);
    column->addWidget(strip_);

    magnifier_ = new CBigDepth(this);
    magnifier_->setWindowFlag(Qt::Tool);

    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { timerTick(); });
    timer_.start(100);
    magnifierTimer_.setSingleShot(true);
    connect(&magnifierTimer_, &QTimer::timeout, this, [this] { magnifier_->RefreshValues(last_); });
    reference_->setText(QString::fromUtf8("\u25CF"));
}

void CDephtDlg::toggleReference() {
    if (last_.replayLoaded) return;
    referenceAtTop_ = !referenceAtTop_;
}

void CDephtDlg::colourDigits(std::uint32_t rgb, bool overSpeed) {
    const QColor c = colourFromRgb(rgb);
    depth_->SetColours(Qt::black, c, Qt::black, c);
    const QColor s = overSpeed ? colourFromRgb(kOverSpeedColour) : c;
    speed_->SetColours(Qt::black, s, Qt::black, s);
}

void CDephtDlg::PutDataOnScreen(const DepthInputs& input) {
    DepthInputs in = input;
    in.referenceAtTop = referenceAtTop_;
    last_ = in;
    DepthTexts t = depthTexts(in);
    if (!haveShown_ || t.colour != shown_.colour || t.overSpeed != shown_.overSpeed)
        colourDigits(t.colour, t.overSpeed);
    speedLimit_->setText(QString::fromStdString(t.speedLimit));
    depth_->WriteCounterDataCString(t.depth);
    speed_->WriteCounterDataCString(t.speed);
    step_->WriteCounterDataCString(t.step);
    depthUnit_->setText(QString::fromStdString(t.depthUnit));
    speedUnit_->setText(QString::fromStdString(t.speedUnit));
    stepUnit_->setText(QString::fromStdString(t.stepUnit));

    if (t.orientationShow == OrientationShow::Waiting) {
        if (!waiting_) {
            for (auto* f : orientation_) {
                f->WriteCounterDataCString(kOrientationWait);
                f->StartBlink(2);
            }
            needle_->hide();
            waiting_ = true;
        }
    } else {
        waiting_ = false;
        for (size_t i = 0; i < orientation_.size(); ++i) {
            auto* f = orientation_[i];
            if (f->blinking()) f->StopBlink();
            if (orientationColour_ != t.orientationColour) {
                const QColor c = colourFromRgb(t.orientationColour);
                f->SetColours(Qt::black, c, Qt::black, colourFromRgb(kBlinkColour));
            }
            f->WriteCounterDataCString(t.orientation[i]);
        }
        orientationColour_ = t.orientationColour;
        needle_->setAngle(t.needleAngle);
        needle_->setVisible(t.needleShown);
    }
    haveShown_ = true;
    const bool serialChanged = t.serial != shown_.serial;
    shown_ = std::move(t);
    if (serialChanged) RefreshSerial(in);
    if (magnifier_->isVisible() && !magnifierTimer_.isActive()) magnifierTimer_.start(1);
}

void CDephtDlg::RefreshSerial(const DepthInputs& in) {
    const DepthTexts t = depthTexts(in);
    serial_->setText(QString::fromStdString(t.serial));
    if (in.replayLoaded) {
        serial_->SetBkColor(colourFromRgb(kReplayColour));
        serial_->EnableBkBlink(false);
        serialBlink_ = false;
        return;
    }
    serial_->SetBkColor(QColor());
    if (t.serialBlinking) {
        if (!serialBlink_) serial_->EnableBkBlink(true, 2);
        serialBlink_ = true;
    } else {
        serial_->EnableBkBlink(false);
        serialBlink_ = false;
    }
}

void CDephtDlg::RefreshUnits(int depthUnit) {
    const bool feet = depthUnit == 1;
    depthUnit_->setText(feet ? "ft" : "M");
    speedUnit_->setText(feet ? "ft/min" : "M/min");
    stepUnit_->setText(feet ? "mil" : "mm");
    if (magnifier_->isVisible()) magnifier_->RefreshUnits(depthUnit);
}

void CDephtDlg::timerTick() {
    if (!inputs) {
        timer_.start(70);
        return;
    }
    DepthInputs in = inputs();
    in.referenceAtTop = referenceAtTop_;
    if (!in.sondeReady) {
        RefreshSerial(in);
        notReady_ = true;
    } else if (notReady_) {
        RefreshSerial(in);
        notReady_ = false;
    }
    if (in.linkStatus == 16) {
        setDepth_->setEnabled(true);
    } else {
        setDepth_->setEnabled(false);
        PutDataOnScreen(in);
    }
    const int before = replayCounter_;
    if (in.replayLoaded)
        replayCounter_ = std::min(replayCounter_ + 1, 2);
    else
        replayCounter_ = std::max(replayCounter_ - 1, 0);
    if (replayCounter_ != before) RefreshSerial(in);
    reference_->setText(QString::fromUtf8(in.replayLoaded || referenceAtTop_ ? "\u25B2" : "\u25CF"));
    timer_.start(70);
}

}  // namespace quelt::ui

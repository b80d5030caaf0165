#include "ui/widgets/DephtDlg.h"

#include <QGridLayout>
#include <QTimer>
#include <cmath>

#include "platform/Text.h"

namespace quelt::ui {

namespace {
constexpr double kFeetPerMetre = 3.28083;
constexpr double kMilPerMillimetre = 39.37;

QString styleFor(std::uint32_t rgb) {
    return QString("QLabel { background: black; color: #%1; font: bold 20px 'Courier New'; padding: 2px; }")
        .arg(rgb, 6, 16, QChar('0'));
}
}  // namespace

DepthTexts depthTexts(const DepthInputs& in) {
    DepthTexts t;
    const bool feet = in.depthUnit == 1;
    t.depthUnit = feet ? "ft" : "M";
    t.speedUnit = feet ? "ft/min" : "M/min";
    t.stepUnit = feet ? "mil" : "mm";
    const double factor = feet ? kFeetPerMetre : 1.0;
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
    if (in.linkStatus > 32) {
        const double step = in.verticalStepMm;
        if (step > -9999)
            t.step =
                feet ? format("%d", static_cast<int>(step * kMilPerMillimetre)) : trim(format("%6.2f", step));
    }

    t.serial = in.serialNumber < 1 ? "SN : -" : format("SN: %d", in.serialNumber);
    t.serialBlinking = !in.replayLoaded && (in.serialNumber < 1 || !in.sondeReady);
    return t;
}

CDephtDlg::CDephtDlg(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    auto field = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(110);
        l->setStyleSheet(styleFor(kLiveColour));
        return l;
    };
    depth_ = field("depth");
    speed_ = field("speed");
    step_ = field("step");
    depthUnit_ = new QLabel("M", this);
    speedUnit_ = new QLabel("M/min", this);
    stepUnit_ = new QLabel("mm", this);
    serial_ = new QLabel("SN : -", this);
    serial_->setObjectName("serial");
    serial_->setAlignment(Qt::AlignCenter);
    grid->addWidget(new QLabel("Depth", this), 0, 0);
    grid->addWidget(depth_, 0, 1);
    grid->addWidget(depthUnit_, 0, 2);
    grid->addWidget(new QLabel("Speed", this), 1, 0);
    grid->addWidget(speed_, 1, 1);
    grid->addWidget(speedUnit_, 1, 2);
    grid->addWidget(new QLabel("reso.", this), 2, 0);
    grid->addWidget(step_, 2, 1);
    grid->addWidget(stepUnit_, 2, 2);
    grid->addWidget(serial_, 3, 0, 1, 3);

    auto* blink = new QTimer(this);
    connect(blink, &QTimer::timeout, this, [this] {
        blinkOn_ = !blinkOn_;
        bool red = shown_.serialBlinking && blinkOn_;
        serial_->setStyleSheet(red ? "QLabel { background: #ff0000; }" : "");
    });
    blink->start(500);
}

void CDephtDlg::PutDataOnScreen(const DepthInputs& in) {
    DepthTexts t = depthTexts(in);
    if (t.colour != shown_.colour || shown_.depthUnit.empty()) {
        depth_->setStyleSheet(styleFor(t.colour));
        speed_->setStyleSheet(styleFor(t.colour));
        step_->setStyleSheet(styleFor(kLiveColour));
    }
    depth_->setText(QString::fromStdString(t.depth));
    speed_->setText(QString::fromStdString(t.speed));
    step_->setText(QString::fromStdString(t.step));
    depthUnit_->setText(QString::fromStdString(t.depthUnit));
    speedUnit_->setText(QString::fromStdString(t.speedUnit));
    stepUnit_->setText(QString::fromStdString(t.stepUnit));
    serial_->setText(QString::fromStdString(t.serial));
    if (!t.serialBlinking) serial_->setStyleSheet("");
    shown_ = std::move(t);
}

}  // namespace quelt::ui

#include "ui/setup/PRecordingMode.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "stream/DepthSetting.h"

namespace quelt::ui {

CPRecordingMode::CPRecordingMode(Settings& settings, StreamShared& shared, std::uint8_t lineDirection,
                                 std::function<double()> currentDepth,
                                 std::function<void(int)> orientationChanged, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      shared_(shared),
      currentDepth_(std::move(currentDepth)),
      orientationChanged_(std::move(orientationChanged)) {
    setWindowTitle("Record Mode");
    auto* group = new QGroupBox("Record Mode ...", this);
    uphole_ = new QRadioButton("Uphole", group);
    downhole_ = new QRadioButton("Downhole", group);
    uphole_->setObjectName("uphole");
    downhole_->setObjectName("downhole");
    auto* buttons = new QButtonGroup(this);
    buttons->addButton(uphole_);
    buttons->addButton(downhole_);
    auto* g = new QVBoxLayout(group);
    g->addWidget(uphole_);
    g->addWidget(downhole_);
    (RecordingMode::downholePreset(lineDirection) ? downhole_ : uphole_)->setChecked(true);

    auto* label = new QLabel("&Orientation", this);
    orientation_ = new QComboBox(this);
    orientation_->setObjectName("orientation");
    orientation_->addItems({"None", "Magnetic North", "High Side"});
    label->setBuddy(orientation_);
    if (settings_.PicOriented >= 0 && settings_.PicOriented <= 2)
        orientation_->setCurrentIndex(settings_.PicOriented);
    connect(orientation_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i < 0) return;
        settings_.PicOriented = i;
        if (orientationChanged_) orientationChanged_(i);
    });

    ok_ = new QPushButton("OK", this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CPRecordingMode::onOk);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(orientation_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(row);
    layout->addWidget(ok_, 0, Qt::AlignRight);
}

void CPRecordingMode::onOk() {
    std::optional<bool> down;
    if (downhole_->isChecked()) down = true;
    if (uphole_->isChecked()) down = false;
    RecordingMode::apply(shared_, down, currentDepth_ ? currentDepth_() : 0.0);
    accept();
}

}  // namespace quelt::ui

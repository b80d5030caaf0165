#include "ui/setup/PSetDepthPlayer.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include "platform/Text.h"

namespace quelt::ui {

CPSetDepthPlayer::CPSetDepthPlayer(const ReplayStartRange& range, Operator& op, QWidget* parent)
    : QDialog(parent), range_(range), op_(op) {
    setWindowTitle("Set depth start");
    auto* caption = new QLabel("Begining at :", this);
    entry_ = new QLineEdit(QString::fromStdString(format("%.2f", range_.entryValue())), this);
    entry_->setObjectName("start");
    entry_->setAlignment(Qt::AlignRight);
    label_ = new QLabel(QString::fromStdString(range_.label()), this);
    label_->setObjectName("range");
    ok_ = new QPushButton("OK", this);
    ok_->setDefault(true);
    all_ = new QPushButton("All", this);
    connect(ok_, &QPushButton::clicked, this, &CPSetDepthPlayer::onOk);
    connect(all_, &QPushButton::clicked, this, [this] {
        start_ = ReplayStartRange::kAll;
        accept();
    });

    auto* grid = new QGridLayout(this);
    grid->addWidget(caption, 0, 0);
    grid->addWidget(entry_, 0, 1);
    grid->addWidget(label_, 1, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(all_);
    grid->addLayout(buttons, 2, 0, 1, 2);
}

void CPSetDepthPlayer::onOk() {
    auto c = range_.check(parseLeadingDouble(entry_->text().toStdString()));
    if (!c.accepted) {
        op_.message(c.message, MessageKind::Information);
        return;
    }
    start_ = c.depth;
    accept();
}

}  // namespace quelt::ui

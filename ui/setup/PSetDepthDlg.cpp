#include "ui/setup/PSetDepthDlg.h"

#include <QLabel>
#include <QVBoxLayout>

#include "platform/Text.h"

namespace quelt::ui {

CPSetDepthDlg::CPSetDepthDlg(const Settings& settings, double heightOffsetCm,
                             std::function<void(double)> sendF2, QWidget* parent)
    : QDialog(parent), reset_(settings, heightOffsetCm, std::move(sendF2)) {
    setWindowTitle("Depth reset.");
    auto* question = new QLabel("Are you sure of your setting ?", this);
    entry_ = new QLineEdit("0.00", this);
    entry_->setObjectName("depth");
    entry_->setAlignment(Qt::AlignRight);
    ok_ = new QPushButton("&OK", this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this] {
        reset_.confirm(parseLeadingDouble(entry_->text().toStdString()));
        accept();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(entry_);
    layout->addWidget(ok_, 0, Qt::AlignRight);
}

}  // namespace quelt::ui

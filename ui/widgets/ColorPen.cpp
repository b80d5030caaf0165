#include "ui/widgets/ColorPen.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/widgets/GraphicCounterCtrl.h"

namespace quelt::ui {

CColorPen::CColorPen(std::uint32_t& colour, QWidget* parent) : QDialog(parent), colour_(colour) {
    setWindowTitle("Color");
    setObjectName("colorPen");
    for (size_t i = 0; i < kColours.size(); ++i)
        if (kColours[i] == (colour & 0xFFFFFFu)) selected_ = static_cast<int>(i);
    auto* column = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < cells_.size(); ++i) {
        const int entry = kCellEntries[i];
        auto* b = new QToolButton(this);
        b->setObjectName(QString("cell%1").arg(2031 + static_cast<int>(i)));
        b->setFixedSize(32, 24);
        // The cell of the selected entry is framed.
        const QString frame = entry == selected_ ? "border: 3px solid #000080;" : "border: 1px solid gray;";
        b->setStyleSheet(QString("QToolButton { background: %1; %2 }")
                             .arg(colourFromRef(kColours[static_cast<size_t>(entry)]).name(), frame));
        connect(b, &QToolButton::clicked, this, [this, entry] {
            colour_ = kColours[static_cast<size_t>(entry)];
            accept();
        });
        grid->addWidget(b, static_cast<int>(i) / 5, static_cast<int>(i) % 5);
        cells_[i] = b;
    }
    column->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    ok_ = new QPushButton("&OK", this);
    cancel_ = new QPushButton("&Annuler", this);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    column->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace quelt::ui

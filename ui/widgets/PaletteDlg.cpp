#include "ui/widgets/PaletteDlg.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QVBoxLayout>

namespace quelt::ui {

std::uint32_t previewPixel(const ColourTable& table, int x, int w, bool blackAndWhite) {
    if (w <= 0) return table.at(0, colourModeOf(blackAndWhite));
    return table.at(x * 256 / w, colourModeOf(blackAndWhite));
}

CPaletteDlg::CPaletteDlg(PaletteSet& palettes, ColourTable& table, Settings& settings,
                         CPreferences* preferences, QWidget* parent)
    : QDialog(parent),
      palettes_(palettes),
      table_(table),
      settings_(settings),
      preferences_(preferences),
      rememberedPalette_(settings.PaletteInUse),
      rememberedBlackAndWhite_(settings.BlackAndWhite) {
    setWindowTitle("Palette selector");
    setObjectName("paletteSelector");
    settings_.BlackAndWhite = false;  // the colours show while choosing
    list_ = new QComboBox(this);
    noPalette_ = new QLabel(kNoPaletteFile, this);
    noPalette_->setAutoFillBackground(true);
    noPalette_->hide();
    ok_ = new QPushButton("OK", this);
    auto* row = new QHBoxLayout(this);
    row->addWidget(list_);
    row->addWidget(noPalette_);
    row->addStretch();
    row->addWidget(ok_);
    resize(420, 70);

    bool other = false;
    for (int n = 0; n < kPaletteCount; ++n) {
        if (!palettes_[static_cast<size_t>(n)].defined) continue;
        list_->addItem(QString::number(n), n);
        if (n >= 2) other = true;
    }
    list_->setCurrentIndex(std::max(0, list_->findData(settings_.PaletteInUse)));
    if (!other) {
        noPalette_->show();
        list_->hide();
    }
    connect(list_, qOverload<int>(&QComboBox::activated), this, [this](int index) { choose(index); });
    connect(ok_, &QPushButton::clicked, this, &CPaletteDlg::accept);
    rebuild();
}

void CPaletteDlg::rebuild() {
    BuildColourTable(palettes_, settings_, table_);
    if (onTableChanged) onTableChanged(table_);
    update();
}

void CPaletteDlg::choose(int index) {
    if (index < 0 || index >= list_->count()) return;
    list_->setCurrentIndex(index);
    settings_.PaletteInUse = list_->itemData(index).toInt();
    rebuild();
}

void CPaletteDlg::accept() {
    if (list_->isHidden()) {
        settings_.PaletteInUse = rememberedPalette_;
        BuildColourTable(palettes_, settings_, table_);
        if (onTableChanged) onTableChanged(table_);
    }
    settings_.BlackAndWhite = rememberedBlackAndWhite_;
    if (preferences_) preferences_->WriteInt("PaletteInUse", settings_.PaletteInUse, "QueltLogger");
    QDialog::accept();
}

void CPaletteDlg::reject() {
    settings_.BlackAndWhite = rememberedBlackAndWhite_;
    QDialog::reject();
}

void CPaletteDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width();
    for (int x = 0; x < w; ++x) {
        p.setPen(QColor::fromRgb(previewPixel(table_, x, w, settings_.BlackAndWhite)));
        p.drawLine(x, 0, x, height());
    }
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(1, 1, -2, -2);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
}

}  // namespace quelt::ui

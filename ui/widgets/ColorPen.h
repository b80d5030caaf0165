#pragma once
// The colour picker: twenty cells of a fixed table of colours in five columns and four rows. Clicking
// a cell takes its colour and closes with OK; "&Annuler" closes and leaves the colour as it was. The
// probe page chooses the gamma trace colour (PicColorRef6) with it.

#include <QDialog>
#include <QPushButton>
#include <QToolButton>
#include <array>
#include <cstdint>

namespace quelt::ui {

class CColorPen : public QDialog {
    Q_OBJECT
  public:
    // The colour table, colour references with red in the low byte (0x00BBGGRR).
    static constexpr std::array<std::uint32_t, 23> kColours = {
        0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x0000FF, 0x00FFFF, 0xFFFFFF,
        0xFFC0C0, 0x808080, 0xD3D0C9, 0xA00000, 0xFFA000, 0xFFFFA0, 0xA0A000, 0xA0FFA0,
        0x00A000, 0xFFA0FF, 0xA000A0, 0xC0C0FF, 0x0000A0, 0x00A0FF, 0x0060A0};
    // The table entry each cell shows, cells in reading order (five a row).
    static constexpr std::array<int, 20> kCellEntries = {16, 3,  15, 6,  21, 17, 19, 5, 20, 22,
                                                         18, 11, 1,  12, 14, 2,  13, 7, 10, 0};

    // `colour` is the caller's colour reference, changed when a cell is clicked.
    explicit CColorPen(std::uint32_t& colour, QWidget* parent = nullptr);

    // The table entry selected at opening: the last one equal to the caller's colour, else 0.
    int selectedEntry() const { return selected_; }
    QToolButton* cell(int index) const { return cells_.at(static_cast<size_t>(index)); }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

  private:
    std::uint32_t& colour_;
    int selected_ = 0;
    std::array<QToolButton*, 20> cells_{};
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace quelt::ui

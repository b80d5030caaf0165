#pragma once
// The palette selector: a list of the defined palettes over a preview of the colour table. A choice
// takes effect at once (the next rows of the picture are coloured with it); OK keeps it and writes
// PaletteInUse, Escape keeps it for this run only.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <functional>

#include "config/Preferences.h"
#include "config/Settings.h"
#include "imaging/Palette.h"

namespace quelt::ui {

inline constexpr const char* kNoPaletteFile = "No palette.ini file";

class CPaletteDlg : public QDialog {
    Q_OBJECT
  public:
    // `preferences` writes PaletteInUse to Zorak.cfg on OK (may be null).
    CPaletteDlg(PaletteSet& palettes, ColourTable& table, Settings& settings, CPreferences* preferences,
                QWidget* parent = nullptr);

    QComboBox* list() const { return list_; }
    QLabel* noPalette() const { return noPalette_; }
    // Selects list item `index` as the operator would.
    void choose(int index);

    void accept() override;
    void reject() override;

    // Called with the new table whenever a choice rebuilds it, so the pictures take it at once.
    std::function<void(const ColourTable&)> onTableChanged;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    void rebuild();

    PaletteSet& palettes_;
    ColourTable& table_;
    Settings& settings_;
    CPreferences* preferences_;
    int rememberedPalette_;
    bool rememberedBlackAndWhite_;
    QComboBox* list_;
    QLabel* noPalette_;
    QPushButton* ok_;
};

// The colour of preview column x of a client area w pixels wide.
std::uint32_t previewPixel(const ColourTable& table, int x, int w, bool blackAndWhite);

}  // namespace quelt::ui

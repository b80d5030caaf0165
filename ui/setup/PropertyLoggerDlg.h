#pragma once
// The Logger Setup sheet ("Logger Setup"): five pages behind a tab strip over the sheet model, with the
// "Setting" / "Read back" column labels, the open-edit question on a tab change and on closing, and the
// placement kept for the next opening. LoggerSetup builds the model on the acquisition engine.

#include <QDialog>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <functional>
#include <memory>

#include "config/Settings.h"
#include "stream/AcquisitionSetup.h"
#include "ui/setup/SetupPages.h"

namespace quelt::ui {

class CPropertyLoggerDlg : public QDialog {
    Q_OBJECT
  public:
    // The timer that drives the model's state machines, milliseconds.
    static constexpr int kTickMs = 16;

    CPropertyLoggerDlg(SetupSheet& sheet, const Clock& clock, PlacementRecord& placements,
                       QWidget* parent = nullptr);

    // Shows the sheet (at its stored placement, else 20 right of and 170 below the parent).
    void open();
    // The refresh notification: every page reloads its controls.
    void refreshPages();
    // The probe page's offset view, fed with each new picture row while the rotation offset is edited.
    void offsetViewLine(const std::uint8_t* amplitudes, int samples, double rotation);
    // The orientation of the replayed log (shown on the Acquisition Mode tab during a replay).
    std::function<int()> replayOrientation;

    QTabWidget* tabs() const { return tabs_; }
    QLabel* settingLabel() const { return setting_; }
    QLabel* readBackLabel() const { return readBack_; }
    SetupTab tabAt(int index) const { return tabOrder_.at(static_cast<size_t>(index)); }
    void tick();

    CPWinchDlg* winch;
    CPProbeDlg* probe;
    CPCommDlg* comm;
    CPPictureDlg* picture;
    CPFileTolDlg* tol;

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildTabs();
    void tabChanged(int index);
    void controlState();
    void readBacks();
    bool leave();

    SetupSheet& sheet_;
    const Clock& clock_;
    PlacementRecord& placements_;
    QTabWidget* tabs_;
    QLabel *setting_, *readBack_;
    std::vector<SetupTab> tabOrder_;
    bool technicalTools_ = false;
    int shownTab_ = -1;
    bool switching_ = false;
    QTimer timer_;
};

// The sheet on the acquisition engine: its ports (settings through CPreferences, commands through the
// engine, the window's refreshes), the model and the window. The main window owns one.
class LoggerSetup {
  public:
    struct Hooks {
        std::function<void(int)> setOrientationLabels;
        std::function<void()> refreshToolsBox;
        std::function<void()> buildColourTable;
        std::function<void(int)> travelToolsOffsetEdit;  // filled by the travel-time tools later
        // Runs the communication auto-check modally beside a sheet of the given width.
        std::function<void(int sheetWidth)> runCommCheck;
    };
    LoggerSetup(Acquisition& acq, Operator& op, const Clock& clock, PlacementRecord& placements, Hooks hooks,
                QWidget* parent);
    ~LoggerSetup();
    CPropertyLoggerDlg* dialog() const { return dialog_; }
    SetupSheet& sheet() { return *sheet_; }

  private:
    class Ports;
    std::function<void(int)> runCommCheck_;
    std::unique_ptr<Ports> ports_;
    std::unique_ptr<SetupShared> shared_;
    std::unique_ptr<SetupSheet> sheet_;
    CPropertyLoggerDlg* dialog_ = nullptr;
};

}  // namespace quelt::ui

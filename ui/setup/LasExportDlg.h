#pragma once
// The dialog "LAS 2.0 exportation for VEXA": chooses the log and the LAS file, the depth range, the
// step and the curves, and runs the export of CLasExport on a worker with its progress and status
// texts. While it runs the dialog answers as usual; "&Close" (or Escape) stops it, leaving nothing.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <array>

#include "export/LasExport.h"
#include "ui/setup/ExportRunner.h"

namespace quelt {
struct ProgramContext;
}

namespace quelt::ui {

class CLasExportDlg : public QDialog {
    Q_OBJECT
  public:
    // `orientation` computes the orientation curves (none: the live decoders' routine, as `quelt las`).
    CLasExportDlg(ProgramContext& context, Operator& op, OrientationRoutine orientation = nullptr,
                  QWidget* parent = nullptr);
    ~CLasExportDlg() override;

    // The buttons' actions (also for tests).
    void BrowseInput();
    void BrowseOutput();
    // Checks the choices (and asks about an existing file), then starts the export on the worker:
    // false when refused, true when started; exportFinished tells how it ended.
    bool StartExport();
    // Idle: keeps the flags and closes. During an export: stops it.
    void CloseDialog();
    bool busy() const { return runner_.busy(); }

    CLasExport& exporter() { return las_; }
    QLineEdit* inputText() const { return input_; }
    QLineEdit* outputText() const { return output_; }
    QLineEdit* fromEdit() const { return from_; }
    QLineEdit* toEdit() const { return to_; }
    QLabel* intervalText() const { return interval_; }
    QCheckBox* reverseBox() const { return reverse_; }
    QComboBox* stepList() const { return step_; }
    // In the order of LasCurves: speed, gamma, incl, azimuth, hgDelta, roll, mroll, tgrav, tmag, raw.
    QCheckBox* curveBox(int i) const { return curves_.at(static_cast<size_t>(i)); }
    QPushButton* startButton() const { return start_; }
    QPushButton* closeButton() const { return close_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* statusText() const { return status_; }

  public slots:
    void reject() override;

  signals:
    void exportFinished(bool ok);

  private:
    void exportEnded(bool ok);
    void setControlsEnabled(bool on);
    void checkFrom();
    void checkTo();
    void showRange();
    LasCurves checkedCurves() const;
    double shown(double logValue) const;

    ProgramContext& context_;
    Operator& op_;
    WorkerOperator workerOp_;
    CLasExport las_;
    ExportRunner runner_;  // after las_: destroyed first, waiting for the export that uses it
    std::vector<std::pair<QWidget*, bool>> enabledBefore_;  // the controls' states while an export runs
    bool loaded_ = false;
    QLineEdit *input_, *output_, *from_, *to_;
    QPushButton *inputBrowse_, *outputBrowse_, *start_, *close_;
    QLabel* interval_;
    QCheckBox* reverse_;
    QComboBox* step_;
    std::array<QCheckBox*, 10> curves_{};
    QProgressBar* progress_;
    QLabel* status_;
};

}  // namespace quelt::ui

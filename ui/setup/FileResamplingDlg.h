#pragma once
// The resampling window: a preview of the first lines re-oriented as chosen, the source log, the depth
// range, the sampling interval and its allowed range, the deviation choice, the detected orientation
// and direction of the source, the output folder, and the export of CFileResampling, run on a worker
// while the window answers as usual; "&Cancel" (or Escape) stops it, leaving nothing.

#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <functional>
#include <memory>

#include "export/Resampling.h"
#include "imaging/ExportBmp.h"
#include "ui/setup/ExportRunner.h"

namespace quelt {
struct ProgramContext;
}

namespace quelt::ui {

class PreviewArea : public QWidget {
    Q_OBJECT
  public:
    explicit PreviewArea(QWidget* parent);
    void setImage(QImage image);
    const QImage& image() const { return image_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage image_;
};

class CFileResamplingDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kPreviewRows = 300;

    // `rotation` re-orients the lines (none: the live decoders' routine, as `quelt resample`);
    // `mainStatus` shows a text in the main window's status bar.
    CFileResamplingDlg(ProgramContext& context, Operator& op, RotationRoutine rotation = nullptr,
                       std::function<void(const std::string&)> mainStatus = nullptr,
                       QWidget* parent = nullptr);
    ~CFileResamplingDlg() override;

    void BrowseInput();
    void BrowseOutput();
    // Checks the outputs (and asks about existing ones), then starts the export on the worker: false
    // when refused, true when started; exportFinished tells how it ended.
    bool Export();

    CFileResampling& resampler() { return rs_; }
    QLineEdit* inputText() const { return input_; }
    QLineEdit* fromEdit() const { return from_; }
    QLineEdit* toEdit() const { return to_; }
    QLineEdit* intervalEdit() const { return interval_; }
    QLabel* averageText() const { return average_; }
    QLabel* rangeText() const { return range_; }
    QComboBox* deviationList() const { return deviation_; }
    QLabel* orientationText() const { return orientation_; }
    QLabel* directionText() const { return direction_; }
    QLabel* outputText() const { return output_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* cancelButton() const { return cancel_; }
    QProgressBar* progressBar() const { return progress_; }
    PreviewArea* preview() const { return preview_; }
    bool busy() const { return runner_.busy(); }

  public slots:
    void reject() override;

  signals:
    void exportFinished(bool ok);

  private:
    void showSampling();
    void showRange();
    void redrawPreview();
    void checkFrom();
    void checkTo();
    void checkInterval();
    double shownDepth(double logValue) const;

    ProgramContext& context_;
    Operator& op_;
    WorkerOperator workerOp_;
    CFileResampling rs_;
    ExportRunner runner_;  // after rs_: destroyed first, waiting for the export that uses it
    std::function<void(const std::string&)> mainStatus_;
    PaletteSet palettes_;
    ColourTable colours_;
    bool loaded_ = false, checking_ = false;
    int logUnit_ = 0;
    QLineEdit *input_, *from_, *to_, *interval_;
    QLabel *fromUnit_, *toUnit_, *average_, *averageUnit_, *intervalUnit_, *range_, *orientation_,
        *direction_, *output_;
    QComboBox* deviation_;
    QPushButton *inputBrowse_, *outputBrowse_, *export_, *cancel_;
    QProgressBar* progress_;
    PreviewArea* preview_;
};

}  // namespace quelt::ui

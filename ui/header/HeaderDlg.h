#pragma once
// The header editor: five tabbed pages over the well information of the LogHeader that WriteHeader
// then writes into a new log's header. Each showing starts from the reset values; "&Save" copies the
// pages back, "&Cancel" leaves the header as reset.

#include <QDialog>
#include <QGridLayout>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <ctime>
#include <vector>

#include "platform/Operator.h"
#include "ui/header/HeaderFields.h"

namespace quelt {
struct ProgramContext;
}

namespace quelt::ui {

// The picture area of a page: the logo drawn stretched to the area.
class LogoArea : public QWidget {
    Q_OBJECT
  public:
    LogoArea(const QImage& logo, QWidget* parent);
    QSize sizeHint() const override { return {160, 120}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    const QImage& logo_;
};

// One page: its edit boxes with their keys, and the picture area.
class CHeaderPage : public QWidget {
    Q_OBJECT
  public:
    CHeaderPage(const QImage& logo, QWidget* parent);
    virtual void fill(const LogHeader& header);
    // False when a number box could not be read (the message is shown, the value stays).
    virtual bool store(LogHeader& header, Operator& op);
    // The box of a key (the first of its page), nullptr when the page has none.
    QLineEdit* box(const char* key) const;

  protected:
    // Adds the rows of `fields` as a captioned group (no group for an empty title).
    void addFields(const char* groupTitle, const std::vector<HeaderField>& fields);
    QGridLayout* form_;
    QVBoxLayout* column_;

  private:
    std::vector<std::pair<HeaderField, QLineEdit*>> boxes_;
};

class CHCompagnyDlg : public CHeaderPage {
    Q_OBJECT
  public:
    CHCompagnyDlg(const QImage& logo, QWidget* parent);
};
class CHWeelDatumDlg : public CHeaderPage {
    Q_OBJECT
  public:
    CHWeelDatumDlg(const QImage& logo, QWidget* parent);
};
class CHGroundDlg : public CHeaderPage {
    Q_OBJECT
  public:
    CHGroundDlg(const QImage& logo, QWidget* parent);
};
class CHRecordDlg : public CHeaderPage {
    Q_OBJECT
  public:
    CHRecordDlg(const QImage& logo, QWidget* parent);
};
class CHCommentDlg : public CHeaderPage {
    Q_OBJECT
  public:
    CHCommentDlg(const QImage& logo, QWidget* parent);
    void fill(const LogHeader& header) override;
    bool store(LogHeader& header, Operator& op) override;
    QPlainTextEdit* remarks() const { return remarks_; }

  private:
    QPlainTextEdit* remarks_;
};

class CHeaderDlg : public QDialog {
    Q_OBJECT
  public:
    // `logo` is the main window's logo picture (null when none is loaded); `today` gives the reset date.
    CHeaderDlg(ProgramContext& context, Operator& op, const QImage& logo = QImage(),
               QWidget* parent = nullptr, std::time_t today = std::time(nullptr));

    void Load();
    void Reset();
    void Save();

    QTabWidget* tabs() const { return tabs_; }
    CHeaderPage* page(int i) const { return pages_.at(static_cast<size_t>(i)); }
    CHCommentDlg* remarksPage() const { return comments_; }
    QPushButton* loadButton() const { return load_; }
    QPushButton* resetButton() const { return reset_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }

  private:
    void fillPages();

    ProgramContext& context_;
    Operator& op_;
    QImage logo_;
    std::time_t today_;
    QTabWidget* tabs_;
    std::vector<CHeaderPage*> pages_;
    CHCommentDlg* comments_;
    QPushButton *load_, *reset_, *save_, *cancel_;
};

}  // namespace quelt::ui

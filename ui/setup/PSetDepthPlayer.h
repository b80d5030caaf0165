#pragma once
// The replay start dialog ("Set depth start"), shown before a log is replayed: the depth the replay
// starts at, inside the recorded interval, or "All" for the whole log.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/Operator.h"
#include "stream/DepthSetting.h"

namespace quelt::ui {

class CPSetDepthPlayer : public QDialog {
    Q_OBJECT
  public:
    CPSetDepthPlayer(const ReplayStartRange& range, Operator& op, QWidget* parent = nullptr);

    // The chosen start (thousandths of the log's depth unit) after "OK", ReplayStartRange::kAll after
    // "All" or when the dialog was closed otherwise.
    std::int32_t startDepth() const { return start_; }

    QLineEdit* entry() const { return entry_; }
    QLabel* rangeLabel() const { return label_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* allButton() const { return all_; }

  private:
    void onOk();

    ReplayStartRange range_;
    Operator& op_;
    std::int32_t start_ = ReplayStartRange::kAll;
    QLineEdit* entry_;
    QLabel* label_;
    QPushButton* ok_;
    QPushButton* all_;
};

}  // namespace quelt::ui

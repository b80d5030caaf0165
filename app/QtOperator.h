#pragma once
// The operator of the desktop program: message boxes and file dialogs.

#include <QWidget>

#include "platform/Operator.h"

namespace quelt::app {

class QtOperator final : public Operator {
  public:
    explicit QtOperator(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void message(const std::string& text, MessageKind kind = MessageKind::Information) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& title, const std::string& startDir,
                                          const std::string& filter, bool forSaving) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& startDir) override;

    // Set by scripted runs (--quit-after): questions are answered without a window.
    std::optional<bool> scriptedAnswer;
    // Set by --replay: the next file dialog answers this path without a window, once.
    std::optional<std::string> scriptedPath;

  private:
    QWidget* parent_;
};

}  // namespace quelt::app

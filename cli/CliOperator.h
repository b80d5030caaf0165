#pragma once
// The operator of the command line: messages on standard error, answers from the options.

#include "platform/Operator.h"

namespace quelt::cli {

class CliOperator final : public Operator {
  public:
    explicit CliOperator(bool yes) : yes_(yes) {}
    void message(const std::string& text, MessageKind kind = MessageKind::Information) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& title, const std::string& startDir,
                                          const std::string& filter, bool forSaving) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& startDir) override;

  private:
    bool yes_;
};

}  // namespace quelt::cli

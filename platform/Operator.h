#pragma once
// The operator seam: every message box, yes/no question and file or folder chooser of the program goes
// through it. The desktop program shows windows, the command line answers from its options, tests script
// the answers and check the exact texts.

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quelt {

enum class MessageKind { Information, Warning, Error };

class Operator {
  public:
    virtual ~Operator() = default;
    virtual void message(const std::string& text, MessageKind kind = MessageKind::Information) = 0;
    // A yes/no question; true is yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // A file to open or to save; nullopt when the operator cancels. `filter` is e.g. "Log header (*.HED)".
    virtual std::optional<std::string> chooseFile(const std::string& title, const std::string& startDir,
                                                  const std::string& filter, bool forSaving) = 0;
    virtual std::optional<std::string> chooseFolder(const std::string& title,
                                                    const std::string& startDir) = 0;
};

// An operator that answers from a script and records every text it was shown, in order.
class ScriptedOperator final : public Operator {
  public:
    struct Entry {
        std::string kind;  // "message", "question", "file", "folder"
        std::string text;
    };

    void message(const std::string& text, MessageKind kind = MessageKind::Information) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& title, const std::string& startDir,
                                          const std::string& filter, bool forSaving) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& startDir) override;

    void answerYes(bool yes) { answers_.push_back(yes); }
    void answerPath(std::optional<std::string> path) { paths_.push_back(std::move(path)); }
    bool defaultAnswer = false;

    const std::vector<Entry>& log() const { return log_; }
    std::vector<std::string> messages() const;  // texts of messages only
    void clear() { log_.clear(); }

  private:
    std::vector<Entry> log_;
    std::deque<bool> answers_;
    std::deque<std::optional<std::string>> paths_;
};

}  // namespace quelt

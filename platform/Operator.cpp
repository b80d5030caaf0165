#include "platform/Operator.h"

namespace quelt {

void ScriptedOperator::message(const std::string& text, MessageKind) {
    log_.push_back({"message", text});
}

bool ScriptedOperator::askYesNo(const std::string& text) {
    log_.push_back({"question", text});
    if (answers_.empty()) return defaultAnswer;
    bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

std::optional<std::string> ScriptedOperator::chooseFile(const std::string& title, const std::string&,
                                                        const std::string&, bool) {
    log_.push_back({"file", title});
    if (paths_.empty()) return std::nullopt;
    auto p = paths_.front();
    paths_.pop_front();
    return p;
}

std::optional<std::string> ScriptedOperator::chooseFolder(const std::string& title, const std::string&) {
    log_.push_back({"folder", title});
    if (paths_.empty()) return std::nullopt;
    auto p = paths_.front();
    paths_.pop_front();
    return p;
}

std::vector<std::string> ScriptedOperator::messages() const {
    std::vector<std::string> out;
    for (const auto& e : log_)
        if (e.kind == "message") out.push_back(e.text);
    return out;
}

}  // namespace quelt

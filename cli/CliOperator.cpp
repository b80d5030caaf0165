#include "cli/CliOperator.h"

#include <cstdio>

namespace quelt::cli {

void CliOperator::message(const std::string& text, MessageKind kind) {
    const char* prefix = kind == MessageKind::Error     ? "error: "
                         : kind == MessageKind::Warning ? "warning: "
                                                        : "";
    std::fprintf(stderr, "%s%s\n", prefix, text.c_str());
}

bool CliOperator::askYesNo(const std::string& text) {
    std::fprintf(stderr, "%s [%s]\n", text.c_str(), yes_ ? "yes (--yes)" : "no; --yes answers yes");
    return yes_;
}

std::optional<std::string> CliOperator::chooseFile(const std::string& title, const std::string&,
                                                   const std::string&, bool) {
    std::fprintf(stderr, "%s: give the file on the command line\n", title.c_str());
    return std::nullopt;
}

std::optional<std::string> CliOperator::chooseFolder(const std::string& title, const std::string&) {
    std::fprintf(stderr, "%s: give the folder on the command line\n", title.c_str());
    return std::nullopt;
}

}  // namespace quelt::cli

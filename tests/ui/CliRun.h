#pragma once
// Runs the `quelt` command line on a program folder, for comparing a dialog's output with it.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace uitest {

struct CliResult {
    int exitCode = -1;
    std::string out;
};

inline CliResult runQuelt(const std::filesystem::path& sandbox, const std::filesystem::path& home,
                          const std::string& args) {
    std::string cmd = "HOME='" + sandbox.string() + "' XDG_CONFIG_HOME='" + (sandbox / "config").string() +
                      "' '" + QUELT_BIN + "' --home '" + home.string() + "' " + args + " 2>&1";
    CliResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace uitest

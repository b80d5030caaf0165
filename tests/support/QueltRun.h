#pragma once
// Runs the `quelt` command line the way a user's script does, for the tests of every folder: a user folder
// of its own under `sandbox` (HOME, XDG_CONFIG_HOME, no QUELT_HOME from the caller's environment), an
// optional program folder, and the output collected.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace quelt::test {

struct QueltRun {
    int exitCode = -1;
    std::string out;  // standard output (with standard error when merged)
    std::string err;  // standard error, when kept apart
};

// Where standard error goes: into `out`, into `err`, or nowhere.
enum class Stderr { Merged, Separate, Discarded };

inline std::string readWholeText(const std::filesystem::path& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        std::array<char, 4096> buf;
        size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            text.append(buf.data(), n);
        std::fclose(f);
    }
    return text;
}

// `quelt [--home HOME] ARGS`; ARGS is shell text (quote paths yourself).
inline QueltRun runQuelt(const std::filesystem::path& sandbox, const std::string& args,
                         Stderr stderrMode = Stderr::Merged, const std::filesystem::path& home = {}) {
    const std::filesystem::path errFile = sandbox / "quelt-stderr.txt";
    std::string cmd = "HOME='" + sandbox.string() + "' XDG_CONFIG_HOME='" + (sandbox / "config").string() +
                      "' QUELT_HOME= '" + QUELT_BIN + "'";
    if (!home.empty()) cmd += " --home '" + home.string() + "'";
    cmd += " " + args;
    switch (stderrMode) {
        case Stderr::Merged:
            cmd += " 2>&1";
            break;
        case Stderr::Separate:
            cmd += " 2>'" + errFile.string() + "'";
            break;
        case Stderr::Discarded:
            cmd += " 2>/dev/null";
            break;
    }
    QueltRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (stderrMode == Stderr::Separate) {
        r.err = readWholeText(errFile);
        std::filesystem::remove(errFile);
    }
    return r;
}

}  // namespace quelt::test

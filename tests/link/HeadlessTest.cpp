// The command line on the real link: a device that is not there.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

struct CliRun {
    int code = -1;
    std::string output;
};

CliRun quelt(const std::string& args) {
    CliRun r;
    std::string cmd = std::string(QUELT_BIN) + " " + args + " 2>&1";
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        r.output += buf;
    int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

TEST(LinkCli, MissingLoggerAndBadDevices) {
    namespace fs = std::filesystem;
    const fs::path home = fs::temp_directory_path() / ("quelt-linkcli-" + std::to_string(::getpid()));
    const std::string h = "--home " + home.string() + " ";
    // No logger: a tty that is not there, and no choice at all, which looks for the real logger only and
    // never falls back to the simulated one. Global options stand after the command name too.
    struct {
        const char* args;
    } missing[] = {{"--device serial:/nonexistent/tty monitor --seconds 1"},
                   {"monitor --seconds 1 --device serial:/nonexistent/tty"},
                   {"monitor --seconds 1 --json"},
                   {"acquire --seconds 1 --out x"}};
    for (auto k : missing) {
        CliRun r = quelt(h + k.args);
        EXPECT_EQ(r.code, 3) << k.args << "\n" << r.output;
        EXPECT_NE(r.output.find("Not hardware detected."), std::string::npos) << k.args << "\n" << r.output;
        EXPECT_EQ(r.output.find("imulated"), std::string::npos) << k.args << "\n" << r.output;
    }
    struct {
        const char* args;
        int code;
    } usage[] = {{"--device bogus monitor --seconds 1", 2}, {"monitor --seconds 1 --device bogus", 2},
                 {"monitor --seconds 1 --device", 2},       {"--device ftdi monitor --fast --seconds 1", 2},
                 {"monitor --fast --seconds 1", 2},         {"acquire --fast --seconds 1 --out x", 2}};
    for (auto k : usage)
        EXPECT_EQ(quelt(h + k.args).code, k.code) << k.args;
    fs::remove_all(home);
}

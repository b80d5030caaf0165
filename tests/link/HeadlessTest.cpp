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
    // A tty that is not there: the watcher finds nothing, the run ends with exit 3.
    CliRun missing = quelt(h + "--device serial:/nonexistent/tty monitor --seconds 1");
    EXPECT_EQ(missing.code, 3) << missing.output;
    EXPECT_NE(missing.output.find("Not hardware detected."), std::string::npos) << missing.output;
    struct {
        const char* args;
        int code;
    } usage[] = {{"--device bogus monitor --seconds 1", 2}, {"--device ftdi monitor --fast --seconds 1", 2}};
    for (auto k : usage)
        EXPECT_EQ(quelt(h + k.args).code, k.code) << k.args;
    fs::remove_all(home);
}

// A log survives what can happen to the program while it records: a kill at any moment, a pulled
// cable, a full disk. Each time every whole line written stays readable and the header, as the replay
// finds it, describes exactly those lines.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/Ini.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The integer of a JSON member in `text` (the first one from `from`), or `missing`.
long long member(const std::string& text, const std::string& name, long long missing = -1, size_t from = 0) {
    size_t at = text.find("\"" + name + "\": ", from);
    if (at == std::string::npos) return missing;
    return std::atoll(text.c_str() + at + name.size() + 4);
}

std::int32_t le32(const std::string& bytes, size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return static_cast<std::int32_t>(v);
}

class LogSafetyTest : public ::testing::Test {
  protected:
    fs::path sandbox, home;

    void SetUp() override {
        sandbox =
            fs::temp_directory_path() / ("quelt-safety-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(sandbox);
        fs::create_directories(sandbox / "config");
        home = sandbox / "home";
    }
    void TearDown() override { fs::remove_all(sandbox); }

    // Starts quelt with its own home and user folders; standard output and error go to files named
    // after `tag`. `inChild` runs in the child just before the program starts (limits, for instance).
    pid_t spawn(const std::string& tag, const std::vector<std::string>& args,
                const std::function<void()>& inChild = {}) {
        std::vector<std::string> argStore{QUELT_BIN, "--home", home.string()};
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::vector<std::string> envStore{"HOME=" + sandbox.string(),
                                          "XDG_CONFIG_HOME=" + (sandbox / "config").string(),
                                          "PATH=/usr/bin:/bin"};
        std::vector<char*> argv, envp;
        for (auto& a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string out = outputFile(tag, ".out"), err = outputFile(tag, ".err");
        pid_t pid = ::fork();
        if (pid == 0) {
            int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(o, 1);
            ::dup2(e, 2);
            if (inChild) inChild();
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        return pid;
    }
    // Exit code, or 128 + signal.
    static int wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int run(const std::string& tag, const std::vector<std::string>& args,
            const std::function<void()>& inChild = {}) {
        return wait(spawn(tag, args, inChild));
    }
    std::string outputFile(std::string tag, const char* ext) {
        std::replace(tag.begin(), tag.end(), '/', '_');
        return (sandbox / (tag + ext)).string();
    }
    std::string out(const std::string& tag) { return readAll(outputFile(tag, ".out")); }
    std::string err(const std::string& tag) { return readAll(outputFile(tag, ".err")); }

    // A recording on simulated time: reproducible from the seed, line for line.
    std::vector<std::string> acquire(const std::string& name, const std::string& scenario, int seed,
                                     std::vector<std::string> limit) {
        std::vector<std::string> a{"--device",   "sim",
                                   "acquire",    "--fast",
                                   "--scenario", scenario,
                                   "--seed",     std::to_string(seed),
                                   "--out",      (sandbox / name).string(),
                                   "--json"};
        a.insert(a.end(), limit.begin(), limit.end());
        return a;
    }
    std::string headerOf(const std::string& name) { return (sandbox / (name + "_X.HED")).string(); }
    std::string dataOf(const std::string& name) { return readAll(sandbox / (name + "_X.viv")); }
    std::string key(const std::string& name, const char* section, const char* k) {
        return quelt::readProfileString(headerOf(name), section, k, "<missing>");
    }
    int lineSize(const std::string& name) { return std::atoi(key(name, "File1", "RecLineSize").c_str()); }

    // What a replay finds: quelt lines reads every whole line (repairing a header left unfinished), and
    // the header then holds the first and last line's depth and the last line's recorded time.
    void expectReplayReadsEveryWholeLine(const std::string& name, const std::string& data) {
        const size_t L = static_cast<size_t>(lineSize(name));
        ASSERT_GT(L, 8u);
        const size_t whole = data.size() / L;
        ASSERT_GT(whole, 0u);
        ASSERT_EQ(run("lines-" + name, {"lines", headerOf(name), "--json"}), 0) << err("lines-" + name);
        const std::string lines = out("lines-" + name);
        EXPECT_EQ(static_cast<size_t>(std::count(lines.begin(), lines.end(), '\n')), whole);
        const size_t lastAt = lines.rfind("{\"i\": ");
        ASSERT_NE(lastAt, std::string::npos);
        const std::int32_t firstDepth = le32(data, 0), lastDepth = le32(data, (whole - 1) * L),
                           lastTime = le32(data, (whole - 1) * L + 4);
        EXPECT_EQ(member(lines, "i", -1, lastAt), static_cast<long long>(whole - 1));
        EXPECT_EQ(member(lines, "DPTH", -1, lastAt), lastDepth);
        EXPECT_EQ(member(lines, "TIME", -1, lastAt), lastTime);

        for (const char* section : {"WellInfo", "File1"}) {
            SCOPED_TRACE(section);
            EXPECT_EQ(key(name, section, "EndDepth"), std::to_string(lastDepth));
            EXPECT_EQ(key(name, section, section[0] == 'W' ? "Startdepth" : "StartDepth"),
                      std::to_string(firstDepth));
        }
        ASSERT_EQ(run("info-" + name, {"info", headerOf(name), "--json"}), 0) << err("info-" + name);
        const std::string info = out("info-" + name);
        EXPECT_NE(info.find("\"corrupt\": false"), std::string::npos) << info;
        EXPECT_EQ(member(info, "wholeLines"), static_cast<long long>(whole));
    }
};

}  // namespace

TEST_F(LogSafetyTest, AKillAtAnyMomentLosesAtMostTheLineInFlight) {
    struct Case {
        const char* scenario;
        int seed;
    };
    for (const Case c : {Case{"clean", 11}, Case{"deviated", 29}, Case{"noisy", 47}}) {
        SCOPED_TRACE(std::string(c.scenario) + " seed " + std::to_string(c.seed));
        const std::string ref = std::string("ref-") + c.scenario, victim = std::string("kill-") + c.scenario;
        ASSERT_EQ(run(ref, acquire(ref, c.scenario, c.seed, {"--lines", "700"})), 0) << err(ref);
        const std::string reference = dataOf(ref);
        const size_t L = static_cast<size_t>(lineSize(ref));
        ASSERT_GT(L, 0u);

        // The same run, killed at a moment drawn from the seed once it has written some lines.
        std::mt19937 random(static_cast<std::uint32_t>(c.seed));
        const size_t killAfter = std::uniform_int_distribution<size_t>(3, 400)(random);
        const int extraMicros = std::uniform_int_distribution<int>(0, 3000)(random);
        pid_t pid = spawn(victim, acquire(victim, c.scenario, c.seed, {"--seconds", "36000"}));
        const fs::path data = sandbox / (victim + "_X.viv");
        std::error_code ec;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while ((!fs::exists(data, ec) || fs::file_size(data, ec) < killAfter * L) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::this_thread::sleep_for(std::chrono::microseconds(extraMicros));
        ::kill(pid, SIGKILL);
        ASSERT_EQ(wait(pid), 128 + SIGKILL) << err(victim);

        // The header says the recording never ended, however long it ran.
        EXPECT_EQ(key(victim, "WellInfo", "EndDepth"), "CORRUPT");
        const std::string written = dataOf(victim);
        const size_t whole = written.size() / L;
        ASSERT_GE(whole, killAfter);
        // Every whole line is the line the uninterrupted run wrote there, byte for byte (as far as the
        // reference goes: a busy machine may let the killed run write past it).
        const size_t compared = std::min(whole, reference.size() / L) * L;
        EXPECT_TRUE(written.compare(0, compared, reference, 0, compared) == 0);
        expectReplayReadsEveryWholeLine(victim, written);
        EXPECT_NE(err("lines-" + victim).find("repaired"), std::string::npos);
    }
}

TEST_F(LogSafetyTest, APulledCableEndsTheRecordingWithEveryLineKept) {
    // The "pulled" scenario loses the cable 60 s into the run; a run stopped before that is the
    // beginning of the same log.
    ASSERT_EQ(run("before", acquire("before", "pulled", 5, {"--seconds", "30"})), 0) << err("before");
    EXPECT_EQ(run("pulled", acquire("pulled", "pulled", 5, {"--seconds", "300"})), 1);
    EXPECT_NE(err("pulled").find("the logger was lost"), std::string::npos) << err("pulled");
    EXPECT_NE(out("pulled").find("\"complete\": false"), std::string::npos) << out("pulled");

    const std::string before = dataOf("before"), pulled = dataOf("pulled");
    const size_t L = static_cast<size_t>(lineSize("pulled"));
    EXPECT_EQ(pulled.size() % L, 0u);
    EXPECT_EQ(static_cast<long long>(pulled.size() / L), member(out("pulled"), "lines"));
    ASSERT_GT(pulled.size(), before.size());
    EXPECT_TRUE(pulled.compare(0, before.size(), before) == 0);
    // The recording was stopped, not cut: the header is complete and nothing needs repairing.
    EXPECT_NE(key("pulled", "WellInfo", "EndDepth"), "CORRUPT");
    expectReplayReadsEveryWholeLine("pulled", pulled);
    EXPECT_EQ(err("lines-pulled").find("repaired"), std::string::npos);
}

TEST_F(LogSafetyTest, AFullDiskStopsTheRecordingWithWholeLinesAndAConsistentHeader) {
    // A file-size limit makes the data file's writes fail as on a full disk: the first one that crosses
    // it is cut short, the next refused (EFBIG). The limit falls inside a line.
    ASSERT_EQ(run("probe", acquire("probe", "clean", 3, {"--lines", "1"})), 0) << err("probe");
    const size_t L = static_cast<size_t>(lineSize("probe"));
    const rlim_t limit = static_cast<rlim_t>(120 * L + L / 3);
    int rc = run("full", acquire("full", "clean", 3, {"--seconds", "600"}), [limit] {
        struct rlimit r {
            limit, limit
        };
        ::setrlimit(RLIMIT_FSIZE, &r);
    });
    EXPECT_EQ(rc, 1) << err("full");  // an incomplete log, reported; not a signal
    const std::string e = err("full");
    EXPECT_NE(e.find("Recording stopped: cannot write the data file"), std::string::npos) << e;
    EXPECT_NE(e.find("File too large"), std::string::npos) << e;
    EXPECT_NE(e.find("It holds 120 whole lines."), std::string::npos) << e;
    EXPECT_NE(e.find("sonde switched off"), std::string::npos) << e;  // the run went on to its end

    const std::string data = dataOf("full");
    EXPECT_EQ(data.size(), 120 * L);
    EXPECT_NE(key("full", "WellInfo", "EndDepth"), "CORRUPT");
    expectReplayReadsEveryWholeLine("full", data);
}

TEST_F(LogSafetyTest, ADiskThatFillsUpKeepsTheWholeLinesAndTheLogOpensRepaired) {
    // A real full disk: a 256 KiB tmpfs, mounted in a mount namespace of a child of its own so that
    // nothing outside sees it. The child records onto it, then copies what is there out for the
    // checks. Needs the right to mount; skipped without it.
    const fs::path disk = sandbox / "disk", copy = sandbox / "copy";
    fs::create_directories(disk);
    fs::create_directories(copy);
    const std::vector<std::string> args = acquire("disk/run", "clean", 8, {"--seconds", "600"});
    pid_t outer = ::fork();
    if (outer == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
            ::_exit(77);
        int rc = wait(spawn("disk", args));
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(disk, ec))
            fs::copy(entry.path(), copy / entry.path().filename(), ec);
        std::ofstream(copy / "rc") << rc;
        ::_exit(ec ? 1 : 0);
    }
    const int outcome = wait(outer);
    if (outcome == 77) GTEST_SKIP() << "no right to mount a small filesystem here";
    ASSERT_EQ(outcome, 0);
    EXPECT_EQ(readAll(copy / "rc"), "1") << err("disk");
    const std::string e = err("disk");
    EXPECT_NE(e.find("No space left on device"), std::string::npos) << e;
    EXPECT_NE(e.find("sonde switched off"), std::string::npos) << e;

    // Whatever the header could still record on the full disk, the log opens whole and consistent.
    fs::remove_all(disk);
    fs::rename(copy, disk);
    for (const auto& entry : fs::directory_iterator(disk))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    const std::string data = dataOf("disk/run");
    const size_t L = static_cast<size_t>(lineSize("disk/run"));
    EXPECT_EQ(data.size() % L, 0u);
    EXPECT_GT(data.size(), 200u * 1024);
    expectReplayReadsEveryWholeLine("disk/run", data);
}

TEST_F(LogSafetyTest, ASecondAcquireOntoALogBeingRecordedIsRefusedBeforeThePowerUp) {
    pid_t first = spawn("first", acquire("one", "clean", 3, {"--seconds", "36000"}));
    const fs::path data = sandbox / "one_X.viv";
    std::error_code ec;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((!fs::exists(data, ec) || fs::file_size(data, ec) == 0) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(fs::file_size(data, ec), 0u) << err("first");

    for (const char* replace : {"", "--replace"}) {
        SCOPED_TRACE(replace);
        std::vector<std::string> args = acquire("one", "clean", 4, {"--seconds", "5"});
        if (*replace) args.push_back(replace);
        EXPECT_EQ(run("second", args), 2);
        EXPECT_NE(err("second").find(data.string() + " is being recorded by another program."),
                  std::string::npos)
            << err("second");
        EXPECT_EQ(err("second").find("power-up"), std::string::npos) << err("second");
        EXPECT_TRUE(fs::exists(headerOf("one")));
    }

    ::kill(first, SIGINT);
    ASSERT_EQ(wait(first), 130) << err("first");
    // The first run's log is whole: every line it wrote is there and the header was completed.
    const std::string written = dataOf("one");
    EXPECT_EQ(static_cast<long long>(written.size() / static_cast<size_t>(lineSize("one"))),
              member(out("first"), "lines"));
    EXPECT_NE(key("one", "WellInfo", "EndDepth"), "CORRUPT");
}

// The "reset" scenario's logger loses power 45 s into the run. Without --resume-after-reset the log
// ends there, said to be incomplete; with it, the sonde is powered up again and the log goes on. Either
// way the header ends with the last whole line.
TEST_F(LogSafetyTest, ALoggerResetEndsTheLogIncompleteOrResumesIt) {
    struct Case {
        const char* name;
        bool resume;
        int exitCode;
        const char* complete;
    };
    for (const Case& c : {Case{"stopped", false, 1, "false"}, Case{"resumed", true, 0, "true"}}) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = acquire(c.name, "reset", 2, {"--seconds", "90"});
        if (c.resume) args.push_back("--resume-after-reset");
        EXPECT_EQ(run(c.name, args), c.exitCode) << err(c.name);
        EXPECT_NE(err(c.name).find("The logger lost power at"), std::string::npos) << err(c.name);
        EXPECT_NE(out(c.name).find(std::string("\"complete\": ") + c.complete), std::string::npos)
            << out(c.name);
        EXPECT_EQ(member(out(c.name), "dataStops"), 1);

        const std::string data = dataOf(c.name);
        const size_t L = static_cast<size_t>(lineSize(c.name));
        ASSERT_EQ(data.size() % L, 0u);
        EXPECT_EQ(static_cast<long long>(data.size() / L), member(out(c.name), "lines"));
        // The header's end is the last line's: its depth field and its recorded time.
        const size_t last = data.size() - L;
        EXPECT_EQ(std::atoll(key(c.name, "WellInfo", "EndDepth").c_str()), le32(data, last));
        ASSERT_EQ(run("lines-" + std::string(c.name), {"lines", headerOf(c.name), "--json"}), 0);
        const std::string lines = out("lines-" + std::string(c.name));
        const size_t lastLine = lines.rfind("\"TIME\": ");
        ASSERT_NE(lastLine, std::string::npos) << lines.substr(0, 400);
        const long long lastTime = member(lines, "TIME", -1, lastLine);
        EXPECT_EQ(std::atoll(key(c.name, "WellInfo", "EndTime").c_str()), lastTime);
        if (c.resume)
            EXPECT_GT(lastTime, 45000) << "lines past the reset";
        else
            EXPECT_LT(lastTime, 45000) << "no line after the reset";
    }
}

// A noisy link: the summary and the JSON say how many lines were replaced, how many frames were missed
// and where the depth track has holes; --max-gap makes a hole larger than asked an error.
TEST_F(LogSafetyTest, LostLinesAreCountedAndAGapTooLargeFailsTheRun) {
    ASSERT_EQ(run("noisy", acquire("noisy", "noisy", 7, {"--seconds", "90"})), 0) << err("noisy");
    const std::string o = out("noisy");
    EXPECT_GT(member(o, "replacedLines"), 0) << o;
    EXPECT_GE(member(o, "missedFrames"), 0) << o;
    EXPECT_GT(member(o, "depthGaps"), 0) << o;
    EXPECT_NE(err("noisy").find("depth gaps larger than twice the step"), std::string::npos) << err("noisy");

    std::vector<std::string> strict =
        acquire("strict", "noisy", 7, {"--seconds", "90", "--max-gap", "0.015"});
    EXPECT_EQ(run("strict", strict), 1);
    EXPECT_NE(err("strict").find("is larger than --max-gap 0.015"), std::string::npos) << err("strict");
    EXPECT_NE(out("strict").find("\"complete\": true"), std::string::npos) << "the log itself is whole";

    // A clean link has no hole larger than twice the step.
    ASSERT_EQ(run("clean", acquire("clean", "clean", 7, {"--seconds", "90", "--max-gap", "0.05"})), 0)
        << err("clean");
    EXPECT_EQ(member(out("clean"), "replacedLines"), 0);
    EXPECT_EQ(member(out("clean"), "depthGaps"), 0);
}

// Alarm bits come in every frame; each alarm's text is printed once, not once per frame, and the
// monitor's status shows it while it lasts.
TEST_F(LogSafetyTest, EachAlarmIsPrintedOncePerStart) {
    ASSERT_EQ(run("alarms", {"--device", "sim", "monitor", "--fast", "--scenario", "alarms", "--seconds", "8",
                             "--json"}),
              0)
        << err("alarms");
    auto count = [](const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    const std::string e = err("alarms");
    EXPECT_EQ(count(e, "Invalid Depth !!!: Encoder Error"), 1u) << e;
    EXPECT_EQ(count(e, "Low Battery.: Low battery / Power Failure !!!"), 1u) << e;
    EXPECT_EQ(count(out("alarms"), "\"status\": \"Invalid Depth !!!: Encoder Error; Low Battery."), 8u)
        << out("alarms");
}

// A refused power-up says which step failed and what was sent and read back.
TEST_F(LogSafetyTest, ARefusedPowerUpGivesItsReason) {
    EXPECT_EQ(
        run("refusing", {"--device", "sim", "monitor", "--fast", "--scenario", "refusing", "--seconds", "2"}),
        2);
    EXPECT_NE(err("refusing").find("refused at power-up step "), std::string::npos) << err("refusing");
}

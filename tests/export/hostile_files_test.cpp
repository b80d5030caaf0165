// What the commands do with files a demanding user hands them: folders, FIFOs and devices where a file
// should be, numbers that are not numbers, outputs that are the log itself, a full disk, two exports at
// once. Every case ends with its message and exit code, and leaves every other file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "LogFixture.h"
#include "tests/support/QueltRun.h"

using namespace quelt::testing;

namespace {

// Every regular file below `root`, named with the hash of its bytes; printed as such when they differ.
std::string snapshot(const fs::path& root) {
    std::map<std::string, size_t> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_symlink() || !it->is_regular_file()) continue;
        files[fs::relative(it->path(), root).string()] = std::hash<std::string>{}(readText(it->path()));
    }
    std::string text;
    for (const auto& [name, hash] : files)
        text += name + " " + std::to_string(hash) + "\n";
    return text;
}

class HostileFilesTest : public ::testing::Test {
  protected:
    fs::path dir, home, logs;
    std::string hed;

    void SetUp() override {
        dir = freshDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        home = dir / "home";
        logs = dir / "logs";
        ASSERT_EQ(quelt::test::runQuelt(dir, "settings", quelt::test::Stderr::Merged, home).exitCode, 0);
        FixtureLog log = centimetreLog(10000, 12000);
        log.recLineSize = kFixtureFullLine;  // the layout every export takes
        hed = log.write(logs, "log");
    }
    void TearDown() override { fs::remove_all(dir); }

    quelt::test::QueltRun run(const std::string& args) {
        return quelt::test::runQuelt(dir, "--yes " + args, quelt::test::Stderr::Merged, home);
    }

    // A shell command line in the sandbox's environment, with quelt as $Q.
    quelt::test::QueltRun shell(const std::string& line) {
        std::string cmd = "HOME='" + dir.string() + "' XDG_CONFIG_HOME='" + (dir / "config").string() +
                          "' Q='" + QUELT_BIN + "' H='" + home.string() + "' sh -c '" + line + "' 2>&1";
        quelt::test::QueltRun r;
        FILE* p = ::popen(cmd.c_str(), "r");
        if (!p) return r;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            r.out.append(buf, n);
        int status = ::pclose(p);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    }
};

// A file of one of the hostile kinds at `path` (what was there goes).
enum class Kind { Directory, Fifo, Device, LinkToDirectory, LinkToFifo };

void makeHostile(const fs::path& path, Kind kind) {
    fs::remove_all(path);
    switch (kind) {
        case Kind::Directory:
            fs::create_directories(path);
            break;
        case Kind::Fifo:
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
            break;
        case Kind::Device:  // a device that never ends
            fs::create_symlink("/dev/zero", path);
            break;
        case Kind::LinkToDirectory:
            fs::create_directories(path.string() + ".target");
            fs::create_symlink(path.string() + ".target", path);
            break;
        case Kind::LinkToFifo:
            ASSERT_EQ(::mkfifo((path.string() + ".target").c_str(), 0644), 0);
            fs::create_symlink(path.string() + ".target", path);
            break;
    }
}

const char* kindText(Kind kind) {
    switch (kind) {
        case Kind::Directory:
        case Kind::LinkToDirectory:
            return "is a directory, not a file.";
        case Kind::Fifo:
        case Kind::LinkToFifo:
            return "is a FIFO, not a file.";
        case Kind::Device:
            return "is a device, not a file.";
    }
    return "";
}

}  // namespace

TEST_F(HostileFilesTest, EveryReaderRefusesFoldersFifosAndDevicesByName) {
    struct Reader {
        const char* name;
        std::string file;  // the file made hostile, relative to the sandbox
        std::string args;  // %F is the hostile file's path, %D the sandbox
        int exitCode;
    };
    const Reader readers[] = {
        {"header", "logs/log.HED", "info %F", 1},
        {"data file", "logs/log.VIV", "las %D/logs/log.HED", 1},
        {"data file of a replay", "logs/log.VIV", "lines %D/logs/log.HED", 1},
        {"settings", "home/Zorak.cfg", "settings", 0},  // the defaults are used, with the message
        {"sonde database", "home/Zorak.tol", "settings", 0},
        {"palette file", "home/Palette.ini", "settings", 0},
        {"scenario", "scenario.ini", "simulate --scenario %F --capture %D/cap.bin --seconds 1", 2},
        {"capture", "capture.bin", "frames %F", 1},
    };
    const Kind kinds[] = {Kind::Directory, Kind::Fifo, Kind::Device, Kind::LinkToDirectory, Kind::LinkToFifo};
    for (const Reader& r : readers) {
        for (Kind kind : kinds) {
            SCOPED_TRACE(std::string(r.name) + " " + kindText(kind));
            fs::path hostile = dir / r.file;
            if (fs::exists(hostile))
                fs::copy_file(hostile, dir / "saved", fs::copy_options::overwrite_existing);
            makeHostile(hostile, kind);
            auto before = snapshot(dir);
            std::string args = r.args;
            for (auto at = args.find("%F"); at != std::string::npos; at = args.find("%F"))
                args.replace(at, 2, hostile.string());
            for (auto at = args.find("%D"); at != std::string::npos; at = args.find("%D"))
                args.replace(at, 2, dir.string());
            // A reader that blocked would hang here: the time limit turns that into a failure.
            quelt::test::QueltRun res = shell("exec timeout 20 \"$Q\" --home \"$H\" --yes " + args);
            EXPECT_EQ(res.exitCode, r.exitCode) << res.out;
            EXPECT_NE(res.out.find(kindText(kind)), std::string::npos) << res.out;
            EXPECT_NE(res.out.find(hostile.filename().string()), std::string::npos) << res.out;
            EXPECT_EQ(snapshot(dir), before) << "no other file changes";
            fs::remove_all(hostile);
            fs::remove_all(hostile.string() + ".target");
            if (fs::exists(dir / "saved")) fs::rename(dir / "saved", hostile);
        }
    }
}

TEST_F(HostileFilesTest, NumbersFromOutsideAreCheckedBeforeAnythingIsWritten) {
    // A log whose header claims a start depth far from its lines, and one whose line size disagrees.
    FixtureLog far = centimetreLog(10000, 12000);
    far.recLineSize = kFixtureFullLine;
    std::string farHed = far.write(logs, "far");
    {
        std::string text = readText(farHed);
        text.replace(text.find("StartDepth=10000"), 16, "StartDepth=-999999999");
        std::ofstream(farHed, std::ios::binary) << text;
    }
    FixtureLog wide = centimetreLog(10000, 12000);
    wide.recLineSize = kFixtureFullLine;
    std::string wideHed = wide.write(logs, "wide");
    {
        std::string text = readText(wideHed);
        const std::string declared = "RecLineSize=" + std::to_string(kFixtureFullLine);
        text.replace(text.find(declared), declared.size(), "RecLineSize=44");
        std::ofstream(wideHed, std::ios::binary) << text;
    }
    struct Case {
        std::string args;
        int exitCode;
        const char* message;
    };
    const std::string log = hed;
    const Case cases[] = {
        {"las " + log + " --from nan", 2, "Bad entry value (begining "},
        {"las " + log + " --to inf", 2, "Bad entry value (begining "},
        {"las " + log + " --from -5", 2, "Bad entry value (begining "},
        {"las " + log + " --from 11m", 2, "Bad entry value (begining "},
        {"resample " + log + " --interval nan", 2, "Minimal interval : "},
        {"resample " + log + " --interval -10", 2, "Minimal interval : "},
        {"resample " + log + " --interval inf", 2, "Maximal interval : "},
        {"resample " + log + " --from nan", 2, "Bad entry value (begining "},
        {"las " + farHed, 1, "do not describe its data file"},
        {"resample " + farHed, 1, "do not describe its data file"},
        {"info " + farHed, 1, "do not describe its data file"},
        {"html " + farHed, 1, "do not describe its data file"},
        {"render " + farHed + " -o " + (dir / "far.bmp").string(), 1, "do not describe its data file"},
        {"las " + wideHed, 1, "44-byte line"},
        {"resample " + wideHed, 1, "44-byte line"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.args);
        auto before = snapshot(dir);
        quelt::test::QueltRun r = run(k.args);
        EXPECT_EQ(r.exitCode, k.exitCode) << r.out;
        EXPECT_NE(r.out.find(k.message), std::string::npos) << r.out;
        EXPECT_EQ(snapshot(dir), before) << "nothing written, nothing changed";
        EXPECT_FALSE(fs::exists(logs / "LAS20" / "log.las"));
    }
}

TEST_F(HostileFilesTest, AnOutputThatIsTheSourceIsRefusedBeforeAnythingIsOpened) {
    // A log named as the resampling names its output, for --out-dir onto its own folder.
    FixtureLog full = centimetreLog(10000, 12000);
    full.recLineSize = kFixtureFullLine;
    full.screenMode = 0;
    std::string selfHed = full.write(logs, "self_X");
    fs::create_symlink(logs / "log.VIV", dir / "link.las");
    fs::create_symlink(logs / "log.VIV", dir / "link.bmp");
    fs::create_hard_link(logs / "log.HED", dir / "hard.las");
    fs::create_directories(logs / "log-HTML");
    fs::create_symlink(logs / "log.HED", logs / "log-HTML" / "log.html");
    const std::string cases[] = {
        "las " + hed + " -o " + hed,
        "las " + hed + " -o " + (logs / "LOG.viv").string(),  // the no-case name of the data file
        "las " + hed + " -o " + (dir / "link.las").string(),
        "las " + hed + " -o " + (dir / "hard.las").string(),
        "resample " + selfHed + " --orientation none --out-dir " + logs.string(),
        "resample " + hed + " --preview " + (dir / "link.bmp").string() + " --preview-only",
        "render " + hed + " -o " + (dir / "link.bmp").string(),
        "html " + hed,
    };
    for (const std::string& args : cases) {
        SCOPED_TRACE(args);
        auto before = snapshot(dir);
        quelt::test::QueltRun r = run(args);
        EXPECT_EQ(r.exitCode, 2) << r.out;
        EXPECT_NE(r.out.find("is the source file"), std::string::npos) << r.out;
        EXPECT_EQ(snapshot(dir), before);
    }
}

TEST_F(HostileFilesTest, AFailedExportLeavesNothingAndNamesTheSystemsCause) {
    // A file-size limit stands in for a full disk: the write fails with the system's reason.
    quelt::test::QueltRun alone = run("las " + hed);
    ASSERT_EQ(alone.exitCode, 0) << alone.out;  // the reference: the export fits without the limit
    fs::remove_all(logs / "LAS20");
    auto before = snapshot(dir);
    quelt::test::QueltRun r = shell("ulimit -f 8; exec \"$Q\" --home \"$H\" --yes las " + hed);
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("File too large"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(logs / "LAS20")) << "no partial file, no scratch file, no folder it made";
    EXPECT_EQ(snapshot(dir), before);
}

TEST_F(HostileFilesTest, TwoExportsAtOnceGiveTheBytesOfOneAlone) {
    quelt::test::QueltRun alone = run("las " + hed + " -o " + (dir / "alone.las").string());
    ASSERT_EQ(alone.exitCode, 0) << alone.out;
    const std::string reference = readText(dir / "alone.las");
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        // Both in one home, at the same moment.
        quelt::test::QueltRun r =
            shell("\"$Q\" --home \"$H\" --yes las " + hed + " -o " + (dir / "a.las").string() +
                  " & \"$Q\" --home \"$H\" --yes las " + hed + " -o " + (dir / "b.las").string() + " & wait");
        EXPECT_EQ(readText(dir / "a.las"), reference) << r.out;
        EXPECT_EQ(readText(dir / "b.las"), reference) << r.out;
        fs::remove(dir / "a.las");
        fs::remove(dir / "b.las");
    }
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find("las~"), std::string::npos) << "no scratch file left";
}

TEST_F(HostileFilesTest, AnExportWrittenElsewhereNeedsNothingOfTheProgramFolder) {
    // Nothing goes into the program folder, so a read-only one cannot stop the export.
    const std::string home0 = snapshot(home);
    fs::permissions(home, fs::perms::owner_read | fs::perms::owner_exec);
    quelt::test::QueltRun r = run("las " + hed + " -o " + (dir / "out.las").string());
    fs::permissions(home, fs::perms::owner_all);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(fs::exists(dir / "out.las"));
    EXPECT_EQ(snapshot(home), home0) << "not even a scratch file";
}

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "config/ProgramContext.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

class ProgramContextTest : public ::testing::Test {
  protected:
    fs::path dir, data, home;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("quelt-context-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        data = dir / "data";
        home = dir / "home";
        fs::create_directories(data / "Demo");
        std::ofstream(data / "Demo" / "Demo.HED") << "[QueltLogger]\r\nDataFile=Demo.VIV\r\n";
        std::ofstream(data / "Demo" / "Demo.VIV") << std::string(3000, 'v');
        ::setenv("QUELT_DATA_DIR", data.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("QUELT_DATA_DIR");
        fs::remove_all(dir);
    }
};

}  // namespace

// A first start of an older version, killed while it copied, left the installed header beside a short
// data file (or none): the next start completes it. A demonstration log the user changed is kept.
TEST_F(ProgramContextTest, ATruncatedDemonstrationLogIsRepairedOnTheNextStart) {
    struct Case {
        const char* name;
        const char* header;      // the home's Demo.HED; nullptr: the installed one
        long dataBytes;          // the home's Demo.VIV size, -1 none
        std::string expectData;  // what the home's Demo.VIV holds afterwards
    };
    const std::string installed = std::string(3000, 'v');
    const Case cases[] = {
        {"truncated", nullptr, 1000, installed},
        {"data file missing", nullptr, -1, installed},
        {"whole", nullptr, 3000, installed},
        {"another header", "[QueltLogger]\r\nDataFile=Other.VIV\r\n", 1000, std::string(1000, 'v')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(home);
        fs::create_directories(home / "Demo");
        std::ofstream(home / "Zorak.cfg") << "";
        if (c.header)
            std::ofstream(home / "Demo" / "Demo.HED") << c.header;
        else
            fs::copy_file(data / "Demo" / "Demo.HED", home / "Demo" / "Demo.HED");
        if (c.dataBytes >= 0)
            std::ofstream(home / "Demo" / "Demo.VIV") << std::string(static_cast<size_t>(c.dataBytes), 'v');
        ScriptedOperator op;
        ProgramContext context;
        std::string error;
        ASSERT_TRUE(startProgram(home.string(), op, context, error)) << error;
        EXPECT_EQ(readAll(home / "Demo" / "Demo.VIV"), c.expectData);
    }
}

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    pclose(p);
    return out;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void expectCapture(const std::string& name) {
    std::string dir = std::string(QUELT_TEST_DIR) + "/captures/";
    std::string expected = slurp(dir + name + ".expected.jsonl");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(run(std::string(QUELT_BIN) + " frames --json " + dir + name + ".bin 2>/dev/null"), expected);
}

}  // namespace

// The frames a clean capture of every family yields.
TEST(Capture, Clean) {
    expectCapture("clean");
}

// Garbage, a flipped bit, a rescued and a salvaged status frame, a sequence gap and a repeat.
TEST(Capture, Corrupt) {
    expectCapture("corrupt");
}

TEST(Capture, JsonLineShape) {
    std::string dir = std::string(QUELT_TEST_DIR) + "/captures/";
    std::string out = run(std::string(QUELT_BIN) + " frames --json " + dir + "corrupt.bin 2>/dev/null");
    EXPECT_EQ(out.substr(0, out.find('\n')), R"({"n":1,"seq":1,"len":16,"kind":"status","via":"stream"})");
    EXPECT_NE(out.find(R"({"n":5,"seq":6,"len":16,"kind":"status","via":"salvaged"})"), std::string::npos);
    EXPECT_NE(out.find(R"({"summary":{"dispatched":9,"missed":2,"resync":3}})"), std::string::npos);
}

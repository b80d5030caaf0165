// Fuzzes the data line parser and the log reader. The first byte chooses the target:
// - even: a channel layout drawn from the next bytes (four bytes a channel: kind, type, a signed sample
//   count), the rest cut into lines of that layout and parsed, the short rest too, each line held in a
//   buffer of exactly its size so that any read past it is seen;
// - odd: a log pair, the next two bytes the length of the header text, the rest the data file, opened
//   as a replay opens it (checks, repair) and read through to the end, then sought by depth.
// Whatever the bytes, nothing reads past a line, no sample count passes 360 or its field, a refused
// layout is never read, and a log that opens reads its lines at the size its header declares.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "config/Header.h"
#include "config/Ini.h"
#include "platform/Operator.h"
#include "stream/DataLine.h"
#include "stream/LogFile.h"
#include "stream/ReplayLine.h"

using namespace quelt;

namespace {

struct Home {
    Home() {
        dir = std::filesystem::temp_directory_path() / ("quelt_fuzz_lines_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        setProgramDirectory(dir.string());
        hed = (dir / "FUZZ.HED").string();
        viv = (dir / "FUZZ.viv").string();
    }
    std::filesystem::path dir;
    std::string hed, viv;
};

// The header reader lives for the whole run, as in the program; each open reads a fresh header.
struct Rig {
    Home home;  // first: the program folder is set before the reader is made
    Settings settings;
    ProgramPaths paths;
    PlacementRecord placements;
    ScriptedOperator op;
    SondeDatabase sondes{settings, op};
    LogHeader header;
    CHeader headerIo{settings, paths, placements, op, header, sondes};
};

Rig& rig() {
    static Rig* r = new Rig;
    return *r;
}

void checkParsed(const ParsedLine& parsed, const LineLayout& layout) {
    if (parsed.values.size() != layout.channels.size()) __builtin_trap();
    if (parsed.sampleCount < 0 || parsed.sampleCount > 360) __builtin_trap();
    if (parsed.sampleCount == 0) return;
    // The samples come from the first sample channel, never from more than its field holds.
    for (const LineChannel& c : layout.channels) {
        if (c.sampleType != 11 && c.sampleType != 12) continue;
        if (static_cast<size_t>(parsed.sampleCount) > c.width / 4) __builtin_trap();
        return;
    }
    __builtin_trap();
}

void parseExactly(const std::uint8_t* bytes, size_t size, const LineLayout& layout, ParsedLine& parsed) {
    // A heap copy of exactly the line: the sanitizer sees a read one byte past it.
    std::unique_ptr<std::uint8_t[]> line(new std::uint8_t[size ? size : 1]);
    std::copy(bytes, bytes + size, line.get());
    parseDataLine({line.get(), size}, layout, parsed);
    checkParsed(parsed, layout);
}

void fuzzLayout(const std::uint8_t* data, size_t size) {
    if (size < 1) return;
    const size_t count = 1 + data[0] % 12;
    data += 1;
    size -= 1;
    std::vector<LineChannel> channels;
    for (size_t i = 0; i < count && size >= 4; ++i, data += 4, size -= 4) {
        LineChannel c;
        c.kind = data[0] < 26 ? 1308 + data[0] : data[0];
        c.sampleType = data[1] % 14;
        c.sampleCount = static_cast<std::int16_t>(data[2] | data[3] << 8);
        channels.push_back(c);
    }
    if (channels.empty()) return;
    const LineLayout layout = makeLayout(channels);
    ParsedLine parsed;
    const size_t L = layout.lineSize;
    size_t at = 0;
    for (int n = 0; L > 0 && at + L <= size && n < 64; ++n, at += L)
        parseExactly(data + at, L, layout, parsed);
    parseExactly(data + at, std::min(size - at, L), layout, parsed);

    // A sound layout writes lines of its size from any frame, and reads them back.
    if (checkLayout(layout, L).empty()) {
        std::vector<std::uint8_t> line;
        buildDataLine({data, size}, {12.345, 90.0, 1234, (size & 1) != 0}, layout, line);
        if (line.size() != L) __builtin_trap();
        parseExactly(line.data(), line.size(), layout, parsed);
    }
}

void fuzzLog(const std::uint8_t* data, size_t size) {
    if (size < 2) return;
    const size_t headerSize = std::min<size_t>(data[0] | data[1] << 8, size - 2);
    Rig& r = rig();
    const std::string& hed = r.home.hed;
    const std::string& viv = r.home.viv;
    fuzzfiles::writeInput(hed, data + 2, headerSize);
    fuzzfiles::writeInput(viv, data + 2 + headerSize, size - 2 - headerSize);

    r.op.clear();
    r.settings = Settings{};
    Settings& settings = r.settings;
    ScriptedOperator& op = r.op;
    LogHeader& header = r.header;
    CHeader& headerIo = r.headerIo;
    OpenedLog log;
    if (openLog(hed, headerIo, op, log) != OpenLogResult::Ok) {
        if (log.reader.isOpen()) __builtin_trap();  // a refused log is never read
        return;
    }
    if (log.layout.lineSize == 0 || log.layout.lineSize != static_cast<size_t>(header.recLineSize))
        __builtin_trap();
    const std::uint64_t lines = log.reader.wholeLines();
    if (lines > 0 && header.corrupt) __builtin_trap();  // repaired

    ReplayDecoder replay(settings, header, log.layout, 0.0);
    std::vector<std::uint8_t> line;
    ParsedLine parsed;
    std::uint64_t read = 0;
    for (std::uint64_t pos = 0; read < 256 && log.reader.readLine(pos, line); pos += line.size(), ++read) {
        if (line.size() != log.layout.lineSize) __builtin_trap();
        parseExactly(line.data(), line.size(), log.layout, parsed);
        replay.apply(parsed, log.layout);
    }
    if (read != std::min<std::uint64_t>(lines, 256)) __builtin_trap();
    if (lines > 0) {
        const std::uint64_t found =
            log.reader.seekDepthField(0, static_cast<std::int32_t>(size * 977), header.descending);
        if (found % log.layout.lineSize != 0 || found >= lines * log.layout.lineSize) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    if (data[0] & 1)
        fuzzLog(data + 1, size - 1);
    else
        fuzzLayout(data + 1, size - 1);
    return 0;
}

#include "stream/LogFile.h"

#include <cstdlib>
#include <filesystem>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace quelt {

namespace fs = std::filesystem;

LineLayout layoutFromHeader(const LogHeader& header) {
    std::vector<LineChannel> channels;
    for (int i = 0; i < header.channelCount && i < static_cast<int>(header.channels.size()); ++i) {
        const HeaderChannel& h = header.channels[static_cast<size_t>(i)];
        LineChannel c;
        c.kind = h.kind ? h.kind : channelKindFromMnemonic(h.mnemonic);
        c.sampleType = h.sampleType;
        c.sampleCount = h.sampleCount;
        channels.push_back(c);
    }
    return makeLayout(channels);
}

std::string dataPathForHeader(const std::string& headerPath) {
    fs::path p(nativePath(headerPath));
    p.replace_extension(".viv");
    fs::path resolved = resolveNoCase(p);
    if (resolved != p) return resolved.string();
    fs::path upper = p;
    upper.replace_extension(".VIV");
    resolved = resolveNoCase(upper);
    return fs::exists(resolved) ? resolved.string() : p.string();
}

std::string checkDepthsAgainstLines(const LogHeader& header, const DataFileReader& reader) {
    const std::uint64_t lines = reader.wholeLines();
    std::int32_t first = 0, last = 0;
    if (lines == 0 || !reader.readDepthField(0, first) ||
        !reader.readDepthField((lines - 1) * reader.lineSize(), last))
        return {};
    auto near = [](std::int64_t a, std::int64_t b) { return std::llabs(a - b) <= kHeaderDepthSlack; };
    // A recording that never ended has no end depth yet: only its start is checked.
    const bool startOk = near(header.fileStartDepth, first);
    const bool endOk = header.corrupt || near(header.fileEndDepth, last);
    if (startOk && endOk) return {};
    return format("Its depths (%.3f to %.3f) do not describe its data file (lines from %.3f to %.3f).",
                  header.fileStartDepth / 1000.0, header.fileEndDepth / 1000.0, first / 1000.0,
                  last / 1000.0);
}

OpenLogResult openLog(const std::string& headerPath, CHeader& headerIo, Operator& op, OpenedLog& out,
                      bool repair) {
    out.reader.close();
    out.layout = LineLayout{};
    out.repaired = false;
    std::string path = resolveNoCase(nativePath(headerPath)).string();
    if (!equalsNoCase(fs::path(path).extension().string(), ".hed")) {
        op.message("Bad header file.", MessageKind::Error);
        return OpenLogResult::BadHeaderName;
    }
    std::string dataPath = dataPathForHeader(path);
    std::error_code ec;
    if (!fs::exists(dataPath, ec)) {
        op.message("Data file not present.\n" + dataPath, MessageKind::Error);
        return OpenLogResult::NoDataFile;
    }
    out.headerPath = path;
    out.dataPath = dataPath;
    // A folder, FIFO or device under the header's name would hang or abort the reader.
    if (std::string why = notRegularFileReason(path); !why.empty()) {
        op.message("Bad header file. " + why, MessageKind::Error);
        return OpenLogResult::HeaderUnreadable;
    }

    LogHeader& header = headerIo.header();
    header.corrupt = true;
    if (!headerIo.ReadHeader(path)) {
        op.message("The header " + path + " cannot be read.", MessageKind::Error);
        return OpenLogResult::HeaderUnreadable;
    }
    out.layout = layoutFromHeader(header);
    std::string problem = checkLayout(out.layout, static_cast<size_t>(std::max(header.recLineSize, 0)));
    if (problem.empty() && out.layout.lineSize != static_cast<size_t>(header.recLineSize))
        problem = format("The channels of the header make %zu-byte lines, RecLineSize says %d.",
                         out.layout.lineSize, header.recLineSize);
    if (!problem.empty()) {
        op.message("Bad header file. " + problem, MessageKind::Error);
        return OpenLogResult::BadLayout;
    }
    if (!out.reader.open(dataPath, out.layout.lineSize)) {
        op.message(out.reader.error(), MessageKind::Error);
        return OpenLogResult::DataUnreadable;
    }

    if (repair && header.corrupt) {
        std::vector<std::uint8_t> first, last;
        std::uint64_t lines = out.reader.wholeLines();
        if (lines == 0 || !out.reader.readLine(0, first) ||
            !out.reader.readLine((lines - 1) * out.layout.lineSize, last)) {
            op.message("Files corrupted ... no Recovery Process !!", MessageKind::Warning);
        } else {
            ParsedLine parsed;
            parseDataLine(last, out.layout, parsed);
            std::int32_t lastTime = 0;
            for (size_t i = 0; i < out.layout.channels.size(); ++i)
                if (out.layout.channels[i].kind == channel::TIME)
                    lastTime = static_cast<std::int32_t>(parsed.values[i]);
            out.repaired = RepairHeader(path, lineDepthField(first), lineDepthField(last), lastTime, header);
        }
    }
    if (std::string problem = checkDepthsAgainstLines(header, out.reader); !problem.empty()) {
        out.reader.close();
        op.message("Bad header file. " + problem, MessageKind::Error);
        return OpenLogResult::BadLayout;
    }
    return OpenLogResult::Ok;
}

}  // namespace quelt

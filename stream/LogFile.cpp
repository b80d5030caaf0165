#include "stream/LogFile.h"

#include <filesystem>

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
        op.message("Trouble opening file.", MessageKind::Error);
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
    return OpenLogResult::Ok;
}

}  // namespace quelt

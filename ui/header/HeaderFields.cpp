#include "ui/header/HeaderFields.h"

#include <cmath>
#include <cstring>

#include "platform/Text.h"

namespace quelt::ui {

namespace {
const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

bool allIn(const std::string& text, const char* allowed) {
    for (char c : text)
        if (!std::strchr(allowed, c)) return false;
    return true;
}
}  // namespace

std::string englishDate(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    return format("%02d %s %04d", tm.tm_mday, kMonthNames[tm.tm_mon % 12], tm.tm_year + 1900);
}

void resetHeader(LogHeader& h, const Settings& s, std::time_t today) {
    h.version = "101";
    h.viewer = "ZEZEV_VIV";
    h.dataFiles = 1;
    h.blanking = static_cast<int>(std::trunc(s.UpBlanking));
    h.windowLength = static_cast<int>(std::trunc(s.UpWindow));
    h.horizontalMode = 0;
    h.magneticDeclination = 0.0;
    h.depthUnit = 0;
    h.startDepth = h.endDepth = 0;
    h.startTime = h.endTime = 0;
    h.step = 1;
    h.logMode = 13;
    h.zero = 0;
    for (const auto& k : wellInfoKeys()) {
        switch (k.type) {
            case WellKeyType::Text:
                h.texts[k.name] = "";
                break;
            case WellKeyType::Real:
                h.reals[k.name] = 0.0;
                break;
            case WellKeyType::RunNumber:
                h.runNumbers[k.name] = 0;
                break;
        }
    }
    h.texts["SondeAbbreviation"] = "ZOZE";
    h.texts["Date"] = englishDate(today);
    h.descending = true;
}

std::string fieldText(const LogHeader& h, const HeaderField& f) {
    switch (f.format) {
        case FieldFormat::Text:
            return h.text(f.key);
        case FieldFormat::Integer:
            return format("%d", h.runNumber(f.key));
        case FieldFormat::Real2:
            return format("%#.2f", h.real(f.key));
        case FieldFormat::Real3:
            return format("%#.3f", h.real(f.key));
        case FieldFormat::Real3Dash:
            return h.real(f.key) == 0.0 ? "-" : format("%#.3f", h.real(f.key));
    }
    return {};
}

bool storeField(LogHeader& h, const HeaderField& f, const std::string& text) {
    if (f.format == FieldFormat::Text) {
        h.texts[f.key] = text;
        return true;
    }
    if (f.format == FieldFormat::Integer) {
        auto v = readEntryInt(text);
        if (!v) return false;
        h.runNumbers[f.key] = *v;
        return true;
    }
    auto v = readEntryReal(text);
    if (!v) return false;
    h.reals[f.key] = *v;
    return true;
}

std::string commentsText(const LogHeader& h) {
    std::string out = h.text("Comment1");
    for (int i = 2; i <= 10; ++i) {
        const std::string& c = h.text(format("Comment%d", i));
        if (!c.empty()) out += "\n" + c;
    }
    return out;
}

void storeComments(LogHeader& h, const std::string& text) {
    for (int i = 1; i <= 10; ++i)
        h.texts[format("Comment%d", i)] = "";
    size_t start = 0;
    for (int i = 1; i <= 10 && start <= text.size(); ++i) {
        size_t end = text.find('\n', start);
        std::string piece = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!piece.empty() && piece.back() == '\r') piece.pop_back();
        h.texts[format("Comment%d", i)] = piece;
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

std::optional<int> readEntryInt(const std::string& text) {
    std::string t = text.substr(0, 19);
    if (!allIn(t, "-0123456789")) return std::nullopt;
    return parseLeadingInt(t);
}

std::optional<double> readEntryReal(const std::string& text) {
    std::string t = text.substr(0, 19);
    if (!allIn(t, "-0123456789,.")) return std::nullopt;
    return parseLeadingDouble(t);
}

void copyWellInfo(const LogHeader& from, LogHeader& to) {
    for (const auto& k : wellInfoKeys()) {
        if (k.name == "SondeAbbreviation") continue;
        switch (k.type) {
            case WellKeyType::Text:
                to.texts[k.name] = from.text(k.name);
                break;
            case WellKeyType::Real:
                to.reals[k.name] = from.real(k.name);
                break;
            case WellKeyType::RunNumber:
                to.runNumbers[k.name] = from.runNumber(k.name);
                break;
        }
    }
}

}  // namespace quelt::ui

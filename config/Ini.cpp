#include "config/Ini.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <sstream>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace quelt {

namespace {
std::string& programDirStorage() {
    static std::string dir;
    return dir;
}

std::mutex& profileWriteMutex() {
    static std::mutex m;
    return m;
}

bool isSectionLine(std::string_view trimmed) {
    return !trimmed.empty() && trimmed.front() == '[';
}

std::string sectionName(std::string_view trimmed) {
    auto close = trimmed.find(']');
    return trim(trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// Key of a "key=value" line, or nullopt for comments, blank lines and lines without '='.
std::optional<std::string> lineKey(std::string_view line) {
    std::string t = trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
    auto eq = t.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return trim(std::string_view(t).substr(0, eq));
}

// Line breaks in a key or value would break the file apart.
std::string oneLine(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '\r', ' ');
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
}

// A file that is not a regular file (a folder, a FIFO, a device) reads as a missing one: its
// defaults are used. The loaders that own such a file say so.
std::string readWholeFile(const std::string& path, bool& exists) {
    std::string bytes;
    exists = readRegularFile(path, bytes) == ReadFileResult::Ok;
    return bytes;
}
}  // namespace

const std::string& programDirectory() {
    return programDirStorage();
}
void setProgramDirectory(const std::string& dir) {
    std::string d = dir;
    if (!d.empty() && d.back() != '/') d += '/';
    programDirStorage() = d;
}

IniDocument IniDocument::parse(std::string_view bytes) {
    IniDocument doc;
    // A byte-order mark is kept for the write: dropping it would make a second one the file's first.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        doc.bom_ = true;
    }
    bool sawCrlf = false, sawLf = false;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t nl = bytes.find('\n', start);
        size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        size_t lineEnd = end;
        if (lineEnd > start && bytes[lineEnd - 1] == '\r') {
            --lineEnd;
            if (nl != std::string_view::npos) sawCrlf = true;
        } else if (nl != std::string_view::npos) {
            sawLf = true;
        }
        doc.lines_.emplace_back(bytes.substr(start, lineEnd - start));
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    if (sawLf && !sawCrlf) doc.eol_ = "\n";
    doc.reindex();
    return doc;
}

namespace {
std::string keyIndexName(std::string_view upperSection, std::string_view key) {
    std::string name(upperSection);
    name += '\n';
    name += toUpper(key);
    return name;
}
}  // namespace

void IniDocument::reindex() {
    sectionLines_.clear();
    keyLines_.clear();
    std::string current;
    bool indexing = false;  // only the first section of a name is ever read
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string t = trim(lines_[i]);
        if (isSectionLine(t)) {
            current = toUpper(sectionName(t));
            indexing = sectionLines_.emplace(current, i).second;
            continue;
        }
        if (!indexing) continue;
        if (auto k = lineKey(t)) keyLines_.emplace(keyIndexName(current, *k), i);
    }
}

std::string IniDocument::serialize() const {
    std::string out = bom_ ? "\xEF\xBB\xBF" : "";
    for (const auto& line : lines_) {
        out += line;
        out += eol_;
    }
    return out;
}

size_t IniDocument::findSection(std::string_view section) const {
    auto it = sectionLines_.find(toUpper(trim(section)));
    return it == sectionLines_.end() ? std::string::npos : it->second;
}

size_t IniDocument::sectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && !isSectionLine(trim(lines_[i])))
        ++i;
    return i;
}

std::optional<std::string> IniDocument::get(std::string_view section, std::string_view key) const {
    auto it = keyLines_.find(keyIndexName(toUpper(trim(section)), trim(key)));
    if (it == keyLines_.end()) return std::nullopt;
    const std::string& line = lines_[it->second];
    return trim(std::string_view(line).substr(line.find('=') + 1));
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    std::string entry = oneLine(trim(key)) + "=" + oneLine(value);
    size_t header = findSection(section);
    if (header == std::string::npos) {
        lines_.push_back("[" + oneLine(section) + "]");
        lines_.push_back(entry);
        reindex();
        return;
    }
    auto it = keyLines_.find(keyIndexName(toUpper(trim(section)), trim(key)));
    if (it != keyLines_.end()) {
        lines_[it->second] = entry;
        return;
    }
    // Append after the section's last non-blank line.
    size_t end = sectionEnd(header);
    size_t insertAt = end;
    while (insertAt > header + 1 && trim(lines_[insertAt - 1]).empty())
        --insertAt;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    reindex();
}

std::vector<std::string> IniDocument::sections() const {
    std::vector<std::string> out;
    for (const auto& line : lines_) {
        std::string t = trim(line);
        if (isSectionLine(t)) out.push_back(sectionName(t));
    }
    return out;
}

std::vector<std::string> IniDocument::keys(std::string_view section) const {
    std::vector<std::string> out;
    size_t header = findSection(section);
    if (header == std::string::npos) return out;
    for (size_t i = header + 1, end = sectionEnd(header); i < end; ++i)
        if (auto k = lineKey(lines_[i])) out.push_back(*k);
    return out;
}

namespace {
// The last file read, parsed, while it stays the same on disk: a header or settings load reads a
// hundred keys of one file in a row. Any write of this process forgets it; a change by another
// program shows in the file's identity, size or modification time.
struct ParsedFileCache {
    std::mutex mutex;
    std::string path;
    struct stat identity {};
    bool valid = false;
    IniDocument doc;
};

ParsedFileCache& parsedFileCache() {
    static ParsedFileCache cache;
    return cache;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}
}  // namespace

std::string readProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view defaultText) {
    std::string value(defaultText);
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        ParsedFileCache& cache = parsedFileCache();
        std::lock_guard<std::mutex> lock(cache.mutex);
        if (!cache.valid || cache.path != file || !sameFile(cache.identity, st)) {
            bool exists = false;
            std::string bytes = readWholeFile(file, exists);
            cache.valid = exists;
            cache.path = file;
            cache.identity = st;
            cache.doc = IniDocument::parse(bytes);
        }
        if (cache.valid) {
            if (auto v = cache.doc.get(section, key)) value = *v;
        }
    }
    if (value.size() > kIniValueMax) value.resize(kIniValueMax);
    return value;
}

bool writeProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    // A folder, FIFO or device under the file's name was put there by someone: it is not replaced.
    if (!notRegularFileReason(file).empty()) return false;
    std::lock_guard<std::mutex> lock(profileWriteMutex());
    {
        ParsedFileCache& cache = parsedFileCache();
        std::lock_guard<std::mutex> cacheLock(cache.mutex);
        cache.valid = false;
    }
    bool exists = false;
    std::string bytes = readWholeFile(file, exists);
    IniDocument doc = IniDocument::parse(bytes);
    doc.set(section, key, value);
    return replaceFileAtomically(file, doc.serialize());
}

double parseDecimalCommaOrPoint(std::string_view text) {
    std::string first(text), second(text);
    std::replace(first.begin(), first.end(), ',', '.');
    std::replace(second.begin(), second.end(), '.', ',');
    // The process reads numbers with a decimal point: in the second text the comma ends the number.
    double a = parseLeadingDouble(first);
    double b = parseLeadingDouble(second);
    if (a < 0) return a;
    if (b < 0) return b;
    return std::max(a, b);
}

CIni::CIni(int resolveFlag) : resolveFlag_(resolveFlag), section_(kApplicationName) {
    std::string base = resolveFlag ? programDirectory() : fs::current_path().string() + "/";
    file_ = resolveNoCase(base + kApplicationName + ".ini").string();
}

CIni::CIni(const std::string& fileName, int resolveFlag) : CIni(fileName, "", resolveFlag) {}

CIni::CIni(const std::string& fileName, const std::string& section, int resolveFlag)
    : resolveFlag_(resolveFlag), section_(section.empty() ? kApplicationName : section) {
    if (fileName.empty()) {
        std::string base = resolveFlag ? programDirectory() : fs::current_path().string() + "/";
        file_ = resolveNoCase(base + kApplicationName + ".ini").string();
    } else {
        file_ = ResolveFileName(fileName, resolveFlag);
    }
}

std::string CIni::ResolveFileName(const std::string& fileName, int resolveFlag) {
    std::string name = nativePath(fileName);
    bool driveLetter =
        name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
    if (driveLetter) return name;
    if (!name.empty() && name.front() == '/') return resolveNoCase(name).string();
    std::error_code ec;
    if (fs::exists(name, ec)) return name;
    std::string base;
    if (resolveFlag) {
        base = programDirectory();
    } else {
        base = fs::current_path(ec).string();
        while (!base.empty() && base.back() == '/')
            base.pop_back();
        base += '/';
    }
    return resolveNoCase(base + name).string();
}

void CIni::SetFile(const std::string& fileName) {
    file_ = ResolveFileName(fileName, 1);
}

std::string CIni::GetString(const char* key, const std::string& defaultText, const char* section) {
    useSection(section);
    value_ = readProfileString(file_, section_, key, defaultText);
    return value_;
}

int CIni::GetInt(const char* key, int defaultValue, const char* section) {
    return parseLeadingInt(GetString(key, format("%d", defaultValue), section));
}

bool CIni::GetBool(const char* key, int defaultValue, const char* section) {
    return GetInt(key, defaultValue, section) != 0;
}

bool CIni::GetYesNo(const char* key, bool defaultValue, const char* section) {
    std::string v = GetString(key, defaultValue ? "yes" : "no", section);
    if (equalsNoCase(v, "yes")) return true;
    if (equalsNoCase(v, "no")) return false;
    return parseLeadingInt(v) == 1;
}

float CIni::GetFloat(const char* key, float defaultValue, const char* section) {
    return static_cast<float>(parseLeadingDouble(GetString(key, formatG(defaultValue), section)));
}

double CIni::GetDouble(const char* key, double defaultValue, const char* section) {
    return parseDecimalCommaOrPoint(GetString(key, formatG(defaultValue), section));
}

bool CIni::WriteString(const char* key, const std::string& text, const char* section) {
    useSection(section);
    return writeProfileString(file_, section_, key, text);
}

bool CIni::WriteInt(const char* key, int value, const char* section) {
    return WriteString(key, format("%d", value), section);
}

bool CIni::WriteFloat(const char* key, float value, const char* section) {
    return WriteString(key, formatG(static_cast<double>(value)), section);
}

bool CIni::WriteDouble(const char* key, double value, const char* section) {
    return WriteString(key, formatG(value), section);
}

}  // namespace quelt

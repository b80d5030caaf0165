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

// trim() without the copy: the index and the lookups of a load read hundreds of names.
std::string_view trimView(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool isSectionLine(std::string_view trimmed) {
    return !trimmed.empty() && trimmed.front() == '[';
}

std::string_view sectionName(std::string_view trimmed) {
    auto close = trimmed.find(']');
    return trimView(trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// Key of a "key=value" line, or nullopt for comments, blank lines and lines without '='.
std::optional<std::string_view> lineKey(std::string_view line) {
    std::string_view t = trimView(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
    auto eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return trimView(t.substr(0, eq));
}

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Names match without regard to case: equal once both are upper case.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

// FNV-1a over the upper-case bytes of a trimmed name.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;
std::uint64_t hashName(std::string_view name, std::uint64_t h = kHashStart) {
    for (char c : name) {
        h ^= static_cast<unsigned char>(upper(c));
        h *= 1099511628211ull;
    }
    return h;
}
std::uint64_t hashKey(std::string_view section, std::string_view key) {
    // A byte no trimmed name ends with keeps "AB"+"C" apart from "A"+"BC".
    return hashName(key, hashName("\n", hashName(section)));
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
    return parseOwned(std::string(bytes));
}

IniDocument IniDocument::parseOwned(std::string text) {
    IniDocument doc;
    // A byte-order mark is kept for the write: dropping it would make a second one the file's first.
    if (std::string_view(text).substr(0, 3) == "\xEF\xBB\xBF") {
        text.erase(0, 3);
        doc.bom_ = true;
    }
    doc.text_ = std::move(text);
    const std::string_view bytes = doc.text_;
    doc.lines_.reserve(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
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
        doc.lines_.push_back({start, lineEnd - start});
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    if (sawLf && !sawCrlf) doc.eol_ = "\n";
    doc.reindex();
    return doc;
}

bool IniDocument::byHashThenLine(const IndexEntry& a, const IndexEntry& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.line < b.line;
}

void IniDocument::addToIndex(std::vector<IndexEntry>& index, const IndexEntry& entry) {
    index.insert(std::lower_bound(index.begin(), index.end(), entry, byHashThenLine), entry);
}

IniDocument::Line IniDocument::addText(std::string_view text) {
    Line line{text_.size(), text.size()};
    text_ += text;
    return line;
}

void IniDocument::reindex() {
    sectionIndex_.clear();
    keyIndex_.clear();
    keyIndex_.reserve(lines_.size());
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view t = trimView(lineText(i));
        if (isSectionLine(t)) {
            auto n = static_cast<std::uint32_t>(i);
            sectionIndex_.push_back({hashName(sectionName(t)), n, n});
        }
    }
    std::sort(sectionIndex_.begin(), sectionIndex_.end(), byHashThenLine);
    size_t header = std::string::npos;
    std::string_view current;
    bool indexing = false;  // only the first section of a name is ever read
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view t = trimView(lineText(i));
        if (isSectionLine(t)) {
            header = i;
            current = sectionName(t);
            indexing = findSection(current) == i;
            continue;
        }
        if (!indexing) continue;
        if (auto k = lineKey(t))
            keyIndex_.push_back(
                {hashKey(current, *k), static_cast<std::uint32_t>(header), static_cast<std::uint32_t>(i)});
    }
    std::sort(keyIndex_.begin(), keyIndex_.end(), byHashThenLine);
}

std::string IniDocument::serialize() const {
    size_t size = bom_ ? 3 : 0;
    for (const Line& line : lines_)
        size += line.size + eol_.size();
    std::string out;
    out.reserve(size);
    if (bom_) out = "\xEF\xBB\xBF";
    for (size_t i = 0; i < lines_.size(); ++i) {
        out += lineText(i);
        out += eol_;
    }
    return out;
}

size_t IniDocument::findSection(std::string_view section) const {
    section = trimView(section);
    const std::uint64_t h = hashName(section);
    auto it = std::lower_bound(sectionIndex_.begin(), sectionIndex_.end(), h,
                               [](const IndexEntry& e, std::uint64_t v) { return e.hash < v; });
    // Equal hashes are in file order: the first that matches is the first section of the name.
    for (; it != sectionIndex_.end() && it->hash == h; ++it)
        if (sameName(sectionName(trimView(lineText(it->line))), section)) return it->line;
    return std::string::npos;
}

size_t IniDocument::findKey(std::string_view section, std::string_view key) const {
    section = trimView(section);
    key = trimView(key);
    const std::uint64_t h = hashKey(section, key);
    auto it = std::lower_bound(keyIndex_.begin(), keyIndex_.end(), h,
                               [](const IndexEntry& e, std::uint64_t v) { return e.hash < v; });
    for (; it != keyIndex_.end() && it->hash == h; ++it) {
        if (sameName(*lineKey(lineText(it->line)), key) &&
            sameName(sectionName(trimView(lineText(it->header))), section))
            return it->line;
    }
    return std::string::npos;
}

size_t IniDocument::sectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && !isSectionLine(trimView(lineText(i))))
        ++i;
    return i;
}

std::optional<std::string> IniDocument::get(std::string_view section, std::string_view key) const {
    size_t at = findKey(section, key);
    if (at == std::string::npos) return std::nullopt;
    std::string_view line = lineText(at);
    return std::string(trimView(line.substr(line.find('=') + 1)));
}

std::string IniDocument::value(std::string_view section, std::string_view key,
                               std::string_view defaultText) const {
    std::string_view text = defaultText;
    size_t at = findKey(section, key);
    if (at != std::string::npos) {
        std::string_view line = lineText(at);
        text = trimView(line.substr(line.find('=') + 1));
    }
    return std::string(text.substr(0, kIniValueMax));
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    std::string entry = oneLine(trimView(key)) + "=" + oneLine(value);
    // The new line reads back as the key written (no '=', line break or comment mark in the key): the
    // index takes it in place; any other is indexed as a reading of the whole text would.
    const auto entryKey = lineKey(entry);
    const bool readsBack = entryKey && *entryKey == trimView(key);
    size_t header = findSection(section);
    if (header == std::string::npos) {
        lines_.push_back(addText("[" + oneLine(section) + "]"));
        lines_.push_back(addText(entry));
        const std::string_view head = trimView(lineText(lines_.size() - 2));
        if (!readsBack || !isSectionLine(head) || !sameName(sectionName(head), trimView(section))) {
            reindex();
            return;
        }
        // The first section of its name (none was found), at the end: nothing before it moves.
        const auto at = static_cast<std::uint32_t>(lines_.size() - 2);
        addToIndex(sectionIndex_, {hashName(trimView(section)), at, at});
        addToIndex(keyIndex_, {hashKey(trimView(section), trimView(key)), at, at + 1});
        return;
    }
    size_t at = findKey(section, key);
    if (at != std::string::npos) {
        lines_[at] = addText(entry);
        return;
    }
    // Append after the section's last non-blank line.
    size_t end = sectionEnd(header);
    size_t insertAt = end;
    while (insertAt > header + 1 && trimView(lineText(insertAt - 1)).empty())
        --insertAt;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), addText(entry));
    if (!readsBack) {
        reindex();
        return;
    }
    // Every line from the new one on moves down by one; the order of the index stays as it was.
    const auto from = static_cast<std::uint32_t>(insertAt);
    for (IndexEntry& e : sectionIndex_)
        if (e.line >= from) e.header = ++e.line;
    for (IndexEntry& e : keyIndex_) {
        if (e.line >= from) ++e.line;
        if (e.header >= from) ++e.header;
    }
    addToIndex(keyIndex_,
               {hashKey(trimView(section), trimView(key)), static_cast<std::uint32_t>(header), from});
}

std::vector<std::string> IniDocument::sections() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view t = trimView(lineText(i));
        if (isSectionLine(t)) out.push_back(std::string(sectionName(t)));
    }
    return out;
}

std::vector<std::string> IniDocument::keys(std::string_view section) const {
    std::vector<std::string> out;
    size_t header = findSection(section);
    if (header == std::string::npos) return out;
    for (size_t i = header + 1, end = sectionEnd(header); i < end; ++i)
        if (auto k = lineKey(lineText(i))) out.push_back(std::string(*k));
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

IniDocument readIniFile(const std::string& path) {
    bool exists = false;
    return IniDocument::parseOwned(readWholeFile(path, exists));
}

std::string readProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view defaultText) {
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
            cache.doc = IniDocument::parseOwned(std::move(bytes));
        }
        if (cache.valid) return cache.doc.value(section, key, defaultText);
    }
    return std::string(defaultText.substr(0, kIniValueMax));
}

bool writeProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    return writeProfileStrings(file, section, {{std::string(key), std::string(value)}});
}

bool writeProfileStrings(const std::string& file, std::string_view section, const IniKeyValues& keyValues) {
    // A folder, FIFO or device under the file's name was put there by someone: it is not replaced.
    if (!notRegularFileReason(file).empty()) return false;
    std::lock_guard<std::mutex> lock(profileWriteMutex());
    {
        ParsedFileCache& cache = parsedFileCache();
        std::lock_guard<std::mutex> cacheLock(cache.mutex);
        cache.valid = false;
    }
    IniDocument doc = readIniFile(file);
    for (const auto& [key, value] : keyValues)
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

CIni::Load::Load(CIni& ini) : ini_(ini), outer_(!ini.loaded_) {
    if (!outer_) return;
    ini_.loaded_ = readIniFile(ini_.file_);
    ini_.loadedFile_ = ini_.file_;
}

CIni::Load::~Load() {
    if (outer_) ini_.loaded_.reset();
}

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
    if (loaded_ && loadedFile_ == file_)
        value_ = loaded_->value(section_, key, defaultText);
    else
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
    if (!writeProfileString(file_, section_, key, text)) return false;
    if (loaded_ && loadedFile_ == file_) loaded_->set(section_, key, text);
    return true;
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

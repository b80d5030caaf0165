#pragma once
// INI access with private-profile semantics: sections and keys matched without regard to case, values
// trimmed and cut to 255 characters, a missing file, section or key giving the caller's default. A write
// replaces the key in place or appends it to its section (creating section and file) and keeps every other
// line of the file; the new file replaces the old one whole, so a crash never leaves it half written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quelt {

inline constexpr const char* kApplicationName = "QueltLogger";
inline constexpr size_t kIniValueMax = 255;

// The program directory (the home) with its trailing separator. Set once at start, before any thread.
const std::string& programDirectory();
void setProgramDirectory(const std::string& dir);

// The text of an INI file held in memory, line by line.
class IniDocument {
  public:
    static IniDocument parse(std::string_view bytes);
    // The same over bytes it takes over instead of copying (a file just read).
    static IniDocument parseOwned(std::string bytes);
    std::string serialize() const;

    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    void set(std::string_view section, std::string_view key, std::string_view value);
    // Section names in file order (as written, trimmed).
    std::vector<std::string> sections() const;
    // Keys of a section in file order.
    std::vector<std::string> keys(std::string_view section) const;
    // The value as a private-profile read gives it: the default for a missing key, cut to kIniValueMax.
    std::string value(std::string_view section, std::string_view key, std::string_view defaultText) const;

  private:
    // One indexed line: the hash of its name without regard to case, its section's header line and
    // the line itself (the same for a section).
    struct IndexEntry {
        std::uint64_t hash;
        std::uint32_t header;
        std::uint32_t line;
    };

    // Index of the section's header line, or npos.
    size_t findSection(std::string_view section) const;
    // Index of the key's line in the section, or npos.
    size_t findKey(std::string_view section, std::string_view key) const;
    // One past the last line that belongs to the section starting at `header`.
    size_t sectionEnd(size_t header) const;
    // Indexes the first occurrence of each section and of each key inside it, so that a lookup costs
    // no pass over the lines: a header or settings load asks for hundreds of keys of one document.
    // The index holds line numbers sorted by hash, no names: building it allocates two arrays.
    void reindex();
    static bool byHashThenLine(const IndexEntry& a, const IndexEntry& b);
    static void addToIndex(std::vector<IndexEntry>& index, const IndexEntry& entry);

    // A line is where its text lies in text_: a parse keeps the file's bytes in one block, and a
    // written line is added at its end.
    struct Line {
        size_t offset;
        size_t size;
    };
    std::string_view lineText(size_t i) const { return {text_.data() + lines_[i].offset, lines_[i].size}; }
    Line addText(std::string_view text);

    std::string text_;
    std::vector<Line> lines_;
    std::string eol_ = "\r\n";
    bool bom_ = false;
    std::vector<IndexEntry> sectionIndex_;  // section header lines, by hash of the name, then line
    std::vector<IndexEntry> keyIndex_;      // key lines, by hash of section and key, then line
};

// The parsed text of a file; a missing file, or one that is not a regular file, reads as an empty one
// (every key gives its default).
IniDocument readIniFile(const std::string& path);

// Private-profile reads and writes of one file, safe to call from several threads.
std::string readProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view defaultText);
bool writeProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);
// Several keys of one section in one replacement of the whole file: all of them are written or none,
// in the order given (the file comes out as that many single writes would leave it).
using IniKeyValues = std::vector<std::pair<std::string, std::string>>;
bool writeProfileStrings(const std::string& file, std::string_view section, const IniKeyValues& keyValues);

class CIni {
  public:
    // The default file: the application's name with ".ini", in the program directory (flag 1) or the
    // current directory (flag 0).
    explicit CIni(int resolveFlag = 1);
    CIni(const std::string& fileName, int resolveFlag);
    CIni(const std::string& fileName, const std::string& section, int resolveFlag);
    virtual ~CIni() = default;

    // While a Load lives, the reads of this object are answered from one read and parse of its file
    // made when the Load began, instead of a check of the file per key: a header, settings or sonde
    // load asks for a hundred keys in a row. Writes through this object go to the file and to the
    // loaded text alike. Every Load reads the file afresh, so a file edited between two loads is seen
    // whole. A Load inside another of the same object is the outer one.
    class Load {
      public:
        explicit Load(CIni& ini);
        ~Load();
        Load(const Load&) = delete;
        Load& operator=(const Load&) = delete;

      private:
        CIni& ini_;
        bool outer_;
    };

    void SetFile(const std::string& fileName);
    void SetSection(const std::string& section) { section_ = section; }
    const std::string& File() const { return file_; }
    const std::string& Section() const { return section_; }

    // A null section keeps the current one; a given one becomes current.
    std::string GetString(const char* key, const std::string& defaultText, const char* section = nullptr);
    int GetInt(const char* key, int defaultValue, const char* section = nullptr);
    bool GetBool(const char* key, int defaultValue, const char* section = nullptr);
    bool GetYesNo(const char* key, bool defaultValue, const char* section = nullptr);
    float GetFloat(const char* key, float defaultValue, const char* section = nullptr);
    double GetDouble(const char* key, double defaultValue, const char* section = nullptr);

    bool WriteString(const char* key, const std::string& text, const char* section = nullptr);
    bool WriteInt(const char* key, int value, const char* section = nullptr);
    bool WriteFloat(const char* key, float value, const char* section = nullptr);
    bool WriteDouble(const char* key, double value, const char* section = nullptr);

    // The file-name rule: a rooted name (or one with a drive letter) is kept; a name that exists from the
    // current directory is kept; any other is taken inside the base folder (the program directory with
    // flag 1, the current directory with flag 0). Names match files without regard to case.
    static std::string ResolveFileName(const std::string& fileName, int resolveFlag);

  protected:
    void useSection(const char* section) {
        if (section) section_ = section;
    }

    int resolveFlag_;
    std::optional<IniDocument> loaded_;  // the file's text while a Load lives
    std::string loadedFile_;             // the file it was read from
    std::string value_;                  // the text of the last value read
    std::string file_;
    std::string section_;
};

// The "comma or point" reading of a real: converted once with every ',' made '.', once with every '.'
// made ','; the first when negative, else the second when negative, else the larger.
double parseDecimalCommaOrPoint(std::string_view text);

}  // namespace quelt

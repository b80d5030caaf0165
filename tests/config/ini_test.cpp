#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "config/Ini.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

struct TempFolder {
    fs::path dir;
    TempFolder() {
        dir = fs::temp_directory_path() / ("quelt-ini-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~TempFolder() { fs::remove_all(dir); }
    std::string file(const std::string& name) const { return (dir / name).string(); }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(IniDocument, ReadsWithoutRegardToCaseAndTrimsValues) {
    auto doc = IniDocument::parse(
        "; comment\r\n[QueltLogger]\r\n  UpGain =  25  \r\nname=a=b\r\n[Other]\r\nUpGain=7\r\n");
    EXPECT_EQ(doc.get("queltlogger", "UPGAIN"), "25");
    EXPECT_EQ(doc.get(" QUELTLOGGER ", "upgain"), "25");
    EXPECT_EQ(doc.get("QueltLogger", "name"), "a=b");
    EXPECT_EQ(doc.get("other", "UpGain"), "7");
    EXPECT_FALSE(doc.get("QueltLogger", "comment").has_value());
    EXPECT_FALSE(doc.get("Missing", "UpGain").has_value());
}

TEST(IniDocument, WriteReplacesInPlaceAppendsToSectionAndKeepsEveryOtherLine) {
    const std::string original =
        "; settings\r\n[QueltLogger]\r\nUpGain=25\r\n; keep "
        "me\r\nUnknown=x\r\n\r\n[LASGenerator]\r\nExportRaw=0\r\n";
    auto doc = IniDocument::parse(original);
    doc.set("queltlogger", "upgain", "30");
    doc.set("QueltLogger", "MotorPeriod", "87");
    doc.set("LASGenerator", "ExportGamm", "1");
    doc.set("New", "Key", "v");
    EXPECT_EQ(doc.serialize(),
              "; settings\r\n[QueltLogger]\r\nupgain=30\r\n; keep me\r\nUnknown=x\r\nMotorPeriod=87\r\n\r\n"
              "[LASGenerator]\r\nExportRaw=0\r\nExportGamm=1\r\n[New]\r\nKey=v\r\n");
}

TEST(IniDocument, CrlfAndLfFilesReadTheSameAndKeepTheirLineEnds) {
    auto crlf = IniDocument::parse("[S]\r\nK=v\r\n");
    auto lf = IniDocument::parse("[S]\nK=v\n");
    EXPECT_EQ(crlf.get("S", "K"), lf.get("S", "K"));
    lf.set("S", "L", "w");
    EXPECT_EQ(lf.serialize(), "[S]\nK=v\nL=w\n");
}

TEST(IniDocument, AByteOrderMarkIsKeptSoThatASecondOneNeverBecomesTheFirst) {
    // Found by the fuzzer: the mark was dropped on writing, and a second mark after it turned a line
    // that is no section into the first section of the file written.
    const std::string text = "\xEF\xBB\xBF\xEF\xBB\xBF[QUELTLOGGER\nK=1\n";
    IniDocument doc = IniDocument::parse(text);
    EXPECT_EQ(doc.serialize(), text);
    doc.set("QueltLogger", "UpGain", "25");
    EXPECT_EQ(IniDocument::parse(doc.serialize()).get("QueltLogger", "UpGain"), "25");
}

TEST(IniDocument, LineBreaksInAValueCannotAddKeys) {
    IniDocument doc;
    doc.set("S", "K", "a\r\n[Evil]\nX=1");
    auto again = IniDocument::parse(doc.serialize());
    EXPECT_FALSE(again.get("Evil", "X").has_value());
    EXPECT_EQ(again.sections().size(), 1u);
}

TEST(CIni, MissingFileSectionOrKeyGivesTheDefaultAndValuesAreCutAt255) {
    TempFolder tmp;
    CIni ini(tmp.file("absent.ini"), "S", 0);
    EXPECT_EQ(ini.GetString("K", "dflt"), "dflt");
    EXPECT_EQ(ini.GetInt("K", -4), -4);
    EXPECT_DOUBLE_EQ(ini.GetDouble("K", 2.5), 2.5);
    EXPECT_FALSE(fs::exists(tmp.file("absent.ini")));

    writeFile(tmp.file("long.ini"), "[S]\nK=" + std::string(300, 'x') + "\n");
    CIni longIni(tmp.file("long.ini"), "S", 0);
    EXPECT_EQ(longIni.GetString("K", "").size(), 255u);
}

TEST(CIni, ConversionsOfEachType) {
    TempFolder tmp;
    writeFile(tmp.file("t.ini"),
              "[S]\nint=12abc\nneg= -7\nnodigits=abc\nyes=YES\nno=No\none=1\ntwo=2\n"
              "comma=-1,5\npoint=-1.5\npcomma=2,75\nfloat=3.25x\n");
    CIni ini(tmp.file("t.ini"), "S", 0);
    EXPECT_EQ(ini.GetInt("int", 0), 12);
    EXPECT_EQ(ini.GetInt("neg", 0), -7);
    EXPECT_EQ(ini.GetInt("nodigits", 9), 0);
    EXPECT_TRUE(ini.GetBool("neg", 0));
    EXPECT_TRUE(ini.GetYesNo("yes", false));
    EXPECT_FALSE(ini.GetYesNo("no", true));
    EXPECT_TRUE(ini.GetYesNo("one", false));
    EXPECT_FALSE(ini.GetYesNo("two", true));
    EXPECT_DOUBLE_EQ(ini.GetDouble("comma", 0), -1.5);
    EXPECT_DOUBLE_EQ(ini.GetDouble("point", 0), -1.5);
    EXPECT_DOUBLE_EQ(ini.GetDouble("pcomma", 0), 2.75);
    EXPECT_FLOAT_EQ(ini.GetFloat("float", 0), 3.25f);
}

TEST(CIni, SectionGivenToAnOperationStaysCurrent) {
    TempFolder tmp;
    CIni ini(tmp.file("s.ini"), "", 0);
    EXPECT_EQ(ini.Section(), "QueltLogger");
    ini.WriteInt("A", 1, "Other");
    EXPECT_EQ(ini.Section(), "Other");
    ini.WriteDouble("B", 0.5);
    ini.WriteFloat("C", 0.1f);
    EXPECT_EQ(readFile(tmp.file("s.ini")), "[Other]\r\nA=1\r\nB=0.5\r\nC=0.1\r\n");
}

TEST(CIni, FileNamesResolveAgainstTheProgramFolderWithoutRegardToCase) {
    TempFolder tmp;
    setProgramDirectory(tmp.dir.string());
    writeFile(tmp.file("ZORAK.CFG"), "[QueltLogger]\nUpGain=33\n");
    CIni ini("Zorak.cfg", 1);
    EXPECT_EQ(ini.File(), tmp.file("ZORAK.CFG"));
    EXPECT_EQ(ini.GetInt("UpGain", 0), 33);
    CIni windowsStyle("c:\\temp\\x.ini", 1);
    EXPECT_EQ(windowsStyle.File(), "c:/temp/x.ini");
    EXPECT_EQ(windowsStyle.GetInt("UpGain", 5), 5);
}

TEST(CIni, WritesReplaceTheFileWholeAndLeaveNoTemporaryBehind) {
    TempFolder tmp;
    CIni ini(tmp.file("w.ini"), "S", 0);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(ini.WriteInt("K", i));
    EXPECT_EQ(ini.GetInt("K", -1), 19);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(tmp.dir))
        ++entries;
    EXPECT_EQ(entries, 1);
    // A folder that cannot be written is reported by the write, and the old file stays.
    fs::permissions(tmp.dir, fs::perms::owner_read | fs::perms::owner_exec);
    bool wrote = ini.WriteInt("K", 99);
    fs::permissions(tmp.dir, fs::perms::owner_all);
    if (::geteuid() != 0) {
        EXPECT_FALSE(wrote);
        EXPECT_EQ(ini.GetInt("K", -1), 19);
    }
}

TEST(CIni, AFileChangedByAnotherProgramIsReadAgain) {
    TempFolder tmp;
    std::string f = tmp.file("c.ini");
    writeFile(f, "[S]\nK=1\n");
    CIni ini(f, "S", 0);
    EXPECT_EQ(ini.GetInt("K", 0), 1);
    for (int i = 2; i < 6; ++i) {  // rewritten in place, same size, in quick succession
        writeFile(f, "[S]\nK=" + std::to_string(i) + "\n");
        EXPECT_EQ(ini.GetInt("K", 0), i);
    }
    fs::remove(f);
    EXPECT_EQ(ini.GetInt("K", -1), -1);
}

TEST(IniDocument, EveryLookupFindsTheFirstSectionAndKeyOfItsName) {
    // Many names, some that differ only in case or in where section and key part, duplicate sections
    // (only the first is read) and duplicate keys (the first wins).
    std::string text;
    for (int s = 0; s < 12; ++s) {
        text += "[Sec" + std::to_string(s) + "]\n";
        for (int k = 0; k < 40; ++k)
            text += "Key" + std::to_string(k) + "=" + std::to_string(s * 100 + k) + "\n";
    }
    text += "[AB]\nC=ab-c\nC=second\n[A]\nBC=a-bc\n[sec3]\nKey1=later section\n[ Spaced ]\n  Key  = v \n";
    const IniDocument doc = IniDocument::parse(text);
    for (int s = 0; s < 12; ++s)
        for (int k = 0; k < 40; ++k)
            ASSERT_EQ(doc.get("SEC" + std::to_string(s), "key" + std::to_string(k)),
                      std::to_string(s * 100 + k));
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    for (const Case& c :
         {Case{"ab", "c", "ab-c"}, Case{"A", "bc", "a-bc"}, Case{"A", "BC ", "a-bc"},
          Case{"AB", "", std::nullopt}, Case{"Sec3", "Key1", "301"}, Case{"spaced", "KEY", "v"},
          Case{"Sec0", "Key40", std::nullopt}, Case{"Sec12", "Key0", std::nullopt}})
        EXPECT_EQ(doc.get(c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST(CIni, ALoadReadsTheFileOnceAndTheNextLoadReadsItAgain) {
    TempFolder tmp;
    std::string f = tmp.file("l.ini");
    writeFile(f, "[S]\nK=1\nL=1\n");
    CIni ini(f, "S", 0);
    {
        CIni::Load load(ini);
        EXPECT_EQ(ini.GetInt("K", 0), 1);
        writeFile(f, "[S]\nK=2\nL=2\n");  // changed by another program during the load
        EXPECT_EQ(ini.GetInt("K", 0), 1);
        ASSERT_TRUE(ini.WriteInt("M", 5));  // a write of the load is read back by it and is in the file
        EXPECT_EQ(ini.GetInt("M", 0), 5);
        EXPECT_EQ(ini.GetInt("L", 0), 1);
    }
    EXPECT_EQ(readFile(f), "[S]\nK=2\nL=2\nM=5\n");
    CIni::Load again(ini);
    EXPECT_EQ(ini.GetInt("K", 0), 2);
    EXPECT_EQ(ini.GetInt("M", 0), 5);
}

TEST(CIni, SeveralKeysInOneWriteGiveTheBytesOfSingleWrites) {
    TempFolder tmp;
    const std::string start = "; sondes\r\n[Sonde1]\r\nSerialNumber=0001\r\n\r\n[Sonde2]\r\nGammaCoef=1\r\n";
    const IniKeyValues keys = {{"GammaCoef", "2.5"}, {"SerialNumber", "0846"}, {"HighSpeedCOM", "yes"}};
    std::string one = tmp.file("one.ini"), many = tmp.file("many.ini");
    writeFile(one, start);
    writeFile(many, start);
    for (const auto& [key, value] : keys)
        ASSERT_TRUE(writeProfileString(one, "Sonde1", key, value));
    ASSERT_TRUE(writeProfileStrings(many, "Sonde1", keys));
    EXPECT_EQ(readFile(many), readFile(one));
    EXPECT_EQ(
        readFile(many),
        "; sondes\r\n[Sonde1]\r\nSerialNumber=0846\r\nGammaCoef=2.5\r\nHighSpeedCOM=yes\r\n\r\n[Sonde2]\r\n"
        "GammaCoef=1\r\n");
}

TEST(IniDocument, WritesLeaveADocumentThatReadsAsItsOwnTextReadsAgain) {
    // Keys and sections that read back as written, and those that do not (a '=' or a comment mark in
    // the key, a ']' in the section name, a name differing only in case or spaces).
    const std::vector<std::pair<std::string, std::string>> writes = {
        {"S", "New"}, {"s", "NEW"}, {"S", "a=b"},   {"S", ";c"},   {"S", "[x"}, {"T", "K"},
        {"a]b", "K"}, {"A", "K2"},  {" S ", " K "}, {"S", "Late"}, {"U", ""},   {"T", "K3"},
        {"Dup", "K"}, {"S", "K"},   {"X\ny", "k"},  {"S", "k\r"},  {"V", "Q"},  {"S", "Tail"},
    };
    IniDocument doc = IniDocument::parse("; top\n[S]\nK=1\n\n[T]\nJ=2\n[Dup]\nZ=1\n[dup]\nK=shadowed\n");
    for (size_t i = 0; i < writes.size(); ++i) {
        doc.set(writes[i].first, writes[i].second, "v" + std::to_string(i));
        const IniDocument again = IniDocument::parse(doc.serialize());
        for (const auto& [section, key] : writes) {
            for (const std::string& probe : {key, std::string("K"), std::string("J"), std::string("b")})
                ASSERT_EQ(doc.get(section, probe), again.get(section, probe))
                    << "after write " << i << " of " << section << "/" << probe;
        }
    }
}

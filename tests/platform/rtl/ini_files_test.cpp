#include "platform/rtl/ini_files.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <unistd.h>

#include "platform/rtl/streams.h"

namespace vgl {
namespace {

class IniFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = std::filesystem::temp_directory_path() / "vgl_ini_XXXXXX";
        FDir = mkdtemp(pattern.data());
        FPath = FDir / "settings.ini";
        FName = Utf8ToString(FPath.string());
    }
    void TearDown() override { std::filesystem::remove_all(FDir); }

    void WriteFile(const std::string& bytes) { std::ofstream(FPath, std::ios::binary) << bytes; }
    std::string ReadFile() const {
        std::ifstream in(FPath, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::vector<String> Lines(const TStrings& list) {
        std::vector<String> result;
        for (int i = 0; i < list.Count(); ++i)
            result.push_back(list[i]);
        return result;
    }

    std::filesystem::path FDir, FPath;
    String FName;
};

using L = std::vector<String>;

TEST_F(IniFiles, ParsesTheFileLeniently) {
    WriteFile("stray=ignored\r\n"
              "; comment\n"
              "[General]\n"
              "  Dependencies =  a,b  \n"
              "Port=0x1F\n"
              "Flag=yes\n"
              "  [ Other ]  \r\n"
              "key=1\n"
              "[general]\n"
              "Late=2\n");
    TMemIniFile ini(FName);
    EXPECT_EQ(ini.ReadString(u"GENERAL", u"dependencies", u"-"), u"a,b");
    EXPECT_EQ(ini.ReadString(u"General", u"stray", u"-"), u"-");
    EXPECT_EQ(ini.ReadString(u"General", u"Late", u"-"), u"2"); // a repeated section is merged
    EXPECT_EQ(ini.ReadInteger(u"General", u"Port", 0), 31);
    EXPECT_EQ(ini.ReadInteger(u"General", u"Flag", 7), 7);
    EXPECT_TRUE(ini.ReadBool(u"Other", u"key", false));
    EXPECT_TRUE(ini.ReadBool(u"General", u"Flag", true)); // not a number: the default

    TStringList list;
    ini.ReadSections(list);
    EXPECT_EQ(Lines(list), (L{u"General", u"Other"}));
    ini.ReadSection(u"general", list);
    EXPECT_EQ(Lines(list), (L{u"Dependencies", u"Port", u"Flag", u"Late"}));
    ini.ReadSectionValues(u"Other", list);
    EXPECT_EQ(Lines(list), (L{u"key=1"}));
    EXPECT_TRUE(ini.SectionExists(u"other"));
    EXPECT_FALSE(ini.SectionExists(u"nothing"));
    EXPECT_TRUE(ini.ValueExists(u"General", u"PORT"));
    EXPECT_FALSE(ini.ValueExists(u"General", u"stray"));
}

TEST_F(IniFiles, MissingFileReadsAsEmpty) {
    TMemIniFile mem(FName);
    TIniFile file(FName);
    for (TCustomIniFile* ini : std::initializer_list<TCustomIniFile*>{&mem, &file}) {
        EXPECT_EQ(ini->ReadString(u"General", u"Dependencies", u"none"), u"none");
        TStringList sections;
        ini->ReadSections(sections);
        EXPECT_EQ(sections.Count(), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(FPath));
}

TEST_F(IniFiles, RoundTripWritesCrLfAndKeepsValues) {
    {
        TMemIniFile ini(FName);
        ini.WriteString(u"Main", u"Name", u"Grüße");
        ini.WriteInteger(u"Main", u"Count", -5);
        ini.WriteBool(u"Main", u"On", true);
        ini.WriteFloat(u"Main", u"Scale", 1.5);
        ini.WriteString(u"Second", u"x", u"1");
        ini.WriteString(u"main", u"NAME", u"Hallo"); // same key, other case: the line is replaced
        const std::uint8_t bytes[] = {0x00, 0xAB, 0xFF};
        TBytesStream blob(bytes);
        ini.WriteBinaryStream(u"Second", u"Blob", blob);
        EXPECT_EQ(blob.GetPosition(), 0);
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadFile(), "[Main]\r\nNAME=Hallo\r\nCount=-5\r\nOn=1\r\nScale=1.5\r\n\r\n"
                          "[Second]\r\nx=1\r\nBlob=00ABFF\r\n\r\n");
    TMemIniFile ini(FName);
    EXPECT_EQ(ini.ReadInteger(u"Main", u"Count", 0), -5);
    EXPECT_TRUE(ini.ReadBool(u"Main", u"On", false));
    EXPECT_EQ(ini.ReadFloat(u"Main", u"Scale", 0), 1.5);
    EXPECT_EQ(ini.ReadFloat(u"Main", u"Name", 2.5), 2.5);
    TMemoryStream blob;
    EXPECT_EQ(ini.ReadBinaryStream(u"Second", u"Blob", blob), 3);
    EXPECT_EQ(blob.Bytes()[1], 0xAB);

    ini.DeleteKey(u"MAIN", u"count");
    ini.EraseSection(u"second");
    TStringList lines;
    ini.GetStrings(lines);
    EXPECT_EQ(Lines(lines), (L{u"[Main]", u"NAME=Hallo", u"On=1", u"Scale=1.5", u""}));
    ini.Clear();
    ini.GetStrings(lines);
    EXPECT_EQ(lines.Count(), 0);
}

TEST_F(IniFiles, NonAsciiTextSurvivesTheFile) {
    {
        TMemIniFile ini(FName);
        ini.WriteString(u"Ä", u"ключ", u"€ 漢字");
        ini.UpdateFile();
    }
    EXPECT_EQ(TMemIniFile(FName).ReadString(u"ä", u"КЛЮЧ", u""), u"€ 漢字");
    WriteFile("[A]\r\nk=Gr\xFC\xDF\r\n"); // an ANSI file from elsewhere
    EXPECT_EQ(TMemIniFile(FName).ReadString(u"A", u"k", u""), u"Grüß");
}

TEST_F(IniFiles, FileBackedIniWritesThrough) {
    TIniFile ini(FName);
    ini.WriteString(u"S", u"a", u"1");
    ini.WriteString(u"S", u"b", u"2");
    EXPECT_EQ(TMemIniFile(FName).ReadString(u"s", u"B", u""), u"2");
    ini.DeleteKey(u"S", u"a");
    EXPECT_FALSE(TMemIniFile(FName).ValueExists(u"S", u"a"));
    ini.EraseSection(u"S");
    EXPECT_FALSE(ini.SectionExists(u"S"));
    EXPECT_EQ(ReadFile(), "");
}

TEST_F(IniFiles, RefusesNamesAndValuesThatWouldNotReadBack) {
    TMemIniFile ini(FName);
    struct Case {
        String section, key, value;
    } cases[] = {
        {u"A\r\n[B]", u"k", u"v"},
        {u"A", u"k=x", u"v"},
        {u"A", u"k\n", u"v"},
        {u"A", u"k", u"line1\r\nline2=x"},
    };
    for (const Case& c : cases)
        EXPECT_THROW(ini.WriteString(c.section, c.key, c.value), EIniFileException) << StringToUtf8(c.key);
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Count(), 0);
}

TEST_F(IniFiles, UnwritableFileRaises) {
    TMemIniFile ini(Utf8ToString((FDir / "missing" / "x.ini").string()));
    ini.WriteString(u"A", u"b", u"c");
    EXPECT_THROW(ini.UpdateFile(), EFCreateError);
}

} // namespace
} // namespace vgl

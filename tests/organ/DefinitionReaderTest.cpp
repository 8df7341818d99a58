#include "organ/DefinitionReader.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "support/TempDir.h"

namespace tessaline {
namespace {

std::string Lookup(const std::string& text, const char* section, const char* key,
                   size_t bufferSize = 512) {
    DefinitionFile file;
    file.ParseText(text);
    std::string buffer(bufferSize, 'x');
    size_t n = file.Read(section, key, buffer.data(), bufferSize);
    EXPECT_EQ(n, std::string(buffer.c_str()).size());
    return buffer.c_str();
}

// Each pair: a file's text and the value of S/Key in it.
void ExpectValues(std::initializer_list<std::pair<const char*, const char*>> cases) {
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Lookup(text, "S", "Key"), value);
    }
}

TEST(DefinitionReader, ValueQuotesAndWhiteSpace) {
    ExpectValues({{"[S]\nKey=  \"abc\"\n", "  \"abc"},
                  {"[S]\nKey=\"abc\"\n", "abc"},
                  {"[S]\nKey=\"\"\n", ""},
                  {"[S]\nKey=\"\"a\"b\"\"\n", "a\"b"},
                  {"[S]\nKey=a=b\n", "a=b"},
                  {"[S]\nKey=3 ; three\n", "3 ; three"},
                  {"[S]\r\n  Key=v  \r\n", "v"}});
}

TEST(DefinitionReader, KeyAndSectionMatching) {
    ExpectValues({{"[S]\nKey = 5\n", ""},
                  {"[S]\nkey=5\n", ""},
                  {"[s]\nKey=5\n", ""},
                  {"[S] ; x\nKey=5\n", ""},
                  {"Key=0\n[S]\nKey=1\nKey=2\n", "1"},
                  {"[S]\nA=1\n[S]\nKey=2\n", ""},
                  {"[S]\nA=1\n[Other\nKey=2\n", ""},
                  {"[S]\n;Key=1\nKey=2\n", "2"},
                  {"[T]\nKey=1\n[S]\n\n   \nKey=2\n", "2"}});
}

TEST(DefinitionReader, BufferTruncation) {
    EXPECT_EQ(Lookup("[S]\nKey=123456789\n", "S", "Key", 8), "1234567");
    EXPECT_EQ(Lookup("[S]\nKey=\"123456789\"\n", "S", "Key", 4), "123");
    EXPECT_EQ(Lookup("[S]\nKey=9\n", "S", "Key", 1), "");
}

TEST(DefinitionReader, LongLinesAreReadInPiecesOf511) {
    // 511 characters fill one read; what follows is a line of its own.
    std::string head = "Key=" + std::string(507, 'a');  // 511 characters
    EXPECT_EQ(Lookup("[S]\n" + head + "Other=1\n", "S", "Other"), "1");
    EXPECT_EQ(Lookup("[S]\n" + head + "Other=1\n", "S", "Key"), std::string(507, 'a'));
    // 510 characters and the line end fit one read.
    std::string shorter = "Key=" + std::string(506, 'a');
    EXPECT_EQ(Lookup("[S]\n" + shorter + "\nOther=1\n", "S", "Key"), std::string(506, 'a'));
    // A continuation piece that looks like a header ends the section.
    EXPECT_EQ(Lookup("[S]\n" + head + "[X]\nLate=1\n", "S", "Late"), "");
}

TEST(DefinitionReader, FileLookupFollowsChangesOnDisk) {
    test::TempDir dir;
    std::string path = dir.Write("a.organ", "[Organ]\nChurchName=First\n");
    char buffer[128];
    EXPECT_EQ(ReadDefinitionValue("Organ", "ChurchName", "", buffer, sizeof buffer, path.c_str()), 5u);
    EXPECT_STREQ(buffer, "First");
    dir.Write("a.organ", "[Organ]\nChurchName=Second one\n");
    EXPECT_EQ(ReadDefinitionValue("Organ", "ChurchName", "", buffer, sizeof buffer, path.c_str()), 10u);
    EXPECT_STREQ(buffer, "Second one");
    EXPECT_EQ(ReadDefinitionValue("Organ", "Missing", "dflt", buffer, sizeof buffer, path.c_str()), 0u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(ReadDefinitionValue("Organ", "ChurchName", "", buffer, sizeof buffer,
                                  dir.File("absent.organ").c_str()),
              0u);
    EXPECT_STREQ(buffer, "");
}

TEST(ValueConventions, Flags) {
    bool v = false;
    EXPECT_TRUE(ParseFlag("yes", v));
    EXPECT_TRUE(v);
    EXPECT_TRUE(ParseFlag("No thanks", v));
    EXPECT_FALSE(v);
    EXPECT_FALSE(ParseFlag(" Y", v));
    EXPECT_FALSE(ParseFlag("", v));
}

TEST(ValueConventions, Numbers) {
    EXPECT_EQ(ParseWholeNumber("3 ; three"), 3);
    EXPECT_EQ(ParseWholeNumber("  +12abc"), 12);
    EXPECT_EQ(ParseWholeNumber("-1"), -1);
    EXPECT_EQ(static_cast<uint32_t>(ParseWholeNumber("-1")), 0xFFFFFFFFu);
    EXPECT_EQ(ParseWholeNumber("abc"), 0);
    EXPECT_EQ(ParseWholeNumber("99999999999999999999"), INT32_MAX);
    EXPECT_DOUBLE_EQ(ParseRealNumber("1.21"), 1.21);
    EXPECT_DOUBLE_EQ(ParseRealNumber(" -0"), 0.0);
    EXPECT_DOUBLE_EQ(ParseRealNumber("1000.1x"), 1000.1);
    EXPECT_DOUBLE_EQ(ParseRealNumber("2e2"), 200.0);
    EXPECT_DOUBLE_EQ(ParseRealNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ParseRealNumber("inf"), 0.0);
    EXPECT_DOUBLE_EQ(ParseRealNumber("x1"), 0.0);
}

TEST(ValueConventions, ColoursAndNames) {
    Colour c{1, 2, 3};
    EXPECT_TRUE(ParseColourName("dark grey", c));
    EXPECT_EQ(c, (Colour{128, 128, 128}));
    EXPECT_FALSE(ParseColourName("PURPLE", c));
    EXPECT_EQ(c, (Colour{0, 0, 0}));
    EXPECT_TRUE(EqualsIgnoreCase("Mono", "MONO"));
    EXPECT_FALSE(EqualsIgnoreCase("Mono", "Mon"));
    EXPECT_EQ(NumberedName("Stop", 12), "Stop012");
    EXPECT_EQ(NumberedName("Manual", 0), "Manual000");
    EXPECT_EQ(NumberedName("General", 1000), "General1000");
}

}  // namespace
}  // namespace tessaline

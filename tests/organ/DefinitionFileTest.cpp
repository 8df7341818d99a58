// Reading definition files: lookups, value conventions, file names as organ
// packages write them, and the error box text every loader reports through.

#include "organ/DefinitionReader.h"

#include <gtest/gtest.h>

#include <string>

#include "organ/FilePaths.h"
#include "platform/ErrorReporting.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "support/TempDir.h"

namespace tessaline {
namespace {

TEST(DefinitionReader, LookupsAnswerAsAScanFromTheFirstLine) {
    // 511 characters fill one read piece; what follows is a line of its own.
    const std::string full = "Key=" + std::string(507, 'a');
    const std::string shorter = "Key=" + std::string(506, 'a');
    struct Row {
        std::string text;
        const char* key;
        size_t buffer;
        std::string value;
    } rows[] = {
        {"[S]\nKey=\"\"a\"b\"\"\n", "Key", 512, "a\"b"},
        {"[S]\nKey=a=b ; c\n", "Key", 512, "a=b ; c"},
        {"[S]\r\n  Key=v  \r\n", "Key", 512, "v"},
        {"[s]\nKey = 5\n", "Key", 512, ""},
        {"Key=0\n[S]\n;Key=1\nKey=2\nKey=3\n", "Key", 512, "2"},
        {"[S]\nA=1\n[S]\nKey=2\n", "Key", 512, ""},
        {"[S]\nKey=\"123456789\"\n", "Key", 4, "123"},
        {"[S]\n" + full + "Other=1\n", "Other", 512, "1"},
        {"[S]\n" + shorter + "\nOther=1\n", "Key", 512, std::string(506, 'a')},
        // A continuation piece that looks like a header ends the section.
        {"[S]\n" + full + "[X]\nLate=1\n", "Late", 512, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 40) + " " + row.key);
        DefinitionFile file;
        file.ParseText(row.text);
        std::string buffer(row.buffer, 'x');
        EXPECT_EQ(file.Read("S", row.key, buffer.data(), row.buffer), row.value.size());
        EXPECT_EQ(std::string(buffer.c_str()), row.value);
    }
}

TEST(DefinitionReader, ValueConventions) {
    EXPECT_EQ(ParseWholeNumber("99999999999999999999"), INT32_MAX);
    EXPECT_DOUBLE_EQ(ParseRealNumber("2e2x"), 200.0);
    EXPECT_DOUBLE_EQ(ParseRealNumber("inf"), 0.0);
}

TEST(FilePaths, BackslashesAndLetterCaseAreResolvedFolderByFolder) {
    test::TempDir dir;
    dir.Write("Pipes/Great/Principal 8/036-C.wav", "a");
    dir.Write("Pipes/Great/principal 8/037-c#.wav", "b");
    const std::string base = dir.Path().string();
    struct Row {
        std::string specifier, resolved;
    } rows[] = {
        // Two folders differ only in case: each is tried, the exact spelling
        // first, so neither hides a file of the other.
        {"pipes/great/PRINCIPAL 8/037-C#.wav", "/Pipes/Great/principal 8/037-c#.wav"},
        // Not found at all: the name as written.
        {"pipes\\great\\principal 8\\999.wav", "/pipes/great/principal 8/999.wav"},
        {base + "/pipes/GREAT/principal 8/037-c#.wav", "/Pipes/Great/principal 8/037-c#.wav"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.specifier);
        EXPECT_EQ(ResolveOrganFilePath(row.specifier[0] == '/' ? "/elsewhere" : base, row.specifier),
                  base + row.resolved);
    }
}

// The unformatted action and the box layout are checked where the box is shown.
TEST(ReportError, AMessageLongerThanItsBufferIsCutNeverOverrun) {
    RecordingErrorSink sink;
    std::string huge(5000, 'm');
    ReportError("%s", huge.c_str(), huge.c_str());
    auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].message.size(), 2047u);
    EXPECT_EQ(errors[0].boxText.size(), 2047u);
}

}  // namespace
}  // namespace tessaline

#include "organ/FilePaths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"

namespace tessaline {
namespace {

class FilePathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("Pipes/Great/Principal 8/036-C.wav", "a");
        dir.Write("Pipes/Great/principal 8/037-c#.wav", "b");
        dir.Write("README.txt", "c");
    }
    std::string Base() const { return dir.Path().string(); }

    test::TempDir dir;
};

TEST_F(FilePathsTest, BackslashesSeparateFolders) {
    EXPECT_EQ(ResolveOrganFilePath(Base(), "Pipes\\Great\\Principal 8\\036-C.wav"),
              Base() + "/Pipes/Great/Principal 8/036-C.wav");
    EXPECT_EQ(ResolveOrganFilePath(Base(), "Pipes/Great\\Principal 8/036-C.wav"),
              Base() + "/Pipes/Great/Principal 8/036-C.wav");
}

TEST_F(FilePathsTest, NameNotFoundAsWrittenIsMatchedIgnoringCaseFolderByFolder) {
    EXPECT_EQ(ResolveOrganFilePath(Base(), "PIPES\\great\\PRINCIPAL 8\\036-c.WAV"),
              Base() + "/Pipes/Great/Principal 8/036-C.wav");
    // Two folders differ only in case: each is tried, the exact spelling
    // first, so neither hides a file of the other.
    EXPECT_EQ(ResolveOrganFilePath(Base(), "pipes/great/PRINCIPAL 8/037-C#.wav"),
              Base() + "/Pipes/Great/principal 8/037-c#.wav");
    EXPECT_EQ(ResolveOrganFilePath(Base(), "pipes/great/principal 8/036-c.wav"),
              Base() + "/Pipes/Great/Principal 8/036-C.wav");
    EXPECT_EQ(ResolveOrganFilePath(Base(), "Pipes//Great/./Principal 8/../principal 8/037-C#.WAV"),
              Base() + "/Pipes/Great/Principal 8/../principal 8/037-c#.wav");
    EXPECT_EQ(ResolveOrganFilePath(Base(), "readme.TXT"), Base() + "/README.txt");
}

TEST_F(FilePathsTest, MissingFileKeepsTheNameAsWritten) {
    EXPECT_EQ(ResolveOrganFilePath(Base(), "pipes\\Swell\\001.wav"), Base() + "/pipes/Swell/001.wav");
    EXPECT_EQ(ResolveOrganFilePath(Base(), "pipes\\great\\principal 8\\999.wav"),
              Base() + "/pipes/great/principal 8/999.wav");
}

TEST_F(FilePathsTest, RelativeToCurrentDirectoryOrAbsolute) {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    EXPECT_EQ(ResolveOrganFilePath("", "PIPES\\GREAT\\principal 8\\036-C.wav"),
              "Pipes/Great/Principal 8/036-C.wav");
    EXPECT_EQ(ResolveOrganFilePath("", "missing\\x.wav"), "missing/x.wav");
    std::filesystem::current_path(previous);
    EXPECT_EQ(ResolveOrganFilePath("/elsewhere", Base() + "/readme.txt"), Base() + "/README.txt");
}

}  // namespace
}  // namespace tessaline

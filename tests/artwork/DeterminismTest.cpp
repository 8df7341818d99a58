#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "support/TempDir.h"

namespace tessaline::artwork {
namespace {

namespace fs = std::filesystem;

int RunTool(const std::string& arguments) {
    std::string command = std::string("\"") + MAKE_ARTWORK_PROGRAM + "\" " + arguments + " 2>/dev/null";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::map<std::string, std::string> ReadAll(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

TEST(MakeArtwork, TwoRunsWriteTheSameBytes) {
    test::TempDir first, second;
    ASSERT_EQ(RunTool("\"" + first.File("images") + "\""), 0);
    ASSERT_EQ(RunTool("\"" + second.File("images") + "\""), 0);
    auto a = ReadAll(first.Path() / "images");
    auto b = ReadAll(second.Path() / "images");
    ASSERT_EQ(a.size(), 47U);  // 46 images and the README
    for (const auto& [name, bytes] : a) {
        ASSERT_TRUE(b.count(name)) << name;
        EXPECT_TRUE(bytes == b[name]) << name << " differs between runs";
        EXPECT_FALSE(bytes.empty()) << name;
    }

    // Read back, the files keep the depths the console expects.
    fs::path dir = first.Path() / "images";
    QImage tile(QString::fromStdString((dir / "background12.png").string()));
    EXPECT_EQ(tile.format(), QImage::Format_Indexed8);
    QImage mask(QString::fromStdString((dir / "drawstop1-mask.png").string()));
    EXPECT_EQ(mask.depth(), 1);
    QImage picture(QString::fromStdString((dir / "drawstop1-engaged.png").string()));
    EXPECT_EQ(picture.size(), QSize(65, 65));
    EXPECT_FALSE(picture.hasAlphaChannel());
}

TEST(MakeArtwork, FailsWhereItCannotWriteAndOnBadArguments) {
    test::TempDir dir;
    std::string blocker = dir.Write("not-a-directory", "x");
    EXPECT_EQ(RunTool("\"" + blocker + "\""), 1);
    EXPECT_EQ(RunTool("--preview \"" + blocker + "/preview.png\""), 1);
    EXPECT_EQ(RunTool(""), 2);
    EXPECT_EQ(RunTool("--preview"), 2);

    ASSERT_EQ(RunTool("--preview \"" + dir.File("preview.png") + "\""), 0);
    QImage preview(QString::fromStdString(dir.File("preview.png")));
    EXPECT_EQ(preview.size(), QSize(1016, 668));
}

}  // namespace
}  // namespace tessaline::artwork

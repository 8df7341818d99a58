// Saves of the combination file that fail: late in the file (the disk fills
// up among the registration frames), at the final rename, or over the
// temporary file of a save that never finished. The previous file is never
// touched and no temporary file is left behind.

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "combinations/CombinationRig.h"

namespace tessaline {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class CombinationSaveFault : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(c.Load());
        path = c.rig.dir.File("saved.cmb");
    }
    bool Save(const std::string& to) {
        c.rig.errors.Clear();
        return c.model().SaveCombinationFile(to);
    }
    // Captures the registration into the first `frames` registration frames.
    void CaptureFrames(int frames) {
        c.SetRegistration("101100110011/101");
        c.model().captureMode = true;
        for (int f = 0; f < frames; ++f) c.model().NextFrame();
        c.model().captureMode = false;
    }

    test::CombinationRig c;
    std::string path;
};

TEST_F(CombinationSaveFault, ADiskFullAmongTheFramesKeepsThePreviousFile) {
    ASSERT_TRUE(Save(path));
    std::string previous = ReadFile(path);
    CaptureFrames(10);
    std::string full = c.rig.dir.File("full.cmb");
    ASSERT_TRUE(Save(full));
    size_t frame = ReadFile(full).find("[General105]");
    ASSERT_NE(frame, std::string::npos);

    // The file may not grow past the middle of the sixth frame's header.
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = frame + 5;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool saved = Save(path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(c.Reports(),
              "Failed to write a value to the combination file. [Saving a general combination.] / "
              "General combination 105 failed to save. [Saving an organ combination file.]");
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
}

TEST_F(CombinationSaveFault, TheTemporaryFileNeverOutlivesASave) {
    // A temporary left by a save that never finished is replaced.
    c.rig.dir.Write("saved.cmb.saving", "[Organ]\r\nChurchName=half a fi");
    ASSERT_TRUE(Save(path)) << c.Reports();
    EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
    std::string reference = c.rig.dir.File("reference.cmb");
    ASSERT_TRUE(Save(reference));
    EXPECT_EQ(ReadFile(path), ReadFile(reference));

    // A folder in the file's place cannot be replaced: the rename fails.
    std::string folder = c.rig.dir.File("folder.cmb");
    std::filesystem::create_directories(std::filesystem::path(folder) / "inside");
    EXPECT_FALSE(Save(folder));
    EXPECT_EQ(c.Reports(), "Could not write a value to the combination file. [Saving an organ combination file.]");
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(folder) / "inside"));
    EXPECT_FALSE(std::filesystem::exists(folder + ".saving"));
}

}  // namespace
}  // namespace tessaline

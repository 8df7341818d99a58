// Settings files named by TESSALINE_SETTINGS that are missing, cannot be
// read, or hold garbage: reading the setup through the QSettings store gives
// the defaults, not set up, and no report; nothing crashes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "SettingsFileRig.h"

namespace tessaline {
namespace {

using test::SettingsFileRig;

// The value every number, flag and name of the store reads as invalid: past
// the 32-bit range (a key shift once wrapped it to -1), not a Y/N flag,
// naming no device.
constexpr const char* kOutOfRange = "4294967296999";

// The settings file a complete write makes, every value then replaced by
// kOutOfRange, except a few given wrong types or bytes that read as nothing
// sensible; binary lines and a stray group around them.
std::string SpoiledSettings(const std::string& written) {
    std::string spoiled = "\x01\xff garbage \x7f\n[\x02\xfe]\nAudioBufferBlocks=12\n";
    std::istringstream lines(written);
    std::string line;
    while (std::getline(lines, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            spoiled += line + "\n";
            continue;
        }
        std::string key = line.substr(0, eq);
        std::string value = kOutOfRange;
        if (key == "AudioBufferBlocks") value = "@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x10garbage)";
        if (key == "ManualAChan") value = "1, 2, 3";
        if (key == "AmplitudeLevel") value = "@ByteArray(\\xff\\xfe)";
        if (key == "Manual1Chan") value = std::string("\x01\x02\xff\xfe", 4);
        spoiled += key + "=" + value + "\n";
    }
    return spoiled + "\x03\x04=\x05\n";
}

TEST(SettingsFileFaults, AMissingFileReadsAsAFirstRun) {
    SettingsFileRig rig;
    rig.UseFile(rig.dir.File("absent/settings.ini"));
    SetupInfo info;
    info.AudioBufferBlocks = 7;
    EXPECT_TRUE(rig.Read(info));
    EXPECT_EQ(info, SetupInfo{});
    EXPECT_FALSE(info.setUp);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST(SettingsFileFaults, AFileThatCannotBeReadGivesTheDefaultsAndOnlyWritingFails) {
    SettingsFileRig rig;
    // A folder where the file should be cannot be read even with every right.
    std::filesystem::create_directories(rig.dir.Path() / "settings.ini");
    rig.UseFile(rig.dir.File("settings.ini"));
    SetupInfo info;
    EXPECT_TRUE(rig.Read(info));
    EXPECT_EQ(info, SetupInfo{});
    EXPECT_FALSE(info.setUp);
    EXPECT_EQ(SetupInfo::ReadSettingString(rig.store, "OutputRecDir"), "");
    EXPECT_EQ(rig.errors.Count(), 0u);

    EXPECT_FALSE(rig.Write(SetupInfo{}));
    EXPECT_EQ(rig.Reports(), (std::vector<std::string>{"Could not write a value to the settings store. | "
                                                       "Saving Tessaline setup information."}));
    EXPECT_TRUE(std::filesystem::is_directory(rig.dir.Path() / "settings.ini"));
}

TEST(SettingsFileFaults, GarbageValuesTakeTheirDefaultsAndAWriteRepairsTheFile) {
    SettingsFileRig rig;
    std::string file = rig.dir.File("settings.ini");
    rig.UseFile(file);
    SetupInfo written;
    written.AudioBufferBlocks = 8;
    written.ManualChan[1] = 9;
    ASSERT_TRUE(rig.Write(written));
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_NE(text.find("AudioBufferBlocks=8"), std::string::npos);
    rig.dir.Write("settings.ini", SpoiledSettings(text));

    SetupInfo info;
    EXPECT_TRUE(rig.Read(info));
    EXPECT_EQ(info, SetupInfo{});
    EXPECT_FALSE(info.setUp);
    EXPECT_EQ(rig.errors.Count(), 0u);

    // The setup confirmed at the first run replaces the spoiled values.
    ASSERT_TRUE(rig.Write(written));
    SetupInfo again;
    EXPECT_TRUE(rig.Read(again));
    EXPECT_TRUE(again.setUp);
    EXPECT_EQ(again.AudioBufferBlocks, 8u);
    EXPECT_EQ(again.ManualChan[1], 9u);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST(SettingsFileFaults, AFileOfRandomBytesReadsAsDefaults) {
    SettingsFileRig rig;
    std::mt19937 random(7);
    for (int file = 0; file < 4; ++file) {
        SCOPED_TRACE(file);
        std::string bytes(static_cast<size_t>(512 << file), '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        std::string name = "random" + std::to_string(file) + ".ini";
        rig.UseFile(rig.dir.Write(name, bytes));
        SetupInfo info;
        EXPECT_TRUE(rig.Read(info));
        EXPECT_EQ(info, SetupInfo{});
        EXPECT_FALSE(info.setUp);
        EXPECT_EQ(rig.errors.Count(), 0u);
    }
}

}  // namespace
}  // namespace tessaline

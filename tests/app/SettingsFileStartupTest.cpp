// Start-up of the real window over a settings file that is missing, cannot
// be read, or holds garbage: each is a first run that asks for the setup and
// then starts, never a crash.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SettingsFileRig.h"
#include "ShellRig.h"

namespace tessaline {
namespace {

TEST(SettingsFileStartup, AMissingUnreadableOrGarbageFileIsAFirstRun) {
    struct Case {
        const char* name;
        std::vector<std::string> reports;
    };
    const std::string firstRun =
        "Please set up the devices and settings for your audio and MIDI systems\n"
        "on the following screen before using Tessaline.";
    for (const Case& c :
         {Case{"missing", {}},
          Case{"unreadable",
               {"Could not write a value to the settings store. | Saving Tessaline setup information."}},
          Case{"garbage", {}}}) {
        SCOPED_TRACE(c.name);
        test::SettingsFileRig settings;
        std::string file = settings.dir.File("settings.ini");
        if (std::string(c.name) == "unreadable") std::filesystem::create_directories(file);
        if (std::string(c.name) == "garbage")
            settings.dir.Write("settings.ini", std::string("\xff\xfe\x00[Manual0Chan=\x01\n=\n", 20) +
                                                   "AudioBufferBlocks=@Variant(\\0\\0\\x7f)\n");
        settings.UseFile(file);

        test::ShellRig rig;
        rig.window = std::make_unique<MainWindow>(
            ShellDevices{rig.ports, rig.audio, rig.timers, settings.store, rig.files}, rig.prompts);
        ASSERT_TRUE(rig.window->Create());
        EXPECT_EQ(rig.setupRuns, 1);
        EXPECT_EQ(rig.notices, std::vector<std::string>{firstRun});
        EXPECT_EQ(rig.Reports(), c.reports);
        EXPECT_EQ(rig.window->Setup().AudioBufferBlocks, SetupInfo{}.AudioBufferBlocks);

        // The loaded organ plays with the defaults.
        ASSERT_TRUE(rig.window->LoadOrganFromPath(rig.WriteOrgan("Small.organ")));
        EXPECT_TRUE(rig.window->IsLoaded());
        rig.window.reset();
    }
}

}  // namespace
}  // namespace tessaline

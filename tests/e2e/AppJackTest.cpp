// The real program under an X server and a JACK server: started with an organ
// on its command line and settings from a file, played from a JACK MIDI
// client, recorded with Ctrl+R and Ctrl+P typed into its window, ended with
// Ctrl+X; the recording must hold the pitch played.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "JackTest.h"
#include "platform/virtual/MemorySettingsStore.h"
#include "support/ToolRun.h"

namespace tessaline::e2e {
namespace {

using namespace std::chrono_literals;

// A private X server on the first free display number from 70.
std::string StartXServer(ChildProcess& process, const std::string& logPath) {
    for (int number = 70; number < 130; ++number) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (std::filesystem::exists(socket) ||
            std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
            continue;
        const std::string display = ":" + std::to_string(number);
        if (!process.Start({"Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                           {}, logPath))
            return "";
        if (WaitFor([&] { return std::filesystem::exists(socket); }, 10000ms, 50ms)) return display;
        process.End(SIGKILL);  // another server took the number meanwhile
    }
    return "";
}

// Runs an xdotool command on the display, at most `seconds`; its output.
std::string XdoTool(const std::string& display, const std::string& arguments, int seconds = 10) {
    std::string output =
        test::CommandOutput("DISPLAY=" + display + " timeout " + std::to_string(seconds) +
                            " xdotool " + arguments + " 2>/dev/null");
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
    return output;
}

// The settings of a set-up machine: every MIDI row on the keyboard, the
// JACK output, a short buffer, the recording folder; as the INI file the
// program reads through TESSALINE_SETTINGS. Call under ASSERT_NO_FATAL_FAILURE.
void WriteSettings(const JackMidiSender& keyboard, const std::string& recordingFolder,
                   const std::string& iniPath) {
    JackOrgan machine;
    ASSERT_NO_FATAL_FAILURE(machine.FindKeyboards({&keyboard}));
    ASSERT_STREQ(machine.engine.DeviceDescription(0), "Jack: system");
    const unsigned k = machine.inputs.device[0];
    SetupInfo setup;
    setup.AudioBufferBlocks = 16;
    setup.ManualMIDIInDevNumber.fill(k);
    setup.ManualAMIDIInDevNumber = setup.ManualBMIDIInDevNumber = setup.ControlMIDIInDevNumber = k;
    setup.EnclosureMIDIInDevNumber.fill(k);
    setup.CombFrameMIDIInDevNumber.fill(k);
    MemorySettingsStore store;
    ASSERT_TRUE(setup.Write(store, *machine.inputs.midi, machine.engine.Stream()));
    store.values["OutputRecDir"] = recordingFolder;
    std::ofstream ini(iniPath);
    ini << "[General]\n";
    for (const auto& [name, value] : store.values) ini << name << "=\"" << value << "\"\n";
    ASSERT_TRUE(ini);
}

uint32_t Little32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// The one recording in the folder; empty while there is none.
std::filesystem::path Recording(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("TessalineOutput-")) return entry.path();
    return {};
}

using ProgramOnJack = JackTest;

TEST_F(ProgramOnJack, PlaysFromJackMidiAndRecordsWhatItPlaysThroughTheWindowsKeys) {
    if (std::system("command -v Xvfb > /dev/null && command -v xdotool > /dev/null") != 0)
        GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/setup installs them)";
    // The keyboard exists before the program lists the MIDI ports.
    JackMidiSender keyboard;
    ASSERT_TRUE(keyboard.Open(server.Name()));
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "recordings");
    const std::string settings = dir.File("settings.ini");
    ASSERT_NO_FATAL_FAILURE(WriteSettings(keyboard, dir.File("recordings"), settings));

    auto organ = SineOrgan(dir);
    organ.Set("Organ", "ChurchName", "Jack Church");
    const std::string organPath = dir.Write("Jack Test.organ", organ.Text());

    ChildProcess x;
    const std::string display = StartXServer(x, dir.File("xvfb.log"));
    ASSERT_FALSE(display.empty()) << "no free display for Xvfb";
    ChildProcess program;
    const std::string log = dir.File("tessaline.log");
    ASSERT_TRUE(program.Start({TESSALINE_PROGRAM, organPath},
                              {{"DISPLAY", display},
                               {"QT_QPA_PLATFORM", "xcb"},
                               {"TESSALINE_SETTINGS", settings},
                               {"TESSALINE_DATA_DIR", TESSALINE_DATA_DIR},
                               {"TESSALINE_MIDI_SYSTEM", "jack"},
                               {"TESSALINE_VIRTUAL_DEVICES", ""}},
                              log));
    auto programSaid = [&] { return "\nThe program's output:\n" + test::FileBytes(log); };

    // The loaded organ names the window; activation opens the keyboard's port.
    const std::string window =
        XdoTool(display, "search --sync --name '^Tessaline Console - Jack Church$'", 30);
    ASSERT_FALSE(window.empty()) << "no window with the organ's title" << programSaid();
    ASSERT_TRUE(WaitFor([&] { return keyboard.Connected(); }, 10000ms))
        << "the program did not open the keyboard's port" << programSaid();
    XdoTool(display, "windowfocus " + window);

    XdoTool(display, "key --clearmodifiers ctrl+r");
    const std::filesystem::path folder = dir.Path() / "recordings";
    ASSERT_TRUE(WaitFor([&] { return !Recording(folder).empty(); }, 5000ms))
        << "Ctrl+R started no recording" << programSaid();

    // Manual 1 is on the first MIDI path, whose default channel is 2.
    ASSERT_TRUE(keyboard.Send({0x91, 69, 100}));
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(keyboard.Send({0x81, 69, 0}));
    std::this_thread::sleep_for(500ms);

    XdoTool(display, "key --clearmodifiers ctrl+p");
    const std::string file = Recording(folder).string();
    auto finished = [&] {
        const std::string bytes = test::FileBytes(file);
        return bytes.size() >= 8 && Little32(bytes, 4) != 0;
    };
    ASSERT_TRUE(WaitFor(finished, 5000ms))
        << "Ctrl+P did not finish the recording" << programSaid();

    XdoTool(display, "key --clearmodifiers ctrl+x");
    int status = 0;
    ASSERT_TRUE(program.Wait(10000ms, status)) << "Ctrl+X did not end the program" << programSaid();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << programSaid();

    // The recorder's tests check the file's header.
    const std::string bytes = test::FileBytes(file);
    std::vector<float> left;
    for (size_t at = 48; at + 4 <= bytes.size(); at += 4)
        left.push_back(static_cast<int16_t>(Little32(bytes, at)) / 32768.0f);
    const size_t first = FirstSound(left, 0, left.size(), 0.01f);
    ASSERT_LT(first + kJackRate, left.size()) << "the recording holds no second of sound";
    EXPECT_NEAR(MedianFrequency(left, first + kJackRate / 10, 7), 441.0, 1.0);
}

}  // namespace
}  // namespace tessaline::e2e

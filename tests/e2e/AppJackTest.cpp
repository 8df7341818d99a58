// The real program under an X server and a JACK server: started with an organ
// on its command line and settings from a file, played from a JACK MIDI
// client, recorded with Ctrl+R and Ctrl+P typed into its window, ended with
// Ctrl+X; the recording must hold the pitch played.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "JackHarness.h"
#include "SoundChecks.h"
#include "audio/AudioEngine.h"
#include "midi/MidiInputSystem.h"
#include "organ/SetupInfo.h"
#include "platform/ThreadTimer.h"
#include "platform/rtaudio/RtAudioOutput.h"
#include "platform/rtmidi/RtMidiPorts.h"
#include "platform/virtual/MemorySettingsStore.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "support/OrganFileBuilder.h"
#include "support/OrganSections.h"
#include "support/TempDir.h"

extern char** environ;

namespace tessaline::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool OnPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + tool;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// A process this test started, with extra environment and its output in a
// log file; killed at the end if it is still running.
class Child {
public:
    ~Child() { Kill(); }
    bool Start(const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment, const std::string& logPath) {
        std::map<std::string, std::string> merged;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::string text = *entry;
            size_t equals = text.find('=');
            if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
        }
        for (const auto& [name, value] : environment) {
            if (value.empty())
                merged.erase(name);
            else
                merged[name] = value;
        }
        std::vector<std::string> pairs;
        for (const auto& [name, value] : merged) pairs.push_back(name + "=" + value);
        std::vector<char*> envp, argv;
        for (std::string& pair : pairs) envp.push_back(pair.data());
        envp.push_back(nullptr);
        std::vector<std::string> args = arguments;
        for (std::string& argument : args) argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid = fork();
        if (pid < 0) return false;
        if (pid == 0) {
            if (FILE* log = std::fopen(logPath.c_str(), "w")) {
                dup2(fileno(log), STDOUT_FILENO);
                dup2(fileno(log), STDERR_FILENO);
            }
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        return true;
    }
    // True when the process ended within the time; status is its wait status.
    bool Wait(std::chrono::milliseconds limit, int& status) {
        auto deadline = Clock::now() + limit;
        while (pid > 0) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return true;
            }
            if (Clock::now() > deadline) return false;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    bool Running() {
        int status = 0;
        return pid > 0 && waitpid(pid, &status, WNOHANG) == 0;
    }
    void Kill() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

private:
    pid_t pid = -1;
};

// A private X server on the first free display number from 70.
class XServer {
public:
    bool Start(const std::string& logPath) {
        for (int number = 70; number < 130; ++number) {
            std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
            std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
            if (std::filesystem::exists(socket) || std::filesystem::exists(lock)) continue;
            std::string name = ":" + std::to_string(number);
            if (!process.Start({"/usr/bin/env", "Xvfb", name, "-screen", "0", "1280x1024x24",
                                "-nolisten", "tcp"},
                               {}, logPath))
                return false;
            auto deadline = Clock::now() + 10s;
            while (Clock::now() < deadline && process.Running()) {
                if (std::filesystem::exists(socket)) {
                    display = name;
                    return true;
                }
                std::this_thread::sleep_for(50ms);
            }
            process.Kill();  // another server took the number meanwhile
        }
        return false;
    }
    const std::string& Display() const { return display; }

private:
    Child process;
    std::string display;
};

// Runs an xdotool command on the display, at most `seconds`; its output.
std::string XdoTool(const std::string& display, const std::string& arguments, int seconds = 10) {
    std::string command = "DISPLAY=" + display + " timeout " + std::to_string(seconds) +
                          " xdotool " + arguments + " 2>/dev/null";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
    return output;
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The settings of a set-up machine: every MIDI row on the keyboard, the
// JACK output, a short buffer, the recording folder; as the INI file the
// program reads through TESSALINE_SETTINGS.
bool WriteSettings(const std::string& server, const std::string& keyboardPort,
                   const std::string& recordingFolder, const std::string& iniPath,
                   std::string& whyNot) {
    struct Nowhere : MidiMessageTarget {
        void OnMidiMessage(unsigned, uint32_t) override {}
    } nowhere;
    RecordingErrorSink errors;
    RtMidiPorts ports(RtMidiPorts::Api::Jack);
    MidiInputSystem midi(ports, nowhere);
    const unsigned keyboard = midi.FindDevice(keyboardPort);
    if (keyboard == MidiInputSystem::kNoDevice) {
        whyNot = "the keyboard " + keyboardPort + " is not listed";
        return false;
    }
    RtAudioOutputSystem devices;
    ThreadTimerService timers;
    AudioEngine engine(devices, timers);
    if (engine.DeviceCount() == 0 || std::string(engine.DeviceDescription(0)) != "Jack: system") {
        whyNot = "the JACK output is not the first audio device of server " + server;
        return false;
    }
    SetupInfo setup;
    setup.AudioBufferBlocks = 16;
    setup.ManualMIDIInDevNumber.fill(keyboard);
    setup.ManualAMIDIInDevNumber = setup.ManualBMIDIInDevNumber = keyboard;
    setup.EnclosureMIDIInDevNumber.fill(keyboard);
    setup.ControlMIDIInDevNumber = keyboard;
    setup.CombFrameMIDIInDevNumber.fill(keyboard);
    MemorySettingsStore store;
    if (!setup.Write(store, midi, engine.Stream())) {
        whyNot = "the settings could not be written";
        return false;
    }
    store.values["OutputRecDir"] = recordingFolder;
    std::ofstream ini(iniPath);
    ini << "[General]\n";
    for (const auto& [name, value] : store.values) ini << name << "=\"" << value << "\"\n";
    return static_cast<bool>(ini);
}

uint32_t Little32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The one recording in the folder; empty while there is none.
std::filesystem::path Recording(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("TessalineOutput-")) return entry.path();
    return {};
}

TEST(ProgramOnJack, PlaysFromJackMidiAndRecordsWhatItPlaysThroughTheWindowsKeys) {
    for (const char* tool : {"Xvfb", "xdotool"})
        if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed (scripts/setup installs it)";
    JackServer server;
    std::string whyNot;
    if (!server.Start(whyNot))
        GTEST_SKIP() << "jackd could not start, so no end-to-end test: " << whyNot;

    // The keyboard exists before the program lists the MIDI ports.
    JackMidiSender keyboard;
    ASSERT_TRUE(keyboard.Open(server.Name()));
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "recordings");
    const std::string settings = dir.File("settings.ini");
    ASSERT_TRUE(WriteSettings(server.Name(), keyboard.PortName(), dir.File("recordings"), settings,
                              whyNot))
        << whyNot;

    // One manual of twelve keys from note 60 with one drawn stop; note 69
    // sounds 441 Hz (a period of 100 frames), every other key 210 Hz.
    auto organ = test::OrganFileBuilder::MinimalOrgan();
    organ.Set("Organ", "ChurchName", "Jack Church");
    test::SetManual(organ, 1, 12, {1});
    organ.Set("Manual001", "FirstAccessibleKeyMIDINoteNumber", "60");
    dir.Write("pipes/a.wav", SineWav(100));
    dir.Write("pipes/low.wav", SineWav(210));
    std::vector<std::string> pipes(12, "pipes/low.wav");
    pipes[9] = "pipes/a.wav";
    test::SetStop(organ, 1, pipes);
    organ.Set("Stop001", "DefaultToEngaged", "Y");
    const std::string organPath = dir.Write("Jack Test.organ", organ.Text());

    XServer x;
    ASSERT_TRUE(x.Start(dir.File("xvfb.log"))) << "no free display for Xvfb";
    Child program;
    const std::string log = dir.File("tessaline.log");
    ASSERT_TRUE(program.Start({TESSALINE_PROGRAM, organPath},
                              {{"DISPLAY", x.Display()},
                               {"QT_QPA_PLATFORM", "xcb"},
                               {"TESSALINE_SETTINGS", settings},
                               {"TESSALINE_DATA_DIR", TESSALINE_DATA_DIR},
                               {"TESSALINE_MIDI_SYSTEM", "jack"},
                               {"TESSALINE_VIRTUAL_DEVICES", ""}},
                              log));
    auto programSaid = [&] { return "\nThe program's output:\n" + ReadFile(log); };

    // The loaded organ names the window; activation opens the keyboard's port.
    const std::string window =
        XdoTool(x.Display(), "search --sync --name '^Tessaline Console - Jack Church$'", 30);
    ASSERT_FALSE(window.empty()) << "no window with the organ's title" << programSaid();
    ASSERT_TRUE(WaitFor([&] { return keyboard.Connected(); }, 10s))
        << "the program did not open the keyboard's port" << programSaid();
    XdoTool(x.Display(), "windowfocus " + window);

    XdoTool(x.Display(), "key --clearmodifiers ctrl+r");
    const std::filesystem::path folder = dir.Path() / "recordings";
    ASSERT_TRUE(WaitFor([&] { return !Recording(folder).empty(); }, 5s))
        << "Ctrl+R started no recording" << programSaid();

    // Manual 1 is on the first MIDI path, whose default channel is 2.
    ASSERT_TRUE(keyboard.Send({0x91, 69, 100}));
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(keyboard.Send({0x81, 69, 0}));
    std::this_thread::sleep_for(500ms);

    XdoTool(x.Display(), "key --clearmodifiers ctrl+p");
    const std::filesystem::path file = Recording(folder);
    ASSERT_TRUE(WaitFor([&] { return ReadFile(file).size() >= 8 && Little32(ReadFile(file), 4) != 0; },
                        5s))
        << "Ctrl+P did not finish the recording" << programSaid();

    XdoTool(x.Display(), "key --clearmodifiers ctrl+x");
    int status = 0;
    ASSERT_TRUE(program.Wait(10s, status)) << "Ctrl+X did not end the program" << programSaid();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << programSaid();

    const std::string bytes = ReadFile(file);
    ASSERT_GT(bytes.size(), 48u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Little32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Little32(bytes, 24), 44100u);
    EXPECT_EQ(bytes.substr(40, 4), "data");
    EXPECT_EQ(Little32(bytes, 44), bytes.size() - 48);
    EXPECT_EQ((bytes.size() - 48) % 4, 0u);

    std::vector<float> left;
    for (size_t at = 48; at + 4 <= bytes.size(); at += 4)
        left.push_back(static_cast<float>(static_cast<int16_t>(
                           static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8)) /
                       32768.0f);
    size_t first = 0;
    while (first < left.size() && std::fabs(left[first]) < 0.01f) ++first;
    ASSERT_LT(first + kJackRate, left.size()) << "the recording holds no second of sound";
    EXPECT_NEAR(MedianFrequency(left, first + kJackRate / 10, 7), 441.0, 1.0);
}

}  // namespace
}  // namespace tessaline::e2e

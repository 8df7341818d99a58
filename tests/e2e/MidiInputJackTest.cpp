// MIDI from a JACK client through RtMidiPorts and MidiInputSystem, with a JACK
// server on the dummy driver started for each test.

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "midi/MidiInputSystem.h"
#include "platform/rtmidi/RtMidiPorts.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline {
namespace {

using namespace std::chrono_literals;
using Received = std::vector<std::pair<unsigned, uint32_t>>;

// A jackd on the dummy driver under a server name of its own, so that tests
// running side by side do not meet. Every JACK client of this process,
// RtMidi's included, finds it through JACK_DEFAULT_SERVER.
class JackServer {
public:
    JackServer() : name("tessaline-midi-" + std::to_string(getpid())) {
        pid = fork();
        if (pid == 0) {
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            // Synchronous mode: each cycle waits for every client, so that a
            // loaded machine delays events rather than losing them.
            execlp("jackd", "jackd", "--no-realtime", "--sync", "-n", name.c_str(), "-d", "dummy",
                   "-r", "44100", "-p", "256", static_cast<char*>(nullptr));
            _exit(127);
        }
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        for (auto deadline = std::chrono::steady_clock::now() + 10s;
             pid > 0 && std::chrono::steady_clock::now() < deadline;
             std::this_thread::sleep_for(50ms)) {
            jack_status_t status;
            jack_client_t* probe = jack_client_open("probe", JackNoStartServer, &status);
            if (probe) {
                jack_client_close(probe);
                running = true;
                break;
            }
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                break;
            }
        }
    }
    ~JackServer() { Stop(); }
    void Stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
    bool Running() const { return running; }

private:
    std::string name;
    pid_t pid = -1;
    bool running = false;
};

// A JACK client with one MIDI output port; its process callback writes the
// events queued since the last cycle. One producer (the test), one consumer
// (JACK's process thread).
class JackKeyboard {
public:
    explicit JackKeyboard(const char* clientName) {
        client = jack_client_open(clientName, JackNoStartServer, nullptr);
        if (!client) return;
        port = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client, &JackKeyboard::Process, this);
        if (!port || jack_activate(client) != 0) Shut();
    }
    ~JackKeyboard() { Shut(); }
    bool Ready() const { return client != nullptr; }
    std::string PortName() const { return jack_port_name(port); }

    void Queue(std::vector<uint8_t> bytes) {
        const size_t index = queued.load(std::memory_order_relaxed);
        events[index] = std::move(bytes);
        queued.store(index + 1, std::memory_order_release);
    }
    // The server takes a connection into its graph at a following cycle; until
    // then what the port writes goes nowhere.
    bool WaitConnected() const {
        for (int i = 0; i < 300 && jack_port_connected(port) == 0; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        std::this_thread::sleep_for(50ms);
        return jack_port_connected(port) > 0;
    }
    bool AllWritten() const {
        return written.load(std::memory_order_acquire) == queued.load(std::memory_order_acquire);
    }
    // The port disappears, as when a keyboard is unplugged.
    void Shut() {
        if (client) jack_client_close(client);
        client = nullptr;
    }

private:
    static int Process(jack_nframes_t frames, void* self) {
        auto* keyboard = static_cast<JackKeyboard*>(self);
        void* buffer = jack_port_get_buffer(keyboard->port, frames);
        jack_midi_clear_buffer(buffer);
        const size_t end = keyboard->queued.load(std::memory_order_acquire);
        size_t next = keyboard->written.load(std::memory_order_relaxed);
        for (; next < end; ++next) {
            const std::vector<uint8_t>& event = keyboard->events[next];
            if (jack_midi_event_write(buffer, 0, event.data(), event.size()) != 0) break;
        }
        keyboard->written.store(next, std::memory_order_release);
        return 0;
    }

    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    std::array<std::vector<uint8_t>, 64> events;
    std::atomic<size_t> queued{0};
    std::atomic<size_t> written{0};
};

class RecordingTarget : public MidiMessageTarget {
public:
    void OnMidiMessage(unsigned device, uint32_t message) override {
        std::lock_guard lock(mutex);
        received.emplace_back(device, message);
    }
    Received WaitFor(size_t count, std::chrono::milliseconds patience) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (std::chrono::steady_clock::now() < deadline) {
            {
                std::lock_guard lock(mutex);
                if (received.size() >= count) break;
            }
            std::this_thread::sleep_for(10ms);
        }
        std::lock_guard lock(mutex);
        return received;
    }

private:
    std::mutex mutex;
    Received received;
};

class MidiInputJackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Running()) GTEST_SKIP() << "jackd could not be started with the dummy driver";
    }
    // Queues the events and waits until the keyboard's process cycle wrote them.
    static void Play(JackKeyboard& keyboard, std::vector<std::vector<uint8_t>> events) {
        for (auto& event : events) keyboard.Queue(std::move(event));
        for (int i = 0; i < 200 && !keyboard.AllWritten(); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(keyboard.AllWritten());
    }

    JackServer server;
    RecordingErrorSink sink;
    RecordingTarget target;
};

TEST_F(MidiInputJackTest, NotesFromAJackClientArrivePackedAndInOrder) {
    JackKeyboard keyboard("e2e-keys");
    ASSERT_TRUE(keyboard.Ready());
    RtMidiPorts ports(RtMidiPorts::Api::Jack);
    MidiInputSystem midi(ports, target);
    const unsigned device = midi.FindDevice(keyboard.PortName());
    ASSERT_NE(device, MidiInputSystem::kNoDevice) << keyboard.PortName();
    ASSERT_TRUE(midi.Open(device));
    ASSERT_TRUE(keyboard.WaitConnected());

    Play(keyboard, {{0x90, 0x3C, 0x64},
                    {0x3E, 0x64},  // running status: another note on
                    {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
                    {0xC0, 0x05},
                    {0x80, 0x3C, 0x40},
                    {0x90, 0x3E, 0x00},
                    {0xFF}});
    const Received expected = {{device, 0x643C90}, {device, 0x643E90}, {device, 0x0005C0},
                               {device, 0x403C80}, {device, 0x003E90}, {device, 0x0000FF}};
    EXPECT_EQ(target.WaitFor(expected.size(), 3000ms), expected);

    ASSERT_TRUE(midi.Close(device));
    Play(keyboard, {{0x90, 0x40, 0x64}});
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(target.WaitFor(expected.size() + 1, 0ms), expected);
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(MidiInputJackTest, AKeyboardThatGoesAwayWhileOpenLeavesThePortClosable) {
    auto keyboard = std::make_unique<JackKeyboard>("e2e-gone");
    ASSERT_TRUE(keyboard->Ready());
    RtMidiPorts ports(RtMidiPorts::Api::Jack);
    MidiInputSystem midi(ports, target);
    const unsigned device = midi.FindDevice(keyboard->PortName());
    ASSERT_NE(device, MidiInputSystem::kNoDevice);
    ASSERT_TRUE(midi.Open(device));
    ASSERT_TRUE(keyboard->WaitConnected());
    Play(*keyboard, {{0x90, 0x3C, 0x64}});
    ASSERT_EQ(target.WaitFor(1, 3000ms), (Received{{device, 0x643C90}}));

    keyboard.reset();
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(midi.Close(device));
    EXPECT_FALSE(midi.IsOpen(device));

    // Listed once, the vanished port keeps its entry but cannot be opened.
    sink.Clear();
    EXPECT_FALSE(midi.Open(device));
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Errors()[0].message,
              "Could not open MIDI input device number " + std::to_string(device) +
                  " (Error: The MIDI input port e2e-gone:out is no longer present.).");
}

TEST_F(MidiInputJackTest, AServerThatStopsWhileAPortIsOpenLeavesItClosable) {
    JackKeyboard keyboard("e2e-server");
    ASSERT_TRUE(keyboard.Ready());
    RtMidiPorts ports(RtMidiPorts::Api::Jack);
    MidiInputSystem midi(ports, target);
    const unsigned device = midi.FindDevice(keyboard.PortName());
    ASSERT_NE(device, MidiInputSystem::kNoDevice);
    ASSERT_TRUE(midi.Open(device));
    server.Stop();
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(midi.Close(device));
    EXPECT_FALSE(midi.IsOpen(device));
    keyboard.Shut();
}

TEST_F(MidiInputJackTest, APortFoundAgainByNameWhenTheNumberingMoved) {
    auto first = std::make_unique<JackKeyboard>("e2e-a");
    JackKeyboard second("e2e-b");
    ASSERT_TRUE(first->Ready() && second.Ready());
    RtMidiPorts ports(RtMidiPorts::Api::Jack);
    MidiInputSystem midi(ports, target);
    const unsigned device = midi.FindDevice(second.PortName());
    ASSERT_NE(device, MidiInputSystem::kNoDevice);
    ASSERT_LT(midi.FindDevice(first->PortName()), device);
    // Removing the other port shifts the system's numbering of the second.
    first.reset();
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(midi.Open(device));
    ASSERT_TRUE(second.WaitConnected());
    Play(second, {{0xB0, 0x07, 0x7F}});
    EXPECT_EQ(target.WaitFor(1, 3000ms), (Received{{device, 0x7F07B0}}));
}

}  // namespace
}  // namespace tessaline

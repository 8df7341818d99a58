#pragma once
// What the end-to-end tests on JACK share: a private JACK server for each test
// (on the dummy driver, under a name of its own so that parallel runs do not
// meet; the test is skipped, with the reason, when jackd cannot start), a
// capture of audio output, a sender of MIDI, measures of captured sound, and
// an organ set up on the server as the program sets it up. The program's own
// clients reach the server through JACK_DEFAULT_SERVER, which Start sets.

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/types.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/EventRing.h"
#include "midi/MidiInputSystem.h"
#include "platform/ThreadTimer.h"
#include "platform/rtaudio/RtAudioOutput.h"
#include "platform/rtmidi/RtMidiPorts.h"
#include "support/OrganFileBuilder.h"
#include "support/OrganRig.h"
#include "support/TempDir.h"

namespace tessaline::e2e {

inline constexpr uint32_t kJackRate = 44100;

// Waits (at most `limit`, looking every `step`) until the condition holds.
template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit,
             std::chrono::milliseconds step = std::chrono::milliseconds(10)) {
    for (auto deadline = std::chrono::steady_clock::now() + limit; !condition();) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

// A process the test started, with changes to its environment (an empty value
// removes the variable) and its output in a log file. It goes with the test
// program, even when that crashes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { End(SIGKILL); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Start(std::vector<std::string> arguments,
               const std::map<std::string, std::string>& environment, const std::string& logPath);
    bool Running() const { return pid > 0; }
    // True when the process ended within the time; status is its wait status.
    bool Wait(std::chrono::milliseconds limit, int& status);
    // Sends the signal and waits for the end (at most 2 s, then SIGKILL).
    void End(int signal);

private:
    pid_t pid = -1;
};

class JackServer {
public:
    ~JackServer() { Stop(); }
    // Starts the server and waits (at most 10 s) until it answers; on failure
    // whyNot says what went wrong and where the server's log is.
    bool Start(std::string& whyNot);
    const std::string& Name() const { return name; }
    // Stops the server now (SIGTERM), as when it goes away under its clients.
    void Stop();
    // Kills the server at once, as a crash would; Start brings it back.
    void Crash() { process.End(SIGKILL); }

private:
    std::string name;
    ChildProcess process;
};

// Records the one output port that matches a pattern from the moment Start
// is called, up to a capacity fixed at Open.
class JackCapture {
public:
    ~JackCapture();
    bool Open(const std::string& server, const char* sourcePattern, size_t capacityFrames);
    void Start() { recording.store(true, std::memory_order_release); }
    void Stop() { recording.store(false, std::memory_order_release); }
    // Waits (at most timeoutSeconds) until that many frames are recorded.
    bool WaitForFrames(size_t count, double timeoutSeconds) const;
    // Valid after Stop.
    const std::vector<float>& Left() const { return left; }
    size_t Frames() const { return frames.load(std::memory_order_acquire); }

private:
    static int Process(jack_nframes_t count, void* self);

    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    std::vector<float> left;
    std::atomic<size_t> frames{0};
    std::atomic<bool> recording{false};
};

// Sends MIDI messages, each at the start of the next cycle, as they are
// given: running status and system exclusive pass unchanged. A message that
// does not fit into a cycle's port buffer waits for the next cycle, so none
// is lost.
class JackMidiSender {
public:
    static constexpr size_t kMaxMessageBytes = 15;

    ~JackMidiSender() { Close(); }
    // The port is "clientName:out" (JACK renames a second client of the name).
    bool Open(const std::string& server, const char* clientName = "tessaline-midi-sender");
    std::string PortName() const { return jack_port_name(port); }
    // True once some client's input is connected to the port.
    bool Connected() const { return port != nullptr && jack_port_connected(port) > 0; }
    // Queues one message of 1 to kMaxMessageBytes bytes; false when the queue is full.
    bool Send(const std::vector<uint8_t>& message);
    // Waits (at most 3 s) until something connected to the port and the
    // server has taken the connection into its graph; until then what the
    // port writes goes nowhere.
    bool WaitConnected() const;
    uint64_t Written() const { return written.load(std::memory_order_acquire); }
    // Whether every queued message has been written.
    bool Drained() const { return Written() == queued.load(std::memory_order_acquire); }
    // Closes the client at once: its port goes away, as an unplugged
    // keyboard's or a program's that quits.
    void Close();

private:
    static int Process(jack_nframes_t count, void* self);

    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    // Length and bytes of each message, from the sending thread to the
    // client's process callback (atomics that ThreadSanitizer can follow).
    EventRing<std::array<uint8_t, kMaxMessageBytes + 1>, 1024> queue;
    std::atomic<uint64_t> queued{0};
    std::atomic<uint64_t> written{0};
};

class JackTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Opens the capture for `seconds` on the organ's left output, lets the connection settle
    // and records the first 0.2 s. Call under ASSERT_NO_FATAL_FAILURE.
    void StartCapture(JackCapture& capture, size_t seconds);

    JackServer server;
};

// The median of the frequencies (counted by upward zero crossings) of
// consecutive 0.1 s pieces from `from`: one dropped cycle of a loaded test
// machine moves one piece, not the result.
double MedianFrequency(const std::vector<float>& x, size_t from, size_t pieces);
// The largest magnitude in x[from, to).
float Peak(const std::vector<float>& x, size_t from, size_t to);
// The first frame of x[from, to) whose magnitude reaches threshold, or `to`.
size_t FirstSound(const std::vector<float>& x, size_t from, size_t to, float threshold);
// An organ in the directory: one manual of twelve keys from note 60 on the
// first MIDI path (channel 2), its one stop drawn; note 69 sounds 441 Hz (a
// period of 100 frames), every other key 210 Hz. Its pipes are looped sines.
test::OrganFileBuilder SineOrgan(test::TempDir& dir);

// The MIDI inputs through RtMidi on JACK, as the program lists them.
struct JackMidiInputs {
    // Lists the MIDI ports, which must include the keyboards' (opened before),
    // and sets `device` to the device of each. Call under ASSERT_NO_FATAL_FAILURE.
    void Find(const std::vector<const JackMidiSender*>& keyboards, MidiMessageTarget& target);

    std::unique_ptr<RtMidiPorts> ports;
    std::unique_ptr<MidiInputSystem> midi;
    std::vector<unsigned> device;
};

// An organ on the JACK server as the program sets it up: MIDI from the
// keyboards' ports through the MIDI input system, sound from the engine on
// the JACK device. Counts the MIDI messages that reach it. Made once the
// server runs, which then comes first among the audio devices.
class JackOrgan : public MidiMessageTarget {
public:
    void FindKeyboards(const std::vector<const JackMidiSender*>& keyboards) {
        inputs.Find(keyboards, *this);
    }
    // Loads the organ, puts its engine on the JACK device with a buffer of
    // bufferFrames, applies the setup and activates the organ. Call under
    // ASSERT_NO_FATAL_FAILURE.
    void Start(const std::string& organPath, const SetupInfo& setup, int64_t bufferFrames);
    // As the window activates and deactivates the organ.
    bool Activate() { return engine.StartPlayback() && rig.organ.OpenMidiInputs(); }
    bool Deactivate() { return engine.StopPlayback() && rig.organ.CloseMidiInputs(); }
    void OnMidiMessage(unsigned deviceNumber, uint32_t message) override {
        delivered.fetch_add(1, std::memory_order_relaxed);
        rig.organ.OnMidiMessage(deviceNumber, message);
    }

    test::OrganRig rig;
    JackMidiInputs inputs;  // closed before the organ goes
    RtAudioOutputSystem devices;
    ThreadTimerService timers;
    AudioEngine engine{devices, timers};
    std::atomic<uint64_t> delivered{0};
};

}  // namespace tessaline::e2e

#pragma once
// End-to-end test harness around a private JACK server: starts
// `jackd --no-realtime --sync -d dummy -r 44100 -p 256` under a server name of
// its own (so parallel runs do not meet), captures audio from any output
// ports, and sends MIDI to any input port. Clients of the program under test
// reach the server through JACK_DEFAULT_SERVER, which Start sets.

#include <jack/jack.h>
#include <sys/types.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audio/EventRing.h"

namespace tessaline::e2e {

inline constexpr uint32_t kJackRate = 44100;
inline constexpr uint32_t kJackPeriod = 256;

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

class JackServer {
public:
    JackServer() = default;
    ~JackServer() { Stop(); }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // Starts the server and waits (at most 10 s) until it answers; on failure
    // whyNot says what went wrong and where the server's log is.
    bool Start(std::string& whyNot);
    const std::string& Name() const { return name; }
    // Stops the server now (SIGTERM), as when it goes away under its clients.
    void Stop();
    // Kills the server at once (SIGKILL), as a crash would. Start brings a
    // server of the same name back.
    void Crash();

private:
    std::string name;
    pid_t pid = -1;
};

// Opens a client on the named server; nullptr when the server does not answer.
jack_client_t* OpenClient(const std::string& server, const char* clientName);

// The full name of the one port matching the regular expression pattern with
// those flags (JackPortIsOutput, JackPortIsInput), or "" when none or several
// match. The program's audio output and MIDI inputs each open a client under
// its name, and the server renames the later ones.
std::string FindPort(const std::string& server, const char* pattern, unsigned long flags);

// Records two channels from the moment Start is called, up to a capacity
// fixed at Open.
class JackCapture {
public:
    ~JackCapture();
    bool Open(const std::string& server, size_t capacityFrames);
    // Connects the capture inputs to two output ports ("client:port").
    bool Connect(const std::string& leftSource, const std::string& rightSource);
    void Start() { recording.store(true, std::memory_order_release); }
    void Stop() { recording.store(false, std::memory_order_release); }
    // Runs action once, inside the next recorded cycle, after every client
    // that feeds the capture has produced that cycle's frames. Returns the
    // index in the recording of that cycle's first frame (waits at most 2 s;
    // kNever if it never ran). Times are counted in recorded frames, not in
    // JACK frame times: a server that falls behind its clock skips frame
    // times, never recorded frames.
    static constexpr size_t kNever = static_cast<size_t>(-1);
    size_t CallInNextCycle(std::function<void()> action);
    // Waits (at most timeoutSeconds) until that many frames are recorded.
    bool WaitForFrames(size_t count, double timeoutSeconds) const;

    // Valid after Stop.
    const std::vector<float>& Left() const { return left; }
    const std::vector<float>& Right() const { return right; }
    size_t Frames() const { return frames.load(std::memory_order_acquire); }

private:
    static int Process(jack_nframes_t count, void* self);

    jack_client_t* client = nullptr;
    jack_port_t* ports[2] = {nullptr, nullptr};
    std::vector<float> left, right;
    std::atomic<size_t> frames{0};
    std::atomic<bool> recording{false};
    std::function<void()> pending;
    std::atomic<bool> pendingArmed{false};
    std::atomic<size_t> pendingRanAt{0};
    std::atomic<bool> pendingRan{false};
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
    // Waits (at most timeoutSeconds) until every queued message is written.
    bool WaitSent(double timeoutSeconds) const;
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

}  // namespace tessaline::e2e

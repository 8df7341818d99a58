#include "JackTest.h"

#include <jack/midiport.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "support/OrganSections.h"
#include "support/WavBuilder.h"

namespace tessaline::e2e {

namespace {

using namespace std::chrono_literals;

// A client on the named server; nullptr when the server does not answer.
jack_client_t* OpenClient(const std::string& server, const char* clientName) {
    jack_status_t status;
    return jack_client_open(clientName,
                            static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                            &status, server.c_str());
}

}  // namespace

bool ChildProcess::Start(std::vector<std::string> arguments,
                         const std::map<std::string, std::string>& environment,
                         const std::string& logPath) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        for (const auto& [name, value] : environment)
            value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
        if (FILE* log = std::fopen(logPath.c_str(), "w")) {
            dup2(fileno(log), STDOUT_FILENO);
            dup2(fileno(log), STDERR_FILENO);
        }
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execvp(argv[0], argv.data());
        std::perror(argv[0]);
        _exit(127);
    }
    return true;
}

bool ChildProcess::Wait(std::chrono::milliseconds limit, int& status) {
    if (!WaitFor([&] { return pid > 0 && waitpid(pid, &status, WNOHANG) == pid; }, limit, 20ms))
        return false;
    pid = -1;
    return true;
}

void ChildProcess::End(int signal) {
    if (pid <= 0) return;
    kill(pid, signal);
    if (int status; !Wait(2000ms, status)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

bool JackServer::Start(std::string& whyNot) {
    static int servers = 0;
    if (name.empty())
        name = "tessaline-e2e-" + std::to_string(getpid()) + "-" + std::to_string(servers++);
    // Quiet libjack's complaints while the server is not there yet.
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    const std::string logPath = "/tmp/" + name + ".log";
    // --sync: clients run in step with the server's cycle, so MIDI sent to a
    // client is not lost on a loaded machine. No D-Bus session and no device
    // to reserve on a build machine.
    if (!process.Start({"jackd", "-n", name, "--no-realtime", "--sync", "-d", "dummy", "-r",
                        "44100", "-p", "256"},
                       {{"JACK_NO_AUDIO_RESERVATION", "1"}}, logPath)) {
        whyNot = "fork failed";
        return false;
    }
    bool exited = false;
    const bool answers = WaitFor(
        [&] {
            int status;
            exited = process.Wait(0ms, status);
            jack_client_t* probe = exited ? nullptr : OpenClient(name, "tessaline-probe");
            if (probe) jack_client_close(probe);
            return exited || probe;
        },
        10000ms, 50ms);
    if (answers && !exited) {
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        return true;
    }
    process.End(SIGKILL);
    whyNot = std::string(exited ? "jackd exited before it answered"
                                : "jackd did not answer within 10 s") +
             "; see " + logPath;
    return false;
}

void JackServer::Stop() {
    if (!process.Running()) return;
    process.End(SIGTERM);
    std::remove(("/tmp/" + name + ".log").c_str());
    unsetenv("JACK_DEFAULT_SERVER");
}

JackCapture::~JackCapture() {
    if (client) jack_client_close(client);
}

bool JackCapture::Open(const std::string& server, const char* sourcePattern,
                       size_t capacityFrames) {
    left.assign(capacityFrames, 0.0f);
    client = OpenClient(server, "tessaline-capture");
    if (!client) return false;
    port = jack_port_register(client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    if (!port) return false;
    jack_set_process_callback(client, &JackCapture::Process, this);
    const char** found = jack_get_ports(client, sourcePattern, nullptr, JackPortIsOutput);
    const bool opened = found && found[0] && !found[1] && jack_activate(client) == 0 &&
                        jack_connect(client, found[0], jack_port_name(port)) == 0;
    if (found) jack_free(found);
    return opened;
}

bool JackCapture::WaitForFrames(size_t count, double timeoutSeconds) const {
    const auto limit = std::chrono::milliseconds(static_cast<int64_t>(timeoutSeconds * 1000));
    return WaitFor([&] { return Frames() >= count; }, limit, 20ms);
}

int JackCapture::Process(jack_nframes_t count, void* user) {
    auto* self = static_cast<JackCapture*>(user);
    if (!self->recording.load(std::memory_order_acquire)) return 0;
    size_t at = self->frames.load(std::memory_order_relaxed);
    size_t n = std::min<size_t>(count, self->left.size() - at);
    auto* in = static_cast<const float*>(jack_port_get_buffer(self->port, count));
    std::copy(in, in + n, self->left.begin() + static_cast<long>(at));
    self->frames.store(at + n, std::memory_order_release);
    return 0;
}

void JackMidiSender::Close() {
    if (client) jack_client_close(client);
    client = nullptr;
}

bool JackMidiSender::Open(const std::string& server, const char* clientName) {
    client = OpenClient(server, clientName);
    if (!client) return false;
    port = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!port) return false;
    jack_set_process_callback(client, &JackMidiSender::Process, this);
    return jack_activate(client) == 0;
}

bool JackMidiSender::Send(const std::vector<uint8_t>& message) {
    if (message.empty() || message.size() > kMaxMessageBytes) return false;
    std::array<uint8_t, kMaxMessageBytes + 1> record{static_cast<uint8_t>(message.size())};
    std::copy(message.begin(), message.end(), record.begin() + 1);
    if (!queue.Push(record)) return false;
    queued.fetch_add(1, std::memory_order_release);
    return true;
}

bool JackMidiSender::WaitConnected() const {
    WaitFor([&] { return Connected(); }, 3000ms);
    std::this_thread::sleep_for(50ms);
    return Connected();
}

int JackMidiSender::Process(jack_nframes_t count, void* user) {
    auto* self = static_cast<JackMidiSender*>(user);
    void* buffer = jack_port_get_buffer(self->port, count);
    jack_midi_clear_buffer(buffer);
    uint64_t sent = 0;
    self->queue.BeginBlock();
    while (const auto* record = self->queue.Peek()) {
        // A full port buffer keeps the rest for the next cycle.
        if (jack_midi_event_write(buffer, 0, record->data() + 1, (*record)[0]) != 0) break;
        self->queue.Pop();
        ++sent;
    }
    self->written.fetch_add(sent, std::memory_order_release);
    return 0;
}

void JackTest::SetUp() {
    std::string whyNot;
    if (!server.Start(whyNot))
        GTEST_SKIP() << "jackd could not start, so no end-to-end test: " << whyNot;
}

void JackTest::StartCapture(JackCapture& capture, size_t seconds) {
    ASSERT_TRUE(capture.Open(server.Name(), "^Tessaline.*:outport 0$", seconds * kJackRate));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    capture.Start();
    ASSERT_TRUE(capture.WaitForFrames(kJackRate / 5, 5)) << "the JACK server stalled";
}

double MedianFrequency(const std::vector<float>& x, size_t from, size_t pieces) {
    std::vector<double> found;
    for (size_t k = 0; k < pieces; ++k) {
        double first = -1, last = -1;
        int crossings = 0;
        const size_t end = std::min(x.size(), from + (k + 1) * kJackRate / 10);
        for (size_t i = from + k * kJackRate / 10; i + 1 < end; ++i) {
            if (x[i] < 0 && x[i + 1] >= 0) {
                // Placed between its two frames by linear interpolation.
                last = static_cast<double>(i) + x[i] / (x[i] - x[i + 1]);
                if (first < 0) first = last;
                ++crossings;
            }
        }
        found.push_back(crossings < 2 ? 0 : (crossings - 1) * kJackRate / (last - first));
    }
    std::sort(found.begin(), found.end());
    return found[found.size() / 2];
}

float Peak(const std::vector<float>& x, size_t from, size_t to) {
    float peak = 0;
    for (size_t i = from; i < to && i < x.size(); ++i) peak = std::max(peak, std::fabs(x[i]));
    return peak;
}

size_t FirstSound(const std::vector<float>& x, size_t from, size_t to, float threshold) {
    for (; from < to && from < x.size(); ++from)
        if (std::fabs(x[from]) >= threshold) return from;
    return to;
}

test::OrganFileBuilder SineOrgan(test::TempDir& dir) {
    // 100 cycles of amplitude 12000, the loop over whole cycles from the
    // tenth, the release marker at the loop's end.
    auto sine = [](uint32_t period) {
        std::vector<int16_t> values;
        for (uint32_t i = 0; i < 100 * period; ++i)
            values.push_back(static_cast<int16_t>(
                std::lround(12000.0 * std::sin(2.0 * std::numbers::pi * i / period))));
        return test::WavBuilder().Values(values).Loop(10 * period, 90 * period - 1)
            .Cue(90 * period).Build();
    };
    auto organ = test::OrganFileBuilder::MinimalOrgan();
    test::SetManual(organ, 1, 12, {1});
    organ.Set("Manual001", "FirstAccessibleKeyMIDINoteNumber", "60");
    dir.Write("pipes/a.wav", sine(100));
    dir.Write("pipes/low.wav", sine(210));
    std::vector<std::string> pipes(12, "pipes/low.wav");
    pipes[9] = "pipes/a.wav";
    test::SetStop(organ, 1, pipes);
    organ.Set("Stop001", "DefaultToEngaged", "Y");
    return organ;
}

void JackMidiInputs::Find(const std::vector<const JackMidiSender*>& keyboards,
                          MidiMessageTarget& target) {
    ports = std::make_unique<RtMidiPorts>(RtMidiPorts::Api::Jack);
    midi = std::make_unique<MidiInputSystem>(*ports, target);
    for (const JackMidiSender* keyboard : keyboards) {
        device.push_back(midi->FindDevice(keyboard->PortName()));
        ASSERT_NE(device.back(), MidiInputSystem::kNoDevice) << keyboard->PortName();
    }
}

void JackOrgan::Start(const std::string& organPath, const SetupInfo& setup, int64_t bufferFrames) {
    // With a server running, JACK comes first in the list.
    ASSERT_GE(engine.DeviceCount(), 1u);
    ASSERT_STREQ(engine.DeviceDescription(0), "Jack: system");
    ASSERT_TRUE(engine.SetParameters(0, bufferFrames));
    ASSERT_TRUE(rig.organ.Load(organPath)) << rig.errors.Errors()[0].boxText;
    ASSERT_TRUE(rig.organ.AttachEngine(engine));
    ASSERT_TRUE(rig.organ.midiRouting.ApplySetup(setup));
    {
        auto lock = rig.organ.LockAction();
        rig.organ.ResetActionLocked();
        rig.organ.midiRouting.ResetRedirectableInputs();
    }
    rig.organ.midiRouting.SetInputSystem(inputs.midi.get());
    ASSERT_TRUE(Activate());
    ASSERT_EQ(rig.errors.Count(), 0u) << rig.errors.Errors()[0].boxText;
}

}  // namespace tessaline::e2e

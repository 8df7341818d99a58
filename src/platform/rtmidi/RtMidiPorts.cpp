#include "platform/rtmidi/RtMidiPorts.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string_view>

#include "organ/Constants.h"
#include "platform/ChainedMidiPorts.h"
#include "platform/MidiByteStream.h"
#include "platform/virtual/VirtualMidiPorts.h"

namespace tessaline {

struct RtMidiPorts::OpenedPort {
    std::unique_ptr<RtMidiIn> input;
    MidiPortReceiver* receiver = nullptr;
    std::string source;      // the name of the port it is connected to
    MidiStreamState stream;  // MIDI thread only
    std::atomic<bool> started{false};
    std::atomic<bool> resetRequested{false};
    std::atomic<bool> failureSent{false};
};

namespace {

// The audio output's JACK client is "Tessaline"; a distinct name keeps the
// server from renaming whichever of the two comes second.
constexpr const char* kClientName = "Tessaline MIDI";
constexpr const char* kInputPortName = "Input";

// While an operation of this thread calls into RtMidi, its errors are written
// here and become the operation's failure text instead of a port failure.
thread_local std::string* capturedError = nullptr;

class ErrorCapture {
public:
    ErrorCapture() : previous(capturedError) { capturedError = &text; }
    ~ErrorCapture() { capturedError = previous; }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    MidiPortResult Failure(const char* fallback) const {
        return MidiPortResult::Failure(text.empty() ? fallback : text);
    }

private:
    std::string text;
    std::string* previous;
};

bool Capture(const std::string& text) {
    if (!capturedError) return false;
    // The first error of an operation is the one that explains it.
    if (capturedError->empty()) *capturedError = text;
    return true;
}

void OnListerError(RtMidiError::Type, const std::string& text, void*) { Capture(text); }

void OnPortError(RtMidiError::Type type, const std::string& text, void* user) {
    if (Capture(text)) return;
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) return;
    auto* port = static_cast<RtMidiPorts::OpenedPort*>(user);
    if (!port->failureSent.exchange(true, std::memory_order_acq_rel)) {
        port->receiver->OnPortFailure(text);
    }
}

// RtMidi's thread: parse what arrived and pass on every complete message.
void OnPortBytes(double, std::vector<unsigned char>* bytes, void* user) {
    auto* port = static_cast<RtMidiPorts::OpenedPort*>(user);
    if (port->resetRequested.exchange(false, std::memory_order_acq_rel)) port->stream = {};
    const bool started = port->started.load(std::memory_order_acquire);
    for (unsigned char byte : *bytes) {
        uint32_t message = 0;
        if (ParseMidiByte(port->stream, byte, message) && started) {
            port->receiver->OnShortMessage(message);
        }
    }
}

bool Compiled(RtMidi::Api api) {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

}  // namespace

RtMidiPorts::RtMidiPorts(Api api) {
    std::vector<RtMidi::Api> candidates;
    if (api != Api::Jack) candidates.push_back(RtMidi::LINUX_ALSA);
    if (api != Api::Alsa) candidates.push_back(RtMidi::UNIX_JACK);
    for (RtMidi::Api candidate : candidates) {
        // Asked for an API it lacks, RtMidi would quietly take another.
        if (!Compiled(candidate)) {
            systemFailure =
                "RtMidi was built without " + RtMidi::getApiDisplayName(candidate) + ".";
            continue;
        }
        try {
            RtMidiIn probe(candidate, kClientName);
            rtApi = candidate;
            reachable = true;
            systemFailure.clear();
            return;
        } catch (const RtMidiError& error) {
            systemFailure = error.getMessage();
        }
    }
}

RtMidiPorts::~RtMidiPorts() = default;

std::unique_ptr<RtMidiIn> RtMidiPorts::ConnectLister() {
    if (!reachable) return nullptr;
    try {
        auto lister = std::make_unique<RtMidiIn>(static_cast<RtMidi::Api>(rtApi), kClientName);
        lister->setErrorCallback(&OnListerError, nullptr);
        return lister;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

unsigned RtMidiPorts::PortCount() {
    listedNames.clear();
    nameFailures.clear();
    ErrorCapture capture;
    std::unique_ptr<RtMidiIn> lister = ConnectLister();
    if (!lister) return 0;
    // Every name is read now, while the lister is connected.
    const unsigned count = std::min(lister->getPortCount(), kMaxMidiInputDevices);
    listedNames.resize(count);
    nameFailures.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        ErrorCapture nameCapture;
        listedNames[i] = lister->getPortName(i);
        if (listedNames[i].empty())
            nameFailures[i] = nameCapture.Failure("The MIDI input port has no name.").text;
    }
    return count;
}

MidiPortResult RtMidiPorts::PortName(unsigned port, std::string& name) {
    if (!reachable) return MidiPortResult::Failure(systemFailure);
    if (port < listedNames.size()) {
        if (listedNames[port].empty()) return MidiPortResult::Failure(nameFailures[port]);
        name = listedNames[port];
        return MidiPortResult::Success();
    }
    ErrorCapture capture;
    std::unique_ptr<RtMidiIn> lister = ConnectLister();
    std::string found = lister ? lister->getPortName(port) : std::string();
    if (found.empty()) return capture.Failure("The MIDI input port has no name.");
    name = std::move(found);
    return MidiPortResult::Success();
}

MidiPortResult RtMidiPorts::Open(unsigned port, MidiPortReceiver& receiver,
                                 MidiPortHandle& handle) {
    if (!reachable) return MidiPortResult::Failure(systemFailure);
    auto opening = std::make_unique<OpenedPort>();
    opening->receiver = &receiver;
    ErrorCapture capture;
    try {
        opening->input = std::make_unique<RtMidiIn>(static_cast<RtMidi::Api>(rtApi), kClientName);
        RtMidiIn& input = *opening->input;
        input.setErrorCallback(&OnPortError, opening.get());
        input.ignoreTypes(true, true, true);
        input.setCallback(&OnPortBytes, opening.get());
        // Ports may have come or gone since they were listed: find the listed
        // name again, at its own number when it is still there.
        unsigned index = port;
        if (port < listedNames.size() && !listedNames[port].empty()) {
            const std::string& wanted = listedNames[port];
            const unsigned count = input.getPortCount();
            if (port >= count || input.getPortName(port) != wanted) {
                index = count;
                for (unsigned i = 0; i < count && index == count; ++i) {
                    if (input.getPortName(i) == wanted) index = i;
                }
                if (index == count) {
                    return MidiPortResult::Failure("The MIDI input port " + wanted +
                                                   " is no longer present.");
                }
            }
        }
        opening->source = input.getPortName(index);
        input.openPort(index, kInputPortName);
        if (!input.isPortOpen()) return capture.Failure("The MIDI input port could not be opened.");
    } catch (const RtMidiError& error) {
        return MidiPortResult::Failure(error.getMessage());
    }
    auto slot = std::find(opened.begin(), opened.end(), nullptr);
    if (slot == opened.end()) slot = opened.insert(opened.end(), nullptr);
    *slot = std::move(opening);
    handle.value = static_cast<int>(slot - opened.begin());
    return MidiPortResult::Success();
}

RtMidiPorts::OpenedPort* RtMidiPorts::Find(MidiPortHandle handle) {
    if (handle.value < 0 || static_cast<size_t>(handle.value) >= opened.size()) return nullptr;
    return opened[static_cast<size_t>(handle.value)].get();
}

MidiPortResult RtMidiPorts::Start(MidiPortHandle handle) {
    OpenedPort* port = Find(handle);
    if (!port) return MidiPortResult::Failure("The MIDI input port is not open.");
    port->started.store(true, std::memory_order_release);
    return MidiPortResult::Success();
}

MidiPortResult RtMidiPorts::Stop(MidiPortHandle handle) {
    OpenedPort* port = Find(handle);
    if (!port) return MidiPortResult::Failure("The MIDI input port is not open.");
    port->started.store(false, std::memory_order_release);
    return MidiPortResult::Success();
}

MidiPortResult RtMidiPorts::Reset(MidiPortHandle handle) {
    OpenedPort* port = Find(handle);
    if (!port) return MidiPortResult::Failure("The MIDI input port is not open.");
    // The parser belongs to the MIDI thread; it clears itself at the next bytes.
    port->resetRequested.store(true, std::memory_order_release);
    return MidiPortResult::Success();
}

MidiPortResult RtMidiPorts::Close(MidiPortHandle handle) {
    OpenedPort* port = Find(handle);
    if (!port) return MidiPortResult::Failure("The MIDI input port is not open.");
    ErrorCapture capture;
    try {
        port->input->closePort();
        // Destroying the input ends its thread or its JACK client, so the
        // receiver hears nothing more once Close returns.
        port->input.reset();
    } catch (const RtMidiError& error) {
        return MidiPortResult::Failure(error.getMessage());
    }
    opened[static_cast<size_t>(handle.value)].reset();
    return MidiPortResult::Success();
}

MidiPortResult RtMidiPorts::Check(MidiPortHandle handle) {
    OpenedPort* port = Find(handle);
    if (!port) return MidiPortResult::Failure("The MIDI input port is not open.");
    // The port's own client lists what its system offers now: no client comes
    // and goes on the system for the question.
    ErrorCapture capture;
    RtMidiIn& input = *port->input;
    const unsigned count = input.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        if (input.getPortName(i) == port->source) return MidiPortResult::Success();
    }
    return MidiPortResult::Failure("The MIDI input port " + port->source +
                                   " is no longer present.");
}

std::unique_ptr<MidiPorts> CreateSystemMidiPorts() {
    // TESSALINE_MIDI_SYSTEM=jack takes JACK's MIDI ports even where an ALSA
    // sequencer exists, for a JACK-only setup (and the end-to-end tests).
    const char* system = std::getenv("TESSALINE_MIDI_SYSTEM");
    const bool jack = system != nullptr && std::string_view(system) == "jack";
    auto real = std::make_unique<RtMidiPorts>(jack ? RtMidiPorts::Api::Jack : RtMidiPorts::Api::Automatic);
    const char* wanted = std::getenv("TESSALINE_VIRTUAL_DEVICES");
    if (!wanted || std::string_view(wanted) != "1") return real;
    VirtualMidiPorts& virtualPorts = SharedVirtualMidiPorts();
    // The application will not start without a MIDI port; give it one.
    if (virtualPorts.PortCount() == 0) virtualPorts.AddPort("Tessaline Virtual MIDI Input");
    return std::make_unique<ChainedMidiPorts>(std::move(real), virtualPorts);
}

}  // namespace tessaline

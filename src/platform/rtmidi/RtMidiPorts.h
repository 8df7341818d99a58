#pragma once
// The real MIDI input ports, through RtMidi: the ALSA sequencer when it can be
// opened, else JACK. At most 32 ports, named as RtMidi names them.
//
// RtMidi has no start, stop or reset of its own: an opened port is connected
// but its messages are dropped until Start and after Stop, and Reset forgets
// what the byte parser held. Close disconnects; once it returns, the receiver
// is not called again. RtMidi reports problems through an error callback
// rather than exceptions here: during an operation its text becomes the
// operation's failure; on the MIDI thread (a device or server gone while open)
// it goes to the receiver's OnPortFailure, once per opening.
//
// Threads: every operation runs on the UI thread.

#include <memory>
#include <string>
#include <vector>

#include "platform/MidiPorts.h"

class RtMidiIn;

namespace tessaline {

class RtMidiPorts : public MidiPorts {
public:
    enum class Api { Automatic, Alsa, Jack };

    // Connects to the MIDI system (Automatic: ALSA, and JACK when the ALSA
    // sequencer cannot be opened). When neither can be reached the set is
    // empty and SystemFailure says why.
    explicit RtMidiPorts(Api api = Api::Automatic);
    // Closes every port still open.
    ~RtMidiPorts() override;
    RtMidiPorts(const RtMidiPorts&) = delete;
    RtMidiPorts& operator=(const RtMidiPorts&) = delete;

    const std::string& SystemFailure() const { return systemFailure; }

    unsigned PortCount() override;
    MidiPortResult PortName(unsigned port, std::string& name) override;
    MidiPortResult Open(unsigned port, MidiPortReceiver& receiver, MidiPortHandle& handle) override;
    MidiPortResult Start(MidiPortHandle handle) override;
    MidiPortResult Stop(MidiPortHandle handle) override;
    MidiPortResult Reset(MidiPortHandle handle) override;
    MidiPortResult Close(MidiPortHandle handle) override;
    MidiPortResult Check(MidiPortHandle handle) override;

    struct OpenedPort;

private:
    OpenedPort* Find(MidiPortHandle handle);

    // A client of the MIDI system for listing, connected only while it
    // lists: a JACK client that lives through its server's death cannot be
    // closed safely once the server is back (libjack crashes or hangs).
    std::unique_ptr<RtMidiIn> ConnectLister();

    int rtApi = 0;           // RtMidi::Api of the system reached
    bool reachable = false;  // a MIDI system could be reached at construction
    std::string systemFailure;
    std::vector<std::string> listedNames;   // names by port number, as last listed
    std::vector<std::string> nameFailures;  // why a listed port has no name
    std::vector<std::unique_ptr<OpenedPort>> opened;  // by handle; empty slots reused
};

// The ports the application offers: the RtMidi ports (JACK's only when the
// environment holds TESSALINE_MIDI_SYSTEM=jack), followed by the shared
// virtual ports when it holds TESSALINE_VIRTUAL_DEVICES=1 (with one port,
// "Tessaline Virtual MIDI Input", when the shared set has none yet).
std::unique_ptr<MidiPorts> CreateSystemMidiPorts();

}  // namespace tessaline

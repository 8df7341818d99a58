#pragma once
// What Tessaline needs of the computer's MIDI input ports: how many there are,
// the name of each, and, per port, open with a receiver, start, stop, reset and
// close. Real back end: RtMidiPorts (src/platform/rtmidi). Test back end:
// VirtualMidiPorts (src/platform/virtual).
//
// Threads: every operation here is called on the UI thread. The receiver of an
// open port is called on the back end's MIDI thread, from the moment the port
// is started until Stop returns; after Close returns it is never called again.

#include <cstdint>
#include <string>

namespace tessaline {

// The result of one port operation: code 0 is success; otherwise text is the
// back end's own description of the failure, shown to the player as it is.
struct MidiPortResult {
    int code = 0;
    std::string text;

    bool Succeeded() const { return code == 0; }
    static MidiPortResult Success() { return {}; }
    static MidiPortResult Failure(std::string description, int failureCode = 1) {
        return {failureCode, std::move(description)};
    }
};

// Identifies an opened port to its back end; valid from Open to Close.
struct MidiPortHandle {
    int value = -1;
};

class MidiPortReceiver {
public:
    virtual ~MidiPortReceiver() = default;
    // MIDI thread. One complete short message: status | data1 << 8 | data2 << 16
    // (data2 is 0 for messages with one data byte or none). Must return quickly:
    // no allocation, no lock wait.
    virtual void OnShortMessage(uint32_t message) = 0;
    // Any thread. The port failed while open (its device went away, the MIDI
    // server stopped); description is the back end's text.
    virtual void OnPortFailure(const std::string& description) = 0;
};

class MidiPorts {
public:
    virtual ~MidiPorts() = default;

    virtual unsigned PortCount() = 0;
    // The port's name as the system gives it.
    virtual MidiPortResult PortName(unsigned port, std::string& name) = 0;
    // Opens the port so that, once started, its messages reach receiver. The
    // receiver must outlive the opening.
    virtual MidiPortResult Open(unsigned port, MidiPortReceiver& receiver,
                                MidiPortHandle& handle) = 0;
    virtual MidiPortResult Start(MidiPortHandle handle) = 0;
    virtual MidiPortResult Stop(MidiPortHandle handle) = 0;
    // Forgets any message half received.
    virtual MidiPortResult Reset(MidiPortHandle handle) = 0;
    virtual MidiPortResult Close(MidiPortHandle handle) = 0;
    // Whether the open port's source is still there. Most MIDI systems drop a
    // connection silently when its device is unplugged or its program ends, so
    // the caller asks from time to time; a failure says what went away.
    virtual MidiPortResult Check(MidiPortHandle handle) = 0;
};

}  // namespace tessaline

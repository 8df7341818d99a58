#pragma once
// Test and headless back end of the MIDI ports: ports that a test creates by
// name and feeds with messages, with failures that a test can inject into any
// operation of any port. The application lists the shared set after the real
// ports when TESSALINE_VIRTUAL_DEVICES=1; tests may use any set directly.
//
// Threads: every operation takes the set's own lock, and Send calls the
// receiver under it, so a Close that returns has seen the last delivery. The
// thread that calls Send plays the part of the MIDI thread.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/MidiPorts.h"

namespace tessaline {

class VirtualMidiPorts : public MidiPorts {
public:
    // Check fails only by injection: a port whose device a test unplugs.
    enum class Operation { Name, Open, Start, Stop, Reset, Close, Check };
    static constexpr int kOperations = 7;

    // Adds a port at the end of the list; returns its port number.
    unsigned AddPort(std::string name);

    // Delivers one packed message when the port is open and started; returns
    // whether it was delivered.
    bool Send(unsigned port, uint32_t message);
    // The port fails while open (its device was unplugged): the receiver hears
    // of it through OnPortFailure.
    void FailWhileOpen(unsigned port, const std::string& description);

    // From now on every call of the operation on the port fails with this text
    // and code, until ClearFailures.
    void InjectFailure(unsigned port, Operation operation, std::string text, int code = 1);
    void ClearFailures();

    // Number of calls of the operation on the port so far, failed ones included.
    int Calls(unsigned port, Operation operation) const;
    bool IsOpen(unsigned port) const;
    bool IsStarted(unsigned port) const;

    unsigned PortCount() override;
    MidiPortResult PortName(unsigned port, std::string& name) override;
    MidiPortResult Open(unsigned port, MidiPortReceiver& receiver, MidiPortHandle& handle) override;
    MidiPortResult Start(MidiPortHandle handle) override;
    MidiPortResult Stop(MidiPortHandle handle) override;
    MidiPortResult Reset(MidiPortHandle handle) override;
    MidiPortResult Close(MidiPortHandle handle) override;
    MidiPortResult Check(MidiPortHandle handle) override;

private:
    struct Port {
        std::string name;
        MidiPortReceiver* receiver = nullptr;  // set while open
        bool started = false;
        std::array<int, kOperations> calls{};
        std::array<MidiPortResult, kOperations> failures{};
    };

    // Counts the call and returns the injected result; nullptr when the port
    // does not exist. Called under the lock.
    Port* Enter(unsigned port, Operation operation, MidiPortResult& result);
    Port* OpenPort(MidiPortHandle handle, Operation operation, MidiPortResult& result);

    mutable std::mutex mutex;
    std::vector<Port> ports;
};

// The set the application lists when TESSALINE_VIRTUAL_DEVICES=1.
VirtualMidiPorts& SharedVirtualMidiPorts();

}  // namespace tessaline

#pragma once
// Two sets of MIDI ports listed as one: the ports of the first, then those of
// the second. The application uses it to list the virtual ports after the real
// ones. Handles of the joined set carry which set opened the port.

#include <memory>

#include "platform/MidiPorts.h"

namespace tessaline {

class ChainedMidiPorts : public MidiPorts {
public:
    // Both sets must outlive this object.
    ChainedMidiPorts(MidiPorts& first, MidiPorts& second) : first(first), second(second) {}
    // The same, owning the first set.
    ChainedMidiPorts(std::unique_ptr<MidiPorts> ownedFirst, MidiPorts& second)
        : owned(std::move(ownedFirst)), first(*owned), second(second) {}

    // UI. The count of the first set is taken again each time, so that a port
    // number keeps to the set it was listed from only while that count holds;
    // the MIDI input system lists once and keeps its numbers.
    unsigned PortCount() override;
    MidiPortResult PortName(unsigned port, std::string& name) override;
    MidiPortResult Open(unsigned port, MidiPortReceiver& receiver, MidiPortHandle& handle) override;
    MidiPortResult Start(MidiPortHandle handle) override;
    MidiPortResult Stop(MidiPortHandle handle) override;
    MidiPortResult Reset(MidiPortHandle handle) override;
    MidiPortResult Close(MidiPortHandle handle) override;
    MidiPortResult Check(MidiPortHandle handle) override;

private:
    // The set that opened the handle, and the handle as that set knows it.
    MidiPorts& Owner(MidiPortHandle handle, MidiPortHandle& inner);

    std::unique_ptr<MidiPorts> owned;
    MidiPorts& first;
    MidiPorts& second;
    unsigned firstCount = 0;  // as last listed
};

}  // namespace tessaline

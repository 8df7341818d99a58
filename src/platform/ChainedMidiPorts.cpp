#include "platform/ChainedMidiPorts.h"

namespace tessaline {

unsigned ChainedMidiPorts::PortCount() {
    firstCount = first.PortCount();
    return firstCount + second.PortCount();
}

MidiPortResult ChainedMidiPorts::PortName(unsigned port, std::string& name) {
    if (port < firstCount) return first.PortName(port, name);
    return second.PortName(port - firstCount, name);
}

MidiPortResult ChainedMidiPorts::Open(unsigned port, MidiPortReceiver& receiver,
                                      MidiPortHandle& handle) {
    MidiPortHandle inner;
    const bool inFirst = port < firstCount;
    MidiPortResult result = inFirst ? first.Open(port, receiver, inner)
                                    : second.Open(port - firstCount, receiver, inner);
    // The lowest bit says which set holds the port.
    if (result.Succeeded()) handle.value = inner.value * 2 + (inFirst ? 0 : 1);
    return result;
}

MidiPorts& ChainedMidiPorts::Owner(MidiPortHandle handle, MidiPortHandle& inner) {
    inner.value = handle.value < 0 ? -1 : handle.value / 2;
    return handle.value >= 0 && handle.value % 2 == 1 ? second : first;
}

MidiPortResult ChainedMidiPorts::Start(MidiPortHandle handle) {
    MidiPortHandle inner;
    return Owner(handle, inner).Start(inner);
}

MidiPortResult ChainedMidiPorts::Stop(MidiPortHandle handle) {
    MidiPortHandle inner;
    return Owner(handle, inner).Stop(inner);
}

MidiPortResult ChainedMidiPorts::Reset(MidiPortHandle handle) {
    MidiPortHandle inner;
    return Owner(handle, inner).Reset(inner);
}

MidiPortResult ChainedMidiPorts::Close(MidiPortHandle handle) {
    MidiPortHandle inner;
    return Owner(handle, inner).Close(inner);
}

MidiPortResult ChainedMidiPorts::Check(MidiPortHandle handle) {
    MidiPortHandle inner;
    return Owner(handle, inner).Check(inner);
}

}  // namespace tessaline

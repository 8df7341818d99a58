#include "platform/virtual/VirtualMidiPorts.h"

namespace tessaline {

namespace {

MidiPortResult NoSuchPort() { return MidiPortResult::Failure("There is no such virtual port."); }

}  // namespace

unsigned VirtualMidiPorts::AddPort(std::string name) {
    std::lock_guard lock(mutex);
    ports.push_back(Port{});
    ports.back().name = std::move(name);
    return static_cast<unsigned>(ports.size() - 1);
}

bool VirtualMidiPorts::Send(unsigned port, uint32_t message) {
    std::lock_guard lock(mutex);
    if (port >= ports.size() || !ports[port].receiver || !ports[port].started) return false;
    ports[port].receiver->OnShortMessage(message);
    return true;
}

void VirtualMidiPorts::FailWhileOpen(unsigned port, const std::string& description) {
    std::lock_guard lock(mutex);
    if (port < ports.size() && ports[port].receiver)
        ports[port].receiver->OnPortFailure(description);
}

void VirtualMidiPorts::InjectFailure(unsigned port, Operation operation, std::string text,
                                     int code) {
    std::lock_guard lock(mutex);
    if (port >= ports.size()) return;
    ports[port].failures[static_cast<int>(operation)] =
        MidiPortResult::Failure(std::move(text), code);
}

void VirtualMidiPorts::ClearFailures() {
    std::lock_guard lock(mutex);
    for (Port& p : ports) p.failures.fill(MidiPortResult::Success());
}

int VirtualMidiPorts::Calls(unsigned port, Operation operation) const {
    std::lock_guard lock(mutex);
    return port < ports.size() ? ports[port].calls[static_cast<int>(operation)] : 0;
}

bool VirtualMidiPorts::IsOpen(unsigned port) const {
    std::lock_guard lock(mutex);
    return port < ports.size() && ports[port].receiver != nullptr;
}

bool VirtualMidiPorts::IsStarted(unsigned port) const {
    std::lock_guard lock(mutex);
    return port < ports.size() && ports[port].started;
}

unsigned VirtualMidiPorts::PortCount() {
    std::lock_guard lock(mutex);
    return static_cast<unsigned>(ports.size());
}

VirtualMidiPorts::Port* VirtualMidiPorts::Enter(unsigned port, Operation operation,
                                                MidiPortResult& result) {
    if (port >= ports.size()) {
        result = NoSuchPort();
        return nullptr;
    }
    Port& p = ports[port];
    ++p.calls[static_cast<int>(operation)];
    result = p.failures[static_cast<int>(operation)];
    return &p;
}

VirtualMidiPorts::Port* VirtualMidiPorts::OpenPort(MidiPortHandle handle, Operation operation,
                                                   MidiPortResult& result) {
    if (handle.value < 0) {
        result = MidiPortResult::Failure("The handle is not that of an open virtual port.");
        return nullptr;
    }
    Port* p = Enter(static_cast<unsigned>(handle.value), operation, result);
    if (p && result.Succeeded() && !p->receiver) {
        result = MidiPortResult::Failure("The handle is not that of an open virtual port.");
    }
    return result.Succeeded() ? p : nullptr;
}

MidiPortResult VirtualMidiPorts::PortName(unsigned port, std::string& name) {
    std::lock_guard lock(mutex);
    MidiPortResult result;
    Port* p = Enter(port, Operation::Name, result);
    if (p && result.Succeeded()) name = p->name;
    return result;
}

MidiPortResult VirtualMidiPorts::Open(unsigned port, MidiPortReceiver& receiver,
                                      MidiPortHandle& handle) {
    std::lock_guard lock(mutex);
    MidiPortResult result;
    Port* p = Enter(port, Operation::Open, result);
    if (!p || !result.Succeeded()) return result;
    if (p->receiver) return MidiPortResult::Failure("The virtual port is already open.");
    p->receiver = &receiver;
    p->started = false;
    handle.value = static_cast<int>(port);
    return result;
}

MidiPortResult VirtualMidiPorts::Start(MidiPortHandle handle) {
    std::lock_guard lock(mutex);
    MidiPortResult result;
    if (Port* p = OpenPort(handle, Operation::Start, result)) p->started = true;
    return result;
}

MidiPortResult VirtualMidiPorts::Stop(MidiPortHandle handle) {
    std::lock_guard lock(mutex);
    MidiPortResult result;
    if (Port* p = OpenPort(handle, Operation::Stop, result)) p->started = false;
    return result;
}

MidiPortResult VirtualMidiPorts::Reset(MidiPortHandle handle) {
    // Virtual ports hand over whole messages: there is nothing half received.
    std::lock_guard lock(mutex);
    MidiPortResult result;
    OpenPort(handle, Operation::Reset, result);
    return result;
}

MidiPortResult VirtualMidiPorts::Close(MidiPortHandle handle) {
    std::lock_guard lock(mutex);
    MidiPortResult result;
    if (Port* p = OpenPort(handle, Operation::Close, result)) {
        p->receiver = nullptr;
        p->started = false;
    }
    return result;
}

MidiPortResult VirtualMidiPorts::Check(MidiPortHandle handle) {
    std::lock_guard lock(mutex);
    MidiPortResult result;
    OpenPort(handle, Operation::Check, result);
    return result;
}

VirtualMidiPorts& SharedVirtualMidiPorts() {
    static VirtualMidiPorts shared;
    return shared;
}

}  // namespace tessaline

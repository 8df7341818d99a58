#include "midi/MidiInputSystem.h"

#include <algorithm>

#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kInitialising = "Initialising MIDI system.";
constexpr const char* kHalting = "Halting MIDI system.";

}  // namespace

MidiInputSystem::MidiInputSystem(MidiPorts& midiPorts, MidiMessageTarget& messageTarget)
    : ports(midiPorts), target(messageTarget) {
    deviceCount = std::min(ports.PortCount(), kMaxMidiInputDevices);
    if (deviceCount == 0) {
        ReportError("There are no MIDI input devices on the system.", kInitialising);
        return;
    }
    for (unsigned i = 0; i < deviceCount; ++i) {
        MidiPortResult result = ports.PortName(i, capabilities[i].productName);
        if (!result.Succeeded()) {
            ReportError(
                "Could not read device capabilities for MIDI input device number %d "
                "(Error: %s).",
                kInitialising, static_cast<int>(i), result.text.c_str());
            // The failing port and every port after it are dropped.
            capabilities[i].productName.clear();
            deviceCount = i;
            return;
        }
        contexts[i].target = &target;
        contexts[i].device = i;
        isOpen[i] = false;
    }
}

MidiInputSystem::~MidiInputSystem() {
    for (unsigned i = 0; i < deviceCount; ++i) {
        if (isOpen[i]) Close(i);
    }
}

bool MidiInputSystem::Open(unsigned device) {
    if (device >= deviceCount) {
        ReportError("Attempt to open non-existent MIDI input device (number %d).", kInitialising,
                    static_cast<int>(device));
        return false;
    }
    if (isOpen[device]) return true;
    const int number = static_cast<int>(device);
    contexts[device].failureReported.store(false, std::memory_order_relaxed);
    MidiPortResult result = ports.Open(device, contexts[device], handles[device]);
    if (!result.Succeeded()) {
        ReportError("Could not open MIDI input device number %d (Error: %s).", kInitialising,
                    number, result.text.c_str());
        return false;
    }
    result = ports.Start(handles[device]);
    if (!result.Succeeded()) {
        ReportError("Could not start MIDI input device number %d (Error: %s).", kInitialising,
                    number, result.text.c_str());
        // A port that was opened but never started would stay open with nobody
        // left to close it; close it again here.
        MidiPortResult closed = ports.Close(handles[device]);
        if (!closed.Succeeded()) {
            ReportError("Could not close MIDI input device %d (Error: %s).", kInitialising, number,
                        closed.text.c_str());
        }
        return false;
    }
    isOpen[device] = true;
    return true;
}

bool MidiInputSystem::Close(unsigned device) {
    if (device >= deviceCount) {
        ReportError("Attempt to close non-existent MIDI input device (number %d).", kHalting,
                    static_cast<int>(device));
        return false;
    }
    if (!isOpen[device]) return true;
    const int number = static_cast<int>(device);
    // After a failure the port stays marked open, so that a later Close tries
    // again.
    MidiPortResult result = ports.Stop(handles[device]);
    if (!result.Succeeded()) {
        ReportError("Could not stop MIDI input device %d (Error: %s).", kHalting, number,
                    result.text.c_str());
        return false;
    }
    result = ports.Reset(handles[device]);
    if (!result.Succeeded()) {
        ReportError("Could not reset MIDI input device %d (Error: %s).", kHalting, number,
                    result.text.c_str());
        return false;
    }
    result = ports.Close(handles[device]);
    if (!result.Succeeded()) {
        ReportError("Could not close MIDI input device %d (Error: %s).", kHalting, number,
                    result.text.c_str());
        return false;
    }
    isOpen[device] = false;
    return true;
}

void MidiInputSystem::CheckOpenPorts() {
    for (unsigned i = 0; i < deviceCount; ++i) {
        if (!isOpen[i] || contexts[i].failureReported.load(std::memory_order_acquire)) continue;
        MidiPortResult result = ports.Check(handles[i]);
        if (!result.Succeeded()) contexts[i].OnPortFailure(result.text);
    }
}

const char* MidiInputSystem::DeviceName(unsigned device) const {
    if (device >= deviceCount) return nullptr;
    return capabilities[device].productName.c_str();
}

unsigned MidiInputSystem::FindDevice(std::string_view name) const {
    for (unsigned i = 0; i < deviceCount; ++i) {
        if (capabilities[i].productName == name) return i;
    }
    return kNoDevice;
}

void MidiInputSystem::Context::OnShortMessage(uint32_t message) {
    target->OnMidiMessage(device, message);
}

void MidiInputSystem::Context::OnPortFailure(const std::string& description) {
    if (failureReported.exchange(true, std::memory_order_acq_rel)) return;
    ReportError("MIDI input device number %d stopped working (Error: %s).", "Receiving MIDI input.",
                static_cast<int>(device), description.c_str());
}

}  // namespace tessaline

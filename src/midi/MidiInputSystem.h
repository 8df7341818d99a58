#pragma once
// Tessaline's one view of the computer's MIDI input ports. The ports are listed
// once, at construction (ports attached later are not seen; ports removed later
// keep their entries), and opened and closed by device number for the organ's
// MIDI routing. Every short message of an open port reaches the target, tagged
// with the port's device number.
//
// Threads: construction, Open, Close and the queries run on the UI thread. The
// target is called on the MIDI back end's thread, straight from its callback:
// no filtering, no queueing, no lock here. Open ports are closed by Close or by
// destruction; the target must stay alive until then.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "organ/Constants.h"
#include "platform/MidiPorts.h"

namespace tessaline {

// The receiver of every incoming message; the organ's MIDI dispatcher.
class MidiMessageTarget {
public:
    virtual ~MidiMessageTarget() = default;
    // MIDI thread. message: status in bits 0-7, first data byte in bits 8-15,
    // second data byte in bits 16-23.
    virtual void OnMidiMessage(unsigned device, uint32_t message) = 0;
};

class MidiInputSystem {
public:
    // The value FindDevice gives when no port has the name (-1 read as signed).
    static constexpr unsigned kNoDevice = ~0u;

    // UI. Lists the ports of the platform; problems are reported and leave a
    // shorter table. Both ports and target must outlive this object.
    MidiInputSystem(MidiPorts& ports, MidiMessageTarget& target);
    // UI. Closes every port still open.
    ~MidiInputSystem();
    MidiInputSystem(const MidiInputSystem&) = delete;
    MidiInputSystem& operator=(const MidiInputSystem&) = delete;

    // UI. Opens and starts the port; an open port succeeds at once.
    bool Open(unsigned device);
    // UI. Stops, resets and closes the port; a closed port succeeds at once.
    // Not counted: the first Close of a port shared by several users closes it.
    bool Close(unsigned device);

    // UI. Asks the platform whether the source of each open port is still
    // there, and reports a port whose source went away, once per opening. The
    // port stays open (closing it later succeeds); the other ports play on.
    void CheckOpenPorts();

    // UI. The port's name, or nullptr when device >= DeviceCount().
    const char* DeviceName(unsigned device) const;
    // UI. The lowest device number whose name equals name byte for byte, or
    // kNoDevice.
    unsigned FindDevice(std::string_view name) const;
    unsigned DeviceCount() const { return deviceCount; }
    // UI. Whether the port is open and started.
    bool IsOpen(unsigned device) const { return device < deviceCount && isOpen[device]; }

private:
    // Handed to the platform as a port's receiver: knows the target and its own
    // device number, fixed once the table is listed.
    struct Context : MidiPortReceiver {
        MidiMessageTarget* target = nullptr;
        unsigned device = 0;
        // Set by the first failure of the port while open, so that a failing
        // device shows one box rather than one per callback.
        std::atomic<bool> failureReported{false};

        void OnShortMessage(uint32_t message) override;
        void OnPortFailure(const std::string& description) override;
    };

    // The platform's record of a port; only the name is used.
    struct Capabilities {
        std::string productName;
    };

    MidiPorts& ports;
    unsigned deviceCount = 0;
    std::array<Capabilities, kMaxMidiInputDevices> capabilities;
    std::array<MidiPortHandle, kMaxMidiInputDevices> handles;
    std::array<bool, kMaxMidiInputDevices> isOpen{};
    std::array<Context, kMaxMidiInputDevices> contexts;
    MidiMessageTarget& target;
};

}  // namespace tessaline

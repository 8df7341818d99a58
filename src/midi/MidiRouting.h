#pragma once
// The organ's MIDI consumers and the dispatcher of incoming messages.
//
// A consumer listens to one MIDI input port (device number) and one channel:
// the manuals through the six fixed manual paths, the redirectable inputs A
// and B, the six enclosure paths (which also name a controller), the
// stop-control input and the three registration-frame inputs. The setup
// record fills them (ApplySetup) while the organ is not active; activation
// opens their ports (OpenMidiInputs) and deactivation closes them.
//
// Every short message of an open port reaches OnMidiMessage on the MIDI
// thread. The dispatcher decides who acts on it and has the OrganActions carry
// it out, all under the organ's action lock. It acts only between a
// successful OpenMidiInputs and the next CloseMidiInputs, so a port left open
// by a failed close never drives an organ that is being unloaded or loaded.
//
// Threads: setters, ApplySetup, OpenMidiInputs and CloseMidiInputs run on the
// UI thread while the organ is not active (OFF); OnMidiMessage on the MIDI
// thread; SelectSend on the UI thread.

#include <array>
#include <atomic>
#include <cstdint>

#include "midi/OrganActionBridge.h"
#include "midi/RedirectableInput.h"
#include "organ/Constants.h"

namespace tessaline {

class MidiInputSystem;
class Organ;
class CombinationPresses;
struct SetupInfo;
// The report texts of one kind of consumer (defined with the routing).
struct MidiConsumerTexts;

// The input whose note-ons engage drawstops and note-offs disengage them.
struct StopControlInput {
    uint32_t midiDevice = 0;
    uint32_t midiChannel = 1;  // 0..15
    bool parametersLoaded = false;
};

// An input whose program changes step the registration frame back or forth.
struct FrameControlInput {
    uint32_t midiDevice = 0;
    uint32_t midiChannel = 0;      // 0..15
    uint32_t previousProgram = 0;  // 0..127
    uint32_t nextProgram = 1;      // 0..127
    bool parametersLoaded = false;
};

class MidiRouting {
public:
    explicit MidiRouting(Organ& owner);
    MidiRouting(const MidiRouting&) = delete;
    MidiRouting& operator=(const MidiRouting&) = delete;

    // OFF, UI: the ports the consumers open (without them opening fails).
    void SetInputSystem(MidiInputSystem* system) { inputSystem = system; }
    // OFF, UI: who carries out what the messages ask; the organ's own bridge
    // until replaced (tests record instead). Without combinations, program
    // changes press nothing.
    void SetActions(OrganActions& organActions);
    void SetCombinations(CombinationPresses* presses) { combinations = presses; }

    // OFF, UI, at every organ load: manuals lose their MIDI parameters, the
    // stop-control and frame inputs return to their cleared state; the
    // redirectable inputs keep their parameters but forget their target.
    void ClearAssignments();

    // OFF, UI. Each fails with a report when no organ is loaded or the input
    // number is out of range. Channels and programs count from 0 here.
    bool SetManualInput(uint32_t input, uint32_t device, uint32_t channel, int32_t keyShift);
    bool SetEnclosureInput(uint32_t input, uint32_t device, uint32_t channel, uint32_t controller);
    bool SetRedirectInput(uint32_t i, uint32_t device, uint32_t channel, int32_t keyShift,
                          uint32_t send1, uint32_t send2, uint32_t send3, uint32_t send4);
    bool SetStopControlInput(uint32_t device, uint32_t channel);
    bool SetFrameControlInput(uint32_t i, uint32_t device, uint32_t channel,
                              uint32_t previousProgram, uint32_t nextProgram);
    // OFF, UI. Calls the setters above from the setup record, in the order of
    // the engine update (stop control, manuals, redirectable inputs, frame
    // inputs, enclosures), turning its 1-based channels and programs into
    // 0-based ones; false at the first setter that fails.
    bool ApplySetup(const SetupInfo& setup);

    // UI. Opens every consumer's port in order (manuals, A and B, frame
    // inputs, enclosures, stop control); when one fails, reports it, closes
    // again what was opened and fails.
    bool OpenMidiInputs();
    // UI. Closes every consumer's port in the same order; stops at the first
    // close that fails, after reporting it.
    bool CloseMidiInputs();

    // MIDI. Decodes one packed short message from port `device` and acts on it.
    void OnMidiMessage(unsigned device, uint32_t message);
    // UI: an F1-F8 key. Selects send s (0..3) of redirectable input i (0..1)
    // under the action lock; true when its target changed.
    bool SelectSend(int i, uint32_t s);
    // MIDI or UI, under the action lock: the redirectable inputs' part of the
    // organ reset.
    void ResetRedirectableInputs();

    // Whether messages are acted on now (between opening and closing).
    bool Listening() const { return listening.load(std::memory_order_acquire); }

    std::array<RedirectableInput, kRedirectableInputs> redirectable;
    StopControlInput stopControl;
    std::array<FrameControlInput, kFrameControlInputs> frameControl;

private:
    enum class Consumer : uint8_t { Manual, Redirectable, Frame, Enclosure, StopControl };
    struct ConsumerRef {
        Consumer kind;
        int index;  // manual number, or input / enclosure index from 0
    };
    // What opening and closing a consumer needs to know of it.
    struct ConsumerPort {
        const MidiConsumerTexts* texts;
        int number;  // in the reports: the manual number, else from 1
        bool exists;
        bool parametersSet;
        uint32_t device;
    };
    ConsumerPort Describe(const ConsumerRef& consumer);
    // The consumers in opening order; returns how many were written.
    int ListConsumers(std::array<ConsumerRef, kMaxMidiConsumers>& list);
    bool OpenConsumer(const ConsumerRef& consumer);
    bool CloseConsumer(const ConsumerRef& consumer);

    void Notes(unsigned device, uint32_t channel, uint32_t note, bool press);
    void ProgramChange(unsigned device, uint32_t channel, uint32_t program);
    void ControlChange(unsigned device, uint32_t channel, uint32_t controller, uint32_t value);

    Organ& organ;
    MidiInputSystem* inputSystem = nullptr;
    OrganActionBridge bridge;
    OrganActions* actions = &bridge;
    CombinationPresses* combinations = nullptr;
    std::atomic<bool> listening{false};
};

}  // namespace tessaline

#pragma once
// A redirectable manual input: one MIDI keyboard whose notes play whichever
// manual the player sends it to with the function keys (F1-F4 choose among
// the four sends of input A, F5-F8 among those of input B). Keys held through
// the input move with it to the same logical keys of the new manual.

#include <array>
#include <cstdint>

namespace tessaline {

class Manual;
class Organ;
class OrganActions;

class RedirectableInput {
public:
    static constexpr uint32_t kNoSend = 255;
    static constexpr int kSends = 4;

    // UI, once: the organ whose manuals the input plays, and its index (0 for
    // A, 1 for B), which fixes its source id.
    void Attach(Organ& owner, int inputIndex);
    // OFF, UI: who carries out the key presses.
    void SetActions(OrganActions* keyActions) { actions = keyActions; }

    // UI, under the action lock. Makes send s (0..3) the one in force; true
    // when the target changed. An unchanged send, or one naming a manual the
    // organ lacks, changes nothing and releases nothing.
    bool SelectSend(uint32_t s);
    // MIDI or UI, under the action lock (the organ reset). Selects send 0, or
    // manual 1 when send 0 names a manual the organ lacks. Keys are not
    // released: the reset has already cleared every manual's notes.
    void Reset();
    // OFF, UI: forgets the target when the organ it belongs to goes away.
    void ForgetTarget() { target = nullptr; }

    std::array<uint32_t, kSends> sends{};
    uint32_t currentSend = kNoSend;
    uint32_t targetManual = 1;
    Manual* target = nullptr;  // manual targetManual while an organ is loaded
    int32_t keyShift = 0;
    uint32_t midiChannel = 0;  // 0..15
    uint32_t midiDevice = 0;
    uint32_t sourceId = 10;  // 10 for A, 11 for B
    bool parametersLoaded = false;

private:
    void Retarget(uint32_t m);

    Organ* organ = nullptr;
    OrganActions* actions = nullptr;
};

}  // namespace tessaline

#pragma once
// The organ's own OrganActions: what the MIDI routing asks for, carried out by
// the organ's key action (Manual::KeyDown and the rest) under its action lock.

#include <cstdint>
#include <mutex>
#include <span>

#include "midi/OrganActions.h"

namespace tessaline {

class Organ;

class OrganActionBridge : public OrganActions {
public:
    explicit OrganActionBridge(Organ& owner) : organ(owner) {}

    void BeginAction() override;
    void EndAction() override;
    void KeyDown(int manual, int note, uint32_t source) override;
    void KeyUp(int manual, int note, uint32_t source) override;
    bool HeldDirectlyBy(int manual, int key, uint32_t source) const override;
    void ResetNotes(int manual) override;
    void StopControl(int note, bool on) override;
    void ResetOrgan() override;
    std::span<Enclosure> Enclosures() override;

private:
    Organ& organ;
    // Held from BeginAction to EndAction, on the thread that acts; shared by
    // every MIDI thread, so touched only while the action lock is held.
    std::unique_lock<std::mutex> held;
};

}  // namespace tessaline

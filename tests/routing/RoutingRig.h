#pragma once
// A loaded organ whose MIDI routing reaches a recorder of actions, with
// virtual MIDI ports behind a real MidiInputSystem.
//
// The organ: pedal (manual 0, 32 keys from note 36, path 1), manual 1 (61
// keys from note 36, path 2), manual 2 (56 keys from note 41, path 3) and
// manual 3 (61 keys from note 36, path 2 as well). Four ports, "Port 0" to
// "Port 3".

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "audio/Enclosure.h"
#include "midi/MidiInputSystem.h"
#include "midi/OrganActions.h"
#include "organ/DefinitionReader.h"
#include "organ/SetupInfo.h"
#include "platform/virtual/VirtualMidiPorts.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline::test {

inline uint32_t Message(uint32_t status, uint32_t data1 = 0, uint32_t data2 = 0) {
    return status | data1 << 8 | data2 << 16;
}

// Keeps every action as a line of text, answers key-hold questions from the
// presses it saw, and checks that each action runs inside the action lock.
class RecordingActions : public OrganActions, public CombinationPresses {
public:
    explicit RecordingActions(Organ& owner) : organ(owner) {}

    void BeginAction() override {
        EXPECT_FALSE(locked) << "the action lock was taken twice";
        locked = true;
    }
    void EndAction() override {
        EXPECT_TRUE(locked);
        locked = false;
    }
    void KeyDown(int manual, int note, uint32_t source) override {
        Log("down", manual, note, source);
        held.insert({manual, Key(manual, note), source});
    }
    void KeyUp(int manual, int note, uint32_t source) override {
        Log("up", manual, note, source);
        held.erase({manual, Key(manual, note), source});
    }
    bool HeldDirectlyBy(int manual, int key, uint32_t source) const override {
        return held.count({manual, key, source}) != 0;
    }
    void ResetNotes(int manual) override { Log("reset notes", manual); }
    void StopControl(int note, bool on) override { Log(on ? "stop on" : "stop off", note); }
    void ResetOrgan() override { Log("reset organ"); }
    std::span<Enclosure> Enclosures() override {
        return std::span<Enclosure>(enclosures->data(), static_cast<size_t>(enclosureCount));
    }

    int DivisionalCount(int m) const override {
        return static_cast<int>(divisionals[At(m)].size());
    }
    int32_t DivisionalProgram(int m, int d) const override { return divisionals[At(m)][At(d)]; }
    int GeneralCount() const override { return static_cast<int>(generals.size()); }
    int32_t GeneralProgram(int g) const override { return generals[At(g)]; }
    int ReversiblePistonCount() const override { return static_cast<int>(pistons.size()); }
    int32_t ReversiblePistonProgram(int r) const override { return pistons[At(r)]; }
    void PressDivisional(int manual, int d) override { Log("divisional", manual, d); }
    void PressGeneral(int g) override { Log("general", g); }
    void PressReversiblePiston(int r) override { Log("piston", r); }
    void PreviousFrame() override { Log("previous frame"); }
    void NextFrame() override { Log("next frame"); }

    // The lines logged since the last call.
    std::vector<std::string> Take() { return std::exchange(log, {}); }

    // Programs of the combinations, as MIDI numbers.
    std::array<std::vector<int32_t>, kMaxManuals> divisionals;
    std::vector<int32_t> generals, pistons;
    // On the heap: each enclosure carries its event rings.
    std::unique_ptr<std::array<Enclosure, 3>> enclosures =
        std::make_unique<std::array<Enclosure, 3>>();
    int enclosureCount = 0;
    bool locked = false;

private:
    static size_t At(int i) { return static_cast<size_t>(i); }
    int Key(int manual, int note) const { return note - organ.manuals[At(manual)].midiNoteOfKey0; }
    template <typename... Numbers>
    void Log(std::string line, Numbers... numbers) {
        ((line += " " + std::to_string(numbers)), ...);
        EXPECT_TRUE(locked) << line << " ran outside the action lock";
        log.push_back(std::move(line));
    }

    Organ& organ;
    std::vector<std::string> log;
    std::set<std::tuple<int, int, uint32_t>> held;
};

class RoutingRig {
public:
    RoutingRig() {
        for (int i = 0; i < 4; ++i) ports.AddPort("Port " + std::to_string(i));
        midi.emplace(ports, rig.organ);
        file.Set("Organ", "HasPedals", "Y");
        file.Set("Organ", "NumberOfManuals", "3");
        const int keys[] = {32, 61, 56, 61}, paths[] = {1, 2, 3, 2};
        for (int m = 0; m <= 3; ++m) {
            SetManual(file, m, keys[m], {});
            file.Set(NumberedName("Manual", m), "MIDIInputNumber", std::to_string(paths[m]));
        }
        file.Set("Manual002", "FirstAccessibleKeyMIDINoteNumber", "41");
        Routing().SetInputSystem(&*midi);
        Routing().SetActions(actions);
        Routing().SetCombinations(&actions);
    }

    MidiRouting& Routing() { return rig.organ.midiRouting; }

    // Loads the organ, applies the setup, resets the redirectable inputs as
    // the organ reset does; true when all of that succeeded without a report.
    bool Load() {
        if (!rig.Load(file) || !Routing().ApplySetup(setup)) return false;
        Routing().ResetRedirectableInputs();
        return rig.errors.Count() == 0;
    }
    // Load() and open every consumer.
    bool Activate() { return Load() && rig.organ.OpenMidiInputs() && rig.errors.Count() == 0; }

    // Every report as "message | action".
    std::vector<std::string> Reports() {
        std::vector<std::string> lines;
        for (const auto& e : rig.errors.Errors())
            lines.push_back(e.message + " | " + e.attemptedAction);
        rig.errors.Clear();
        return lines;
    }

    VirtualMidiPorts ports;
    OrganRig rig;
    RecordingActions actions{rig.organ};
    std::optional<MidiInputSystem> midi;
    OrganFileBuilder file = OrganFileBuilder::MinimalOrgan();
    SetupInfo setup;
};

}  // namespace tessaline::test

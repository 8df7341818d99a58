#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "audio/Enclosure.h"
#include "midi/MidiInputSystem.h"
#include "midi/OrganActionBridge.h"
#include "midi/OrganActions.h"
#include "organ/DefinitionReader.h"
#include "organ/SetupInfo.h"
#include "platform/virtual/VirtualMidiPorts.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

using namespace test;

uint32_t Message(uint32_t status, uint32_t data1 = 0, uint32_t data2 = 0) {
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

// A loaded organ whose MIDI routing reaches a recorder of actions, with
// virtual MIDI ports behind a real MidiInputSystem.
//
// The organ: pedal (manual 0, 32 keys from note 36, path 1), manual 1 (61
// keys from note 36, path 2), manual 2 (56 keys from note 41, path 3) and
// manual 3 (61 keys from note 36, path 2 as well). Four ports, "Port 0" to
// "Port 3".
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

using Lines = std::vector<std::string>;

// All on port 0: path 1 (pedal) channel 2, shared with stop control; path 2
// (manuals 1 and 3) channel 1, key shift -12; path 3 (manual 2) channel 3;
// input A channel 8, key shift 7, sending to manuals 0, 2, 1 and 5 (manual
// 2's keys start at note 41, the others' at 36); input B channel 9 (manual
// 1); frame inputs on channels 1, 10 and 10, the second stepping back on
// program 5 and on with 6, the third the reverse.
class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        rig.setup.ManualKeyShift[1] = -12;
        rig.setup.ManualAKeyShift = 7;
        rig.setup.ControlChan = 2;
        rig.setup.CombFramePrevPC = {1, 5, 6};
        rig.setup.CombFrameNextPC = {2, 6, 5};
        rig.setup.ManualASend = {0, 2, 1, 5};
        ASSERT_TRUE(rig.Activate()) << ::testing::PrintToString(rig.Reports());
    }
    Lines Send(unsigned port, uint32_t message) {
        EXPECT_TRUE(rig.ports.Send(port, message));
        return rig.actions.Take();
    }
    Lines Key(uint32_t key) {
        rig.rig.organ.OnKeyDown(key);
        return rig.actions.Take();
    }
    RedirectableInput& A() { return rig.Routing().redirectable[0]; }

    RoutingRig rig;
};

TEST_F(Dispatch, EachMessageKindReachesTheConsumersOfItsChannel) {
    rig.actions.divisionals[0] = {1, 2};
    rig.actions.divisionals[1] = {4, 1, 1};
    rig.actions.divisionals[3] = {1};
    rig.actions.generals = {1, 3, 1};
    rig.actions.pistons = {-1, 1};
    const std::pair<uint32_t, Lines> cases[] = {
        // One keyboard on a shared path holds a key on each manual under
        // its own source id; velocity 0 releases as a note-off does.
        {Message(0x90, 60, 100), {"down 1 48 1", "down 3 48 3"}},
        {Message(0x90, 60, 0), {"up 1 48 1", "up 3 48 3"}},
        {Message(0x92, 50, 1), {"down 2 50 2"}},
        // Stop control shares the pedal's channel: both act.
        {Message(0x91, 60, 90), {"down 0 60 0", "stop on 60"}},
        {Message(0x81, 61, 90), {"up 0 61 0", "stop off 61"}},
        // The redirectable inputs play their targets with their own ids.
        {Message(0x97, 45, 9), {"down 0 52 10"}},
        {Message(0x88, 45, 9), {"up 1 45 11"}},
        {Message(0x9B, 60, 100), {}},
        // Pressure and clock are ignored.
        {Message(0xA0, 60, 10), {}},
        {Message(0xF8), {}},
        // All notes off and the other channel mode messages reset the notes
        // of their channel's manuals; 122 (local control) does not.
        {Message(0xB0, 123, 5), {"reset notes 1", "reset notes 3"}},
        {Message(0xB7, 127, 0), {"reset notes 0"}},
        {Message(0xB0, 122, 0), {}},
        // Channel 1 is manuals 1 and 3 and frame input 1, whose "next" is
        // program 2 (1 inside): the frame steps and the generals are pressed.
        {Message(0xC0, 1),
         {"divisional 1 1", "divisional 1 2", "divisional 3 0", "next frame", "general 0",
          "general 2", "piston 1"}},
        {Message(0xC0, 0), {"previous frame"}},
        {Message(0xC7, 1), {"divisional 0 0", "general 0", "general 2", "piston 1"}},
        {Message(0xC7, 5), {}},
        // Channel 10 is only the frame inputs': no general is pressed, and
        // only the first input that knows the program steps.
        {Message(0xC9, 1), {}},
        {Message(0xC9, 4), {"previous frame"}},
        {Message(0xC9, 5), {"next frame"}},
        {Message(0xFF), {"reset organ"}},
    };
    for (const auto& [message, lines] : cases) {
        SCOPED_TRACE(message);
        EXPECT_EQ(Send(0, message), lines);
    }
    EXPECT_FALSE(rig.ports.Send(1, Message(0x90, 60, 100)));  // nothing listens on port 1
}

TEST_F(Dispatch, ASendKeyMovesTheHeldKeysOfItsInputToTheSameLogicalKeysOfTheNewManual) {
    constexpr uint32_t kF2 = 113, kF3 = 114, kF4 = 115, kF9 = 120;
    EXPECT_EQ(Send(0, Message(0x97, 33, 80)), (Lines{"down 0 40 10"}));
    EXPECT_EQ(Send(0, Message(0x97, 57, 80)), (Lines{"down 0 64 10"}));
    // Logical keys 4 and 28 move to manual 2, whose key 0 is note 41.
    EXPECT_EQ(Key(kF2), (Lines{"up 0 40 10", "up 0 64 10", "down 2 45 10", "down 2 69 10"}));
    EXPECT_EQ(Key(kF2), Lines{});  // the same send again releases nothing
    // A key the input no longer holds does not travel on the next send.
    EXPECT_EQ(Send(0, Message(0x87, 38, 0)), (Lines{"up 2 45 10"}));
    EXPECT_EQ(Key(kF3), (Lines{"up 2 69 10", "down 1 64 10"}));
    // Manual 5 is missing, F9 is no send key, and there is no fifth send or
    // third input: nothing changes.
    EXPECT_EQ(Key(kF4), Lines{});
    EXPECT_EQ(Key(kF9), Lines{});
    EXPECT_FALSE(rig.Routing().SelectSend(0, 4));
    EXPECT_FALSE(rig.Routing().SelectSend(2, 0));
    EXPECT_EQ(rig.actions.Take(), Lines{});
    EXPECT_EQ(A().targetManual, 1u);
    EXPECT_EQ(A().currentSend, 2u);
}

TEST_F(Dispatch, NothingIsActedOnAfterAClose) {
    // A close that fails leaves port 1 open; its messages still arrive but
    // the organ no longer acts on them.
    ASSERT_TRUE(rig.rig.organ.CloseMidiInputs());
    rig.setup.ControlMIDIInDevNumber = 1;
    ASSERT_TRUE(rig.Routing().ApplySetup(rig.setup));
    ASSERT_TRUE(rig.rig.organ.OpenMidiInputs());
    rig.ports.InjectFailure(1, VirtualMidiPorts::Operation::Stop, "stuck");
    EXPECT_FALSE(rig.rig.organ.CloseMidiInputs());
    EXPECT_EQ(rig.Reports(),
              (Lines{"Could not stop MIDI input device 1 (Error: stuck). | Halting MIDI system.",
                     "Cannot close MIDI input device for the drawstop control system. | "
                     "Deactivating organ drawstop control system.",
                     "Could not close the MIDI device for the stop control system. | "
                     "Stopping organ MIDI engine."}));
    EXPECT_TRUE(rig.ports.Send(1, Message(0x94, 60, 100)));
    EXPECT_TRUE(rig.ports.Send(1, Message(0xFF)));
    EXPECT_EQ(rig.actions.Take(), Lines{});
}

TEST(OrganBridge, StopControlAllNotesOffAndSystemResetActOnTheOrgan) {
    // The tremulant answers stop-control note 70 (channel 5).
    RoutingRig rig;
    rig.file.Set("Organ", "NumberOfTremulants", "1");
    SetTremulant(rig.file, 1);
    rig.file.Set("Tremulant001", "StopControlMIDIKeyNumber", "70");
    OrganActionBridge bridge(rig.rig.organ);
    rig.Routing().SetActions(bridge);
    ASSERT_TRUE(rig.Activate()) << ::testing::PrintToString(rig.Reports());
    Organ& organ = rig.rig.organ;
    const Drawstop& tremulant = organ.Tremulants()[0].drawstop;
    auto send = [&](uint32_t message) { EXPECT_TRUE(rig.ports.Send(0, message)); };

    send(Message(0x94, 70, 64));
    EXPECT_TRUE(tremulant.Engaged());
    send(Message(0x84, 70, 64));
    EXPECT_FALSE(tremulant.Engaged());
    send(Message(0x94, 70, 64));
    // All notes off cuts its own channel only.
    send(Message(0x90, 40, 100));  // manual 1, key 4
    send(Message(0x92, 50, 100));  // manual 2, key 9
    send(Message(0xB0, 123, 0));
    EXPECT_EQ(organ.manuals[1].keys[4].holds, 0u);
    EXPECT_EQ(organ.manuals[2].keys[9].holds, 1u);
    // A system reset lets every key go, draws the defaults again and sends
    // input A back to its first manual.
    ASSERT_TRUE(rig.Routing().SelectSend(0, 1));
    send(Message(0xFF));
    EXPECT_EQ(organ.manuals[2].keys[9].holds, 0u);
    EXPECT_FALSE(tremulant.Engaged());
    EXPECT_EQ(rig.Routing().redirectable[0].targetManual, 0u);
    EXPECT_EQ(rig.Reports(), std::vector<std::string>{});
}

// Several MIDI ports deliver on threads of their own, all into the one
// dispatcher and the organ's action bridge. Regression: the bridge once
// released the shared lock holder in place, marking it empty after the mutex
// was free, so a second thread that took the lock in between lost it and the
// program stopped with "Operation not permitted".
TEST(MidiThreads, MessagesFromSixThreadsAtOnceTakeTurnsAndLeaveNoKeyHeld) {
    RoutingRig r;
    OrganActionBridge bridge(r.rig.organ);
    r.Routing().SetActions(bridge);
    ASSERT_TRUE(r.Activate());

    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < 6; ++t) {
        threads.emplace_back([&r, t] {
            for (uint32_t i = 0; i < 30000; ++i) {
                const uint32_t channel = (t * 5 + i) % 16;
                const uint32_t note = 36 + (i * 7 + t) % 61;
                r.rig.organ.OnMidiMessage(0, Message(0x90 | channel, note, 100));
                r.rig.organ.OnMidiMessage(0, Message(0x80 | channel, note, 0));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (const Manual& manual : r.rig.organ.manuals)
        for (const ManualKey& key : manual.keys) ASSERT_EQ(key.holds | key.directMask, 0u);
    EXPECT_TRUE(r.rig.organ.CloseMidiInputs());
    EXPECT_EQ(r.Reports(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tessaline

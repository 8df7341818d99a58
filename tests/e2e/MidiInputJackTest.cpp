// MIDI from a JACK client through RtMidiPorts and MidiInputSystem, with a JACK
// server on the dummy driver started for each test.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "JackTest.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline::e2e {
namespace {

using namespace std::chrono_literals;
using Received = std::vector<std::pair<unsigned, uint32_t>>;

class RecordingTarget : public MidiMessageTarget {
public:
    void OnMidiMessage(unsigned device, uint32_t message) override {
        std::lock_guard lock(mutex);
        received.emplace_back(device, message);
    }
    // What arrived once `count` messages have, or the patience ran out.
    Received Wait(size_t count, std::chrono::milliseconds patience) {
        WaitFor(
            [&] {
                std::lock_guard lock(mutex);
                return received.size() >= count;
            },
            patience);
        std::lock_guard lock(mutex);
        return received;
    }

private:
    std::mutex mutex;
    Received received;
};

class MidiInputJackTest : public JackTest {
protected:
    // Queues the events and waits until the keyboard's process cycle wrote them.
    static void Play(JackMidiSender& keyboard, const std::vector<std::vector<uint8_t>>& events) {
        for (const auto& event : events) ASSERT_TRUE(keyboard.Send(event));
        ASSERT_TRUE(WaitFor([&] { return keyboard.Drained(); }, 2000ms, 5ms));
    }

    RecordingErrorSink sink;
    RecordingTarget target;
    JackMidiInputs inputs;
};

TEST_F(MidiInputJackTest, NotesFromAJackClientArrivePackedAndInOrder) {
    JackMidiSender keyboard;
    ASSERT_TRUE(keyboard.Open(server.Name(), "e2e-keys"));
    ASSERT_NO_FATAL_FAILURE(inputs.Find({&keyboard}, target));
    const unsigned device = inputs.device[0];
    ASSERT_TRUE(inputs.midi->Open(device));
    ASSERT_TRUE(keyboard.WaitConnected());

    Play(keyboard, {{0x90, 0x3C, 0x64},
                    {0x3E, 0x64},  // running status: another note on
                    {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
                    {0xC0, 0x05},
                    {0x80, 0x3C, 0x40},
                    {0x90, 0x3E, 0x00},
                    {0xFF}});
    const Received expected = {{device, 0x643C90}, {device, 0x643E90}, {device, 0x0005C0},
                               {device, 0x403C80}, {device, 0x003E90}, {device, 0x0000FF}};
    EXPECT_EQ(target.Wait(expected.size(), 3000ms), expected);
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(MidiInputJackTest, AKeyboardThatGoesAwayIsReportedOnceWhileTheOthersPlayOn) {
    JackMidiSender keyboard, pedals;
    ASSERT_TRUE(keyboard.Open(server.Name(), "e2e-gone"));
    ASSERT_TRUE(pedals.Open(server.Name(), "e2e-pedals"));
    ASSERT_NO_FATAL_FAILURE(inputs.Find({&keyboard, &pedals}, target));
    MidiInputSystem& midi = *inputs.midi;
    const unsigned gone = inputs.device[0], staying = inputs.device[1];
    ASSERT_TRUE(midi.Open(gone));
    ASSERT_TRUE(midi.Open(staying));
    ASSERT_TRUE(keyboard.WaitConnected());
    ASSERT_TRUE(pedals.WaitConnected());
    midi.CheckOpenPorts();
    EXPECT_EQ(sink.Count(), 0u);

    keyboard.Close();
    std::this_thread::sleep_for(200ms);
    midi.CheckOpenPorts();
    midi.CheckOpenPorts();
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Errors()[0].message,
              "MIDI input device number " + std::to_string(gone) +
                  " stopped working (Error: The MIDI input port e2e-gone:out is no longer "
                  "present.).");
    Play(pedals, {{0x90, 0x24, 0x64}});
    EXPECT_EQ(target.Wait(1, 3000ms), (Received{{staying, 0x642490}}));

    EXPECT_TRUE(midi.Close(gone));
    // Listed once, the vanished port keeps its entry but cannot be opened.
    sink.Clear();
    EXPECT_FALSE(midi.Open(gone));
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Errors()[0].message,
              "Could not open MIDI input device number " + std::to_string(gone) +
                  " (Error: The MIDI input port e2e-gone:out is no longer present.).");
}

TEST_F(MidiInputJackTest, APortFoundAgainByNameWhenTheNumberingMovedAndClosableWithoutAServer) {
    JackMidiSender first, second;
    ASSERT_TRUE(first.Open(server.Name(), "e2e-a"));
    ASSERT_TRUE(second.Open(server.Name(), "e2e-b"));
    ASSERT_NO_FATAL_FAILURE(inputs.Find({&first, &second}, target));
    const unsigned device = inputs.device[1];
    ASSERT_LT(inputs.device[0], device);
    // Removing the other port shifts the system's numbering of the second.
    first.Close();
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(inputs.midi->Open(device));
    ASSERT_TRUE(second.WaitConnected());
    Play(second, {{0xB0, 0x07, 0x7F}});
    EXPECT_EQ(target.Wait(1, 3000ms), (Received{{device, 0x7F07B0}}));

    // The audio output reports a lost server; asking the port's client, whose
    // server is gone, must neither crash nor hang.
    server.Stop();
    std::this_thread::sleep_for(200ms);
    inputs.midi->CheckOpenPorts();
    EXPECT_TRUE(inputs.midi->Close(device));
    EXPECT_FALSE(inputs.midi->IsOpen(device));
}

}  // namespace
}  // namespace tessaline::e2e

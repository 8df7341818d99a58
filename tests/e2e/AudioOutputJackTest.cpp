#include <gtest/gtest.h>

#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>
#include <thread>

#include "JackTest.h"
#include "audio/AudioStream.h"
#include "platform/ThreadTimer.h"
#include "platform/rtaudio/RtAudioOutput.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline::e2e {
namespace {

constexpr double kToneHz = 440.0;
constexpr double kToneAmplitude = 16000.0;

double ToneValue(int64_t framesIntoTone) {
    return kToneAmplitude *
           std::cos(2.0 * std::numbers::pi * kToneHz * static_cast<double>(framesIntoTone) / kJackRate);
}

// Plays silence, then from toneStart on a cosine (so its first frame is loud).
class ToneRenderer : public AudioRenderer {
public:
    MixBufferAllocation AllocateMixBuffers(int64_t) override { return {}; }
    void FreeMixBuffers() override {}
    bool RenderBlock(std::span<int16_t> out, int64_t blockTime) override {
        const int64_t start = toneStart.load(std::memory_order_acquire);
        for (size_t i = 0; i < out.size() / 2; ++i) {
            int64_t t = blockTime + static_cast<int64_t>(i);
            if (t < start) continue;
            auto v = static_cast<int16_t>(std::lround(ToneValue(t - start)));
            out[2 * i] = v;
            out[2 * i + 1] = v;
        }
        return true;
    }
    std::atomic<int64_t> toneStart{std::numeric_limits<int64_t>::max()};
};

using AudioOutputOnJack = JackTest;
using JackHarness = JackTest;

TEST_F(AudioOutputOnJack, ToneStartsOneBufferAfterItsFrameTimeAtItsPitch) {
    RecordingErrorSink errors;
    RtAudioOutputSystem devices;
    ThreadTimerService timers;
    ToneRenderer renderer;
    AudioStream stream(devices, timers, renderer);
    // With a server running, JACK comes first in the list.
    constexpr int64_t kBuffer = 42 * 128;
    ASSERT_NO_FATAL_FAILURE(UseJackDevice(stream, kBuffer));
    ASSERT_TRUE(stream.StartPlayback()) << (errors.Count() ? errors.Errors()[0].boxText : "");

    JackCapture capture;
    ASSERT_NO_FATAL_FAILURE(StartCapture(capture, 3));

    // The request, made while a JACK cycle plays: the tone's first frame is
    // the next frame time to be played.
    int64_t toneStart = -1;
    const size_t requestedAt = capture.CallInNextCycle([&] {
        toneStart = stream.CurrentPlayPosition();
        renderer.toneStart.store(toneStart, std::memory_order_release);
    });
    ASSERT_NE(requestedAt, JackCapture::kNever);
    ASSERT_GT(toneStart, 0);
    constexpr size_t kPieces = 15;
    const size_t window = kPieces * kJackRate / 10;
    ASSERT_TRUE(capture.WaitForFrames(requestedAt + kBuffer + kJackPeriod + window, 20))
        << "the JACK server stalled";
    capture.Stop();
    const uint64_t xruns = stream.DeviceXruns();
    ASSERT_TRUE(stream.StopPlayback());
    EXPECT_EQ(errors.Count(), 0u);

    const std::vector<float>& left = capture.Left();
    const std::vector<float>& right = capture.Right();
    const size_t first = FirstSound(left, requestedAt, capture.Frames(), 0.01f);
    ASSERT_LT(first, capture.Frames()) << "no tone arrived";
    // One buffer after the frame time that was next to play at the request,
    // so within the period that was playing then.
    const auto delay = static_cast<int64_t>(first - requestedAt);
    EXPECT_GE(delay, kBuffer);
    EXPECT_LE(delay, kBuffer + kJackPeriod);
    RecordProperty("delay_frames", static_cast<int>(delay));
    RecordProperty("device_xruns", static_cast<int>(xruns));

    ASSERT_GE(capture.Frames(), first + window);
    double hz = MedianFrequency(left, first, kPieces);
    double cents = 1200.0 * std::log2(hz / kToneHz);
    EXPECT_LT(std::fabs(cents), 1.0) << "measured " << hz << " Hz";

    // Level, and both channels alike: 16-bit values scaled to JACK's floats.
    float peak = 0;
    size_t sameOnBoth = 0;
    for (size_t i = first; i < first + window; ++i) {
        peak = std::max(peak, std::fabs(left[i]));
        sameOnBoth += left[i] == right[i];
    }
    EXPECT_NEAR(peak, kToneAmplitude / 32768.0, 0.005);
    EXPECT_EQ(sameOnBoth, window);
    // The first frame of the tone is its loudest.
    EXPECT_NEAR(left[first], kToneAmplitude / 32768.0, 0.001);
}

// A MIDI input for checking the sender: keeps the first events it receives.
struct MidiReceiver {
    static int Process(jack_nframes_t count, void* user) {
        auto* self = static_cast<MidiReceiver*>(user);
        void* buffer = jack_port_get_buffer(self->port, count);
        for (uint32_t i = 0; i < jack_midi_get_event_count(buffer); ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0) continue;
            size_t n = self->received.load(std::memory_order_relaxed);
            if (n >= 8) continue;
            self->events[n].assign(event.buffer, event.buffer + event.size);
            self->received.store(n + 1, std::memory_order_release);
        }
        return 0;
    }
    jack_port_t* port = nullptr;
    std::vector<uint8_t> events[8];
    std::atomic<size_t> received{0};
};

TEST_F(JackHarness, MidiSenderDeliversMessagesInOrder) {
    MidiReceiver receiver;
    for (auto& e : receiver.events) e.reserve(JackMidiSender::kMaxMessageBytes);
    jack_client_t* client = OpenClient(server.Name(), "midi-receiver");
    ASSERT_NE(client, nullptr);
    receiver.port = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, &MidiReceiver::Process, &receiver);
    ASSERT_EQ(jack_activate(client), 0);

    JackMidiSender sender;
    ASSERT_TRUE(sender.Open(server.Name()));
    ASSERT_TRUE(sender.Connect("midi-receiver:in"));
    ASSERT_TRUE(sender.WaitConnected());
    EXPECT_FALSE(sender.Send({}));
    EXPECT_FALSE(sender.Send(std::vector<uint8_t>(JackMidiSender::kMaxMessageBytes + 1, 0xF8)));
    const std::vector<uint8_t> sysex = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    ASSERT_TRUE(sender.Send({0x90, 60, 100}));
    ASSERT_TRUE(sender.Send({0xC0, 5}));
    ASSERT_TRUE(sender.Send(sysex));
    ASSERT_TRUE(sender.Send({0xFF}));
    EXPECT_TRUE(sender.WaitSent(2));
    for (int i = 0; i < 1000 && receiver.received.load(std::memory_order_acquire) < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    jack_client_close(client);
    ASSERT_EQ(receiver.received.load(), 4u);
    EXPECT_EQ(receiver.events[0], (std::vector<uint8_t>{0x90, 60, 100}));
    EXPECT_EQ(receiver.events[1], (std::vector<uint8_t>{0xC0, 5}));
    EXPECT_EQ(receiver.events[2], sysex);
    EXPECT_EQ(receiver.events[3], (std::vector<uint8_t>{0xFF}));
}

}  // namespace
}  // namespace tessaline::e2e

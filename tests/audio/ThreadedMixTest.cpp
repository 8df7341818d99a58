#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <random>
#include <thread>

#include "MixRig.h"
#include "audio/WindchestGroup.h"
#include "organ/DefinitionReader.h"

namespace tessaline {
namespace {

// One thread plays the organ (starts, stops, cuts, silences, moves the swell
// and switches the tremulant) while another renders blocks and advances the
// clock, as the key action and the audio tick do. Run under ThreadSanitizer
// this shows the hand-offs free of data races.
TEST(ThreadedMix, KeyActionAndRendererShareVoicesWithoutRaces) {
    test::MixRig rig(256, OutputMode::Stereo);
    DefinitionFile file;
    file.ParseText(
        "[WindchestGroup001]\nNumberOfEnclosures=1\nNumberOfTremulants=1\n"
        "Enclosure001=1\nTremulant001=1\n[Enclosure001]\nName=Swell\n"
        "MIDIInputNumber=1\nAmpMinimumLevel=20\n[Tremulant001]\nPeriod=100\n"
        "StartRate=100\nStopRate=100\nAmpModDepth=30\n");
    std::array<WindchestGroup, 2> groups;
    ASSERT_TRUE(groups[1].Load(file, 0, 1, 1));
    auto enclosure = std::make_unique<Enclosure>();
    auto tremulant = std::make_unique<Tremulant>();
    ASSERT_TRUE(enclosure->Load(file, 0, 0, 0, groups));
    ASSERT_TRUE(tremulant->Load(file, 1, groups));
    enclosure->AttachEngine(rig.engine);
    tremulant->AttachEngine(rig.engine);
    rig.SetProcessors(std::span(tremulant.get(), 1), std::span(enclosure.get(), 1));

    std::vector<Pipe*> pipes;
    for (int i = 0; i < 48; ++i) {
        // Attack 40 frames, loop 24, release 300: voices come and go quickly.
        std::vector<int16_t> values(2 * (64 + 300), static_cast<int16_t>(100 + i));
        Pipe& pipe = i % 8 == 0 ? rig.Percussive(values) : rig.Looped(values, 40, 64);
        pipes.push_back(&pipe);
    }

    // The device plays and the timer ticks on a thread of their own, as the
    // audio tick does; every tick renders the frames just played.
    std::atomic<bool> done{false};
    std::atomic<int64_t> rendered{0};
    std::thread renderer([&] {
        while (!done.load(std::memory_order_acquire)) {
            if (!rig.output.Play(128)) return;
            rendered.fetch_add(128, std::memory_order_release);
        }
    });

    std::mt19937 random(7);
    for (int step = 0; step < 60000; ++step) {
        Pipe& pipe = *pipes[random() % pipes.size()];
        switch (random() % 16) {
            case 0:
                pipe.Cut();
                break;
            case 1:
                enclosure->SetValue(random() % 128);
                break;
            case 2:
                tremulant->QueueToggle();
                break;
            default:
                if (random() % 2) {
                    pipe.Start();
                } else {
                    pipe.Stop();
                }
        }
        if (step % 4096 == 4095) {
            rig.pool->SilenceAllVoices();
            enclosure->Reset();
            tremulant->Reset(step % 8192 == 4095);
        }
        if (step % 64 == 0) std::this_thread::yield();
    }
    for (Pipe* pipe : pipes) {
        while (pipe->sounding) pipe->Stop();
    }
    // Let the renderer play every release out.
    const int64_t until = rendered.load(std::memory_order_acquire) + 256 + 2048;
    while (rendered.load(std::memory_order_acquire) < until) std::this_thread::yield();
    done.store(true, std::memory_order_release);
    renderer.join();

    EXPECT_EQ(rig.engine.CurrentPlayPosition(), rendered.load());
    EXPECT_EQ(rig.engine.Stream().SkippedTicks(), 0u);
    EXPECT_EQ(rig.pool->CountInUse(), 0);
    for (Pipe* pipe : pipes) {
        EXPECT_EQ(pipe->holdCount, 0u);
        EXPECT_EQ(pipe->voice, nullptr);
    }
    const int64_t t = rendered.load() + rig.engine.BufferFrames();
    EXPECT_EQ(rig.Render(128, t), std::vector<int16_t>(256, 0));
}

}  // namespace
}  // namespace tessaline

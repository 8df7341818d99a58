#pragma once
// An engine with its voice pool and hand-made pipes, on the hand-driven
// virtual device: a test moves the play position with PlayTo, starts and
// stops pipes and renders the blocks it looks at by hand, at chosen frame
// times.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/Enclosure.h"
#include "audio/PipeVoice.h"
#include "audio/Tremulant.h"
#include "organ/Pipe.h"
#include "support/EngineRig.h"

namespace tessaline::test {

using Values = std::vector<int32_t>;

class MixRig {
public:
    MixRig(int64_t bufferFrames, OutputMode mode, int groupCount = 1)
        : output(bufferFrames), engine(output.engine), pool(std::make_unique<VoicePool>(&engine)) {
        engine.SetOutputMode(mode);
        engine.SetGroupCount(groupCount);
        engine.SetSources(pool.get(), {}, {});
        EXPECT_TRUE(engine.StartPlayback());
    }

    // Starts the stream again and plays the device up to `position`. The
    // ticks render nothing of the rig's sources, which are set aside
    // meanwhile, so that voices change only in the blocks the test renders.
    void PlayTo(int64_t position) {
        engine.StopPlayback();
        engine.SetSources(nullptr, {}, {});
        engine.StartPlayback();
        for (int64_t at = 0; at < position;) {
            const int64_t step = std::min<int64_t>(position - at, engine.BufferFrames() / 2);
            ASSERT_TRUE(output.Play(static_cast<uint32_t>(step)));
            at += step;
        }
        engine.SetSources(pool.get(), tremulants, enclosures);
    }
    void SetProcessors(std::span<Tremulant> tremulantTable, std::span<Enclosure> enclosureTable) {
        tremulants = tremulantTable;
        enclosures = enclosureTable;
        engine.SetSources(pool.get(), tremulants, enclosures);
    }

    // A looped pipe: frames (one value each in mono memory, left/right pairs
    // in stereo memory) with the loop [loopStart, releaseStart).
    Pipe& Looped(std::vector<int16_t> values, int64_t loopStart, int64_t releaseStart,
                 int group = 1) {
        Pipe& pipe = Add(std::move(values), group);
        pipe.sample.loopStart = loopStart;
        pipe.sample.releaseStart = releaseStart;
        return pipe;
    }
    Pipe& Percussive(std::vector<int16_t> values) {
        Pipe& pipe = Add(std::move(values), 1);
        pipe.sample.percussive = true;
        return pipe;
    }

    // Renders one block; returns its interleaved output.
    std::vector<int16_t> Render(int64_t frames, int64_t blockTime) {
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 12345);
        EXPECT_TRUE(engine.RenderBlock(out, frames, blockTime));
        return out;
    }

    EngineRig output;
    AudioEngine& engine;
    std::unique_ptr<VoicePool> pool;

private:
    struct OwnedPipe {
        Pipe pipe;
        std::vector<int16_t> values;
    };
    Pipe& Add(std::vector<int16_t> values, int group) {
        auto& owned = *pipes.emplace_back(new OwnedPipe{Pipe(), std::move(values)});
        owned.pipe.sample.memory = owned.values.data();
        owned.pipe.sample.end = static_cast<int64_t>(owned.values.size()) /
                                (engine.Mode() == OutputMode::Stereo ? 2 : 1);
        owned.pipe.windchestGroup = group;
        owned.pipe.voicePool = pool.get();
        return owned.pipe;
    }

    std::span<Tremulant> tremulants;
    std::span<Enclosure> enclosures;
    std::vector<std::unique_ptr<OwnedPipe>> pipes;
};

// One channel (0 left, 1 right) of an interleaved block.
inline Values Channel(const std::vector<int16_t>& out, size_t channel = 0) {
    Values values;
    for (size_t i = channel; i < out.size(); i += 2) values.push_back(out[i]);
    return values;
}

}  // namespace tessaline::test

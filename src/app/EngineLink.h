#pragma once
// The joints between the window's owned objects while they are still
// separate pieces: the MIDI ports' receiver, the output stream's renderer and
// the recorder's block hook.

#include <span>

#include "audio/AudioEngine.h"
#include "audio/AudioRenderer.h"
#include "audio/Recorder.h"
#include "midi/MidiInputSystem.h"

namespace tessaline {

// Receives every MIDI message of the open ports. The organ's event routing is
// not part of this program yet, so the messages end here.
class OrganMidiLink : public MidiMessageTarget {
public:
    void OnMidiMessage(unsigned, uint32_t) override {}
};

// The output stream renders through the audio engine, whose clock follows the
// blocks the stream asks for.
class EngineRenderer : public AudioRenderer {
public:
    explicit EngineRenderer(AudioEngine& audioEngine) : engine(audioEngine) {}
    // OFF.
    MixBufferAllocation AllocateMixBuffers(int64_t bufferFrames) override {
        engine.SetBufferFrames(bufferFrames);
        if (engine.AllocateMixBuffers()) return {};
        return {MixBufferAllocation::Status::MasterFailed, 0};
    }
    // OFF.
    void FreeMixBuffers() override { engine.FreeMixBuffers(); }
    // RT.
    bool RenderBlock(std::span<int16_t> out, int64_t blockTime) override {
        engine.SetPlayPosition(blockTime);
        return engine.RenderBlock(out, static_cast<int64_t>(out.size() / 2), blockTime);
    }

private:
    AudioEngine& engine;
};

// RT: hands every rendered block to the recorder.
class RecorderBlockHook : public AudioBlockHook {
public:
    explicit RecorderBlockHook(Recorder& target) : recorder(target) {}
    void WriteRecordedBlock(std::span<const int16_t> frames) override {
        recorder.WriteRecordedBlock(frames);
    }

private:
    Recorder& recorder;
};

}  // namespace tessaline

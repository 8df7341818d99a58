#include "organ/Pipe.h"

#include "audio/PipeVoice.h"
#include "samples/SampleLoader.h"

namespace tessaline {

bool Pipe::LoadSample(const SampleLoadContext& context, const std::string& fileName,
                      uint32_t overallVolumePercent, bool percussive, double stopAmplitudeLevel) {
    return LoadPipeSample(context, sample, fileName.c_str(), overallVolumePercent, percussive,
                          stopAmplitudeLevel);
}

void Pipe::ReleaseSample() { ReleasePipeSample(sample); }

bool Pipe::Playable() const {
    if (!sample.Present() || sample.end < 0) return false;
    if (sample.percussive) return true;
    return sample.loopStart >= 0 && sample.loopStart < sample.releaseStart &&
           sample.releaseStart <= sample.end;
}

// After the pool was silenced the slot may already play another pipe, which
// this pipe's stop or cut must leave alone.
bool Pipe::OwnsVoice() const {
    return voice->inUse.load(std::memory_order_acquire) && voice->pipe == this;
}

void Pipe::Start() {
    ++holdCount;
    if (sounding && !sample.percussive) return;
    AudioEngine* engine = voicePool != nullptr ? voicePool->Engine() : nullptr;
    PipeVoice* claimed = engine != nullptr && Playable() ? voicePool->Claim() : nullptr;
    if (claimed == nullptr) {
        --holdCount;
        return;
    }
    claimed->Start(*this, *engine);
    sounding = true;
    voice = claimed;
}

void Pipe::Stop() {
    if (!sounding) return;
    // A hold count already at 0 must not wrap to four thousand million holds.
    if (holdCount > 0) --holdCount;
    if (holdCount > 0) return;
    if (!sample.percussive) {
        if (voice == nullptr) {
            holdCount = 1;
            return;
        }
        if (OwnsVoice()) voice->Stop();
    }
    voice = nullptr;
    sounding = false;
}

void Pipe::Cut() {
    if (sounding && !sample.percussive && voice != nullptr && OwnsVoice()) voice->Reset();
    sounding = false;
    holdCount = 0;
    voice = nullptr;
}

}  // namespace tessaline

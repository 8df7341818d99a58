#pragma once
// One pipe of a stop: its sample in memory and whether it sounds.
//
// The key action starts and stops pipes (MIDI or UI thread, one at a time
// under the organ's action lock); the renderer never touches a Pipe's sounding
// state, it only reads the sample through the voice that plays it.

#include <cstdint>
#include <string>

#include "samples/PipeSample.h"

namespace tessaline {

class Organ;
class PipeVoice;
class VoicePool;
struct SampleLoadContext;

class Pipe {
public:
    // Claims a voice for the pipe, or only counts one more hold when the pipe
    // already sounds (a percussive pipe takes a new voice for every start).
    // A start that finds no free voice or no engine to play through, or a
    // pipe without a playable sample, is dropped silently with holdCount as
    // it was.
    // MIDI or UI, under the action lock.
    void Start();
    // Drops one hold; the last one sends a looped voice into its release and
    // lets a percussive voice play on to its end.
    // MIDI or UI, under the action lock.
    void Stop();
    // Silence at once, without release.
    // MIDI or UI, under the action lock.
    void Cut();

    // A looped sample must have a loop inside its frames, otherwise the mixer
    // would wrap for ever or read outside them.
    bool Playable() const;

    // Builds the sample from its WAV file with the load-wide settings of the
    // organ, the player's overall volume (per cent) and the stop's gain and
    // percussive flag. False after reporting, with the sample released.
    // OFF: only while the organ is not active.
    bool LoadSample(const SampleLoadContext& context, const std::string& fileName,
                    uint32_t overallVolumePercent, bool percussive, double stopAmplitudeLevel);
    // Lets the sample go; its memory stays in the organ's sample memory until
    // the organ clears that. OFF.
    void ReleaseSample();

    Organ* organ = nullptr;  // the organ the pipe belongs to
    PipeSample sample;
    int windchestGroup = 0;  // 1 .. the organ's NumberOfWindchestGroups
    // The organ's pool, where Start claims voices; set when the pipe is built.
    VoicePool* voicePool = nullptr;

    bool sounding = false;
    uint32_t holdCount = 0;
    PipeVoice* voice = nullptr;  // the voice the last stop will release

private:
    bool OwnsVoice() const;
};

}  // namespace tessaline

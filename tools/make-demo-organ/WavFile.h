#pragma once
// Writes a pipe sample as a RIFF WAVE file: 16-bit PCM at 44.1 kHz, a
// `smpl` chunk with one endless forward loop (end frame inclusive) and a
// `cue ` chunk whose one marker is the start of the release.

#include <string>
#include <vector>

#include "PipeSynth.h"

namespace tessaline::demo {

// The complete file. unityNote and pitchFraction describe the pitch of the
// lowest rank for samplers that read them.
std::vector<char> EncodeWav(const PipeSound& sound, int unityNote, double centsAboveUnity);

bool WriteFile(const std::string& path, const std::vector<char>& bytes);

}  // namespace tessaline::demo

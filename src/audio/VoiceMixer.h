#pragma once
// The three ways a voice is added into its windchest group's buffer.
//
// Stereo and MixUpwards add into the group buffer as frames of left, right.
// Mono adds into the first frameCount values of the group buffer, one value a
// frame; the renderer spreads them to left and right after the voice pass.
// That gives the same sums as adding into the left values (integer addition
// does not care about order) while the inner loops stay contiguous.

#include <cstdint>

#include "samples/PipeSample.h"

namespace tessaline {

class PipeVoice;

// Mixes the block [blockTime, blockTime + frameCount) of one ready voice into
// groupBuffer; a voice that plays out is handed back to the pool. RT.
void MixVoice(OutputMode mode, PipeVoice& voice, int32_t* groupBuffer, int64_t frameCount,
              int64_t blockTime);

// Adds count signed 16-bit values into count 32-bit values. RT.
void AddWidened(int32_t* destination, const int16_t* source, int64_t count);

}  // namespace tessaline

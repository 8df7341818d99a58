#pragma once
// The two demo pieces, written for the demo organ on the default channels:
// channel 1 plays the Great, channel 2 the Pedal, channel 3 the Swell.

#include <cstdint>
#include <string>
#include <vector>

namespace tessaline::demo {

inline constexpr int kGreatChannel = 1;
inline constexpr int kPedalChannel = 2;
inline constexpr int kSwellChannel = 3;

// An eight-bar four-part chorale: three voices on the Great, the bass on the
// Pedal, slowing down over the last two bars. Three tracks.
std::vector<uint8_t> ChoraleMidi();
// A short toccata figure in sixteenths on the Great, echoed on the Swell,
// over a pedal line, ending on a held chord. Four tracks.
std::vector<uint8_t> ToccataMidi();

// Writes chorale.mid and toccata.mid into dir.
bool WriteDemoPieces(const std::string& dir, std::string& error);

}  // namespace tessaline::demo

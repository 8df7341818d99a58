#pragma once
// Complete sections of the organ model for OrganFileBuilder: controls,
// drawstops, stops with their pipes, manuals, and the looped WAV files their
// pipes name. A test starts from these and changes the one key it is about.

#include <string>
#include <vector>

#include "support/OrganFileBuilder.h"
#include "support/TempDir.h"

namespace tessaline::test {

// The keys of every control (Name, Displayed=Y, DispKeyLabelOnLeft=N,
// DispLabelColour=White, DispLabelFontSize=Normal) and of a drawstop (row and
// column as in the file, DefaultToEngaged=N, DisplayInInvertedState=N,
// DispImageNum=1).
void SetDrawstopKeys(OrganFileBuilder& b, const std::string& section, const std::string& name,
                     int row, int column);
// Button keys (DispButtonCol, DispButtonRow, MIDIProgramChangeNumber=1,
// DispImageNum=1) and the keys of every control.
void SetButtonKeys(OrganFileBuilder& b, const std::string& section, const std::string& name,
                   int row, int column);

// Section Stop%03d (n): a drawstop at row 1 and column n (wrapped to the
// organ's 4 columns), AmplitudeLevel=100, all pipes accessible from logical
// key 1, windchest group 1, not percussive, and Pipe%03d (p + 1) set to
// specifiers[p].
void SetStop(OrganFileBuilder& b, int n, const std::vector<std::string>& specifiers);
// Section Coupler%03d (n): a drawstop at row 2 and column n (wrapped to the
// organ's 4 columns), coupling into manual `destination` with the key shift
// and passing nothing on to further couplers.
void SetCoupler(OrganFileBuilder& b, int n, int destination, int keyshift);
// Section Tremulant%03d (n): a drawstop at row 3 and column n (wrapped to
// the organ's 4 columns) with a 200 ms period at half depth.
void SetTremulant(OrganFileBuilder& b, int n);
// Section Manual%03d (m): `keys` logical keys, all accessible from MIDI note
// 36, displayed, on MIDI input 1, with Stop%03d (s + 1) = stops[s]. The
// organ's NumberOfManuals and HasPedals are the test's to set.
void SetManual(OrganFileBuilder& b, int m, int keys, const std::vector<int>& stops);

// A looped pipe sample of `frames` frames (loop over the middle, release
// marker near the end), mono or stereo, written to dir/relative; returns
// `relative` for use as a pipe specifier.
std::string WritePipeWav(const TempDir& dir, const std::string& relative, int channels = 1,
                         int frames = 600);
// The specifiers "<folder>/pNNN.wav" for pipes 1..count, each file written.
std::vector<std::string> WritePipeWavs(const TempDir& dir, const std::string& folder, int count,
                                       int channels = 1);

}  // namespace tessaline::test

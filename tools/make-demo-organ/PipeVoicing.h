#pragma once
// How each family of pipes sounds: the strengths of its harmonics, how fast
// it speaks, how much chiff and wind it has, and how it dies away.

#include <vector>

namespace tessaline::demo {

enum class Family {
    Principal,     // open diapason: full series, moderate upper partials
    StoppedFlute,  // Gedackt, Subbass: odd partials dominate
    ChimneyFlute,  // Rohrfloete: stopped, with a little more of the 5th and 6th
    OpenFlute,     // Flute 4', Nazard: nearly pure, a soft octave
    String,        // Salicional, celeste: many slowly falling partials
    Trumpet,       // bright chorus reed
    Oboe,          // reed with a formant and a weak fundamental
    Posaune,       // heavy pedal reed
};

struct Voicing {
    double attackSeconds;    // time to full speech
    double chiffLevel;       // noise burst at the onset, relative to the tone
    double chiffSeconds;     // decay time of that burst
    double octaveTransient;  // brief overblown octave at the onset
    double windNoise;        // steady breath noise in the sustain
    double speechDecay;      // seconds: the pipe stops speaking after release
    double roomShare;        // part of the release that rings in the room
    double roomDecay;        // seconds: decay of the room tail
};

Voicing VoicingOf(Family family);

// Amplitudes of harmonics 1, 2, 3, ... (index h - 1) for a pipe whose
// fundamental is at the given frequency, stopping below maxFrequency.
// Treble pipes lose some of their upper partials, as real ones do.
std::vector<double> HarmonicAmplitudes(Family family, double fundamental, double maxFrequency);

}  // namespace tessaline::demo

#include "PipeVoicing.h"

#include <cmath>

namespace tessaline::demo {

Voicing VoicingOf(Family family) {
    switch (family) {
        case Family::Principal: return {0.060, 0.10, 0.020, 0.25, 0.012, 0.045, 0.16, 0.45};
        case Family::StoppedFlute: return {0.050, 0.16, 0.018, 0.30, 0.016, 0.035, 0.14, 0.40};
        case Family::ChimneyFlute: return {0.045, 0.14, 0.016, 0.30, 0.014, 0.035, 0.14, 0.40};
        case Family::OpenFlute: return {0.045, 0.12, 0.015, 0.35, 0.018, 0.035, 0.15, 0.40};
        case Family::String: return {0.090, 0.05, 0.030, 0.10, 0.008, 0.050, 0.16, 0.45};
        case Family::Trumpet: return {0.025, 0.03, 0.010, 0.00, 0.006, 0.030, 0.18, 0.50};
        case Family::Oboe: return {0.030, 0.03, 0.010, 0.00, 0.006, 0.030, 0.16, 0.45};
        case Family::Posaune: return {0.045, 0.04, 0.015, 0.00, 0.006, 0.060, 0.20, 0.55};
    }
    return {};
}

namespace {

// Strength of harmonic h, whose frequency is f.
double Amplitude(Family family, int h, double f) {
    double x = h;
    switch (family) {
        case Family::Principal:
            // Strong octave, then a steady fall.
            if (h == 1) return 1.0;
            if (h == 2) return 0.55;
            return 0.55 * std::pow(x / 2.0, -1.35);
        case Family::StoppedFlute:
            if (h == 1) return 1.0;
            if (h % 2 == 1) return 0.30 * std::pow((x - 1.0) / 2.0, -1.6);
            return 0.02 / x;
        case Family::ChimneyFlute:
            if (h == 1) return 1.0;
            if (h == 5 || h == 6) return 0.14;
            if (h % 2 == 1) return 0.26 * std::pow((x - 1.0) / 2.0, -1.4);
            return 0.04 / x;
        case Family::OpenFlute:
            if (h == 1) return 1.0;
            return 0.12 * std::pow(x - 1.0, -2.2);
        case Family::String:
            return h == 1 ? 0.8 : 0.62 * std::pow(x, -0.55) * std::exp(-x / 40.0);
        case Family::Trumpet:
            // Rising to the 4th-6th harmonic, then a slow roll-off.
            return std::pow(x, 0.6) * std::exp(-x / 7.0) + 0.05 * std::exp(-x / 30.0);
        case Family::Oboe: {
            // A formant around 1.2 kHz over a weak fundamental gives the nasal colour.
            double formant = std::exp(-std::pow(std::log2(f / 1200.0), 2.0) / 0.8);
            return ((h == 1 ? 0.35 : 0.12) + formant * 0.9) * std::exp(-f / 6000.0);
        }
        case Family::Posaune:
            return std::pow(x, 0.4) * std::exp(-x / 11.0) + 0.04;
    }
    return 0.0;
}

}  // namespace

std::vector<double> HarmonicAmplitudes(Family family, double fundamental, double maxFrequency) {
    std::vector<double> amplitudes;
    // Above about 1 kHz the upper partials weaken by 3 dB per octave.
    double trebleTilt = fundamental > 1000.0 ? std::log2(fundamental / 1000.0) : 0.0;
    for (int h = 1; h * fundamental < maxFrequency && h <= 256; ++h) {
        double a = Amplitude(family, h, h * fundamental);
        if (h > 1) a *= std::pow(0.707, trebleTilt * std::log2(static_cast<double>(h)));
        amplitudes.push_back(a);
    }
    return amplitudes;
}

}  // namespace tessaline::demo

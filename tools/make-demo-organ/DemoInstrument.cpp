#include "DemoInstrument.h"

#include <algorithm>

namespace tessaline::demo {

namespace {

// Global stop indexes, in file order (Stop001 is index 0).
enum StopIndex {
    kPrincipal8, kRohrfloete8, kOctave4, kMixture, kTrumpet8,
    kGedackt8, kSalicional8, kCeleste8, kFlute4, kNazard, kOboe8,
    kSubbass16, kPedalOctave8, kPosaune16,
};
enum CouplerIndex { kSwellToGreat, kGreatToPedal, kSwellToPedal, kSwellOctave, kSwellUnisonOff };

StopSpec Stop(const char* name, const char* folder, int manual, Family family, double offset,
              double level, DrawstopPlace place) {
    StopSpec s;
    s.name = name;
    s.folder = folder;
    s.manual = manual;
    s.family = family;
    s.pitchOffset = offset;
    s.level = level;
    s.pipes = manual == kPedal ? 32 : 61;
    s.place = place;
    return s;
}

CouplerSpec Coupler(const char* name, int manual, int destination, int keyshift, DrawstopPlace place) {
    CouplerSpec c;
    c.name = name;
    c.manual = manual;
    c.destination = destination;
    c.keyshift = keyshift;
    c.place = place;
    return c;
}

DemoOrgan Build() {
    DemoOrgan o;
    o.churchName = "Tessaline Demo Organ";
    o.churchAddress = "Chapel of St Ansgar the Less, 7 Windchest Row, Pipersbridge";
    o.organBuilder = "The Tessaline developers";
    o.organBuildDate = "2026";
    o.organComments =
        "A small two-manual organ whose every pipe is synthesised by make-demo-organ; no recording "
        "was made.";
    o.recordingDetails = "Synthesised at 44.1 kHz, 16 bit, with seamless sustain loops.";
    o.sampleRoot = "TessalineDemo";

    const DrawstopPlace reed{0, 0, 0, "DARK RED", "Normal"};
    auto at = [](DrawstopPlace p, int row, int col) {
        p.row = row;
        p.col = col;
        return p;
    };
    const DrawstopPlace flue{};
    const DrawstopPlace coupler{0, 0, 0, "DARK BLUE", "Small"};

    // Sustain peaks at the default overall volume of 50 per cent: the full
    // organ with every coupler (the toccata's closing seven-part chord, the
    // Swell doubled at the octave) stays just below full scale, while the
    // flutes of general 1 peak 4 to 6 dB below it. So the flutes are
    // voiced bold and the chorus, reeds and strings, which pile up in the
    // full registrations, are kept back.
    o.stops = {
        Stop("Principal 8'", "Principal8", kGreat, Family::Principal, 0, 0.138, at(flue, 1, 2)),
        Stop("Rohrfloete 8'", "Rohrfloete8", kGreat, Family::ChimneyFlute, 0, 0.1728, at(flue, 2, 2)),
        Stop("Octave 4'", "Octave4", kGreat, Family::Principal, 12, 0.055, at(flue, 3, 2)),
        Stop("Mixture III", "Mixture3", kGreat, Family::Principal, 0, 0.034, at(flue, 4, 2)),
        Stop("Trumpet 8'", "Trumpet8", kGreat, Family::Trumpet, 0, 0.0588, at(reed, 5, 2)),
        Stop("Gedackt 8'", "Gedackt8", kSwell, Family::StoppedFlute, 0, 0.1584, at(flue, 1, 4)),
        Stop("Salicional 8'", "Salicional8", kSwell, Family::String, 0, 0.0464, at(flue, 2, 4)),
        Stop("Voix celeste 8'", "VoixCeleste8", kSwell, Family::String, 0, 0.0464, at(flue, 3, 4)),
        Stop("Flute 4'", "Flute4", kSwell, Family::OpenFlute, 12, 0.0522, at(flue, 4, 4)),
        Stop("Nazard 2 2/3'", "Nazard", kSwell, Family::OpenFlute, 19, 0.0336, at(flue, 5, 4)),
        Stop("Oboe 8'", "Oboe8", kSwell, Family::Oboe, 0, 0.042, at(reed, 1, 5)),
        Stop("Subbass 16'", "Subbass16", kPedal, Family::StoppedFlute, -12, 0.2304, at(flue, 1, 1)),
        Stop("Octave 8'", "Octave8", kPedal, Family::Principal, 0, 0.30, at(flue, 2, 1)),
        Stop("Posaune 16'", "Posaune16", kPedal, Family::Posaune, -12, 0.072, at(reed, 3, 1)),
    };
    o.stops[kMixture].mixture = true;
    // The celeste is a sharp rank from tenor C, beating against the Salicional.
    o.stops[kCeleste8].detuneCents = 6.0;
    o.stops[kCeleste8].pipes = 49;
    o.stops[kCeleste8].firstKey = 13;
    // The pedal Octave borrows the Great Principal's pipes.
    o.stops[kPedalOctave8].sharedStop = kPrincipal8;

    o.couplers = {
        Coupler("Swell to Great", kGreat, kSwell, 0, at(coupler, 4, 3)),
        Coupler("Great to Pedal", kPedal, kGreat, 0, at(coupler, 4, 1)),
        Coupler("Swell to Pedal", kPedal, kSwell, 0, at(coupler, 5, 1)),
        Coupler("Swell Octave", kSwell, kSwell, 12, at(coupler, 4, 6)),
        Coupler("Swell Unison Off", kSwell, kSwell, 0, at(coupler, 5, 6)),
    };
    // Swell to Great carries the Swell octave on, as the player expects.
    o.couplers[kSwellToGreat].coupleToSubsequent[3] = true;
    o.couplers[kSwellUnisonOff].unisonOff = true;

    o.tremulantPlace = {5, 5, 84, "DARK GREEN", "Normal"};  // T
    o.divisionalCouplerPlace = {5, 3, 0, "DARK BLUE", "Small"};

    o.manuals = {
        {kPedal, "Pedal", 32, 1, {kSubbass16, kPedalOctave8, kPosaune16}, {kGreatToPedal, kSwellToPedal}, {}},
        {kGreat, "Great", 61, 2, {kPrincipal8, kRohrfloete8, kOctave4, kMixture, kTrumpet8}, {kSwellToGreat}, {}},
        {kSwell, "Swell", 61, 3, {kGedackt8, kSalicional8, kCeleste8, kFlute4, kNazard, kOboe8},
         {kSwellOctave, kSwellUnisonOff}, {0}},
    };

    auto divisional = [](int manual, int n, Registration r) {
        return DivisionalSpec{manual, std::to_string(n), ButtonPlace{manual, n, 10 + n, 0}, std::move(r)};
    };
    o.divisionals = {
        divisional(kPedal, 1, {{kSubbass16}, {}, {}, {}}),
        divisional(kPedal, 2, {{kSubbass16, kPedalOctave8}, {kGreatToPedal}, {}, {}}),
        divisional(kPedal, 3, {{kSubbass16, kPedalOctave8, kPosaune16}, {kGreatToPedal, kSwellToPedal}, {}, {}}),
        divisional(kGreat, 1, {{kRohrfloete8}, {}, {}, {}}),
        divisional(kGreat, 2, {{kPrincipal8, kOctave4}, {kSwellToGreat}, {}, {}}),
        divisional(kGreat, 3, {{kPrincipal8, kRohrfloete8, kOctave4, kMixture, kTrumpet8}, {kSwellToGreat}, {}, {}}),
        divisional(kSwell, 1, {{kSalicional8, kCeleste8}, {}, {0}, {}}),
        divisional(kSwell, 2, {{kGedackt8, kFlute4, kNazard}, {}, {}, {}}),
        divisional(kSwell, 3, {{kGedackt8, kSalicional8, kFlute4, kOboe8}, {kSwellOctave}, {}, {}}),
    };

    auto general = [](int n, Registration r) {
        return GeneralSpec{"G" + std::to_string(n), ButtonPlace{kGreat, 4 + n, 20 + n, 48 + n}, std::move(r)};
    };
    o.generals = {
        general(1, {{kRohrfloete8, kGedackt8, kSubbass16}, {kSwellToGreat, kSwellToPedal}, {}, {0}}),
        general(2, {{kRohrfloete8, kSalicional8, kCeleste8, kSubbass16}, {kSwellToGreat, kSwellToPedal}, {0}, {0}}),
        general(3, {{kPrincipal8, kRohrfloete8, kGedackt8, kFlute4, kSubbass16, kPedalOctave8},
                    {kSwellToGreat, kGreatToPedal}, {}, {0}}),
        general(4, {{kPrincipal8, kOctave4, kGedackt8, kSalicional8, kFlute4, kNazard, kSubbass16, kPedalOctave8},
                    {kSwellToGreat, kGreatToPedal}, {}, {0}}),
        general(5, {{kPrincipal8, kRohrfloete8, kOctave4, kMixture, kGedackt8, kSalicional8, kFlute4, kOboe8,
                     kSubbass16, kPedalOctave8, kPosaune16},
                    {kSwellToGreat, kGreatToPedal, kSwellToPedal}, {}, {0}}),
        general(6, {{kPrincipal8, kRohrfloete8, kOctave4, kMixture, kTrumpet8, kGedackt8, kSalicional8, kFlute4,
                     kNazard, kOboe8, kSubbass16, kPedalOctave8, kPosaune16},
                    {kSwellToGreat, kGreatToPedal, kSwellToPedal, kSwellOctave}, {}, {0}}),
    };
    o.reversiblePlace = {kPedal, 10, 40, 80};  // P
    o.reversibleCoupler = kGreatToPedal;

    o.labels = {{"PEDAL", 1, false}, {"GREAT", 2, true}, {"SWELL", 4, true}};
    return o;
}

}  // namespace

int DemoOrgan::StopPosition(int stop) const {
    const auto& list = manuals[static_cast<size_t>(stops[stop].manual)].stops;
    return static_cast<int>(std::find(list.begin(), list.end(), stop) - list.begin()) + 1;
}

int DemoOrgan::CouplerPosition(int coupler) const {
    const auto& list = manuals[static_cast<size_t>(couplers[coupler].manual)].couplers;
    return static_cast<int>(std::find(list.begin(), list.end(), coupler) - list.begin()) + 1;
}

const DemoOrgan& TheDemoOrgan() {
    static const DemoOrgan organ = Build();
    return organ;
}

int KeyNoteOfPipe(const StopSpec& stop, int pipe) { return kLowestKeyNote + stop.firstKey - 1 + pipe; }

std::vector<RankNote> PipeRanks(const StopSpec& stop, int pipe) {
    const double key = KeyNoteOfPipe(stop, pipe) + stop.pitchOffset + stop.detuneCents / 100.0;
    if (!stop.mixture) return {{key, 1.0}};
    // Mixture III: 1 1/3' - 1' - 2/3' in the bass, breaking back an octave at
    // every C up to the middle of the compass, so the top keeps the chorus clear.
    static constexpr int kBreaks[4][3] = {{31, 36, 43}, {24, 31, 36}, {19, 24, 31}, {12, 19, 24}};
    const int* ranks = kBreaks[std::min(pipe / 12, 3)];
    return {{key + ranks[0], 1.0}, {key + ranks[1], 0.85}, {key + ranks[2], 0.7}};
}

}  // namespace tessaline::demo

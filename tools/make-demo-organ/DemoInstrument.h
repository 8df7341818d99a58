#pragma once
// The demo organ as data: divisions, stops, couplers, combinations and the
// console layout. The organ file writer and the sample generator both read
// this one description.

#include <string>
#include <vector>

#include "PipeVoicing.h"

namespace tessaline::demo {

inline constexpr int kPedal = 0;
inline constexpr int kGreat = 1;
inline constexpr int kSwell = 2;
inline constexpr int kLowestKeyNote = 36;  // every keyboard starts at C2

struct DrawstopPlace {
    int row = 0;          // as written in the file, from 1
    int col = 0;
    int shortcutKey = 0;  // window-system key code, 0 for none
    const char* colour = "BLACK";
    const char* fontSize = "Normal";
};

struct ButtonPlace {
    int row = 0;          // 0..5 as in the file
    int col = 0;          // from 1
    int programChange = 0;  // 1..128
    int shortcutKey = 0;
};

struct StopSpec {
    std::string name;
    std::string folder;        // sample folder, plain ASCII
    int manual = kGreat;
    Family family = Family::Principal;
    double pitchOffset = 0.0;  // semitones of each pipe above its key: 16' is -12
    double detuneCents = 0.0;
    double level = 0.25;       // sustain peak as a fraction of full scale
    bool mixture = false;
    int pipes = 61;
    int firstKey = 1;          // logical key of pipe 1, from 1
    int sharedStop = -1;       // index of the stop whose pipes this one borrows
    DrawstopPlace place;
};

struct CouplerSpec {
    std::string name;
    int manual = kGreat;  // the manual it belongs to
    int destination = kGreat;
    int keyshift = 0;
    bool unisonOff = false;
    // Unison intermanual, upward intermanual, downward intermanual, upward
    // intramanual, downward intramanual.
    bool coupleToSubsequent[5] = {false, false, false, false, false};
    DrawstopPlace place;
};

struct ManualSpec {
    int number = 0;
    std::string name;
    int keys = 61;
    int midiInput = 1;
    std::vector<int> stops;      // global indexes into DemoOrgan::stops
    std::vector<int> couplers;   // global indexes into DemoOrgan::couplers
    std::vector<int> tremulants;  // organ tremulant indexes
};

// A registration: which stops and couplers (global indexes), tremulants and
// divisional couplers are drawn. Everything the combination may hold and
// that is not listed is stored as retired.
struct Registration {
    std::vector<int> stops;
    std::vector<int> couplers;
    std::vector<int> tremulants;
    std::vector<int> divisionalCouplers;
};

struct DivisionalSpec {
    int manual = kGreat;
    std::string name;
    ButtonPlace place;
    Registration registration;
};

struct GeneralSpec {
    std::string name;
    ButtonPlace place;
    Registration registration;
};

struct LabelSpec {
    std::string name;
    int col = 1;
    bool spanRight = false;
};

struct DisplaySettings {
    bool extraDrawstopRowsAboveExtraButtonRows = false;
    bool trimAboveExtraRows = false;
    bool trimAboveManuals = true;
    bool trimBelowManuals = true;
    bool buttonsAboveManuals = false;
    bool extraPedalButtonRow = false;
    bool extraPedalButtonRowOffset = false;
    bool extraPedalButtonRowOffsetRight = false;
    unsigned drawstopCols = 6;
    unsigned buttonCols = 10;
    unsigned drawstopRows = 5;
    bool drawstopColsOffset = false;
    bool drawstopOuterColOffsetUp = false;
    bool pairDrawstopCols = false;
    unsigned extraButtonRows = 0;
    unsigned extraDrawstopRows = 0;
    unsigned extraDrawstopCols = 0;
    const char* screenSizeHoriz = "Medium";
    const char* screenSizeVert = "Medium";
};

struct DemoOrgan {
    std::string churchName;
    std::string churchAddress;
    std::string organBuilder;
    std::string organBuildDate;
    std::string organComments;
    std::string recordingDetails;
    std::string sampleRoot;  // folder of the samples beside the organ file
    DisplaySettings display;
    std::vector<ManualSpec> manuals;  // pedal, great, swell
    std::vector<StopSpec> stops;      // in global stop order
    std::vector<CouplerSpec> couplers;  // in global coupler order
    DrawstopPlace tremulantPlace;
    DrawstopPlace divisionalCouplerPlace;
    std::vector<DivisionalSpec> divisionals;  // grouped by manual, in manual order
    std::vector<GeneralSpec> generals;
    ButtonPlace reversiblePlace;
    int reversibleCoupler = 0;  // the coupler the reversible piston toggles
    std::vector<LabelSpec> labels;

    // The manual's stop position (from 1) of a global stop index.
    int StopPosition(int stop) const;
    int CouplerPosition(int coupler) const;
};

const DemoOrgan& TheDemoOrgan();

// The pitches a stop's pipe sounds, as fractional MIDI notes, with their
// relative levels (one entry unless the stop is a mixture). Pipe from 0.
struct RankNote {
    double note;
    double level;
};
std::vector<RankNote> PipeRanks(const StopSpec& stop, int pipe);
// The MIDI note of the key that plays pipe `pipe` (from 0).
int KeyNoteOfPipe(const StopSpec& stop, int pipe);

}  // namespace tessaline::demo

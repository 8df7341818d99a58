#pragma once
// How the renderer's MIDI messages reach the pipes while the organ has no
// MIDI routing of its own yet: note-on and note-off on the channel of a
// manual's input path (with the path's key shift) press and release that
// manual's key, and a held key sounds the drawn stops of its manual; channel
// mode controllers 123 to 127 silence the manuals of their channel at once.
// Every manual path has its own hold on a key, so one keyboard playing two
// manuals holds one key on each. Redirectable inputs, couplers, stop control,
// program changes and enclosure controllers are not played.

#include <array>
#include <cstdint>

#include "organ/Constants.h"
#include "organ/SetupInfo.h"

namespace tessaline {

class Organ;

class NotePath {
public:
    NotePath(Organ& organ, const SetupInfo& setup) : organ(organ), setup(setup) {}
    void OnMidiMessage(uint32_t message);

private:
    void Press(int manual, int key);
    void Release(int manual, int key);
    void Silence(int manual);

    Organ& organ;
    const SetupInfo& setup;
    std::array<std::array<bool, kMaxLogicalKeys>, kMaxManuals> held{};
};

}  // namespace tessaline

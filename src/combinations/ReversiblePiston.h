#pragma once
// A reversible piston: a button that toggles one stop, coupler or tremulant.
// Capture mode does not change what it does.
//
// Threads: Load and Clear run on the UI thread while the organ is not
// active; Press on the MIDI or UI thread, under the action lock.

#include <cstdint>

#include "console/Control.h"

namespace tessaline {

class DefinitionFile;

enum class PistonObject : uint8_t { None = 0, Stop = 1, Coupler = 2, Tremulant = 3 };

class ReversiblePiston : public Button {
public:
    // OFF, UI. Section ReversiblePiston%03d (pistonNumber, from 1): the
    // button, then the object. False after reporting, with the piston cleared.
    bool Load(const DefinitionFile& file, int pistonNumber);
    // OFF, UI.
    void Clear();
    // MIDI or UI, under the action lock; nothing unless loaded.
    void Press();

    PistonObject objectType = PistonObject::None;
    uint32_t manual = 0;  // for a stop or coupler
    uint32_t object = 0;  // from 0: of the manual's stops or couplers, or of the organ's tremulants
    bool pistonLoaded = false;  // the piston's object is valid (Control::loaded is the button's)
};

}  // namespace tessaline

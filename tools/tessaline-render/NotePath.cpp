#include "NotePath.h"

#include "organ/Organ.h"
#include "organ/Stop.h"

namespace tessaline {

void NotePath::OnMidiMessage(uint32_t message) {
    if (!organ.loaded) return;
    uint32_t kind = message & 0xF0;
    uint32_t channel = message & 0x0F;
    int data1 = static_cast<int>(message >> 8 & 0x7F);
    int data2 = static_cast<int>(message >> 16 & 0x7F);
    bool note = kind == 0x90 || kind == 0x80;
    bool channelMode = kind == 0xB0 && data1 >= 123;
    if (!note && !channelMode) return;
    for (int m = organ.hasPedals ? 0 : 1; m <= static_cast<int>(organ.numberOfManuals); ++m) {
        const Manual& manual = organ.manuals[static_cast<size_t>(m)];
        size_t path = static_cast<size_t>(manual.midiInput);
        if (!manual.loaded || setup.ManualChan[path] - 1 != channel) continue;
        if (channelMode) {
            Silence(m);
            continue;
        }
        int key = data1 + setup.ManualKeyShift[path] - manual.midiNoteOfKey0;
        if (key < 0 || key >= manual.numberOfLogicalKeys) continue;
        if (kind == 0x90 && data2 != 0)
            Press(m, key);
        else
            Release(m, key);
    }
}

void NotePath::Press(int m, int key) {
    const Manual& manual = organ.manuals[static_cast<size_t>(m)];
    bool& isHeld = held[static_cast<size_t>(m)][static_cast<size_t>(key)];
    if (isHeld || !manual.keys[static_cast<size_t>(key)].playable) return;
    isHeld = true;
    for (int s = 0; s < manual.numberOfStops; ++s) manual.GetStop(s)->PipeOn(key);
}

void NotePath::Release(int m, int key) {
    const Manual& manual = organ.manuals[static_cast<size_t>(m)];
    bool& isHeld = held[static_cast<size_t>(m)][static_cast<size_t>(key)];
    if (!isHeld) return;
    isHeld = false;
    for (int s = 0; s < manual.numberOfStops; ++s) manual.GetStop(s)->PipeOff(key);
}

void NotePath::Silence(int m) {
    const Manual& manual = organ.manuals[static_cast<size_t>(m)];
    for (int key = 0; key < manual.numberOfLogicalKeys; ++key) {
        bool& isHeld = held[static_cast<size_t>(m)][static_cast<size_t>(key)];
        if (!isHeld) continue;
        isHeld = false;
        for (int s = 0; s < manual.numberOfStops; ++s) manual.GetStop(s)->PipeCut(key);
    }
}

}  // namespace tessaline

#include "midi/RedirectableInput.h"

#include "midi/OrganActions.h"
#include "organ/Constants.h"
#include "organ/Manual.h"
#include "organ/Organ.h"

namespace tessaline {

void RedirectableInput::Attach(Organ& owner, int inputIndex) {
    organ = &owner;
    sourceId = 10 + static_cast<uint32_t>(inputIndex);
}

void RedirectableInput::Retarget(uint32_t m) {
    targetManual = m;
    target = organ ? organ->ManualAt(static_cast<int>(m)) : nullptr;
}

bool RedirectableInput::SelectSend(uint32_t s) {
    if (s >= kSends || s == currentSend || !organ) return false;
    uint32_t m = sends[s];
    if (!organ->ManualAt(static_cast<int>(m))) return false;
    if (target && actions) {
        // Held keys travel by logical key index, not by note number, so a
        // chord keeps its shape on a manual whose compass starts elsewhere.
        std::array<bool, kMaxLogicalKeys> held{};
        for (int k = 0; k < kMaxLogicalKeys; ++k)
            held[static_cast<size_t>(k)] = k < target->numberOfLogicalKeys &&
                                           actions->HeldDirectlyBy(target->index, k, sourceId);
        for (int k = 0; k < kMaxLogicalKeys; ++k)
            if (held[static_cast<size_t>(k)])
                actions->KeyUp(target->index, k + target->midiNoteOfKey0, sourceId);
        Retarget(m);
        for (int k = 0; k < kMaxLogicalKeys; ++k)
            if (held[static_cast<size_t>(k)])
                actions->KeyDown(target->index, k + target->midiNoteOfKey0, sourceId);
    } else {
        Retarget(m);
    }
    currentSend = s;
    return true;
}

void RedirectableInput::Reset() {
    currentSend = kNoSend;
    target = nullptr;
    if (!SelectSend(0)) Retarget(1);
}

}  // namespace tessaline

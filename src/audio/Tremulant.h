#pragma once
// A tremulant: an amplitude modulation of the windchest groups it is attached
// to, whose speed (and with it the depth) spins up at StartRate when switched
// on and winds down at StopRate when switched off. Switches reach the
// renderer as toggles through one event ring per attachment, stamped one
// buffer length after the current play position.

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "audio/EventRing.h"
#include "console/Control.h"
#include "organ/Constants.h"

namespace tessaline {

class AudioEngine;
class DefinitionFile;
class WindchestGroup;
class Tremulant;

// The tremulant as seen by one windchest group.
struct TremulantGroupLink {
    int group = 0;
    AudioEngine* engine = nullptr;
    int64_t bufferFrames = 0;
    EventRing<int64_t, kTremulantEventRing> events;  // frame times of toggles
    // The state a reset leaves the link in (the drawstop's default).
    std::atomic<bool> onAfterReset{false};
    // Renderer only.
    bool on = false;
    float speed = 0.0f;  // radians per frame, 0 .. fullSpeed
    // Kept in [0, 2 pi) in double precision: an angle that grew without bound
    // in a float would lose the modulation within minutes.
    double phase = 0.0;

    // Applies the queued toggles and the modulation to the block [blockTime,
    // blockTime + frameCount) of the group's stereo buffer. RT.
    void Process(const Tremulant& tremulant, int32_t* buffer, int64_t frameCount,
                 int64_t blockTime);
    // frameCount stereo frames in the given state. RT.
    void Modulate(const Tremulant& tremulant, int32_t* frames, int64_t frameCount, bool state);
};

class Tremulant {
public:
    // The tremulant's console face: its on/off state is the tremulant's state.
    // The organ loads it before the tremulant's own keys and clears it on
    // unload; Load and Clear below leave it alone.
    Drawstop drawstop;

    // Reads section Tremulant%03d (number from 1) and attaches the tremulant
    // to every entry naming it in the groups (the organ's table, indexed by
    // group number). The organ reads the tremulant's drawstop keys before
    // this. Reports and clears the tremulant on failure. OFF.
    bool Load(const DefinitionFile& file, int number, std::span<const WindchestGroup> groups);
    // OFF.
    void Clear();
    // Every link takes the engine and its buffer length. OFF.
    void AttachEngine(AudioEngine& engine);

    // Queues a toggle, one buffer length from now, in every link; a link
    // whose ring is full drops its toggle (counted). The organ calls this
    // when its drawstop goes on or off. MIDI or UI, under the action lock.
    void QueueToggle();
    // Empties every ring and stills every link. A tremulant whose drawstop
    // comes back engaged (engaged = true) is switched on at the same moment,
    // spinning up from rest, so the sound follows the drawstop. MIDI or UI,
    // under the action lock.
    void Reset(bool engaged);
    // Processes every link attached to group. RT.
    void Process(int group, int32_t* buffer, int64_t frameCount, int64_t blockTime);

    int LinkCount() const { return linkCount; }
    TremulantGroupLink& Link(int i) { return links[static_cast<size_t>(i)]; }

    int number = 0;
    uint32_t periodMs = 0;
    float startStep = 0.0f;
    float stopStep = 0.0f;
    float depth = 0.0f;
    float fullSpeed = 0.0f;
    float depthPerSpeed = 0.0f;
    bool loaded = false;
    bool engineSet = false;

private:
    std::array<TremulantGroupLink, kMaxGroupLinks> links;
    int linkCount = 0;
};

}  // namespace tessaline

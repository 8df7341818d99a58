#pragma once
// A swell enclosure: a level between its minimum and full that follows a MIDI
// controller, applied to the buffer of every windchest group it is attached
// to. Controller values reach the renderer through one event ring per
// attachment, stamped one buffer length after the current play position, and
// each change is reached by a straight ramp from the previous one.

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "audio/EventRing.h"
#include "organ/Constants.h"

namespace tessaline {

class AudioEngine;
class DefinitionFile;
class WindchestGroup;

struct EnclosureEvent {
    int64_t time = 0;
    uint32_t level = 0;  // 0..127
};

// The enclosure as seen by one windchest group.
struct EnclosureGroupLink {
    int group = 0;
    AudioEngine* engine = nullptr;
    int64_t bufferFrames = 0;
    EventRing<EnclosureEvent, kEnclosureEventRing> events;
    // Renderer only: the level in force at the end of the last block.
    uint32_t currentLevel = 127;

    // Applies the queued level changes to the block [blockTime, blockTime +
    // frameCount) of the group's stereo buffer. RT.
    void Process(int32_t* buffer, int64_t frameCount, int64_t blockTime);
};

// Multiplies frameCount stereo frames by a gain going in a straight line from
// level from/127 (first frame) towards to/127, leaving them untouched at
// unity. RT.
void RampLevel(int32_t* frames, int64_t frameCount, uint32_t from, uint32_t to);

class Enclosure {
public:
    // Reads section Enclosure%03d (index + 1), then attaches the enclosure to
    // every entry naming it in the groups (the organ's table, indexed by group
    // number). x, y place the console indicator. Reports and clears the
    // enclosure on failure. OFF.
    bool Load(const DefinitionFile& file, int index, int x, int y,
              std::span<const WindchestGroup> groups);
    // OFF.
    void Clear();
    // Every link takes the engine and its buffer length. OFF.
    void AttachEngine(AudioEngine& engine);
    // OFF.
    void SetMidiParameters(uint32_t device, uint32_t channel, uint32_t controller);
    // MIDI.
    bool Matches(uint32_t device, uint32_t channel, uint32_t controller) const;

    // The level a controller value gives (0..127).
    uint32_t LevelFor(uint32_t controllerValue) const;
    // Queues the value's level in every link. When a link has no room nothing
    // is queued anywhere and the value is not taken (false), so the groups
    // never disagree. MIDI, under the action lock.
    bool SetValue(uint32_t controllerValue);
    // Empties every ring and returns to full level (127). MIDI or UI, under
    // the action lock.
    void Reset();
    // Processes every link attached to group. RT.
    void Process(int group, int32_t* buffer, int64_t frameCount, int64_t blockTime);

    int LinkCount() const { return linkCount; }
    EnclosureGroupLink& Link(int i) { return links[static_cast<size_t>(i)]; }

    int index = 0;
    std::string name;
    uint32_t midiInput = 0;  // 0..5
    uint32_t minimumLevel = 0;
    float levelOffset = 0.0f;
    float levelSlope = 1.0f;
    uint32_t midiDevice = 0, midiChannel = 0, midiController = 0;
    bool midiParametersSet = false;
    // The position shown on the console: written under the action lock,
    // read by the console's drawing on the UI thread.
    std::atomic<uint32_t> value{127};
    int indicatorX = 0, indicatorY = 0;
    bool loaded = false;

private:
    std::array<EnclosureGroupLink, kMaxGroupLinks> links;
    int linkCount = 0;
};

}  // namespace tessaline

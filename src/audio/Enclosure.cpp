#include "audio/Enclosure.h"

#include <algorithm>

#include "audio/AudioEngine.h"
#include "audio/WindchestGroup.h"
#include "organ/DefinitionReader.h"
#include "organ/KeyReader.h"

namespace tessaline {

namespace {
constexpr size_t kNumberBuffer = 16;
constexpr size_t kNameBuffer = 64;
constexpr uint32_t kFullLevel = 127;
}  // namespace

void RampLevel(int32_t* frames, int64_t frameCount, uint32_t from, uint32_t to) {
    if (frameCount <= 0 || (from == kFullLevel && to == kFullLevel)) return;
    float gain = static_cast<float>(from) / 127.0f;
    const float step = static_cast<float>(static_cast<int32_t>(to) - static_cast<int32_t>(from)) /
                       static_cast<float>(frameCount * 127);
    for (int64_t i = 0; i < frameCount; ++i) {
        frames[2 * i] = static_cast<int32_t>(static_cast<float>(frames[2 * i]) * gain);
        frames[2 * i + 1] = static_cast<int32_t>(static_cast<float>(frames[2 * i + 1]) * gain);
        gain += step;
    }
}

void EnclosureGroupLink::Process(int32_t* buffer, int64_t frameCount, int64_t blockTime) {
    if (events.BeginBlock()) currentLevel = kFullLevel;
    // An event stamped before the block came in while its frame was being
    // rendered: it takes effect at the block's first frame. Holding it back
    // until it is a buffer length old would delay it by a whole buffer.
    const int64_t blockEnd = blockTime + frameCount;
    int64_t segmentStart = blockTime;
    uint32_t level = currentLevel;
    while (const EnclosureEvent* event = events.Peek()) {
        const int64_t at = std::max(event->time, blockTime);
        if (at >= blockEnd) break;
        RampLevel(buffer + 2 * (segmentStart - blockTime), std::max<int64_t>(0, at - segmentStart),
                  level, event->level);
        level = event->level;
        segmentStart = std::max(segmentStart, at);
        events.Pop();
    }
    RampLevel(buffer + 2 * (segmentStart - blockTime), blockEnd - segmentStart, level, level);
    currentLevel = level;
}

void Enclosure::Clear() {
    for (EnclosureGroupLink& link : links) {
        link.group = 0;
        link.engine = nullptr;
        link.bufferFrames = 0;
        link.events.ResetIdle();
        link.currentLevel = kFullLevel;
    }
    linkCount = 0;
    index = 0;
    name.clear();
    midiInput = 0;
    minimumLevel = 0;
    levelOffset = 0.0f;
    levelSlope = 1.0f;
    midiDevice = midiChannel = midiController = 0;
    midiParametersSet = false;
    value.store(kFullLevel, std::memory_order_release);
    indicatorX = indicatorY = 0;
    loaded = false;
}

bool Enclosure::Load(const DefinitionFile& file, int enclosureIndex, int x, int y,
                     std::span<const WindchestGroup> groups) {
    Clear();
    const int number = enclosureIndex + 1;
    KeyReader keys(file, NumberedName("Enclosure", number), "Loading an organ enclosure.");
    uint32_t input = 0;
    bool ok = keys.RequiredText("Name", kNameBuffer, name,
                                "No enclosure name is specified in the organ definition file or "
                                "the enclosure %d section is missing.",
                                number) &&
              keys.Whole("MIDIInputNumber", kNumberBuffer, 1, 6, input,
                         "The MIDI input number for enclosure %d could not be found in the organ "
                         "definition file.",
                         "An invalid MIDI input number for enclosure %d is specified in the organ "
                         "definition file.",
                         number) &&
              keys.Whole("AmpMinimumLevel", kNumberBuffer, 0, 100, minimumLevel,
                         "The minimum level for enclosure %d is not specified in the organ "
                         "definition file.",
                         "An invalid minimum level value for enclosure %d is specified in the "
                         "organ definition file (range 0-100).",
                         number);
    if (!ok) {
        Clear();
        return false;
    }
    index = enclosureIndex;
    midiInput = input - 1;
    levelOffset = static_cast<float>(minimumLevel) * 127.0f / 100.0f;
    levelSlope = static_cast<float>(100 - minimumLevel) / 100.0f;
    indicatorX = x;
    indicatorY = y;
    std::array<int, kMaxGroupLinks> found{};
    linkCount = FindAttachments(groups, GroupList::Enclosures, enclosureIndex, found);
    for (int i = 0; i < linkCount; ++i)
        links[static_cast<size_t>(i)].group = found[static_cast<size_t>(i)];
    loaded = true;
    return true;
}

void Enclosure::AttachEngine(AudioEngine& engine) {
    for (int i = 0; i < linkCount; ++i) {
        links[static_cast<size_t>(i)].engine = &engine;
        links[static_cast<size_t>(i)].bufferFrames = engine.BufferFrames();
    }
}

void Enclosure::SetMidiParameters(uint32_t device, uint32_t channel, uint32_t controller) {
    midiDevice = device;
    midiChannel = channel;
    midiController = controller;
    midiParametersSet = true;
}

bool Enclosure::Matches(uint32_t device, uint32_t channel, uint32_t controller) const {
    return device == midiDevice && channel == midiChannel && controller == midiController;
}

uint32_t Enclosure::LevelFor(uint32_t controllerValue) const {
    const float v = static_cast<float>(std::min(controllerValue, kFullLevel));
    return static_cast<uint32_t>(v * levelSlope + levelOffset);
}

bool Enclosure::SetValue(uint32_t controllerValue) {
    for (int i = 0; i < linkCount; ++i) {
        if (links[static_cast<size_t>(i)].events.Full()) {
            links[static_cast<size_t>(i)].events.CountDrop();
            return false;
        }
    }
    const uint32_t level = LevelFor(controllerValue);
    for (int i = 0; i < linkCount; ++i) {
        EnclosureGroupLink& link = links[static_cast<size_t>(i)];
        const int64_t now = link.engine != nullptr ? link.engine->CurrentPlayPosition() : 0;
        link.events.Push({now + link.bufferFrames, level});
    }
    value.store(std::min(controllerValue, kFullLevel), std::memory_order_release);
    return true;
}

void Enclosure::Reset() {
    for (int i = 0; i < linkCount; ++i) links[static_cast<size_t>(i)].events.RequestClear();
    value.store(kFullLevel, std::memory_order_release);
}

void Enclosure::Process(int group, int32_t* buffer, int64_t frameCount, int64_t blockTime) {
    for (int i = 0; i < linkCount; ++i) {
        EnclosureGroupLink& link = links[static_cast<size_t>(i)];
        if (link.group == group) link.Process(buffer, frameCount, blockTime);
    }
}

}  // namespace tessaline

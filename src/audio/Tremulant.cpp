#include "audio/Tremulant.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/AudioEngine.h"
#include "audio/WindchestGroup.h"
#include "organ/DefinitionReader.h"
#include "organ/KeyReader.h"

namespace tessaline {

namespace {
constexpr size_t kNumberBuffer = 16;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
}  // namespace

void TremulantGroupLink::Modulate(const Tremulant& tremulant, int32_t* frames, int64_t frameCount,
                                  bool state) {
    if (speed == 0.0f && !state) return;
    for (int64_t i = 0; i < frameCount; ++i) {
        phase += speed;
        if (phase >= kTwoPi) phase -= kTwoPi;
        const float sine = static_cast<float>(std::sin(phase));
        const float gain = speed < tremulant.fullSpeed
                               ? 1.0f + sine * tremulant.depthPerSpeed * speed
                               : 1.0f + sine * tremulant.depth;
        frames[2 * i] = static_cast<int32_t>(static_cast<float>(frames[2 * i]) * gain);
        frames[2 * i + 1] = static_cast<int32_t>(static_cast<float>(frames[2 * i + 1]) * gain);
        if (state && speed < tremulant.fullSpeed) {
            speed = std::min(speed + tremulant.startStep, tremulant.fullSpeed);
        } else if (!state && speed > 0.0f) {
            speed -= tremulant.stopStep;
            if (speed < 0.0f) speed = 0.0f;
        }
    }
}

void TremulantGroupLink::Process(const Tremulant& tremulant, int32_t* buffer, int64_t frameCount,
                                 int64_t blockTime) {
    if (events.BeginBlock()) {
        on = onAfterReset.load(std::memory_order_relaxed);
        speed = 0.0f;
        phase = 0.0;
    }
    // A toggle stamped before the block is late and takes effect at the
    // block's first frame (see EnclosureGroupLink::Process).
    const int64_t blockEnd = blockTime + frameCount;
    int64_t segmentStart = blockTime;
    bool state = on;
    while (const int64_t* toggle = events.Peek()) {
        const int64_t at = std::max(*toggle, blockTime);
        if (at >= blockEnd) break;
        Modulate(tremulant, buffer + 2 * (segmentStart - blockTime),
                 std::max<int64_t>(0, at - segmentStart), state);
        state = !state;
        segmentStart = std::max(segmentStart, at);
        events.Pop();
    }
    Modulate(tremulant, buffer + 2 * (segmentStart - blockTime), blockEnd - segmentStart, state);
    on = state;
}

void Tremulant::Clear() {
    for (TremulantGroupLink& link : links) {
        link.group = 0;
        link.engine = nullptr;
        link.bufferFrames = 0;
        link.events.ResetIdle();
        link.onAfterReset.store(false, std::memory_order_relaxed);
        link.on = false;
        link.speed = 0.0f;
        link.phase = 0.0;
    }
    linkCount = 0;
    number = 0;
    periodMs = 0;
    startStep = stopStep = depth = fullSpeed = depthPerSpeed = 0.0f;
    loaded = false;
    engineSet = false;
}

bool Tremulant::Load(const DefinitionFile& file, int tremulantNumber,
                     std::span<const WindchestGroup> groups) {
    Clear();
    const std::string section = NumberedName("Tremulant", tremulantNumber);
    KeyReader keys(file, section, "Loading an organ tremulant.");
    const char* name = section.c_str();
    uint32_t startRate = 0, stopRate = 0, depthPercent = 0;
    bool ok =
        keys.Whole("Period", kNumberBuffer, 32, 441000, periodMs,
                   "The period for %s is not specified in the organ definition file.",
                   "An invalid period for %s is specified in the organ definition file.", name) &&
        keys.Whole("StartRate", kNumberBuffer, 1, 100, startRate,
                   "The start rate for %s is not specified in the organ definition file.",
                   "An invalid start rate for %s is specified in the organ definition file "
                   "(range 1-100).",
                   name) &&
        keys.Whole("StopRate", kNumberBuffer, 1, 100, stopRate,
                   "The stop rate for %s is not specified in the organ definition file.",
                   "An invalid stop rate for %s is specified in the organ definition file "
                   "(range 1-100).",
                   name) &&
        keys.Whole("AmpModDepth", kNumberBuffer, 1, 100, depthPercent,
                   "The depth for %s is not specified in the organ definition file.",
                   "An invalid depth for %s is specified in the organ definition file "
                   "(range 1-100).",
                   name);
    if (!ok) {
        Clear();
        return false;
    }
    number = tremulantNumber;
    startStep = static_cast<float>(startRate * 2e-9);
    stopStep = static_cast<float>(stopRate * 2e-9);
    depth = static_cast<float>(depthPercent) / 100.0f;
    // 2 pi radians per period of periodMs x 44.1 frames.
    fullSpeed = static_cast<float>(62.831856 / (periodMs * 441.0));
    depthPerSpeed = depth / fullSpeed;
    std::array<int, kMaxGroupLinks> found{};
    linkCount = FindAttachments(groups, GroupList::Tremulants, tremulantNumber - 1, found);
    for (int i = 0; i < linkCount; ++i)
        links[static_cast<size_t>(i)].group = found[static_cast<size_t>(i)];
    loaded = true;
    return true;
}

void Tremulant::AttachEngine(AudioEngine& engine) {
    for (int i = 0; i < linkCount; ++i) {
        links[static_cast<size_t>(i)].engine = &engine;
        links[static_cast<size_t>(i)].bufferFrames = engine.BufferFrames();
    }
    engineSet = true;
}

void Tremulant::QueueToggle() {
    for (int i = 0; i < linkCount; ++i) {
        TremulantGroupLink& link = links[static_cast<size_t>(i)];
        const int64_t now = link.engine != nullptr ? link.engine->CurrentPlayPosition() : 0;
        link.events.Push(now + link.bufferFrames);
    }
}

void Tremulant::Reset(bool engaged) {
    for (int i = 0; i < linkCount; ++i) {
        TremulantGroupLink& link = links[static_cast<size_t>(i)];
        link.onAfterReset.store(engaged, std::memory_order_relaxed);
        link.events.RequestClear();
    }
}

void Tremulant::Process(int group, int32_t* buffer, int64_t frameCount, int64_t blockTime) {
    for (int i = 0; i < linkCount; ++i) {
        TremulantGroupLink& link = links[static_cast<size_t>(i)];
        if (link.group == group) link.Process(*this, buffer, frameCount, blockTime);
    }
}

}  // namespace tessaline

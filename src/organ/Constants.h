#pragma once
// Every fixed capacity of Tessaline in one place. Tables are sized by these
// and never grow while an organ is loaded or playing.

#include <cstddef>
#include <cstdint>

namespace tessaline {

// Organ model
inline constexpr int kMaxManuals = 6;             // manual 0 is the pedal
inline constexpr int kMaxManualNumber = 5;        // NumberOfManuals 1..5
inline constexpr int kMaxStopsPerManual = 64;
inline constexpr int kMaxLogicalKeys = 192;
inline constexpr int kMaxEnclosures = 6;
inline constexpr int kMaxTremulants = 16;
// Accepted NumberOfWindchestGroups is 1..kMaxWindchestGroupsInFile; the table
// and the engine's group buffers hold those plus the implicit group 0.
inline constexpr int kMaxWindchestGroupsInFile = 12;
inline constexpr int kMaxWindchestGroups = kMaxWindchestGroupsInFile + 1;
inline constexpr int kMaxLabels = 16;
inline constexpr int kMaxDivisionalCouplers = 8;
inline constexpr int kMaxReversiblePistons = 32;
inline constexpr int kMaxGenerals = 99;
inline constexpr int kFrameGenerals = 512;
inline constexpr int kGeneralEntries = kMaxGenerals + kFrameGenerals;  // 611

// Definition file reader
inline constexpr size_t kDefinitionLinePiece = 511;

// Samples
inline constexpr size_t kSampleLoadingBufferBytes = 8u * 1024u * 1024u;

// Audio engine
inline constexpr int kVoicePoolSize = 2048;
inline constexpr int kBlockFrames = 128;
inline constexpr int kSampleRate = 44100;
inline constexpr size_t kEnclosureEventRing = 16384;
inline constexpr size_t kTremulantEventRing = 256;
// Attachments of one enclosure or tremulant to windchest groups.
inline constexpr int kMaxGroupLinks = 12;
inline constexpr int kMaxGroupEnclosures = 6;  // per windchest group
inline constexpr int kMaxGroupTremulants = kMaxGroupEnclosures;
// Release cross-fade of the integer kernels: gain 32767 falling by 32 a frame.
inline constexpr int32_t kReleaseFadeStart = 32767;
inline constexpr int32_t kReleaseFadeStep = 32;

// Error reporting: room for a formatted message and for the box text.
inline constexpr size_t kReportTextRoom = 2047;

// Console
inline constexpr int kBackgroundImages = 30;
inline constexpr int kDefaultWindowWidth = 792;
inline constexpr int kDefaultWindowHeight = 560;

}  // namespace tessaline

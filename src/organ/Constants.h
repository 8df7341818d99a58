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
inline constexpr int kMaxLogicalKeys = 192;          // also the pipes of a stop
inline constexpr int kMaxAccessibleKeys = 85;
inline constexpr int kMaxManualCouplers = 16;
inline constexpr int kMaxManualDivisionals = 32;
inline constexpr int kMaxManualTremulants = 10;
inline constexpr int kManualMidiInputs = 6;
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
inline constexpr int kMaxDisplayedManuals = kMaxManualNumber;  // the pedal is never counted

// Key action: the five kinds of coupler a hold may pass through, the highest
// keyshift of a coupler, and the direct key sources (bits of a key's mask):
// 0..5 a manual's own MIDI input, then the two redirectable inputs and the
// test note.
inline constexpr int kCouplerKinds = 5;
inline constexpr int kMaxCouplerKeyshift = 24;
inline constexpr int kRedirectableSourceA = 10;
inline constexpr int kRedirectableSourceB = 11;
inline constexpr int kTestNoteSource = 12;
inline constexpr int kTestNoteManual = 1;
inline constexpr int kTestNoteMidiNote = 60;
inline constexpr int kMaxDivisionalCouplerManuals = kMaxManuals;

// Organ definition: reader buffer sizes of the [Organ] texts (terminating zero
// included), and the newest file format this program reads.
inline constexpr size_t kOrganShortTextBuffer = 128;
inline constexpr size_t kOrganLongTextBuffer = 256;
inline constexpr double kSupportedFileFormatVersion = 1.21;
inline constexpr double kMaxOrganAmplitudePercent = 1000.0;

// Definition file reader
inline constexpr size_t kDefinitionLinePiece = 511;

// Samples
inline constexpr size_t kSampleLoadingBufferBytes = 8u * 1024u * 1024u;
inline constexpr int kReleaseFadeFrames = 1024;    // fade-in at the start of a release
// Pipe sample memory is taken from chunks of this size (one sample larger than
// a chunk gets a chunk of its own).
inline constexpr size_t kSampleMemoryChunkBytes = 64u * 1024u * 1024u;

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

// MIDI input: ports beyond this many are never seen.
inline constexpr unsigned kMaxMidiInputDevices = 32;
// Standard MIDI files: larger files are refused before they are read.
inline constexpr size_t kMaxMidiFileBytes = 16u * 1024u * 1024u;
// Offline rendering: the longest piece rendered, and how long the last
// releases may sound after its end before the rendering stops regardless.
inline constexpr int64_t kMaxRenderSeconds = 24 * 3600;
inline constexpr int64_t kRenderTailLimitSeconds = 60;
// MIDI routing: the redirectable inputs (A, B), the registration-frame inputs,
// and every consumer that opens a port (manuals, those two kinds, enclosures
// and the stop-control input).
inline constexpr int kRedirectableInputs = 2;
inline constexpr int kFrameControlInputs = 3;
inline constexpr int kMaxMidiConsumers =
    kMaxManuals + kRedirectableInputs + kFrameControlInputs + kMaxEnclosures + 1;

// Audio output
inline constexpr size_t kMaxAudioDevices = 32;
// The setup offers whole blocks only; the stream itself needs a quarter of
// its buffer (one tick) to be at least one frame, and tests run it that small.
inline constexpr int64_t kMinBufferFrames = 4;
inline constexpr int64_t kMaxBufferFrames = 2048 * int64_t{kBlockFrames};  // 2048 blocks
inline constexpr int kPositionLockWaitMilliseconds = 200;

// Setup: the ranges the setup dialog accepts and a read of the settings store
// confirms. The volume starts at 2 in both, so that a volume the dialog
// accepts never leaves the next read incomplete.
inline constexpr int kMinBufferBlocks = 1;
inline constexpr int kMaxBufferBlocks = 2048;
inline constexpr int kMinAmplitudeLevel = 2;
inline constexpr int kMaxAmplitudeLevel = 100;
inline constexpr int kMidiChannels = 16;  // 1..16 in the setup
inline constexpr int kMaxSetupKeyShift = 24;
inline constexpr int kMaxEnclosureController = 31;
inline constexpr int kMaxProgramChangeNumber = 128;  // 1..128 in the setup

// Recording: the ring between the audio timer and the writer thread (about six
// seconds of 16-bit stereo at 44.1 kHz), how often the writer looks at it, and
// the most sample data whose sizes still fit the 32-bit fields of the WAV
// header (RIFF size = data + 40), kept to whole frames.
inline constexpr size_t kRecorderRingBytes = size_t{1} << 20;
inline constexpr int kRecorderWriterPollMilliseconds = 5;
inline constexpr uint64_t kRecordingHeaderBytes = 48;
inline constexpr uint64_t kMaxRecordedDataBytes = (uint64_t{0xFFFFFFFF} - 40) / 4 * 4;

// Error reporting: room for a formatted message and for the box text.
inline constexpr size_t kReportTextRoom = 2047;

// Console
inline constexpr int kBackgroundImages = 30;
inline constexpr int kDefaultWindowWidth = 792;
inline constexpr int kDefaultWindowHeight = 560;
// Redraw requests the console window holds between two paints; more than
// this many different controls in one frame become one full repaint.
inline constexpr int kMaxQueuedControlRedraws = 512;
// Queued redraws are painted this long after the first of them, so that a
// burst (a general setting many drawstops) paints once, within a frame.
inline constexpr int kConsoleRedrawDelayMilliseconds = 8;
inline constexpr uint32_t kMaxDrawstopCols = 12;
inline constexpr uint32_t kMaxDrawstopRows = 20;
inline constexpr uint32_t kMaxButtonCols = 32;
inline constexpr uint32_t kMaxExtraButtonRows = 8;
inline constexpr uint32_t kMaxExtraDrawstopRows = 40;
inline constexpr uint32_t kMaxExtraDrawstopCols = 40;
inline constexpr uint32_t kMaxButtonSlotRow = 5;  // button rows 0..5 name keyboard slots

// Built-in artwork: sizes of the pictures the console composes.
inline constexpr int kTileSize = 256;
inline constexpr int kDrawstopImageSets = 2;
inline constexpr int kDrawstopPictureSize = 65;  // square
inline constexpr int kButtonImageSets = 2;
inline constexpr int kButtonPictureWidth = 31;
inline constexpr int kButtonPictureHeight = 30;
inline constexpr int kLabelPlateWidth = 78;
inline constexpr int kLabelPlateHeight = 22;

}  // namespace tessaline

#pragma once
// The audio and MIDI setup of the machine, as the settings store holds it.
// Fields are named after their stored values; a row of numbered values is an
// array indexed from 0 by the number in the value's name (ManualChan[2] is
// "Manual2Chan", EnclosureController[0] is "Enclosure0Controller"), except the
// CombFrame rows and the Send rows, whose names count from 1 (CombFrameChan[0]
// is "CombFrame1Chan", ManualASend[0] is "ManualASend1").
//
// A plain record: construction gives every field its default, empty device
// descriptions, setUp and reloadRequired false. Read and Write move it to and
// from the settings store; the device descriptions in memory are written only
// by the setup dialog, and the store always gets the current name of the
// device a row's number names.

#include <array>
#include <cstdint>
#include <string>

namespace tessaline {

class AudioStream;
class MidiInputSystem;
class SettingsStore;

// The text of a stored value as a whole number: leading blanks, one optional
// sign, then digits up to the first non-digit; no digits give 0. Values past
// the 32-bit range are held at its ends.
int64_t ParseSettingNumber(const std::string& text);

struct SetupInfo {
    static constexpr int kManualPaths = 6;
    static constexpr int kEnclosurePaths = 6;
    static constexpr int kSendKeys = 4;
    static constexpr int kCombFrames = 3;

    // Output buffer length in blocks of 128 sample frames (1..2048).
    uint32_t AudioBufferBlocks = 42;
    // Sample memory format: 0 mono, 1 stereo.
    uint32_t PreferredMemorySampleFormat = 1;
    // Spread stereo samples loaded in mono to both channels.
    bool MixUpwardsOnOutput = true;
    uint32_t DSDevNumber = 0;
    std::string DSDevDesc;
    // Overall volume in per cent (2..100), applied when samples are loaded.
    uint32_t AmplitudeLevel = 50;

    // The six fixed manual MIDI input paths.
    std::array<uint32_t, kManualPaths> ManualChan{2, 1, 3, 4, 6, 7};
    std::array<int32_t, kManualPaths> ManualKeyShift{0, 0, 0, 0, 0, 0};
    std::array<uint32_t, kManualPaths> ManualMIDIInDevNumber{0, 0, 0, 0, 0, 0};
    std::array<std::string, kManualPaths> ManualMIDIInDevDesc;

    // The redirectable inputs A and B and the manuals F1..F4 / F5..F8 send them to.
    uint32_t ManualAChan = 8;
    uint32_t ManualBChan = 9;
    int32_t ManualAKeyShift = 0;
    int32_t ManualBKeyShift = 0;
    uint32_t ManualAMIDIInDevNumber = 0;
    std::string ManualAMIDIInDevDesc;
    uint32_t ManualBMIDIInDevNumber = 0;
    std::string ManualBMIDIInDevDesc;
    std::array<uint32_t, kSendKeys> ManualASend{0, 1, 2, 3};
    std::array<uint32_t, kSendKeys> ManualBSend{1, 2, 3, 4};

    // The six enclosure (swell pedal) input paths.
    std::array<uint32_t, kEnclosurePaths> EnclosureChan{1, 2, 16, 16, 16, 16};
    std::array<uint32_t, kEnclosurePaths> EnclosureController{1, 1, 1, 1, 1, 1};
    std::array<uint32_t, kEnclosurePaths> EnclosureMIDIInDevNumber{0, 0, 0, 0, 0, 0};
    std::array<std::string, kEnclosurePaths> EnclosureMIDIInDevDesc;

    // The stop control input.
    uint32_t ControlChan = 5;
    uint32_t ControlMIDIInDevNumber = 0;
    std::string ControlMIDIInDevDesc;

    // The three registration frame inputs; program change numbers count from 1.
    std::array<uint32_t, kCombFrames> CombFrameMIDIInDevNumber{0, 0, 0};
    std::array<std::string, kCombFrames> CombFrameMIDIInDevDesc;
    std::array<uint32_t, kCombFrames> CombFrameChan{1, 10, 10};
    std::array<uint32_t, kCombFrames> CombFramePrevPC{1, 1, 1};
    std::array<uint32_t, kCombFrames> CombFrameNextPC{2, 2, 2};

    // UI. Fills the record from the store. Missing, malformed or
    // out-of-range values take their defaults and leave setUp false; a device
    // row whose stored name now belongs to another port follows the name.
    // False only when the store could not be opened or closed (reported).
    bool Read(SettingsStore& store, const MidiInputSystem& midi, const AudioStream& audio);
    // UI. Writes every value, in reading order; stops at the first value
    // that cannot be written (reported).
    bool Write(SettingsStore& store, const MidiInputSystem& midi, const AudioStream& audio) const;
    // UI. One text value of the store, at most 1023 characters; empty when the
    // value or the store is missing.
    static std::string ReadSettingString(SettingsStore& store, const std::string& name);

    // Not stored. True after a read in which every value was present, valid
    // and every device was found under its stored name.
    bool setUp = false;
    // Set by the setup dialog when the volume, sample format or stereo
    // simulation changed; read and cleared by the application shell.
    bool reloadRequired = false;

    bool operator==(const SetupInfo&) const = default;
};

}  // namespace tessaline

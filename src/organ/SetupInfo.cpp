#include "organ/SetupInfo.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <vector>

#include "audio/AudioStream.h"
#include "midi/MidiInputSystem.h"
#include "organ/Constants.h"
#include "platform/ErrorReporting.h"
#include "platform/SettingsStore.h"

namespace tessaline {

namespace {

constexpr const char* kReadAction = "Reading Tessaline setup information.";
constexpr const char* kSaveAction = "Saving Tessaline setup information.";
constexpr const char* kStringAction = "Reading settings store string.";
// Room of the value buffers (terminating zero included).
constexpr size_t kSetupValueRoom = 256;
constexpr size_t kSettingStringRoom = 1024;

enum class Kind { Unsigned, Signed, Format, Flag, MidiDevice, AudioDevice };

// One stored value of the record (a device row is one entry for its pair).
struct Value {
    std::string name;  // for a device row: the stem, "Manual0MIDIInDev"
    Kind kind;
    void* field;
    int64_t low = 0;
    int64_t high = 0;
};

// Every value in the order the store is read and written.
std::vector<Value> Values(SetupInfo& s) {
    std::vector<Value> v;
    auto whole = [&](std::string name, uint32_t& field, int64_t low, int64_t high) {
        v.push_back({std::move(name), Kind::Unsigned, &field, low, high});
    };
    auto shift = [&](std::string name, int32_t& field) {
        v.push_back({std::move(name), Kind::Signed, &field, -kMaxSetupKeyShift, kMaxSetupKeyShift});
    };
    auto midi = [&](std::string stem, uint32_t& number) {
        v.push_back({std::move(stem), Kind::MidiDevice, &number});
    };
    auto n = [](int i) { return std::to_string(i); };

    whole("AudioBufferBlocks", s.AudioBufferBlocks, kMinBufferBlocks, kMaxBufferBlocks);
    v.push_back({"PreferredMemorySampleFormat", Kind::Format, &s.PreferredMemorySampleFormat});
    v.push_back({"MixUpwardsOnOutput", Kind::Flag, &s.MixUpwardsOnOutput});
    v.push_back({"DSDev", Kind::AudioDevice, &s.DSDevNumber});
    whole("AmplitudeLevel", s.AmplitudeLevel, kMinAmplitudeLevel, kMaxAmplitudeLevel);
    for (int i = 0; i < SetupInfo::kManualPaths; ++i)
        whole("Manual" + n(i) + "Chan", s.ManualChan[i], 1, kMidiChannels);
    for (int i = 0; i < SetupInfo::kManualPaths; ++i)
        shift("Manual" + n(i) + "KeyShift", s.ManualKeyShift[i]);
    for (int i = 0; i < SetupInfo::kManualPaths; ++i)
        midi("Manual" + n(i) + "MIDIInDev", s.ManualMIDIInDevNumber[i]);
    whole("ManualAChan", s.ManualAChan, 1, kMidiChannels);
    whole("ManualBChan", s.ManualBChan, 1, kMidiChannels);
    shift("ManualAKeyShift", s.ManualAKeyShift);
    shift("ManualBKeyShift", s.ManualBKeyShift);
    midi("ManualAMIDIInDev", s.ManualAMIDIInDevNumber);
    midi("ManualBMIDIInDev", s.ManualBMIDIInDevNumber);
    for (int i = 0; i < SetupInfo::kSendKeys; ++i)
        whole("ManualASend" + n(i + 1), s.ManualASend[i], 0, 5);
    for (int i = 0; i < SetupInfo::kSendKeys; ++i)
        whole("ManualBSend" + n(i + 1), s.ManualBSend[i], 0, 5);
    for (int i = 0; i < SetupInfo::kEnclosurePaths; ++i)
        whole("Enclosure" + n(i) + "Chan", s.EnclosureChan[i], 1, kMidiChannels);
    for (int i = 0; i < SetupInfo::kEnclosurePaths; ++i)
        whole("Enclosure" + n(i) + "Controller", s.EnclosureController[i], 0,
              kMaxEnclosureController);
    for (int i = 0; i < SetupInfo::kEnclosurePaths; ++i)
        midi("Enclosure" + n(i) + "MIDIInDev", s.EnclosureMIDIInDevNumber[i]);
    whole("ControlChan", s.ControlChan, 1, kMidiChannels);
    midi("ControlMIDIInDev", s.ControlMIDIInDevNumber);
    for (int i = 0; i < SetupInfo::kCombFrames; ++i)
        midi("CombFrame" + n(i + 1) + "MIDIInDev", s.CombFrameMIDIInDevNumber[i]);
    for (int i = 0; i < SetupInfo::kCombFrames; ++i)
        whole("CombFrame" + n(i + 1) + "Chan", s.CombFrameChan[i], 1, kMidiChannels);
    for (int i = 0; i < SetupInfo::kCombFrames; ++i)
        whole("CombFrame" + n(i + 1) + "PrevPC", s.CombFramePrevPC[i], 1, kMaxProgramChangeNumber);
    for (int i = 0; i < SetupInfo::kCombFrames; ++i)
        whole("CombFrame" + n(i + 1) + "NextPC", s.CombFrameNextPC[i], 1, kMaxProgramChangeNumber);
    return v;
}

// The device list a row is resolved against.
struct DeviceList {
    uint32_t count;
    const char* (*name)(const void* owner, uint32_t device);
    uint32_t (*find)(const void* owner, const std::string& name);  // count when absent
    const void* owner;
};

DeviceList MidiList(const MidiInputSystem& midi) {
    return {midi.DeviceCount(),
            [](const void* o, uint32_t d) {
                return static_cast<const MidiInputSystem*>(o)->DeviceName(d);
            },
            [](const void* o, const std::string& name) {
                auto system = static_cast<const MidiInputSystem*>(o);
                unsigned found = system->FindDevice(name);
                return found == MidiInputSystem::kNoDevice ? system->DeviceCount() : found;
            },
            &midi};
}

DeviceList AudioList(const AudioStream& audio) {
    return {audio.DeviceCount(),
            [](const void* o, uint32_t d) {
                return static_cast<const AudioStream*>(o)->DeviceDescription(d);
            },
            [](const void* o, const std::string& name) {
                auto stream = static_cast<const AudioStream*>(o);
                int found = stream->FindDevice(name.c_str());
                return found < 0 ? stream->DeviceCount() : static_cast<uint32_t>(found);
            },
            &audio};
}

// A stored value as the fixed-size buffer of the store holds it.
bool ReadValue(SettingsStore& store, const std::string& name, std::string& text, size_t room) {
    if (!store.ReadString(name, text)) return false;
    size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    if (text.size() > room - 1) text.resize(room - 1);
    return true;
}

// A row's number found again by the device's name; false when the row
// cannot be confirmed as stored.
bool ResolveDevice(SettingsStore& store, const std::string& stem, const DeviceList& list,
                   uint32_t& number) {
    std::string text;
    if (!ReadValue(store, stem + "Number", text, kSetupValueRoom)) {
        number = 0;
        return false;
    }
    number = static_cast<uint32_t>(ParseSettingNumber(text));
    if (number >= list.count) {
        number = 0;
        return false;
    }
    std::string description;
    if (!ReadValue(store, stem + "Desc", description, kSetupValueRoom) || description.empty())
        return false;
    const char* current = list.name(list.owner, number);
    if (current != nullptr && description == current) return true;
    uint32_t found = list.find(list.owner, description);
    if (found < list.count) number = found;
    return false;
}

}  // namespace

int64_t ParseSettingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<uint32_t>::max()} + 1;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min(kLimit, value * 10 + (text[i] - '0'));
    if (negative) value = -value;
    return std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                               std::numeric_limits<uint32_t>::max());
}

bool SetupInfo::Read(SettingsStore& store, const MidiInputSystem& midi, const AudioStream& audio) {
    setUp = false;
    bool createdNew = false;
    if (!store.Open(createdNew)) {
        ReportError("Could not access settings store.", kReadAction);
        return false;
    }
    SetupInfo defaults;
    std::vector<Value> fields = Values(*this);
    std::vector<Value> initial = Values(defaults);
    bool complete = true;
    if (createdNew) {
        for (size_t k = 0; k < fields.size(); ++k) {
            if (fields[k].kind == Kind::Flag)
                *static_cast<bool*>(fields[k].field) = *static_cast<bool*>(initial[k].field);
            else if (fields[k].kind == Kind::Signed)
                *static_cast<int32_t*>(fields[k].field) = *static_cast<int32_t*>(initial[k].field);
            else
                *static_cast<uint32_t*>(fields[k].field) =
                    *static_cast<uint32_t*>(initial[k].field);
        }
        complete = false;
    } else {
        const DeviceList midiList = MidiList(midi);
        const DeviceList audioList = AudioList(audio);
        for (size_t k = 0; k < fields.size(); ++k) {
            Value& value = fields[k];
            std::string text;
            switch (value.kind) {
                case Kind::MidiDevice:
                case Kind::AudioDevice:
                    if (!ResolveDevice(store, value.name,
                                       value.kind == Kind::MidiDevice ? midiList : audioList,
                                       *static_cast<uint32_t*>(value.field)))
                        complete = false;
                    continue;
                case Kind::Flag: {
                    bool& flag = *static_cast<bool*>(value.field);
                    char c = ReadValue(store, value.name, text, kSetupValueRoom) && !text.empty()
                                 ? text[0]
                                 : '\0';
                    if (c == 'Y' || c == 'y' || c == 'N' || c == 'n') {
                        flag = c == 'Y' || c == 'y';
                    } else {
                        flag = *static_cast<bool*>(initial[k].field);
                        complete = false;
                    }
                    continue;
                }
                case Kind::Format: {
                    uint32_t& format = *static_cast<uint32_t*>(value.field);
                    char c = ReadValue(store, value.name, text, kSetupValueRoom) && !text.empty()
                                 ? text[0]
                                 : '\0';
                    if (c == '0' || c == '1') {
                        format = static_cast<uint32_t>(c - '0');
                    } else {
                        format = *static_cast<uint32_t*>(initial[k].field);
                        complete = false;
                    }
                    continue;
                }
                case Kind::Signed:
                case Kind::Unsigned: {
                    bool present = ReadValue(store, value.name, text, kSetupValueRoom);
                    int64_t number = present ? ParseSettingNumber(text) : 0;
                    bool inRange;
                    if (value.kind == Kind::Signed) {
                        // Key shifts compare as signed numbers, whole: a
                        // number past the 32-bit range must not wrap into it.
                        inRange = present && number >= value.low && number <= value.high;
                        *static_cast<int32_t*>(value.field) =
                            inRange ? static_cast<int32_t>(number)
                                    : *static_cast<int32_t*>(initial[k].field);
                    } else {
                        // Everything else compares unsigned, so a stored
                        // negative number fails the upper bound.
                        uint32_t whole = static_cast<uint32_t>(number);
                        inRange = present && whole >= value.low && whole <= value.high;
                        *static_cast<uint32_t*>(value.field) =
                            inRange ? whole : *static_cast<uint32_t*>(initial[k].field);
                    }
                    if (!inRange) complete = false;
                    continue;
                }
            }
        }
    }
    if (!store.Close()) {
        ReportError("Could not close settings store.", kReadAction);
        return false;
    }
    setUp = complete;
    return true;
}

bool SetupInfo::Write(SettingsStore& store, const MidiInputSystem& midi,
                      const AudioStream& audio) const {
    bool createdNew = false;
    if (!store.Open(createdNew)) {
        ReportError("Could not access settings store.", kSaveAction);
        return false;
    }
    // Values() hands out pointers for reading and writing alike; writing the
    // store only reads them.
    SetupInfo copy = *this;
    const DeviceList midiList = MidiList(midi);
    const DeviceList audioList = AudioList(audio);
    for (const Value& value : Values(copy)) {
        std::vector<std::pair<std::string, std::string>> texts;
        switch (value.kind) {
            case Kind::MidiDevice:
            case Kind::AudioDevice: {
                const DeviceList& list = value.kind == Kind::MidiDevice ? midiList : audioList;
                uint32_t number = *static_cast<const uint32_t*>(value.field);
                // A row with no device (the dialog stores -1 for an empty
                // choice) gets an empty name, which a later read does not confirm.
                const char* name = number < list.count ? list.name(list.owner, number) : nullptr;
                texts.push_back({value.name + "Number", std::to_string(number)});
                texts.push_back({value.name + "Desc", name ? name : ""});
                break;
            }
            case Kind::Flag:
                texts.push_back({value.name, *static_cast<const bool*>(value.field) ? "Y" : "N"});
                break;
            case Kind::Signed:
                texts.push_back(
                    {value.name, std::to_string(*static_cast<const int32_t*>(value.field))});
                break;
            case Kind::Format:
            case Kind::Unsigned:
                texts.push_back(
                    {value.name, std::to_string(*static_cast<const uint32_t*>(value.field))});
                break;
        }
        for (const auto& [name, text] : texts) {
            if (store.WriteString(name, text)) continue;
            ReportError("Could not write a value to the settings store.", kSaveAction);
            if (!store.Close()) ReportError("Could not close settings store.", kSaveAction);
            return false;
        }
    }
    if (!store.Close()) {
        ReportError("Could not close settings store.", kSaveAction);
        return false;
    }
    return true;
}

std::string SetupInfo::ReadSettingString(SettingsStore& store, const std::string& name) {
    std::string result;
    bool createdNew = false;
    if (!store.Open(createdNew)) {
        ReportError("Could not open settings store.", kStringAction);
        return result;
    }
    if (!createdNew && !ReadValue(store, name, result, kSettingStringRoom)) result.clear();
    if (!store.Close()) ReportError("Could not close settings store.", kStringAction);
    return result;
}

}  // namespace tessaline

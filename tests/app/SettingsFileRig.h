#pragma once
// The setup record read and written through the QSettings store on a file
// that TESSALINE_SETTINGS names, with one MIDI port "Keyboard" and the
// virtual audio devices. The variable is restored when the rig goes.

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "midi/MidiInputSystem.h"
#include "organ/SetupInfo.h"
#include "platform/qt/QtSettingsStore.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualMidiPorts.h"
#include "support/EngineRig.h"
#include "support/TempDir.h"

namespace tessaline::test {

class SettingsFileRig : public MidiMessageTarget {
public:
    SettingsFileRig() {
        if (const char* old = std::getenv("TESSALINE_SETTINGS")) previous = old;
        ports.AddPort("Keyboard");
        midi.emplace(ports, *this);
    }
    ~SettingsFileRig() override {
        if (previous)
            setenv("TESSALINE_SETTINGS", previous->c_str(), 1);
        else
            unsetenv("TESSALINE_SETTINGS");
    }
    void OnMidiMessage(unsigned, uint32_t) override {}

    void UseFile(const std::string& path) {
        setenv("TESSALINE_SETTINGS", path.c_str(), 1);
        errors.Clear();
    }
    bool Read(SetupInfo& info) { return info.Read(store, *midi, sound.engine.Stream()); }
    bool Write(const SetupInfo& info) { return info.Write(store, *midi, sound.engine.Stream()); }
    // Every report as "message | action", then forgotten.
    std::vector<std::string> Reports() {
        std::vector<std::string> texts;
        for (const auto& e : errors.Errors()) texts.push_back(e.message + " | " + e.attemptedAction);
        errors.Clear();
        return texts;
    }

    TempDir dir;
    RecordingErrorSink errors;
    VirtualMidiPorts ports;
    std::optional<MidiInputSystem> midi;
    EngineRig sound{512};
    QtSettingsStore store;

private:
    std::optional<std::string> previous;
};

}  // namespace tessaline::test

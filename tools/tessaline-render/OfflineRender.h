#pragma once
// Plays a MIDI file through an organ without any device: the organ is loaded
// headlessly and activated on one virtual MIDI port, every event reaches
// Organ::OnMidiMessage from that port at its own frame time (so the routing,
// key action and couplers are those of the live program), and the engine
// renders the time line block by block into a WAV file until the last
// release has ended.
//
// Timing is that of the live program: a key pressed at frame F sounds from
// F plus the buffer length. The output leaves that constant delay out, so
// frame F of the file is frame F of the MIDI file's time line.
//
// Threads: everything runs on the caller's thread; the renderer plays the
// roles of the MIDI thread and the audio timer in turn, never at once.

#include <memory>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "midi/MidiInputSystem.h"
#include "organ/Organ.h"
#include "organ/SetupInfo.h"
#include "platform/LoadingProgress.h"
#include "platform/virtual/FixedMetricsConsoleView.h"
#include "platform/virtual/VirtualMidiPorts.h"

namespace tessaline {

class MidiFile;
class WavOutput;

// Stop `stop` (from 1, as the manual's Stop%03d keys count) of manual `manual`.
struct StopChoice {
    int manual = 0;
    int stop = 0;
};

class OfflineRender {
public:
    explicit OfflineRender(const SetupInfo& setup);

    // Loads the organ, sets the engine and the MIDI routing up for it,
    // resets the organ (the default registration) and opens its MIDI
    // inputs. False after reporting.
    bool Load(const std::string& organFile);
    // Presses general `general` (from 1) when it is above 0, then draws each
    // chosen stop; false after reporting one that does not exist.
    bool SetRegistration(int general, const std::vector<StopChoice>& choices);
    // Plays the whole file into out (not finished). False after reporting.
    bool Render(const MidiFile& file, WavOutput& out);

    const Organ& GetOrgan() const { return *organ; }

private:
    void Deliver(uint32_t message);

    SetupInfo setup;
    FixedMetricsConsoleView view;
    VirtualMidiPorts ports;
    CountingLoadingProgress progress;
    AudioEngine engine;
    std::unique_ptr<VoicePool> pool;
    std::unique_ptr<Organ> organ;
    std::unique_ptr<MidiInputSystem> midi;
};

}  // namespace tessaline

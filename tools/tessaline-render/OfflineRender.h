#pragma once
// Plays a MIDI file through an organ without any device: the organ is loaded
// headlessly and activated as the live program activates it, on a virtual
// MIDI port and the hand-driven virtual audio output. The renderer moves the
// output's play cursor on in 128-frame blocks and runs the engine's tick
// after each move, so the engine renders exactly the frames played, as it
// does live; every MIDI event reaches Organ::OnMidiMessage when the cursor
// stands at its own frame (a block is cut short there), so the routing, key
// action, couplers, tremulants and enclosures are those of the live program.
// The frames the output plays go to the WAV file until the last release has
// ended.
//
// Timing is that of the live program: a key pressed at frame F sounds from
// F plus the buffer length. The output leaves that constant delay out, so
// frame F of the file is frame F of the MIDI file's time line.
//
// Threads: everything runs on the caller's thread; the renderer plays the
// roles of the MIDI thread, the audio timer and the device in turn.

#include <memory>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "midi/MidiInputSystem.h"
#include "organ/Organ.h"
#include "organ/SetupInfo.h"
#include "platform/LoadingProgress.h"
#include "platform/virtual/FixedMetricsConsoleView.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/VirtualAudioOutput.h"
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
    // Closes the MIDI input and stops the stream.
    ~OfflineRender();

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
    // Plays `frames` more frames and runs the tick that renders them; the
    // frames played past the first buffer length go to out.
    bool Play(int64_t frames, WavOutput& out);

    SetupInfo setup;
    FixedMetricsConsoleView view;
    VirtualMidiPorts ports;
    CountingLoadingProgress progress;
    // Keeps one block of played frames at a time.
    VirtualAudioSystem output{kBlockFrames};
    ManualTimerService timers;
    AudioEngine engine{output, timers};
    std::unique_ptr<Organ> organ;
    // Frames the output has played.
    int64_t played = 0;
    std::unique_ptr<MidiInputSystem> midi;
};

}  // namespace tessaline

#pragma once
// Plays a MIDI file through an organ without any device: the organ is loaded
// headlessly, every event reaches the organ at its own frame time, and the
// engine renders the time line block by block into a WAV file until the last
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

#include "NotePath.h"
#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "organ/Organ.h"
#include "organ/SetupInfo.h"
#include "platform/LoadingProgress.h"
#include "platform/virtual/FixedMetricsConsoleView.h"

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

    // Loads the organ, sets the engine up for it and draws the stops that
    // are drawn by default. False after reporting.
    bool Load(const std::string& organFile);
    // Draws each chosen stop; false after reporting one that does not exist.
    bool DrawStops(const std::vector<StopChoice>& choices);
    // Plays the whole file into out (not finished). False after reporting.
    bool Render(const MidiFile& file, WavOutput& out);

    const Organ& GetOrgan() const { return *organ; }

private:
    void Deliver(uint32_t message);

    SetupInfo setup;
    FixedMetricsConsoleView view;
    CountingLoadingProgress progress;
    AudioEngine engine;
    std::unique_ptr<VoicePool> pool;
    std::unique_ptr<Organ> organ;
    std::unique_ptr<NotePath> notes;
};

}  // namespace tessaline

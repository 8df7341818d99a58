#pragma once
// Where recordings go: the OutputRecDir value of the settings store, and the
// way to ask the player for it. The application binds it to its settings store
// and its directory chooser; tests give a fixed answer.

#include <string>

namespace tessaline {

class RecordingDirectory {
public:
    virtual ~RecordingDirectory() = default;
    // UI: the stored directory text (empty when none is stored).
    virtual std::string Read() = 0;
    // UI: tells the player that a directory is needed (the box with
    // kRecordingDirectoryPrompt), runs the recording-directory chooser and
    // stores the choice. The player may cancel.
    virtual void Choose() = 0;
};

inline constexpr const char* kRecordingDirectoryPrompt =
    "Please choose a directory for recording output audio files on the following screen.";

}  // namespace tessaline

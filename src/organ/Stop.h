#pragma once
// A stop: one rank of pipes that its manual plays while the stop's drawstop
// is drawn. Each entry of its pipe table is either a pipe the stop owns, with
// its sample in the organ's sample memory, or a shared pipe: a reference
// (REF:MM:SSS:PPP in the definition file) to a pipe owned by another stop,
// resolved once every manual's stops exist. A stop never frees a shared pipe.
//
// Threads: Load, ResolveSharedPipes and Unload run on the UI thread while the
// organ is not active. PipeOn, PipeOff and PipeCut run on the MIDI or UI
// thread under the organ's action lock.

#include <array>
#include <cstdint>
#include <string>

#include "console/Control.h"
#include "organ/Constants.h"

namespace tessaline {

class DefinitionFile;
class KeyReader;
class Organ;
class Pipe;

class Stop : public Drawstop {
public:
    explicit Stop(Organ& owner) { Attach(owner); }
    ~Stop() { Unload(); }
    Stop(const Stop&) = delete;
    Stop& operator=(const Stop&) = delete;

    // OFF, UI. First pass for section Stop%03d (n): the drawstop, the keys,
    // every owned pipe with its sample; shared entries stay empty. False
    // after reporting (a cancelled load adds no report of its own), with
    // the pipes built so far freed.
    bool Load(const DefinitionFile& file, int n);
    // OFF, UI. Second pass: fills the shared entries from the other stops.
    bool ResolveSharedPipes(const DefinitionFile& file, int n);
    // OFF, UI. Frees the owned pipes (never the shared ones) and clears the
    // stop. Always true: a sample is released by letting go of it.
    bool Unload();

    // The owned pipe in entry p; none when the stop is not loaded, p is out
    // of range, or entry p is itself shared (so references never chain).
    Pipe* GetPipe(int p) const;
    // The pipe index that logical key `key` of the manual sounds, or -1 when
    // it has none. Any thread.
    int PipeForKey(int key) const;
    // Hand the key's pipe to Pipe::Start, Stop and Cut; nothing when the stop
    // is not drawn or the key has no pipe.
    // MIDI or UI, under the action lock.
    void PipeOn(int key);
    void PipeOff(int key);
    void PipeCut(int key);

    std::string churchName, churchAddress, organBuilder, organBuildDate;  // up to 127
    std::string organComments, recordingDetails;                          // up to 255
    double amplitudeLevel = 0.0;  // the file's per cent / 100
    int numberOfLogicalPipes = 0;
    int numberOfAccessiblePipes = 0;
    int firstAccessiblePipe = 0;  // from 0
    int firstAccessibleKey = 0;   // from 0
    int windchestGroup = 0;       // 1 .. the file's NumberOfWindchestGroups
    bool percussive = false;
    bool stopLoaded = false;
    // Entry p is Pipe%03d (p + 1). Owned entries are this stop's; shared ones
    // belong to another stop.
    std::array<Pipe*, kMaxLogicalKeys> pipes{};
    std::array<bool, kMaxLogicalKeys> shared{};

private:
    void ReadTexts(const DefinitionFile& file, const KeyReader& section);
    bool ReadKeys(const KeyReader& section, int n);
    bool LoadPipes(const KeyReader& section, int n);
    bool ResolveSharedPipe(const KeyReader& section, int n, int p);
    void FreeOwnedPipes();
};

}  // namespace tessaline

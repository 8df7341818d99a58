// Feeds arbitrary bytes to the Standard MIDI File reader. A refused file must
// have been reported and left empty; an accepted one must come out
// consistent: events in time order with times that never go back, only
// channel messages with 7-bit data, tracks in range. Seeds: valid files of
// both formats and both time divisions, and damaged ones.

#include "fuzz/FuzzCommon.h"
#include "midi/MidiFile.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "support/MidiFileBuilder.h"

namespace tessaline::test {

std::vector<std::string> Seeds(const std::filesystem::path&) {
    MidiTrackBytes conductor;
    conductor.Meta(0, 0x03, "Conductor").Tempo(0, 500000).Tempo(480, 400000).End();
    MidiTrackBytes melody;
    melody.Event(0, {0x90, 60, 100}).Event(0, {64, 90}).Event(240, {60, 0}).Event(0, {64, 0});
    melody.SysEx(10, "\x7E\x7F\x09\x01\xF7").Event(0, {0xC0, 4}).Event(5, {0xB0, 7, 100});
    melody.Event(0, {0xE0, 0, 64}).Event(100, {0x80, 67, 0}).End(20);
    MidiTrackBytes bass;
    bass.Event(120, {0x91, 36, 70}).Event(360, {0x81, 36, 0}).End();
    const std::string whole = MidiFileBytes(1, 480, {conductor, melody, bass});
    return {whole, MidiFileBytes(0, 96, {melody}), MidiFileBytes(0, 0xE728, {bass}),
            whole.substr(0, whole.size() / 2), MidiHeader(1, 3, 480) + conductor.Chunk()};
}

}  // namespace tessaline::test

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaline;
    using test::Check;
    static RecordingErrorSink errors;
    errors.Clear();
    MidiFile file;
    if (!file.Parse(std::span<const uint8_t>(data, size), "fuzz.mid")) {
        Check(file.events.empty() && file.endTick == 0 && errors.Count() > 0);
        return 0;
    }
    Check(file.format == 0 || file.format == 1);
    Check(!file.tempoMap.empty() && file.tempoMap[0].tick == 0);
    for (size_t i = 1; i < file.tempoMap.size(); ++i)
        Check(file.tempoMap[i - 1].tick < file.tempoMap[i].tick);
    const MidiFileEvent* previous = nullptr;
    for (const MidiFileEvent& e : file.events) {
        Check(e.tick >= 0 && e.tick <= file.endTick);
        Check(e.track >= 0 && e.track < file.trackCount);
        Check((e.message & 0xFF) >= 0x80 && (e.message & 0xFF) < 0xF0);
        Check((e.message & 0x8000) == 0 && (e.message & 0x800000) == 0 && e.message >> 24 == 0);
        Check(e.frame == file.TickToFrame(e.tick));
        if (previous != nullptr) {
            Check(previous->tick <= e.tick);
            Check(previous->microseconds <= e.microseconds && previous->frame <= e.frame);
            if (previous->tick == e.tick) Check(previous->track <= e.track);
        }
        previous = &e;
    }
    Check(file.TickToFrame(file.endTick) >= (previous ? previous->frame : 0));
    return 0;
}

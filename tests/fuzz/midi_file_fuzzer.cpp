// Feeds arbitrary bytes to the Standard MIDI File reader. A file that is
// accepted must come out consistent: events in time order with times that
// never go back, only channel messages with 7-bit data, tracks in range.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "midi/MidiFile.h"
#include "platform/ErrorReporting.h"

namespace {

using namespace tessaline;

class SilentErrorSink : public ErrorSink {
public:
    void Show(const std::string&, const std::string&, const std::string&) override {}
};

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SilentErrorSink sink;
    static ErrorSink* installed = SetErrorSink(&sink);
    (void)installed;
    MidiFile file;
    if (!file.Parse(std::span<const uint8_t>(data, size), "fuzz.mid")) {
        Check(file.events.empty() && file.endTick == 0);
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
        uint32_t status = e.message & 0xFF;
        Check(status >= 0x80 && status < 0xF0);
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

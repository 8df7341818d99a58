// Feeds arbitrary bytes to the pipe sample loader as a WAV file: the first
// byte chooses the load settings, the rest is the file, read through the
// organ's loading buffer from an in-memory file. A loaded sample must be
// laid out consistently and every frame of it must be readable.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ErrorReporting.h"
#include "samples/SampleLoader.h"

namespace {

using namespace tessaline;

class SilentErrorSink : public ErrorSink {
public:
    void Show(const std::string&, const std::string&, const std::string&) override {}
};

struct Harness {
    Harness() {
        SetErrorSink(&sink);
        fd = ::memfd_create("fuzz.wav", 0);
        if (fd < 0) std::abort();
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    SilentErrorSink sink;
    SampleLoadingBuffer buffer;
    SampleMemory memory{64 * 1024};  // small chunks: the arena is cleared every run
    int fd = -1;
    std::string path;
};

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    if (size == 0) return 0;
    uint8_t options = data[0];
    bool percussive = options & 1;
    SampleFormat memoryFormat = options & 2 ? SampleFormat::Stereo : SampleFormat::Mono;
    SampleFormat highest = options & 8 && memoryFormat == SampleFormat::Mono ? SampleFormat::Mono
                                                                             : SampleFormat::Stereo;
    SampleLoadContext context{harness.buffer, harness.memory, highest, memoryFormat,
                              (options & 4) != 0, (options >> 4) / 4.0};

    if (::ftruncate(harness.fd, 0) != 0) std::abort();
    size_t written = 0;
    while (written < size - 1) {
        ssize_t n = ::pwrite(harness.fd, data + 1 + written, size - 1 - written,
                             static_cast<off_t>(written));
        if (n <= 0) std::abort();
        written += static_cast<size_t>(n);
    }

    PipeSample sample;
    if (LoadPipeSample(context, sample, harness.path.c_str(), 50, percussive, 1.0)) {
        Check(sample.Present() && sample.end >= 0);
        if (percussive) {
            Check(sample.loopStart == PipeSample::kNoFrame && sample.releaseStart == PipeSample::kNoFrame);
        } else {
            Check(sample.loopStart >= 0 && sample.loopStart < sample.releaseStart &&
                  sample.releaseStart <= sample.end);
        }
        int64_t values = sample.end * (memoryFormat == SampleFormat::Stereo ? 2 : 1);
        for (int64_t i = 0; i < values; ++i) Check(sample.memory[i] != -32768);
    } else {
        Check(!sample.Present());
    }
    // Keep the arena from growing across runs.
    harness.memory.Clear();
    return 0;
}

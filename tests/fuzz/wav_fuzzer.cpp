// Feeds arbitrary bytes to the pipe sample loader as a WAV file: the first
// byte chooses the load settings, the rest is the file, read through the
// organ's loading buffer. A refused file must have been reported; a loaded
// sample must be laid out consistently and every frame of it must be
// readable. Seeds: valid and nearly valid pipe files, each behind one of the
// settings bytes in turn.

#include "fuzz/FuzzCommon.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "samples/SampleLoader.h"
#include "support/WavBuilder.h"

namespace tessaline::test {

std::vector<std::string> Seeds(const std::filesystem::path&) {
    std::vector<std::string> files;
    for (uint16_t channels : {1, 2}) {
        WavBuilder looped;
        looped.Channels(channels).Pattern(300).Loop(20, 199).Cue(20).Cue(250);
        files.push_back(looped.Build());
        files.push_back(WavBuilder(looped).MarkersInList().Extra(Chunk("note", "odd")).Build());
        files.push_back(WavBuilder(looped).Extra(List("INFO", Chunk("INAM", "Gedackt"))).Build());
        files.push_back(WavBuilder().Channels(channels).Pattern(64).NoSampler().NoCues().Build());
    }
    WavBuilder cut;
    cut.Pattern(100).Loop(10, 50).Loop(60, 70, 1, 3).Cue(10).Cue(10).Cue(80).DeclaredCues(4);
    files.push_back(cut.Build());
    files.push_back(files.back().substr(0, files.back().size() - 30));
    files.push_back(Riff(ChunkDeclaring("data", 64, "ab") + cut.FormatChunk()));
    const std::string settings = {0x00, 0x01, 0x12, 0x14, 0x18, 0x43, 0x25};
    for (size_t f = 0; f < files.size(); ++f) files[f].insert(0, 1, settings[f % settings.size()]);
    return files;
}

}  // namespace tessaline::test

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaline;
    using test::Check;
    static struct Harness {
        RecordingErrorSink errors;
        SampleLoadingBuffer buffer;
        SampleMemory memory{64 * 1024};  // small chunks: the arena is cleared every run
        const std::string path = test::MemoryFilePath("fuzz.wav");
    } h;
    if (size == 0) return 0;
    const uint8_t options = data[0];
    const bool percussive = options & 1;
    const SampleFormat memoryFormat = options & 2 ? SampleFormat::Stereo : SampleFormat::Mono;
    const SampleFormat highest = options & 8 && memoryFormat == SampleFormat::Mono
                                     ? SampleFormat::Mono
                                     : SampleFormat::Stereo;
    const SampleLoadContext context{h.buffer,     h.memory,           highest,
                                    memoryFormat, (options & 4) != 0, (options >> 4) / 4.0};

    test::WriteInput(h.path, data + 1, size - 1);
    h.errors.Clear();
    PipeSample sample;
    if (LoadPipeSample(context, sample, h.path.c_str(), 50, percussive, 1.0)) {
        Check(sample.Present() && sample.end >= 0);
        if (percussive)
            Check(sample.loopStart == PipeSample::kNoFrame &&
                  sample.releaseStart == PipeSample::kNoFrame);
        else
            Check(sample.loopStart >= 0 && sample.loopStart < sample.releaseStart &&
                  sample.releaseStart <= sample.end);
        const int64_t values = sample.end * (memoryFormat == SampleFormat::Stereo ? 2 : 1);
        for (int64_t i = 0; i < values; ++i) Check(sample.memory[i] != -32768);
    } else {
        Check(!sample.Present() && h.errors.Count() > 0);
    }
    h.memory.Clear();  // keeps the arena from growing across runs
    return 0;
}

#include "support/WavBuilder.h"

namespace tessaline::test {

std::string Le16(uint16_t value) {
    return {static_cast<char>(value & 0xff), static_cast<char>(value >> 8)};
}

std::string Le32(uint32_t value) {
    return Le16(static_cast<uint16_t>(value & 0xffff)) + Le16(static_cast<uint16_t>(value >> 16));
}

std::string ChunkDeclaring(std::string_view identifier, uint32_t declaredSize,
                           std::string_view payload) {
    return std::string(identifier) + Le32(declaredSize) + std::string(payload);
}

std::string Chunk(std::string_view identifier, std::string_view payload) {
    std::string chunk = ChunkDeclaring(identifier, static_cast<uint32_t>(payload.size()), payload);
    if (payload.size() % 2 == 1) chunk.push_back('\0');
    return chunk;
}

std::string List(std::string_view type, std::string_view chunks) {
    return Chunk("LIST", std::string(type) + std::string(chunks));
}

std::string Riff(std::string_view chunks) {
    return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + std::string(chunks);
}

WavBuilder& WavBuilder::Pattern(uint32_t frames) {
    values.resize(static_cast<size_t>(frames) * channels);
    for (size_t i = 0; i < values.size(); ++i) {
        // A sawtooth of period 1000 per channel, the right channel quieter.
        size_t frame = i / channels;
        int value = static_cast<int>(frame % 1000) * 60 - 30000;
        if (i % channels == 1) value /= 3;
        values[i] = static_cast<int16_t>(value);
    }
    return *this;
}

std::string WavBuilder::FormatChunk() const {
    constexpr uint32_t kRate = 44100;
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    uint32_t perSecond = bytesPerSecond.value_or(kRate * align);
    return Chunk("fmt ", Le16(formatTag) + Le16(channels) + Le32(kRate) + Le32(perSecond) +
                             Le16(align) + Le16(bits));
}

std::string WavBuilder::DataChunk() const {
    std::string payload;
    payload.reserve(values.size() * 2);
    for (int16_t v : values) payload += Le16(static_cast<uint16_t>(v));
    return Chunk("data", payload);
}

std::string WavBuilder::SamplerChunk() const {
    const auto count = static_cast<uint32_t>(loops.size());
    // manufacturer, product, period, unity note, pitch fraction, SMPTE
    // format and offset, loop count, sampler data size
    std::string payload = Le32(0) + Le32(0) + Le32(22676) + Le32(60) + Le32(0) + Le32(0) +
                          Le32(0) + Le32(count) + Le32(0);
    for (const LoopSpec& loop : loops)
        payload += Le32(0) + Le32(loop.type) + Le32(loop.start) + Le32(loop.end) + Le32(0) +
                   Le32(loop.playCount);
    return Chunk("smpl", payload);
}

std::string WavBuilder::CueChunk() const {
    uint32_t count = declaredCues.value_or(static_cast<uint32_t>(cues.size()));
    std::string payload = Le32(count);
    uint32_t id = 1;
    for (uint32_t offset : cues)
        payload += Le32(id++) + Le32(offset) + "data" + Le32(0) + Le32(0) + Le32(offset);
    return Chunk("cue ", payload);
}

std::string WavBuilder::Build() const {
    std::string chunks = FormatChunk();
    for (const std::string& extra : extras) chunks += extra;
    chunks += DataChunk();
    std::string markers = (sampler ? SamplerChunk() : "") + (cueChunk ? CueChunk() : "");
    chunks += markersInList ? List("adtl", markers) : markers;
    return Riff(chunks);
}

}  // namespace tessaline::test

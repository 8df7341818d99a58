#pragma once
// Audio output through RtAudio. Devices are listed API by API, JACK first
// (it lists devices only while a server runs), then PulseAudio, then ALSA,
// as far as the installed RtAudio was built with them; each output device
// with two or more channels is named "API: device". With
// TESSALINE_VIRTUAL_DEVICES=1 the virtual devices are listed after them.

#include <memory>

#include "platform/AudioOutput.h"
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline {

class RtAudioOutputSystem : public AudioOutputSystem {
public:
    RtAudioOutputSystem();
    bool Enumerate(std::vector<AudioDeviceEntry>& entries, size_t maxEntries) override;
    bool Create(const std::string& identifier, std::unique_ptr<AudioOutputDevice>& device) override;

private:
    std::unique_ptr<VirtualAudioSystem> virtualDevices;  // only when asked for
};

// The device period asked of RtAudio for a ring of bufferFrames frames (JACK
// imposes the server's own).
unsigned int DevicePeriodFrames(uint32_t bufferFrames);

}  // namespace tessaline

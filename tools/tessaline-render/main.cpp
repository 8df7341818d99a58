// tessaline-render ORGAN.organ INPUT.mid -o OUT.wav [--stops M:S,...]
//                  [--general N] [--settings INI]
//
// Plays a MIDI file through an organ, without any device, into a 16-bit
// stereo 44.1 kHz WAV file that lasts until the last release has ended.
// Notes reach the organ on the channels of the default settings (or of the
// settings file given, or named by TESSALINE_SETTINGS), all from one port.
// The registration starts as the organ reset leaves it; --general presses
// general N (from 1), then --stops draws stop S (from 1) of manual M (0 is
// the pedal).
// Reports are printed as the program would show them. Exit status: 0 when
// the file was written, 1 after a report, 2 for a usage error.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "OfflineRender.h"
#include "SettingsFile.h"
#include "WavOutput.h"
#include "midi/MidiFile.h"

namespace {

using namespace tessaline;

constexpr const char* kUsage =
    "usage: tessaline-render ORGAN.organ INPUT.mid -o OUT.wav [--stops M:S,...] "
    "[--general N] [--settings INI]\n";

int UsageError(const char* problem) {
    std::fprintf(stderr, "tessaline-render: %s\n%s", problem, kUsage);
    return 2;
}

// A whole number of at most four digits, taken in full.
bool ParseSmall(const std::string& text, int& value) {
    if (text.empty() || text.size() > 4) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// "M:S,M:S,..."
bool ParseStops(const std::string& text, std::vector<StopChoice>& choices) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t colon = item.find(':');
        StopChoice choice;
        if (colon == std::string::npos || !ParseSmall(item.substr(0, colon), choice.manual) ||
            !ParseSmall(item.substr(colon + 1), choice.stop))
            return false;
        choices.push_back(choice);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    std::string output;
    std::string settings;
    if (const char* fromEnvironment = std::getenv("TESSALINE_SETTINGS")) settings = fromEnvironment;
    std::vector<StopChoice> stops;
    int general = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "-o") {
            if (!hasValue) return UsageError("-o needs the name of the WAV file to write");
            output = argv[++i];
        } else if (arg == "--stops") {
            if (!hasValue || !ParseStops(argv[++i], stops))
                return UsageError("--stops needs a list such as 1:2,0:1 (manual:stop)");
        } else if (arg == "--settings") {
            if (!hasValue) return UsageError("--settings needs the settings file");
            settings = argv[++i];
        } else if (arg == "--general") {
            if (!hasValue || !ParseSmall(argv[++i], general) || general == 0)
                return UsageError("--general needs a general number from 1");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option");
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) return UsageError("an organ file and a MIDI file are needed");
    if (output.empty()) return UsageError("no output file given (-o OUT.wav)");

    // Reports go to the default sink, which prints them to stderr.
    SetupInfo setup;
    if (!settings.empty() && !ReadRenderSettings(settings, setup)) return 1;
    MidiFile midi;
    if (!midi.Read(files[1])) return 1;
    auto started = std::chrono::steady_clock::now();
    OfflineRender render(setup);
    if (!render.Load(files[0]) || !render.SetRegistration(general, stops)) return 1;
    WavOutput wav;
    if (!wav.Create(output) || !render.Render(midi, wav) || !wav.Finish()) return 1;
    double seconds = static_cast<double>(wav.FramesWritten()) / kSampleRate;
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("Rendered %zu events of \"%s\" on \"%s\": %.3f s of sound to \"%s\" in %.2f s.\n",
                midi.events.size(), files[1].c_str(), render.GetOrgan().churchName.c_str(), seconds,
                output.c_str(), took);
    return 0;
}

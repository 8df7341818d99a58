#include "DemoGenerator.h"

#include <cmath>
#include <filesystem>
#include <strings.h>

#include "ConsoleCheck.h"
#include "OrganFileWriter.h"
#include "WavFile.h"

namespace tessaline::demo {

namespace {

bool FolderIs(const std::string& name, const StopSpec& stop) {
    return strcasecmp(name.c_str(), stop.folder.c_str()) == 0;
}

bool Selected(const GenerateOptions& options, const StopSpec& stop) {
    if (options.only.empty()) return true;
    for (const auto& name : options.only)
        if (FolderIs(name, stop)) return true;
    return false;
}

}  // namespace

std::string DemoOrganFileName() { return TheDemoOrgan().churchName + ".organ"; }

PipeRecipe RecipeFor(const DemoOrgan& organ, int stop, int pipe, bool stereo) {
    const StopSpec& s = organ.stops[static_cast<size_t>(stop)];
    PipeRecipe r;
    r.family = s.family;
    for (const RankNote& rank : PipeRanks(s, pipe)) r.ranks.push_back({EqualTemperament(rank.note), rank.level});
    // Treble pipes are voiced a little softer than the bass.
    double position = s.pipes > 1 ? static_cast<double>(pipe) / (s.pipes - 1) : 0.0;
    r.level = s.level * (1.0 - 0.2 * position);
    r.seed = static_cast<uint64_t>(stop + 1) * 1000003u + static_cast<uint64_t>(pipe + 1);
    if (stereo) {
        // C side to the left, C# side to the right, as the pipes stand on a
        // case; the largest pipes stand outermost. The far ear hears the pipe
        // softer and a little later.
        r.channels = 2;
        int key = KeyNoteOfPipe(s, pipe) - kLowestKeyNote;
        bool cSide = key % 2 == 0;
        double outward = 1.0 - 0.8 * position;
        double farGain = 1.0 - 0.45 * outward;
        auto delay = static_cast<int64_t>(std::lround(outward * kMaxChannelDelay * 0.75));
        r.leftGain = cSide ? 1.0 : farGain;
        r.rightGain = cSide ? farGain : 1.0;
        r.leftDelay = cSide ? 0 : delay;
        r.rightDelay = cSide ? delay : 0;
    }
    return r;
}

bool GenerateDemoOrgan(const GenerateOptions& options, GenerateReport& report, std::string& error) {
    namespace fs = std::filesystem;
    const DemoOrgan& organ = TheDemoOrgan();
    report = GenerateReport{};
    for (const std::string& name : options.only) {
        bool known = false;
        for (const StopSpec& stop : organ.stops)
            known = known || (stop.sharedStop < 0 && FolderIs(name, stop));
        if (!known) {
            error = "No stop with pipes of its own has the sample folder " + name + ".";
            return false;
        }
    }
    std::string text = OrganDefinitionText(organ, options.stereo);
    DefinitionFile parsed;
    parsed.ParseText(text);
    if (!ConsoleFitsWindow(parsed, error)) return false;

    std::error_code ec;
    fs::create_directories(options.outDir, ec);
    const fs::path organPath = fs::path(options.outDir) / DemoOrganFileName();
    if (!WriteFile(organPath.string(), std::vector<char>(text.begin(), text.end()))) {
        error = "Could not write " + organPath.string() + ".";
        return false;
    }

    for (size_t s = 0; s < organ.stops.size(); ++s) {
        const StopSpec& stop = organ.stops[s];
        if (stop.sharedStop >= 0 || !Selected(options, stop)) continue;
        for (int p = 0; p < stop.pipes; ++p) {
            PipeRecipe recipe = RecipeFor(organ, static_cast<int>(s), p, options.stereo);
            PipeSound sound;
            if (!SynthesisePipe(recipe, sound)) {
                error = "No seamless loop could be planned for " + stop.name + ".";
                return false;
            }
            report.worstCents = std::max(report.worstCents, sound.plan.worstCents);
            // The smpl chunk names the lowest rank's pitch.
            double note = 69.0 + 12.0 * std::log2(sound.plan.Frequency(0) / 440.0);
            int unity = static_cast<int>(std::floor(note + 1e-9));
            double cents = (note - unity) * 100.0;
            fs::path path = fs::path(options.outDir) / PipeSamplePath(organ, stop, p);
            fs::create_directories(path.parent_path(), ec);
            if (!WriteFile(path.string(), EncodeWav(sound, unity, cents))) {
                error = "Could not write " + path.string() + ".";
                return false;
            }
            ++report.pipesWritten;
        }
    }
    return true;
}

}  // namespace tessaline::demo

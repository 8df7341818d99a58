#pragma once
// Writes the whole demo organ: the definition file and every owned pipe's
// sample. Deterministic: the same options give the same bytes. The console
// is checked to fit its window before anything is written.

#include <string>
#include <vector>

#include "DemoInstrument.h"
#include "PipeSynth.h"

namespace tessaline::demo {

struct GenerateOptions {
    std::string outDir;
    bool stereo = false;
    // Sample folders of the stops whose samples are written (any case);
    // empty for all. The definition file is always written whole.
    std::vector<std::string> only;
};

struct GenerateReport {
    int pipesWritten = 0;
    double worstCents = 0.0;  // largest pitch error of any rank written
};

// The definition file's name inside the output folder.
std::string DemoOrganFileName();

// How pipe `pipe` (from 0) of stop `stop` (global index) is synthesised.
PipeRecipe RecipeFor(const DemoOrgan& organ, int stop, int pipe, bool stereo);

bool GenerateDemoOrgan(const GenerateOptions& options, GenerateReport& report, std::string& error);

}  // namespace tessaline::demo

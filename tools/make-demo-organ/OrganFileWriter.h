#pragma once
// Writes the demo organ's definition file: the [Organ] section, the manuals,
// stops with their pipes, couplers, windchest groups, the enclosure and the
// tremulant, combinations and labels, with CR LF line ends.

#include <string>

#include "DemoInstrument.h"

namespace tessaline::demo {

// The sample file of pipe `pipe` (from 0) of an owned stop, relative to the
// folder of the organ file.
std::string PipeSamplePath(const DemoOrgan& organ, const StopSpec& stop, int pipe);

std::string OrganDefinitionText(const DemoOrgan& organ, bool stereo);

}  // namespace tessaline::demo

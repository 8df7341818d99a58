#pragma once
// Where Tessaline's installed data lies (the shortcut-key file, help, the
// console artwork).

#include <string>

namespace tessaline {

// UI. The folder named by TESSALINE_DATA_DIR when that is set and not empty;
// otherwise the first "resources" folder found beside the executable, one
// level up or two levels up (a build tree keeps its executables in
// build/bin/ under the source tree that holds resources/). The bare
// "resources" (relative to the current directory) when none exists, so that a
// missing file is reported under a recognisable name.
std::string DefaultDataDirectory();

}  // namespace tessaline

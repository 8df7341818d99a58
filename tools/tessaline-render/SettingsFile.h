#pragma once
// The part of the settings store file (the INI file of the application's
// settings) that rendering needs: buffer length, sample format, stereo
// spreading, overall volume, and the channel and key shift of the six manual
// input paths. Missing or invalid values keep their defaults, as when the
// application reads the store. Device numbers are not read: a rendering
// plays every path from one source.

#include <string>

#include "organ/SetupInfo.h"

namespace tessaline {

// False after reporting when the file cannot be opened.
bool ReadRenderSettings(const std::string& fileName, SetupInfo& setup);

}  // namespace tessaline

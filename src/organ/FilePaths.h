#pragma once
// Finding a file that an organ definition file names. Organ packages are
// often made on systems where "\" separates folders and letter case does not
// matter; here "\" is a separator too, and a name not found as written is
// looked up again folder by folder without regard to case.

#include <string>
#include <string_view>

namespace tessaline {

// UI, while loading an organ: the path of `specifier` (relative to baseDirectory, or to the
// current directory when baseDirectory is empty; an absolute specifier stands
// alone). The path as written (with "/" separators) when it exists or when no
// match ignoring case is found, so that opening it reports the name as given;
// otherwise the existing path whose folders and file name match ignoring case
// (the exact spelling first, else the first match in name order).
std::string ResolveOrganFilePath(std::string_view baseDirectory, std::string_view specifier);

}  // namespace tessaline

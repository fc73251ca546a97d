// The library's version.
#pragma once

#include <string_view>

namespace cluster_analysis {

// "1.0": the version of the library the program links at run time.
std::string_view Version();

}  // namespace cluster_analysis

#include "cluster_analysis/error.h"

namespace cluster_analysis {

// The destructors are defined here, so that the errors' type information
// lives in the library and a caller catches them by their types.
Error::Error(const std::string& message) : std::runtime_error(message) {}
Error::~Error() = default;
InvalidArgument::~InvalidArgument() = default;
OutOfMemory::~OutOfMemory() = default;
Cancelled::~Cancelled() = default;
FileError::~FileError() = default;

}  // namespace cluster_analysis

// The full path of the running executable.
#pragma once

#include <string>

namespace platform {

// Read from /proc/self/exe. Throws FileError when the link cannot be read.
std::string ExecutablePath();

}  // namespace platform

#include "platform/executable_path.h"

#include "platform/file_io.h"

#include <filesystem>
#include <system_error>

namespace platform {

std::string ExecutablePath() {
    constexpr const char* kSelfLink = "/proc/self/exe";
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink(kSelfLink, error);
    if (error) throw FileError(CannotOpenMessage(kSelfLink), error.message());
    return path.string();
}

}  // namespace platform

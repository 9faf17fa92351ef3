#include "fuzz/harnesses.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace fuzz {

void Fail(std::string_view what)
{
    std::fprintf(stderr, "fuzz property broken: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

namespace {

std::string MakeScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
    return pattern;
}

struct Scratch {
    std::string path = MakeScratchFolder();
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& ScratchFolder()
{
    static const Scratch scratch;
    return scratch.path;
}

}  // namespace fuzz

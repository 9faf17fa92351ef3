// Runs saved fuzzing inputs through a harness as an ordinary program, so that every test run
// replays the corpus and the findings kept in it.
//
//   fuzz_replay HARNESS FILE_OR_FOLDER...
#include "fuzz/harnesses.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> InputsOf(const fs::path& place)
{
    std::vector<fs::path> inputs;
    if (fs::is_directory(place)) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(place))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
    } else {
        inputs.push_back(place);
    }
    return inputs;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: fuzz_replay HARNESS FILE_OR_FOLDER...\n";
        return 2;
    }
    const auto harness = std::find_if(fuzz::kHarnesses.begin(), fuzz::kHarnesses.end(),
                                      [&](const fuzz::NamedHarness& named) { return named.name == argv[1]; });
    if (harness == fuzz::kHarnesses.end()) {
        std::cerr << "no harness named " << argv[1] << '\n';
        return 2;
    }
    std::size_t replayed = 0;
    for (int i = 2; i < argc; ++i) {
        for (const fs::path& input : InputsOf(argv[i])) {
            std::ifstream file(input, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            if (!file.good() && !file.eof()) {
                std::cerr << "cannot read " << input << '\n';
                return 1;
            }
            std::cerr << input.filename().string() << '\n';  // names the culprit of a crash
            harness->run(bytes);
            ++replayed;
        }
    }
    std::cout << replayed << " inputs replayed through " << harness->name << '\n';
    return replayed > 0 ? 0 : 1;
}

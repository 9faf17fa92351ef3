// The libFuzzer entry of one harness, chosen by VELMORA_FUZZ_HARNESS at compile time.
#include "fuzz/harnesses.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::VELMORA_FUZZ_HARNESS(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}

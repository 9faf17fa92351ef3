// Finding every malformed byte of a text one search after another, as the text import's
// repair does: each search must cost the bytes up to its fault, not the whole rest.
#include "platform/utf8.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_FindEachFault(benchmark::State& state)
{
    // 4 MB of Japanese text with a stray continuation byte every 54 bytes.
    const std::string piece = std::string("日本語のテキストです。漢字とかな、") + "ab\x80";
    std::string text;
    while (text.size() < (4u << 20)) text += piece;
    for (auto _ : state) {
        std::string_view rest = text;
        std::size_t faults = 0;
        for (std::size_t bad; (bad = platform::FindInvalidUtf8(rest)) != std::string_view::npos; ++faults)
            rest.remove_prefix(bad + 1);
        benchmark::DoNotOptimize(faults);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FindEachFault)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// CP932 and UTF-8 conversion speed: mostly-ASCII markup and Japanese text, about 16 MB each.
#include "platform/codepage.h"
#include "platform/utf8.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string Repeat(const std::string& piece, std::size_t size)
{
    std::string text;
    text.reserve(size + piece.size());
    while (text.size() < size) text += piece;
    return text;
}

constexpr std::size_t kSize = 16 * 1024 * 1024;

const std::string& Text(int kind)
{
    static const std::string ascii = Repeat("<node name=\"root\" expanded=\"yes\"><text>Plain ASCII line.</text></node>\r\n", kSize);
    static const std::string japanese = Repeat("これは日本語のテキストです。漢字とひらがな、カタカナ、ＡＢＣ、ｱｲｳ。", kSize);
    static const std::string markup = Repeat("<node name=\"見出し\" expanded=\"yes\"><text>日本語の本文と ASCII text.</text></node>\r\n", kSize);
    return kind == 0 ? ascii : kind == 1 ? japanese : markup;
}

void SetLabel(benchmark::State& state)
{
    state.SetLabel(state.range(0) == 0 ? "ascii" : state.range(0) == 1 ? "japanese" : "japanese markup");
}

void BM_DecodeCp932(benchmark::State& state)
{
    const std::string sjis = platform::EncodeCp932(Text(static_cast<int>(state.range(0)))).bytes;
    for (auto _ : state) benchmark::DoNotOptimize(platform::DecodeCp932(sjis));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sjis.size()));
    SetLabel(state);
}

void BM_EncodeCp932(benchmark::State& state)
{
    const std::string& utf8 = Text(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(platform::EncodeCp932(utf8));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * utf8.size()));
    SetLabel(state);
}

void BM_CountCp932Unmappable(benchmark::State& state)
{
    const std::string& utf8 = Text(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(platform::CountCp932Unmappable(utf8));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * utf8.size()));
    SetLabel(state);
}

void BM_FindInvalidUtf8(benchmark::State& state)
{
    const std::string& utf8 = Text(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(platform::FindInvalidUtf8(utf8));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * utf8.size()));
    SetLabel(state);
}

void BM_IsCp932DoubleByte(benchmark::State& state)
{
    const std::u32string sample = U"<a b=\"c\">漢字かなｶﾅ ABC 😀</a>";
    for (auto _ : state)
        for (char32_t c : sample) benchmark::DoNotOptimize(platform::IsCp932DoubleByte(c));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * sample.size()));
}

}  // namespace

BENCHMARK(BM_DecodeCp932)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeCp932)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountCp932Unmappable)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindInvalidUtf8)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsCp932DoubleByte);

BENCHMARK_MAIN();

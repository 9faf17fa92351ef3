// Fuzzing harnesses. Each takes one input of any bytes and checks what must hold for every
// input: no crash, no sanitizer report, no exception other than the refusals a reader may
// raise, and the harness's own round-trip property. A broken property aborts, so libFuzzer
// and the replay driver both catch it.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace fuzz {

using Harness = void (*)(std::string_view input);

// TNanXML::LoadFromString; parse, write as UTF-8, parse again: the second tree equals the first.
void FuzzNanXml(std::string_view input);
// OpenDocument on the bytes as a file; it must read what the XML node tree gives.
void FuzzDocument(std::string_view input);
// The INI reader; formatting what it read and reading that again is stable.
void FuzzIni(std::string_view input);
// The key store reading a values file of these bytes.
void FuzzKeyStore(std::string_view input);

struct NamedHarness {
    std::string_view name;  // also the folder of its corpus: fuzz/corpus/<name>
    Harness run;
};

inline constexpr std::array<NamedHarness, 4> kHarnesses{{
    {"nanxml", FuzzNanXml},
    {"document", FuzzDocument},
    {"ini", FuzzIni},
    {"key_store", FuzzKeyStore},
}};

// Reports a broken property and aborts.
[[noreturn]] void Fail(std::string_view what);

// A folder of this process below the temporary folder, removed at exit.
const std::string& ScratchFolder();

}  // namespace fuzz

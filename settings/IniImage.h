// An INI file held in memory: sections in brackets, "name=value" entries, written back in
// the order in which sections and entries were first created, each section followed by an
// empty line, lines ending in CR LF. Section and entry names compare without regard to
// ASCII letter case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

class IniImage {
public:
    // Each line is trimmed, as are the name and the value around its first "=". Empty lines,
    // lines starting with ";" and lines before the first section header are dropped; a line
    // without "=" under a section is kept as it is. A repeated section header continues the
    // section of that name. A leading UTF-8 byte-order mark is skipped.
    static IniImage Parse(std::string_view text);

    std::string Format() const;

    // The value of the entry, or nothing when the section or the entry is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view name) const;

    // Sets the entry, creating the section and the entry at the end when missing. A line
    // break cannot be stored in an INI file: each CR and LF of the value becomes a space.
    void Set(std::string_view section, std::string_view name, std::string_view value);

    // The names of the section's entries, in file order; empty when the section is missing.
    std::vector<std::string> Names(std::string_view section) const;
    // Removes every entry of that name from the section; the other lines stay in place.
    void Remove(std::string_view section, std::string_view name);

private:
    struct Line {
        bool isEntry = false;
        std::string name;   // the whole line when it is no entry
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };

    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;

    std::vector<Section> sections_;
};

// An integer as INI text: decimal, or hexadecimal behind 0x, 0X or $ (up to FFFFFFFF, taken
// as the 32 bits of the number), with an optional sign. Nothing when it does not parse or
// does not fit 32 bits.
std::optional<std::int32_t> ParseIniInteger(std::string_view text);

}  // namespace settings

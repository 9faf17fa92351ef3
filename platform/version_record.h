// The version record: a small table of version strings that the build embeds into an
// executable (in its own ELF section) and that can be read back from the file at a path.
//
// Layout, all integers little-endian:
//   "VLMVREC1"                              magic, 8 bytes
//   u16 n, then n translations              each u16 language, u16 code page
//   u16 m, then m string tables             each:
//     u16 language, u16 code page, u16 k,   then k strings, each:
//     u16 key length, key bytes, u16 value length, value bytes (UTF-8, no NUL)
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::string_view kVersionRecordSection = ".velmora_version";
inline constexpr std::string_view kVersionRecordMagic = "VLMVREC1";

struct VersionTranslation {
    std::uint16_t language;
    std::uint16_t codePage;
};

struct VersionString {
    std::string_view key;
    std::string_view value;
};

struct VersionStringTable {
    VersionTranslation translation;
    std::span<const VersionString> strings;
};

namespace detail {
constexpr void AppendU16(std::string& out, std::size_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
constexpr void AppendCounted(std::string& out, std::string_view text)
{
    AppendU16(out, text.size());
    out += text;
}
}  // namespace detail

// Builds a record; usable at compile time, so the build can place the bytes in a section.
// Counts and lengths must fit in 16 bits.
constexpr std::string BuildVersionRecord(std::span<const VersionTranslation> translations,
                                         std::span<const VersionStringTable> tables)
{
    std::string out(kVersionRecordMagic);
    detail::AppendU16(out, translations.size());
    for (const VersionTranslation& t : translations) {
        detail::AppendU16(out, t.language);
        detail::AppendU16(out, t.codePage);
    }
    detail::AppendU16(out, tables.size());
    for (const VersionStringTable& table : tables) {
        detail::AppendU16(out, table.translation.language);
        detail::AppendU16(out, table.translation.codePage);
        detail::AppendU16(out, table.strings.size());
        for (const VersionString& s : table.strings) {
            detail::AppendCounted(out, s.key);
            detail::AppendCounted(out, s.value);
        }
    }
    return out;
}

// The record embedded in the executable at path. Empty when the file cannot be read, is not
// an ELF file, has no record section, or the section does not hold a record.
std::string ReadVersionRecord(const std::string& path);

// Looks a value up in a record the way version resources are queried:
//   "\VarFileInfo\Translation"          the translation table, 4 bytes per entry
//   "\StringFileInfo\LLLLCCCC\<Key>"    the value of Key in the table of language LLLL and
//                                       code page CCCC (hexadecimal)
// Names compare without regard to ASCII case. Nothing when the path is not found or the
// record is malformed.
std::optional<std::string_view> QueryVersionValue(std::string_view record, std::string_view path);

}  // namespace platform

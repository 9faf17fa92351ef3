#include "platform/version_record.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace platform {
namespace {

// A record is a few hundred bytes; a larger section is not ours.
constexpr std::uint64_t kMaxRecordSize = 64 * 1024;
// Section names are short; the name table of a normal executable is a few KB.
constexpr std::uint64_t kMaxNameTableSize = 1024 * 1024;
constexpr std::uint32_t kSectionNoBits = 8;
constexpr std::uint16_t kExtendedSectionIndex = 0xFFFF;

// Reads fixed ranges of an untrusted file; every range is checked against the file size.
class FileRanges {
public:
    explicit FileRanges(const std::string& path) : in_(path, std::ios::binary)
    {
        if (!in_) return;
        in_.seekg(0, std::ios::end);
        const std::streamoff end = in_.tellg();
        if (end > 0) size_ = static_cast<std::uint64_t>(end);
    }

    std::optional<std::string> Read(std::uint64_t offset, std::uint64_t length)
    {
        if (offset > size_ || length > size_ - offset) return std::nullopt;
        std::string bytes(static_cast<std::size_t>(length), '\0');
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        if (!in_.read(bytes.data(), static_cast<std::streamsize>(length))) return std::nullopt;
        return bytes;
    }

private:
    std::ifstream in_;
    std::uint64_t size_ = 0;
};

// Reads integers of either byte order from a buffer; out-of-range reads give nothing.
class Fields {
public:
    Fields(std::string_view bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}

    std::optional<std::uint64_t> Get(std::size_t offset, std::size_t width) const
    {
        if (offset > bytes_.size() || width > bytes_.size() - offset) return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t index = bigEndian_ ? offset + i : offset + width - 1 - i;
            value = (value << 8) | static_cast<unsigned char>(bytes_[index]);
        }
        return value;
    }

private:
    std::string_view bytes_;
    bool bigEndian_;
};

struct Section {
    std::uint32_t nameOffset;
    std::uint32_t type;
    std::uint64_t offset;
    std::uint64_t size;
    std::uint32_t link;
};

// Offsets of the header fields for 32-bit and 64-bit ELF.
struct ElfLayout {
    std::size_t headerSize, shoff, shoffWidth, shentsize, shnum, shstrndx;
    std::size_t secName, secType, secOffset, secSize, secLink, addrWidth, minEntrySize;
};
constexpr ElfLayout kElf32{52, 32, 4, 46, 48, 50, 0, 4, 16, 20, 24, 4, 40};
constexpr ElfLayout kElf64{64, 40, 8, 58, 60, 62, 0, 4, 24, 32, 40, 8, 64};

std::optional<Section> ParseSection(const Fields& f, const ElfLayout& l)
{
    const auto name = f.Get(l.secName, 4);
    const auto type = f.Get(l.secType, 4);
    const auto offset = f.Get(l.secOffset, l.addrWidth);
    const auto size = f.Get(l.secSize, l.addrWidth);
    const auto link = f.Get(l.secLink, 4);
    if (!name || !type || !offset || !size || !link) return std::nullopt;
    return Section{static_cast<std::uint32_t>(*name), static_cast<std::uint32_t>(*type), *offset, *size,
                   static_cast<std::uint32_t>(*link)};
}

std::string FindRecordSection(FileRanges& file)
{
    const auto ident = file.Read(0, 6);
    if (!ident || !ident->starts_with("\x7F" "ELF")) return {};
    const unsigned char elfClass = static_cast<unsigned char>((*ident)[4]);
    const unsigned char elfData = static_cast<unsigned char>((*ident)[5]);
    if ((elfClass != 1 && elfClass != 2) || (elfData != 1 && elfData != 2)) return {};
    const ElfLayout& l = elfClass == 2 ? kElf64 : kElf32;
    const auto header = file.Read(0, l.headerSize);
    if (!header) return {};
    const Fields h(*header, elfData == 2);

    const auto shoff = h.Get(l.shoff, l.shoffWidth);
    const auto shentsize = h.Get(l.shentsize, 2);
    auto shnum = h.Get(l.shnum, 2);
    auto shstrndx = h.Get(l.shstrndx, 2);
    if (!shoff || !shentsize || !shnum || !shstrndx || *shoff == 0 || *shentsize < l.minEntrySize) return {};

    auto readSection = [&](std::uint64_t index) -> std::optional<Section> {
        if (index > (UINT64_MAX - *shoff) / *shentsize) return std::nullopt;
        const auto bytes = file.Read(*shoff + index * *shentsize, *shentsize);
        if (!bytes) return std::nullopt;
        return ParseSection(Fields(*bytes, elfData == 2), l);
    };

    // Files with very many sections keep the real count and name-table index in section 0.
    if (*shnum == 0 || *shstrndx == kExtendedSectionIndex) {
        const auto first = readSection(0);
        if (!first) return {};
        if (*shnum == 0) shnum = first->size;
        if (*shstrndx == kExtendedSectionIndex) shstrndx = first->link;
    }
    if (*shstrndx >= *shnum) return {};

    const auto nameSection = readSection(*shstrndx);
    if (!nameSection || nameSection->size > kMaxNameTableSize) return {};
    const auto names = file.Read(nameSection->offset, nameSection->size);
    if (!names) return {};

    for (std::uint64_t index = 0; index < *shnum; ++index) {
        const auto section = readSection(index);
        if (!section) return {};
        if (section->nameOffset >= names->size()) continue;
        const std::string_view name(names->c_str() + section->nameOffset);
        if (name != kVersionRecordSection) continue;
        if (section->type == kSectionNoBits || section->size > kMaxRecordSize) return {};
        return file.Read(section->offset, section->size).value_or(std::string());
    }
    return {};
}

// Sequential reader over a record; any read past the end fails.
class RecordCursor {
public:
    explicit RecordCursor(std::string_view record) : rest_(record) {}

    std::optional<std::uint16_t> U16()
    {
        if (rest_.size() < 2) return std::nullopt;
        const auto value = static_cast<std::uint16_t>(static_cast<unsigned char>(rest_[0]) |
                                                      (static_cast<unsigned char>(rest_[1]) << 8));
        rest_.remove_prefix(2);
        return value;
    }
    std::optional<std::string_view> Bytes(std::size_t length)
    {
        if (rest_.size() < length) return std::nullopt;
        const std::string_view bytes = rest_.substr(0, length);
        rest_.remove_prefix(length);
        return bytes;
    }
    std::optional<std::string_view> Counted()
    {
        const auto length = U16();
        return length ? Bytes(*length) : std::nullopt;
    }

private:
    std::string_view rest_;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string HexId(std::uint16_t language, std::uint16_t codePage)
{
    char id[9];
    std::snprintf(id, sizeof id, "%04X%04X", static_cast<unsigned>(language), static_cast<unsigned>(codePage));
    return id;
}

std::optional<std::string_view> FindString(RecordCursor& cursor, std::string_view tableId, std::string_view key)
{
    const auto tableCount = cursor.U16();
    if (!tableCount) return std::nullopt;
    for (unsigned t = 0; t < *tableCount; ++t) {
        const auto language = cursor.U16();
        const auto codePage = cursor.U16();
        const auto count = cursor.U16();
        if (!language || !codePage || !count) return std::nullopt;
        const bool wanted = EqualsIgnoringCase(HexId(*language, *codePage), tableId);
        for (unsigned s = 0; s < *count; ++s) {
            const auto name = cursor.Counted();
            const auto value = cursor.Counted();
            if (!name || !value) return std::nullopt;
            if (wanted && EqualsIgnoringCase(*name, key)) return value;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string ReadVersionRecord(const std::string& path)
{
    FileRanges file(path);
    std::string record = FindRecordSection(file);
    if (!record.starts_with(kVersionRecordMagic)) return {};
    return record;
}

std::optional<std::string_view> QueryVersionValue(std::string_view record, std::string_view path)
{
    if (!record.starts_with(kVersionRecordMagic)) return std::nullopt;
    RecordCursor cursor(record.substr(kVersionRecordMagic.size()));
    const auto translationCount = cursor.U16();
    if (!translationCount) return std::nullopt;
    const auto translations = cursor.Bytes(std::size_t{*translationCount} * 4);
    if (!translations) return std::nullopt;
    if (EqualsIgnoringCase(path, "\\VarFileInfo\\Translation")) return translations;

    constexpr std::string_view kStringPrefix = "\\StringFileInfo\\";
    if (path.size() < kStringPrefix.size() || !EqualsIgnoringCase(path.substr(0, kStringPrefix.size()), kStringPrefix)) {
        return std::nullopt;
    }
    const std::string_view rest = path.substr(kStringPrefix.size());
    const std::size_t separator = rest.find('\\');
    if (separator == std::string_view::npos) return std::nullopt;
    return FindString(cursor, rest.substr(0, separator), rest.substr(separator + 1));
}

}  // namespace platform

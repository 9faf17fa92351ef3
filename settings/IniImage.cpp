#include "settings/IniImage.h"

#include "platform/ascii_case.h"

namespace settings {

using platform::EqualsIgnoringAsciiCase;

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Splits at CR LF, LF or CR.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string WithoutLineBreaks(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

IniImage IniImage::Parse(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());

    IniImage image;
    Section* current = nullptr;
    for (std::string_view rawLine : SplitLines(text)) {
        const std::string_view line = Trim(rawLine);
        if (line.empty() || line.front() == ';') continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string_view name = Trim(line.substr(1, line.size() - 2));
            current = image.FindSection(name);
            if (current == nullptr) current = &image.sections_.emplace_back(Section{std::string(name), {}});
            continue;
        }
        if (current == nullptr) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            current->lines.push_back({false, std::string(line), {}});
        } else {
            current->lines.push_back(
                {true, std::string(Trim(line.substr(0, equals))), std::string(Trim(line.substr(equals + 1)))});
        }
    }
    return image;
}

std::string IniImage::Format() const {
    std::string text;
    for (const Section& section : sections_) {
        text += '[';
        text += section.name;
        text += "]\r\n";
        for (const Line& line : section.lines) {
            text += line.name;
            if (line.isEntry) {
                text += '=';
                text += line.value;
            }
            text += "\r\n";
        }
        text += "\r\n";
    }
    return text;
}

std::optional<std::string> IniImage::Find(std::string_view section, std::string_view name) const {
    const Section* found = FindSection(section);
    if (found == nullptr) return std::nullopt;
    for (const Line& line : found->lines) {
        if (line.isEntry && EqualsIgnoringAsciiCase(line.name, name)) return line.value;
    }
    return std::nullopt;
}

void IniImage::Set(std::string_view section, std::string_view name, std::string_view value) {
    Section* target = FindSection(section);
    if (target == nullptr) target = &sections_.emplace_back(Section{std::string(section), {}});
    for (Line& line : target->lines) {
        if (line.isEntry && EqualsIgnoringAsciiCase(line.name, name)) {
            line.value = WithoutLineBreaks(value);
            return;
        }
    }
    target->lines.push_back({true, std::string(name), WithoutLineBreaks(value)});
}

std::vector<std::string> IniImage::Names(std::string_view section) const {
    std::vector<std::string> names;
    if (const Section* found = FindSection(section)) {
        for (const Line& line : found->lines) {
            if (line.isEntry) names.push_back(line.name);
        }
    }
    return names;
}

void IniImage::Remove(std::string_view section, std::string_view name) {
    Section* target = FindSection(section);
    if (target == nullptr) return;
    std::erase_if(target->lines,
                  [&](const Line& line) { return line.isEntry && EqualsIgnoringAsciiCase(line.name, name); });
}

IniImage::Section* IniImage::FindSection(std::string_view name) {
    for (Section& section : sections_) {
        if (EqualsIgnoringAsciiCase(section.name, name)) return &section;
    }
    return nullptr;
}

const IniImage::Section* IniImage::FindSection(std::string_view name) const {
    return const_cast<IniImage*>(this)->FindSection(name);
}

std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.starts_with("$")) {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;

    // Hexadecimal spells the 32 bits; decimal must fit the signed range.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t magnitude = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || digit >= base) return std::nullopt;
        magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (magnitude > limit) return std::nullopt;
    }
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

}  // namespace settings

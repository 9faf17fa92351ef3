// Letter case of ASCII letters only: XML names, settings names and key-store folders compare
// without it, and all other characters (the rest of UTF-8) compare exactly.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

inline char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace platform

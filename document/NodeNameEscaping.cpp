#include "document/NodeNameEscaping.h"

#include <array>
#include <utility>

namespace document {

namespace {

constexpr std::array<std::pair<std::string_view, char>, 4> kReferences{{
    {"&lt;", '<'},
    {"&gt;", '>'},
    {"&quot;", '"'},
    {"&amp;", '&'},
}};

// The length of the reference that starts text, 0 when none does; its character in decoded.
std::size_t ReferenceAt(std::string_view text, char& decoded) {
    for (const auto& [reference, character] : kReferences) {
        if (text.substr(0, reference.size()) == reference) {
            decoded = character;
            return reference.size();
        }
    }
    return 0;
}

}  // namespace

std::string EscapeNodeName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        char ignored = 0;
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '&': out += ReferenceAt(name.substr(i), ignored) ? "&amp;" : "&"; break;
        default: out += c;
        }
    }
    return out;
}

std::string UnescapeNodeName(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    std::size_t i = 0;
    while (i < value.size()) {
        char decoded = 0;
        if (value[i] == '&') {
            if (const std::size_t length = ReferenceAt(value.substr(i), decoded)) {
                out += decoded;
                i += length;
                continue;
            }
        }
        out += value[i++];
    }
    return out;
}

}  // namespace document

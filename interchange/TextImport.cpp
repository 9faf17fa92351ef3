#include "interchange/TextImport.h"

#include "platform/codepage.h"
#include "platform/utf8.h"

namespace interchange {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Keeps valid sequences and puts U+FFFD for each malformed byte, so that the editor
// never receives broken UTF-8 from a file that only claimed to be UTF-8.
std::string RepairUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t bad = platform::FindInvalidUtf8(text);
        if (bad == std::string_view::npos) {
            out.append(text);
            break;
        }
        out.append(text.substr(0, bad));
        platform::AppendUtf8(out, U'\uFFFD');
        text.remove_prefix(bad + 1);
    }
    return out;
}

}  // namespace

std::string DecodeImportedText(std::string_view fileBytes)
{
    // Dropped, not a stop: the text after a stray NUL is the user's too, and a document
    // file is read the same way.
    std::string withoutNuls;
    if (fileBytes.find('\0') != std::string_view::npos) {
        withoutNuls.assign(fileBytes);
        std::erase(withoutNuls, '\0');
        fileBytes = withoutNuls;
    }

    if (fileBytes.starts_with(kUtf8ByteOrderMark)) {
        return RepairUtf8(fileBytes.substr(kUtf8ByteOrderMark.size()));
    }
    if (platform::IsValidUtf8(fileBytes)) return std::string(fileBytes);
    return platform::DecodeCp932(fileBytes);
}

std::vector<std::string> SplitImportedLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c != '\r' && c != '\n') {
            ++pos;
            continue;
        }
        lines.emplace_back(text.substr(start, pos - start));
        const bool crlf = c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n';
        pos += crlf ? 2 : 1;
        start = pos;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::string MakeImportText(std::string_view fileBytes)
{
    std::string text;
    for (const std::string& line : SplitImportedLines(DecodeImportedText(fileBytes))) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace interchange

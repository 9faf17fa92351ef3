#include "xml/line_breaks.h"

#include <algorithm>
#include <cstring>

namespace nanxml {

bool HasOnlyCrLfBreaks(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos) return false;
    // Each LF follows its own CR; equal counts then leave no CR without a LF.
    std::size_t lineFeeds = 0;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        if (at == 0 || text[at - 1] != '\r') return false;
        ++lineFeeds;
    }
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')) == lineFeeds;
}

std::string NormalisedLines(std::string_view text)
{
    std::string withoutNuls;
    if (text.find('\0') != std::string_view::npos) {
        withoutNuls.assign(text);
        RemoveNuls(withoutNuls);
        text = withoutNuls;
    }
    std::string lines;
    lines.reserve(text.size() + text.size() / 16 + 2);
    bool lineOpen = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines += "\r\n";
            lineOpen = false;
        } else {
            lines += c;
            lineOpen = true;
        }
    }
    if (lineOpen) lines += "\r\n";
    return lines;
}

void RemoveNuls(std::string& text)
{
    if (text.find('\0') != std::string::npos) std::erase(text, '\0');
}

std::size_t SourceOffset(std::string_view source, std::size_t offset, bool linesNormalised)
{
    std::size_t produced = 0;  // bytes of the transformed text that come before source[i]
    for (std::size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == '\0') continue;
        if (produced >= offset) return i;
        if (linesNormalised && c == '\n') {
            produced += 2;  // a lone LF becomes CR LF
        } else if (linesNormalised && c == '\r') {
            std::size_t next = i + 1;
            while (next < source.size() && source[next] == '\0') ++next;
            if (next < source.size() && source[next] == '\n') {
                i = next;  // CR LF stays as it is
            }
            produced += 2;
        } else {
            ++produced;
        }
    }
    return source.size();
}

}  // namespace nanxml

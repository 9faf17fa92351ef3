#include "app/TVLNodeData.h"

namespace document {

namespace {

// Length of the prefix of text that is already in node-text form: only CR LF breaks. The
// whole text counts when it also ends with a break (or is empty).
std::size_t NormalPrefixLength(std::string_view text) {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\n') return i;
        if (c == '\r') {
            if (i + 1 >= n || text[i + 1] != '\n') return i;
            ++i;
        }
    }
    if (n != 0 && text[n - 1] != '\n') return n - 1;
    return n;
}

}  // namespace

std::string NormalizeNodeText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    const std::size_t n = text.size();
    std::size_t lineStart = 0;
    std::size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        out.append(text.substr(lineStart, i - lineStart));
        out.append("\r\n");
        i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
        lineStart = i;
    }
    if (lineStart < n) {
        out.append(text.substr(lineStart));
        out.append("\r\n");
    }
    return out;
}

void TVLNodeData::SetText(std::string_view text) {
    if (NormalPrefixLength(text) == text.size())
        text_.assign(text);
    else
        text_ = NormalizeNodeText(text);
}

void TVLNodeData::SetText(std::string&& text) {
    if (NormalPrefixLength(text) == text.size())
        text_ = std::move(text);
    else
        text_ = NormalizeNodeText(text);
}

std::vector<std::string> TVLNodeData::Lines() const {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text_.size()) {
        const std::size_t end = text_.find("\r\n", start);
        lines.emplace_back(text_, start, end - start);
        start = end + 2;
    }
    return lines;
}

std::size_t TVLNodeData::LineCount() const {
    std::size_t count = 0;
    for (std::size_t pos = text_.find('\n'); pos != std::string::npos; pos = text_.find('\n', pos + 1))
        ++count;
    return count;
}

void TVLNodeData::SetLines(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) {
        joined += line;
        joined += "\r\n";
    }
    SetText(std::move(joined));
}

std::string TVLNodeData::EditorText() const {
    std::string out;
    if (text_.empty()) return out;
    out.reserve(text_.size());
    const std::size_t end = text_.size() - 2;  // the final CR LF is not shown
    std::size_t start = 0;
    while (true) {
        const std::size_t br = text_.find("\r\n", start);
        out.append(text_, start, br - start);
        if (br >= end) break;
        out.push_back('\n');
        start = br + 2;
    }
    return out;
}

}  // namespace document

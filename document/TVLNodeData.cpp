#include "document/TVLNodeData.h"

#include <algorithm>

namespace document {

namespace {

// True when text is already in node-text form: every break is CR LF and the text ends with
// one (or is empty). Checked with memchr-speed scans, as texts of many megabytes come by here
// on every keystroke and on every read: every LF follows a CR, and there are as many CRs as
// LFs (so every CR is followed by an LF).
bool IsNormalText(std::string_view text) {
    if (text.empty()) return true;
    if (text.size() < 2 || text[text.size() - 2] != '\r' || text.back() != '\n') return false;
    std::size_t lineFeeds = 0;
    for (std::size_t pos = text.find('\n'); pos != std::string_view::npos; pos = text.find('\n', pos + 1)) {
        if (pos == 0 || text[pos - 1] != '\r') return false;
        ++lineFeeds;
    }
    std::size_t carriageReturns = 0;
    for (std::size_t pos = text.find('\r'); pos != std::string_view::npos; pos = text.find('\r', pos + 1))
        ++carriageReturns;
    return carriageReturns == lineFeeds;
}

}  // namespace

std::string NormalizeNodeText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    const std::size_t n = text.size();
    std::size_t lineStart = 0;
    std::size_t nextCr = text.find('\r');
    std::size_t nextLf = text.find('\n');
    while (true) {
        const std::size_t lineBreak = std::min(nextCr, nextLf);
        if (lineBreak == std::string_view::npos) break;
        out.append(text.substr(lineStart, lineBreak - lineStart));
        out.append("\r\n");
        lineStart = lineBreak + 1;
        if (lineBreak == nextCr && lineStart < n && text[lineStart] == '\n') ++lineStart;
        if (nextCr < lineStart) nextCr = text.find('\r', lineStart);
        if (nextLf < lineStart) nextLf = text.find('\n', lineStart);
    }
    if (lineStart < n) {
        out.append(text.substr(lineStart));
        out.append("\r\n");
    }
    return out;
}

const std::string& TVLNodeData::EmptyText() noexcept {
    static const std::string empty;
    return empty;
}

void TVLNodeData::Adopt(std::string&& text) {
    if (text.empty())
        text_.reset();
    else
        text_ = std::make_shared<const std::string>(std::move(text));
}

void TVLNodeData::SetText(std::string_view text) {
    Adopt(IsNormalText(text) ? std::string(text) : NormalizeNodeText(text));
}

void TVLNodeData::SetText(std::string&& text) {
    Adopt(IsNormalText(text) ? std::move(text) : NormalizeNodeText(text));
}

void TVLNodeData::SetTextOfCrLfLines(std::string&& text) {
    if (!text.empty() && !text.ends_with("\r\n")) text += "\r\n";
    Adopt(std::move(text));
}

std::vector<std::string> TVLNodeData::Lines() const {
    const std::string& text = Text();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        lines.emplace_back(text, start, end - start);
        start = end + 2;
    }
    return lines;
}

std::size_t TVLNodeData::LineCount() const {
    const std::string& text = Text();
    std::size_t count = 0;
    for (std::size_t pos = text.find('\n'); pos != std::string::npos; pos = text.find('\n', pos + 1))
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
    const std::string& text = Text();
    std::string out;
    if (text.empty()) return out;
    out.reserve(text.size());
    const std::size_t end = text.size() - 2;  // the final CR LF is not shown
    std::size_t start = 0;
    while (true) {
        const std::size_t br = text.find("\r\n", start);
        out.append(text, start, br - start);
        if (br >= end) break;
        out.push_back('\n');
        start = br + 2;
    }
    return out;
}

}  // namespace document

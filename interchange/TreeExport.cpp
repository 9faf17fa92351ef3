#include "interchange/TreeExport.h"

#include <cstddef>

namespace interchange {

EOutlineTooLarge::EOutlineTooLarge() : std::runtime_error("エクスポートする内容が大きすぎます") {}

namespace {

// Counts an outline's bytes as its lines are made, before each is built.
class OutlineSize {
public:
    void AddLine(std::size_t length)
    {
        bytes_ += length + 2;
        if (bytes_ > kMaxOutlineBytes) throw EOutlineTooLarge();
    }

private:
    std::size_t bytes_ = 0;
};

using document::TreeNode;

// A node being walked and the index of its next child. The walks keep their own stack so
// that a tree of any depth is exported without deep recursion.
struct Frame {
    const TreeNode* node;
    std::size_t nextChild = 0;
};

// numberPrefix: the node's number with a "-" after each part ("1-2-"), empty for the
// exported node.
void AddTextNode(std::vector<std::string>& out, OutlineSize& size, const TreeNode& node, const std::string& numberPrefix)
{
    size.AddLine(numberPrefix.size() + node.Name().size());
    std::string heading = numberPrefix;
    if (!heading.empty()) heading.back() = ' ';
    heading += node.Name();

    out.push_back(std::move(heading));
    size.AddLine(0);
    out.emplace_back();
    for (std::string& line : node.Data().Lines()) {
        size.AddLine(line.size());
        out.push_back(std::move(line));
    }
    size.AddLine(0);
    out.emplace_back();
}

class HtmlOutlineWriter {
public:
    explicit HtmlOutlineWriter(std::vector<std::string>& out) : out_(out) {}

    // step < 0: one level out before writing; step > 0: one level in after writing.
    void AddIndentedLine(const std::string& text, int step)
    {
        if (step < 0 && depth_ > 0) --depth_;
        size_.AddLine(depth_ + text.size());
        std::string line(depth_, '\t');
        line += text;
        out_.push_back(std::move(line));
        if (step > 0) ++depth_;
    }

    // The node's item, paragraph and children list, down to every descendant.
    void AddHtmlNode(const TreeNode& exportNode)
    {
        std::vector<Frame> stack;
        OpenNode(exportNode, 1);
        stack.push_back({&exportNode});
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.nextChild < frame.node->ChildCount()) {
                const TreeNode& child = *frame.node->Child(frame.nextChild++);
                OpenNode(child, stack.size() + 1);
                stack.push_back({&child});
            } else {
                AddIndentedLine("</ul>", -1);
                stack.pop_back();
            }
        }
    }

private:
    void OpenNode(const TreeNode& node, std::size_t level)
    {
        AddIndentedLine("<li class=\"node" + std::to_string(level) + "\">" + node.Name(), 0);
        AddIndentedLine("<p class=\"text\">", +1);
        for (const std::string& line : node.Data().Lines()) AddIndentedLine(line + "<br>", 0);
        AddIndentedLine("</p>", -1);
        AddIndentedLine("<ul>", +1);
    }

    std::vector<std::string>& out_;
    OutlineSize size_;
    std::size_t depth_ = 0;
};

}  // namespace

std::vector<std::string> MakeTextOutline(const TreeNode& exportNode)
{
    std::vector<std::string> out;
    OutlineSize size;
    std::string numberPrefix;                   // of the node entered last
    std::vector<std::size_t> prefixLengths{0};  // of each node on the stack
    std::vector<Frame> stack;
    AddTextNode(out, size, exportNode, numberPrefix);
    stack.push_back({&exportNode});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.nextChild < frame.node->ChildCount()) {
            const TreeNode& child = *frame.node->Child(frame.nextChild++);
            numberPrefix.resize(prefixLengths.back());
            numberPrefix += std::to_string(frame.nextChild);
            numberPrefix += '-';
            AddTextNode(out, size, child, numberPrefix);
            stack.push_back({&child});
            prefixLengths.push_back(numberPrefix.size());
        } else {
            stack.pop_back();
            prefixLengths.pop_back();
        }
    }
    return out;
}

std::vector<std::string> MakeHtmlOutline(const TreeNode& exportNode)
{
    std::vector<std::string> out;
    HtmlOutlineWriter writer(out);
    writer.AddIndentedLine("<html>", +1);
    writer.AddIndentedLine("<head>", +1);
    writer.AddIndentedLine("<title>" + exportNode.Name() + "</title>", 0);
    writer.AddIndentedLine("</head>", -1);
    writer.AddIndentedLine("<body>", +1);
    writer.AddIndentedLine("<ul>", +1);
    writer.AddHtmlNode(exportNode);
    writer.AddIndentedLine("</ul>", -1);
    writer.AddIndentedLine("</body>", -1);
    writer.AddIndentedLine("</html>", -1);
    return out;
}

std::string JoinOutlineLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace interchange

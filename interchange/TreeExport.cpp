#include "interchange/TreeExport.h"

#include <cstddef>

namespace interchange {
namespace {

using document::TreeNode;

// A node being walked and the index of its next child. The walks keep their own stack so
// that a tree of any depth is exported without deep recursion.
struct Frame {
    const TreeNode* node;
    std::size_t nextChild = 0;
};

void AddTextNode(std::vector<std::string>& out, const TreeNode& node, const std::vector<int>& counters)
{
    std::string heading;
    for (const int counter : counters) {
        heading += std::to_string(counter);
        heading += '-';
    }
    if (!heading.empty()) heading.back() = ' ';
    heading += node.Name();

    out.push_back(std::move(heading));
    out.emplace_back();
    for (std::string& line : node.Data().Lines()) out.push_back(std::move(line));
    out.emplace_back();
}

class HtmlOutlineWriter {
public:
    explicit HtmlOutlineWriter(std::vector<std::string>& out) : out_(out) {}

    // step < 0: one level out before writing; step > 0: one level in after writing.
    void AddIndentedLine(const std::string& text, int step)
    {
        if (step < 0 && depth_ > 0) --depth_;
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
    std::size_t depth_ = 0;
};

}  // namespace

std::vector<std::string> MakeTextOutline(const TreeNode& exportNode)
{
    std::vector<std::string> out;
    std::vector<int> counters;
    std::vector<Frame> stack;
    AddTextNode(out, exportNode, counters);
    stack.push_back({&exportNode});
    counters.push_back(0);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.nextChild < frame.node->ChildCount()) {
            const TreeNode& child = *frame.node->Child(frame.nextChild++);
            ++counters.back();
            AddTextNode(out, child, counters);
            stack.push_back({&child});
            counters.push_back(0);
        } else {
            stack.pop_back();
            counters.pop_back();
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

// Writing a document as a version-2 trm file.
#include "app/NodeNameEscaping.h"
#include "app/TrmFormat.h"
#include "platform/codepage.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace document {

using nanxml::TNanXML;
using nanxml::TNanXMLElement;

namespace {

// The payload's part of a node element: selstart, sellength, then the text element.
void SaveToXml(const TVLNodeData& data, TNanXMLElement& element) {
    element.AddAttribute("selstart", std::to_string(data.SelStart));
    element.AddAttribute("sellength", std::to_string(data.SelLength));
    element.AddElement("text")->AddText(data.Text());
}

TNanXMLElement& WriteOneNode(TNanXMLElement& parent, const TreeNode& node, const TreeNode* selected) {
    TNanXMLElement& element = *parent.AddElement("node");
    element.AddAttribute("name", EscapeNodeName(node.Name()));
    element.AddAttribute("expanded", node.Expanded() ? "yes" : "no");
    SaveToXml(node.Data(), element);
    if (&node == selected) element.AddAttribute("selected", "yes");
    return element;
}

// A node element for node and, nested in it, one for each descendant in tree order. Walked
// with a work list so that any depth can be written.
void WriteNode(TNanXMLElement& parent, const TreeNode& node, const TreeNode* selected) {
    std::vector<std::pair<const TreeNode*, TNanXMLElement*>> pending{{&node, &parent}};
    while (!pending.empty()) {
        const auto [current, parentElement] = pending.back();
        pending.pop_back();
        TNanXMLElement& element = WriteOneNode(*parentElement, *current, selected);
        for (std::size_t i = current->ChildCount(); i > 0; --i) pending.emplace_back(current->Child(i - 1), &element);
    }
}

}  // namespace

std::tm LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string FormatModifiedStamp(const std::tm& time) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", time.tm_year + 1900, time.tm_mon + 1,
                  time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return buffer;
}

void WriteDocument(const std::string& path, const DocumentTree& tree, const TreeNode* selected,
                   TDocumentEncoding encoding, const std::tm& modified) {
    TNanXML xml;
    TNanXMLElement& velmora = *xml.Root().AddElement("velmora");
    TNanXMLElement& file = *velmora.AddElement("file");
    file.AddAttribute("version", "2");
    file.AddAttribute("modified", FormatModifiedStamp(modified));
    WriteNode(velmora, tree.Root(), selected);
    xml.SetEncoding(encoding);
    xml.SaveToFile(path, true);
}

std::size_t CountShiftJisUnmappable(const DocumentTree& tree) {
    std::size_t count = 0;
    std::vector<const TreeNode*> pending{&tree.Root()};
    while (!pending.empty()) {
        const TreeNode* node = pending.back();
        pending.pop_back();
        count += platform::CountCp932Unmappable(node->Name()) + platform::CountCp932Unmappable(node->Data().Text());
        for (std::size_t i = 0; i < node->ChildCount(); ++i) pending.push_back(node->Child(i));
    }
    return count;
}

}  // namespace document

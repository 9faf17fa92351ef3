// Writing a document as a version-2 trm file.
#include "document/NodeNameEscaping.h"
#include "document/TrmFormat.h"
#include "platform/codepage.h"
#include "xml/stream_writer.h"

#include <cstdio>
#include <string>
#include <vector>

namespace document {

using nanxml::TNanXMLStreamWriter;

namespace {

// A node element's start tag and its text element; its children follow, then EndElement.
void StartNode(TNanXMLStreamWriter& xml, std::string_view name, bool expanded, const TVLNodeData& data,
               bool selected) {
    xml.StartElement("node");
    xml.AddAttribute("name", EscapeNodeName(name));
    xml.AddAttribute("expanded", expanded ? "yes" : "no");
    xml.AddAttribute("selstart", std::to_string(data.SelStart));
    xml.AddAttribute("sellength", std::to_string(data.SelLength));
    if (selected) xml.AddAttribute("selected", "yes");
    xml.StartElement("text");
    xml.AddText(data.Text());
    xml.EndElement();
}

void StartNode(TNanXMLStreamWriter& xml, const TreeNode& node, const TreeNode* selected) {
    StartNode(xml, node.Name(), node.Expanded(), node.Data(), &node == selected);
}

void StartDocument(TNanXMLStreamWriter& xml, const std::tm& modified) {
    xml.StartElement("velmora");
    xml.StartElement("file");
    xml.AddAttribute("version", "2");
    xml.AddAttribute("modified", FormatModifiedStamp(modified));
    xml.EndElement();
}

// A node element for node and, nested in it, one for each descendant in tree order. Walked
// with a work list so that any depth can be written.
void WriteNode(TNanXMLStreamWriter& xml, const TreeNode& node, const TreeNode* selected) {
    struct Frame {
        const TreeNode* node;
        std::size_t nextChild;
    };
    StartNode(xml, node, selected);
    std::vector<Frame> open{{&node, 0}};
    while (!open.empty()) {
        Frame& frame = open.back();
        if (frame.nextChild == frame.node->ChildCount()) {
            xml.EndElement();
            open.pop_back();
            continue;
        }
        const TreeNode* child = frame.node->Child(frame.nextChild++);
        StartNode(xml, *child, selected);
        open.push_back({child, 0});
    }
}

// The whole document, up to the commit: what is left is the caller's choice.
void WriteMarkup(TNanXMLStreamWriter& xml, const DocumentTree& tree, const TreeNode* selected, const std::tm& modified) {
    StartDocument(xml, modified);
    WriteNode(xml, tree.Root(), selected);
    xml.EndElement();
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
    TNanXMLStreamWriter xml(path, encoding, true);
    WriteMarkup(xml, tree, selected, modified);
    xml.Commit();
}

std::size_t WriteDocumentLosslessly(const std::string& path, const DocumentTree& tree, const TreeNode* selected,
                                    TDocumentEncoding encoding, const std::tm& modified) {
    TNanXMLStreamWriter xml(path, encoding, true);
    WriteMarkup(xml, tree, selected, modified);
    xml.Finish();
    // Counted while encoding rather than in a walk of its own; the writer's temporary file
    // goes with it.
    if (const std::size_t lost = xml.Unmappable()) return lost;
    xml.Commit();
    return 0;
}

DocumentSnapshot TakeSnapshot(const DocumentTree& tree, const TreeNode* selected) {
    DocumentSnapshot snapshot;
    snapshot.nodes.reserve(tree.NodeCount());
    std::vector<std::pair<const TreeNode*, std::size_t>> pending{{&tree.Root(), 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        snapshot.nodes.push_back({depth, node->Name(), node->Expanded(), node == selected, node->Data()});
        for (std::size_t i = node->ChildCount(); i-- > 0;) pending.emplace_back(node->Child(i), depth + 1);
    }
    return snapshot;
}

void WriteSnapshot(const std::string& path, const DocumentSnapshot& snapshot, TDocumentEncoding encoding,
                   const std::tm& modified) {
    TNanXMLStreamWriter xml(path, encoding, true);
    StartDocument(xml, modified);
    std::size_t open = 0;  // node elements open, the last one at depth open - 1
    for (const DocumentSnapshot::Node& node : snapshot.nodes) {
        for (; open > node.depth; --open) xml.EndElement();
        StartNode(xml, node.name, node.expanded, node.data, node.selected);
        ++open;
    }
    for (; open > 0; --open) xml.EndElement();
    xml.EndElement();
    xml.Commit();
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

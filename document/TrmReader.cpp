// Reading a trm file, version 2 or the older version 1.
#include "document/NodeNameEscaping.h"
#include "document/TreeRules.h"
#include "document/TrmFormat.h"
#include "document/TrmStreamReader.h"
#include "platform/released_pages.h"
#include "xml/file_text.h"

#include <algorithm>
#include <vector>

namespace document {

using nanxml::TNanXML;
using nanxml::TNanXMLElement;
using nanxml::TNanXMLNode;

namespace {

enum class Version { one, two };

bool IsNodeElement(const TNanXMLNode& node) {
    const TNanXMLElement* element = node.AsElement();
    return element && element->Name() == "node";
}

// The character content of an element (its GetText) in a string allocated once at about its
// final size, so that a large text does not keep the spare capacity of a growing string.
// A text without markup is one text node, whose string is taken over rather than copied.
std::string ContentOf(TNanXMLElement& element) {
    if (element.ChildCount() == 1) {
        if (auto* text = dynamic_cast<nanxml::TNanXMLText*>(element.GetChild(0))) return text->TakeText();
    }
    std::size_t length = 0;
    for (const auto& child : element.Children()) length += child->XMLLength();
    std::string content;
    content.reserve(length);
    for (const auto& child : element.Children()) child->AppendText(content);
    return content;
}

// SelStart and SelLength only from attributes holding an integer; the text only from a text
// element (the first one). The text element is released once its text is taken over.
void LoadFromXml(TVLNodeData& data, TNanXMLElement& element) {
    data.SelStart = nanxml::GetIntAttribute(&element, "selstart", data.SelStart);
    data.SelLength = nanxml::GetIntAttribute(&element, "sellength", data.SelLength);
    if (TNanXMLElement* text = element.FindElement("text")) {
        data.SetText(ContentOf(*text));
        text->Detach();
    }
}

void ReadNode(TreeNode& node, TNanXMLElement& element) {
    node.SetName(UnescapeNodeName(element.GetAttribute("name")));
    LoadFromXml(node.Data(), element);
}

bool IsExpandedIn(const TNanXMLElement& element) { return element.GetAttribute("expanded") == "yes"; }

// Builds the children of node from the node elements among element's children, depth first
// in document order, with a work list instead of recursion. For version 2 it also takes the
// selected mark (the last one in document order wins) and, once a node's children are in
// place, its expanded state; the element's children are then released.
void ReadChildNodes(DocumentTree& tree, TNanXMLElement& element, TreeNode& node, Version version,
                    TreeNode*& toSelect) {
    struct Frame {
        TNanXMLElement* element;
        TreeNode* node;
        int nextChild;
    };
    std::vector<Frame> pending{{&element, &node, 0}};
    while (!pending.empty()) {
        Frame& frame = pending.back();
        TNanXMLElement* childElement = nullptr;
        while (frame.nextChild < frame.element->ChildCount() && !childElement) {
            TNanXMLNode* child = frame.element->GetChild(frame.nextChild++);
            if (IsNodeElement(*child)) childElement = child->AsElement();
        }
        if (!childElement) {
            if (version == Version::two) {
                if (frame.node != &node) frame.node->SetExpanded(IsExpandedIn(*frame.element));
                // Read in full: its XML is freed now, while the tree is built, so the memory is
                // reused at once rather than all torn down at the end.
                frame.element->ClearChildren();
            }
            pending.pop_back();
            continue;
        }
        TreeNode& child = tree.AppendNode(*frame.node, "");
        ReadNode(child, *childElement);
        if (version == Version::two) {
            std::string selected;
            if (childElement->FindAttribute("selected", selected) && !selected.empty()) toSelect = &child;
        }
        pending.push_back({childElement, &child, 0});
    }
}

TreeNode* LoadVersion2(DocumentTree& tree, TNanXMLElement& velmora) {
    TreeNode* toSelect = &tree.Root();
    TNanXMLElement* rootElement = velmora.FindElement("node");
    if (!rootElement) return toSelect;
    ReadNode(tree.Root(), *rootElement);
    ReadChildNodes(tree, *rootElement, tree.Root(), Version::two, toSelect);
    tree.Root().SetExpanded(IsExpandedIn(*rootElement));
    return toSelect;
}

// The child element number index among element's node elements, or null.
TNanXMLElement* NthNodeElement(const TNanXMLElement& element, int index) {
    for (const auto& child : element.Children()) {
        if (IsNodeElement(*child) && index-- == 0) return child->AsElement();
    }
    return nullptr;
}

TreeNode* LoadVersion1(DocumentTree& tree, TNanXML& xml) {
    TNanXMLElement* rootElement = xml.Root().FindElement("node");
    if (!rootElement) return &tree.Root();
    ReadNode(tree.Root(), *rootElement);
    TreeNode* unused = nullptr;
    ReadChildNodes(tree, *rootElement, tree.Root(), Version::one, unused);
    ExpandAll(tree.Root());

    // Follow activenodeindex from the root as long as it names an existing child.
    TreeNode* current = &tree.Root();
    const TNanXMLElement* currentElement = rootElement;
    int k = nanxml::GetIntAttribute(currentElement, "activenodeindex", -1);
    while (k >= 0 && static_cast<std::size_t>(k) < current->ChildCount()) {
        current = current->Child(static_cast<std::size_t>(k));
        currentElement = NthNodeElement(*currentElement, k);
        k = nanxml::GetIntAttribute(currentElement, "activenodeindex", -1);
    }
    return current;
}

std::size_t CountNodeElements(const TNanXMLElement& element) {
    return static_cast<std::size_t>(std::count_if(element.Children().begin(), element.Children().end(),
                                                  [](const auto& child) { return IsNodeElement(*child); }));
}

// Nothing but white space (and perhaps a declaration): a file made first and opened later.
bool IsBlank(const TNanXML& xml) {
    for (const auto& child : xml.Root().Children()) {
        const auto* text = dynamic_cast<const nanxml::TNanXMLText*>(child.get());
        if (!text) return false;
        for (const char c : text->Text())
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    }
    return true;
}

}  // namespace

NotADocumentError::NotADocumentError(std::string_view path)
    : std::runtime_error("ファイル " + std::string(path) + " はツリーメモの文書ではありません") {}

OpenedDocument LoadDocument(TNanXML& xml, std::string_view path) {
    OpenedDocument doc;
    doc.encoding = xml.Encoding();
    if (TNanXMLElement* velmora = xml.Root().FindElement("velmora")) {
        doc.endsEarly = xml.UnclosedElement() == velmora;
        if (const std::size_t nodes = CountNodeElements(*velmora); nodes > 1) doc.unreadTopNodes = nodes - 1;
        doc.selected = LoadVersion2(doc.tree, *velmora);
    } else if (TNanXMLElement* rootElement = xml.Root().FindElement("node")) {
        doc.endsEarly = xml.UnclosedElement() == rootElement;
        doc.selected = LoadVersion1(doc.tree, xml);
    } else if (IsBlank(xml)) {
        doc.selected = &doc.tree.Root();
    } else {
        // Opening it as an empty document would let the next save overwrite what it holds.
        throw NotADocumentError(path);
    }
    ExpandAncestors(*doc.selected);
    return doc;
}

OpenedDocument OpenDocument(const std::string& path) {
    {
        nanxml::TNanXMLFileText text(path);
        text.CheckUtf8();
        const TDocumentEncoding encoding = text.Declared().value_or(TDocumentEncoding::deShiftJIS);
        platform::PassedPages pages(text.Buffer());
        if (std::optional<OpenedDocument> doc = ReadUsualDocument(text.Body(), text.Cp932(), encoding, &pages)) {
            ExpandAncestors(*doc->selected);
            return std::move(*doc);
        }
    }
    // Not of the usual shape (rare: an old version, a file another program made or cut
    // short). The reader gave back the pages it passed, so the XML loader reads the file anew.
    TNanXML xml;
    xml.LoadFromFile(path);
    return LoadDocument(xml, path);
}

std::vector<std::string> OpenWarnings(const OpenedDocument& doc, std::string_view path) {
    std::vector<std::string> warnings;
    const std::string file = "ファイル " + std::string(path);
    if (doc.endsEarly)
        warnings.push_back(file + " は途中で終わっています。文書の一部が欠けているおそれがあります。");
    if (doc.unreadTopNodes > 0)
        warnings.push_back(file + " には最上位のノードがほかに " + std::to_string(doc.unreadTopNodes) +
                           " 個ありますが、読み込んでいません。保存すると、それらのノードは失われます。");
    return warnings;
}

}  // namespace document

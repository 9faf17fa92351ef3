#include "fuzz/harnesses.h"

#include "xml/nanxml.h"
#include "xml/tree_walk.h"

#include <algorithm>
#include <string>
#include <vector>

namespace fuzz {

namespace {

// The tree as a flat list of entries in document order, so that trees of any depth compare
// without recursion. Adjacent text nodes count as one: written out, they are one text.
std::vector<std::string> Flatten(const nanxml::TNanXMLParentNode& root)
{
    std::vector<std::string> entries;
    const auto add = [&entries](char kind, std::string value) {
        if (kind == 'T' && !entries.empty() && entries.back().front() == 'T') {
            entries.back() += value;
            return;
        }
        entries.push_back(kind + std::move(value));
    };
    nanxml::WalkBelow(
        root,
        [&](const nanxml::TNanXMLParentNode& parent) {
            // The start tag holds the name and the attributes as they stand.
            const nanxml::TNanXMLElement* element = parent.AsElement();
            std::string tag = element != nullptr ? element->GetStartTag() : std::string();
            add('<', std::move(tag));
        },
        [&](const nanxml::TNanXMLParentNode&) { add('>', {}); },
        [&](const nanxml::TNanXMLNode& leaf) {
            if (const auto* text = dynamic_cast<const nanxml::TNanXMLText*>(&leaf)) {
                add('T', std::string(text->Text()));
            } else if (const auto* cdata = dynamic_cast<const nanxml::TNanXMLCDATA*>(&leaf)) {
                add('D', std::string(cdata->Text()));
            } else if (const auto* comment = dynamic_cast<const nanxml::TNanXMLComment*>(&leaf)) {
                add('!', std::string(comment->Text()));
            } else if (const auto* instruction = dynamic_cast<const nanxml::TNanXMLProcessingInstruction*>(&leaf)) {
                add('?', std::string(instruction->Target()) + '\x01' + std::string(instruction->Data()));
            } else if (const auto* entity = dynamic_cast<const nanxml::TNanXMLEntityReference*>(&leaf)) {
                add('&', std::string(entity->Name()));
            } else {
                Fail("a node of unknown kind");
            }
        });
    return entries;
}

// The tolerant reader accepts markup that the writer, which escapes nothing, cannot write
// back unambiguously: a "<" or "&" that opens no complete token stays text, and written next
// to later markup may open one after all; a tag like "< </a>" gives an element named "/a",
// whose start tag then reads as an end tag (likewise names that begin an instruction, a
// comment or a CDATA section), and "<a/ >" one named "a/", whose start tag then reads as an
// empty-element tag. Such a tree cannot be expected to read back the same.
bool WrittenAmbiguously(const nanxml::TNanXMLParentNode& root)
{
    bool ambiguous = false;
    nanxml::WalkBelow(
        root,
        [&ambiguous](const nanxml::TNanXMLParentNode& parent) {
            const nanxml::TNanXMLElement* element = parent.AsElement();
            if (element == nullptr) return;
            const std::string& name = element->Name();
            for (const std::string_view opening : {"/", "?", "!--", "![CDATA["})
                if (name.starts_with(opening)) ambiguous = true;
            if (name.ends_with('/')) ambiguous = true;
        },
        [](const nanxml::TNanXMLParentNode&) {},
        [&ambiguous](const nanxml::TNanXMLNode& leaf) {
            const auto* text = dynamic_cast<const nanxml::TNanXMLText*>(&leaf);
            if (text != nullptr && text->Text().find_first_of("<&") != std::string::npos) ambiguous = true;
        });
    return ambiguous;
}

// What a UTF-8 save writes: the declaration, then the markup without NUL characters.
std::string WrittenAsUtf8(const nanxml::TNanXML& xml)
{
    std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + xml.Root().GetInnerXML();
    file.erase(std::remove(file.begin(), file.end(), '\0'), file.end());
    return file;
}

}  // namespace

void FuzzNanXml(std::string_view input)
{
    nanxml::TNanXML first;
    try {
        first.LoadFromString(input);
    } catch (const std::runtime_error&) {
        return;  // a refusal is a fine answer to bad bytes
    }
    if (WrittenAmbiguously(first.Root())) return;
    const std::string written = WrittenAsUtf8(first);
    nanxml::TNanXML second;
    try {
        second.LoadFromString(written);
    } catch (const std::runtime_error& error) {
        Fail(std::string("what was written cannot be read again: ") + error.what());
    }
    if (second.Encoding() != nanxml::deUTF8) Fail("the declaration written was not taken");
    if (Flatten(first.Root()) != Flatten(second.Root())) Fail("parse, write, parse gives another tree");
}

}  // namespace fuzz

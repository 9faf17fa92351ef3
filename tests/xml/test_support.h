// Helpers shared by the nanxml tests: a temporary folder, whole-file access and a compact
// picture of a node tree.
#pragma once

#include "tests/support/temp_folder.h"
#include "xml/nanxml.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace nanxml_test {

using test_support::TempFolder;

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The tree below a parent: elements as name(attr=value,...)[children], text as 'text',
// entity references as &name;, other nodes as their markup.
inline std::string Tree(const nanxml::TNanXMLParentNode& parent)
{
    std::string out;
    for (const auto& child : parent.Children()) {
        if (const auto* element = child->AsElement()) {
            out += element->Name();
            if (element->AttributeCount() > 0) {
                out += "(";
                for (int i = 0; i < element->AttributeCount(); ++i) {
                    if (i > 0) out += ",";
                    out += std::string(element->Attributes()[i].Name()) + "=";
                    out += element->Attributes()[i].Value();
                }
                out += ")";
            }
            out += '[';
            out += Tree(*element);
            out += ']';
        } else if (const auto* text = dynamic_cast<const nanxml::TNanXMLText*>(child.get())) {
            out += "'" + text->Text() + "'";
        } else {
            out += child->GetXML();
        }
    }
    return out;
}

}  // namespace nanxml_test

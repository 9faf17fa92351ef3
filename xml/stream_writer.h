// Writing a document file element by element, without building its tree: for a program
// that holds its data in a tree of its own and would otherwise copy all of it into nanxml
// nodes first. The bytes are those that building the same tree with AddElement,
// AddAttribute and AddText and saving it with TNanXML::SaveToFile would give.
#pragma once

#include "xml/nanxml.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nanxml {

class TMarkupFile;

class TNanXMLStreamWriter {
public:
    // Starts the file beside FileName (platform::FileError when it cannot be), with the
    // declaration for Encoding when asked. FileName is replaced only by Commit; a writer
    // destroyed without it leaves the file as it was.
    TNanXMLStreamWriter(const std::string& FileName, TDocumentEncoding Encoding, bool WithDeclaration);
    ~TNanXMLStreamWriter();
    TNanXMLStreamWriter(const TNanXMLStreamWriter&) = delete;
    TNanXMLStreamWriter& operator=(const TNanXMLStreamWriter&) = delete;

    // A child element of the element open now (at the top level when none is); it stays
    // open until EndElement. Refuses the names AddElement refuses.
    void StartElement(std::string_view Name);
    // An attribute of the element just started, before anything is written inside it
    // (std::logic_error otherwise). Refuses what TNanXMLElement::AddAttribute refuses.
    void AddAttribute(std::string_view Name, std::string_view Value);
    // Text inside the open element, as TNanXMLParentNode::AddText adds it.
    void AddText(std::string_view Text);
    // Closes the element open now (std::logic_error when none is): an element with nothing
    // inside is written "<name .../>".
    void EndElement();

    // Closes the elements still open and writes the rest; nothing may be added after it
    // (std::logic_error).
    void Finish();
    // Finishes when that is not done yet, and puts the file in place of the old one.
    void Commit();
    // How many characters have been written as "?" so far (in Shift_JIS, those it cannot
    // hold); after Finish, in the whole file.
    std::size_t Unmappable() const;

private:
    void CheckNotFinished() const;
    void CloseStartTag();

    std::unique_ptr<TMarkupFile> file_;
    std::vector<std::string> open_;  // names of the open elements, innermost last
    bool startTagOpen_ = false;      // the last start tag still lacks its ">"
    bool finished_ = false;
};

}  // namespace nanxml

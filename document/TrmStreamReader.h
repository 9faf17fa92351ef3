// Reading the usual shape of a version-2 trm file straight into the tree, without building
// the XML node tree first: what WriteDocument writes, and files like it.
//
// The text is cut into the tokens the XML loader cuts it into. Whatever this reader does not
// expect where it stands (a comment, an instruction, an element other than velmora, file,
// node and text, a second text element or top-level node, an end tag that would close more
// than the innermost element, a file cut short, ...) makes it give up, and the caller reads
// the file through the node tree, whose rules decide every case. What it does read, it reads
// as LoadDocument would.
#pragma once

#include "document/TrmFormat.h"
#include "platform/released_pages.h"

#include <optional>
#include <string_view>

namespace document {

// The document in body, the text of a file after its declaration (UTF-8, or CP932 bytes
// when cp932) as nanxml::TNanXMLFileText gives it, every line break CR LF; none when body
// is not of the usual shape. The selected node's ancestors are
// not expanded yet.
// With pages, body lies in a buffer whose pages are given back as they are passed, so that
// the file and the tree are not both held whole: once it gave up, the buffer is no longer
// the file's text.
std::optional<OpenedDocument> ReadUsualDocument(std::string_view body, bool cp932, TDocumentEncoding encoding,
                                                platform::PassedPages* pages = nullptr);

}  // namespace document

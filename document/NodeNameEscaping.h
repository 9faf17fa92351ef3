// How a node's name is kept intact in the name attribute of a document file.
//
// The XML layer neither escapes nor unescapes attribute values, so a name holding "<" or a
// double quote could not be saved, and one holding ">" was cut when read back. Those three are
// written as the references &lt; &gt; &quot;, and "&" as &amp; only where it would otherwise
// be read as one of these four references. Every other name is written byte for byte as
// before, so files stay readable by older readers.
#pragma once

#include <string>
#include <string_view>

namespace document {

std::string EscapeNodeName(std::string_view name);
// Decodes exactly the four references &lt; &gt; &quot; &amp;; everything else stays.
std::string UnescapeNodeName(std::string_view value);

}  // namespace document

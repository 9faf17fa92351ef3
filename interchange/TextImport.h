// Turning the bytes of an imported text file into the text that is inserted into a node.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace interchange {

// The file's bytes as UTF-8 text. NUL bytes are dropped first. A file that starts with the
// UTF-8 byte-order mark (dropped) or is valid UTF-8 is UTF-8; anything else comes from the
// Windows world and is decoded as CP932. Malformed sequences become U+FFFD.
std::string DecodeImportedText(std::string_view fileBytes);

// Splits at CR LF, a lone CR and a lone LF (LF CR is two breaks). A final line without a
// break still counts; nothing follows the last break.
std::vector<std::string> SplitImportedLines(std::string_view text);

// The text inserted at the caret: the decoded lines, each followed by CR LF. Empty for an
// empty file or one of NULs only.
std::string MakeImportText(std::string_view fileBytes);

}  // namespace interchange

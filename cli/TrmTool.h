// The command-line companion: converts and describes document files without a window.
//
//   trmtool convert IN OUT [--encoding sjis|utf8]
//   trmtool info IN
#pragma once

#include "document/TrmFormat.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

using document::OpenedDocument;
using document::TDocumentEncoding;

class TrmTool {
public:
    // Runs one command (args without the program name). Returns the exit status: 0 on
    // success, 1 when a file cannot be read or written or holds no document (the message on
    // err, OUT untouched), 2 for a command line it does not understand. A document cut short
    // or with nodes that were not read is used, and err says so. Whether out took what was written is
    // for its owner to check (trmtool checks its standard output to the end).
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

private:
    const OpenedDocument& Open(const std::string& in, std::ostream& err);
    int Info(const std::string& in, std::ostream& out, std::ostream& err);
    int Convert(const std::string& in, const std::string& outPath, std::optional<TDocumentEncoding> encoding,
                std::ostream& err);

    // The document read stays here until the tool is destroyed: a process that ends right
    // after need not tear a large tree down node by node.
    std::optional<OpenedDocument> document_;
};

}  // namespace cli

// The command-line companion: converts and describes document files without a window.
//
//   trmtool convert IN OUT [--encoding sjis|utf8]
//   trmtool info IN
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace document {

// Runs one command (args without the program name). Returns the exit status: 0 on success,
// 1 when a file cannot be read or written (the message on err, OUT untouched), 2 for a
// command line it does not understand.
int RunTrmTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace document

// trmtool's export command: writes the text or HTML outline of a document's whole tree.
//
//   trmtool export --text|--html IN [OUT]
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// Runs the command (args start with "export"). Writes to OUT by safe replace (UTF-8, CR LF
// after every line), or to out when OUT is missing. Returns 0 on success, 1 when IN cannot
// be read or OUT not written (the message on err), 2 for a command line it does not understand.
// A failed write to out also returns 1, but its message is left to the owner of out, which
// alone knows the reason (trmtool checks its standard output to the end).
int RunExportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace cli

// trmtool: the document core without a window, for scripts and benchmarks.
#include "app/TrmTool.h"
#include "interchange/ExportCommand.h"

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "export") return interchange::RunExportCommand(args, std::cout, std::cerr);
    return document::RunTrmTool(args, std::cout, std::cerr);
}

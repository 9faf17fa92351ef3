// trmtool: the document core without a window, for scripts and benchmarks.
#include "app/TrmTool.h"
#include "interchange/ExportCommand.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "export") return interchange::RunExportCommand(args, std::cout, std::cerr);
    // Never destroyed: the process ends at once and the system takes the memory back whole,
    // instead of a large tree being torn down node by node.
    auto* tool = new document::TrmTool;
    const int status = tool->Run(args, std::cout, std::cerr);
    std::cout.flush();
    std::cerr.flush();
    std::_Exit(status);
}

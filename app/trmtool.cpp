// trmtool: the document core without a window, for scripts and benchmarks.
#include "app/TrmTool.h"

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    return document::RunTrmTool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}

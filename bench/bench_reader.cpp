// trmtool convert against pugixml's load and save of the same file, each as a whole process,
// side by side in one run: per node (a 300,000-node outline of short nodes) and per byte (the
// 100 MB, 100,000-node benchmark document). pugixml is a reference for timing only: it is
// linked into this benchmark, never into the program.
//
// Nothing read may be lost: trmtool's output is read back (trmtool info) and pugixml counts
// what it read; both must hold the generated tree's node count and text size.
//
// Prints one line a result: name <TAB> value <TAB> unit <TAB> goal (same unit, "-" for none).
//   bench_reader                       the table
//   bench_reader --pugixml IN OUT      the reference: load IN, save OUT
//   bench_reader --pugixml-check IN OUT    the same, then print what it read
#include "bench/large_document.h"
#include "document/TrmFormat.h"
#include "bench/tabbed_row.h"
#include "bench/child_process.h"
#include "bench/tree_contents.h"

#include <pugixml.hpp>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace document;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

// 300,000 nodes of a short name and a line of text under one root, as an outline: each new
// node goes below, beside or (up a level or two) after the one before, at most 12 levels deep.
DocumentTree GenerateOutline() {
    constexpr std::size_t kNodes = 300000;
    constexpr std::size_t kMostLevels = 12;
    std::mt19937 rng(2026);
    std::uniform_int_distribution<int> step(0, 9);
    DocumentTree tree("outline");
    tree.Root().Data().SetText("root\r\n");
    std::vector<TreeNode*> path{&tree.Root()};  // the root and the ancestors of the next node
    for (std::size_t i = 1; i < kNodes; ++i) {
        // Appended rather than "n" + to_string(i): GCC 12 warns falsely of an overlap there.
        std::string name = "n";
        name += std::to_string(i);
        TreeNode& node = tree.AppendNode(*path.back(), std::move(name));
        node.Data().SetText("t " + std::to_string(i) + "\r\n");
        node.Data().SelStart = static_cast<std::int32_t>(i % 7);
        node.SetExpanded(i % 3 == 0);
        const int s = step(rng);
        if (s < 5 && path.size() < kMostLevels) path.push_back(&node);  // the next one goes below
        else if (s >= 8 && path.size() > 1) path.pop_back();              // or after the parent
        if (path.back()->ChildCount() > 0) path.back()->SetExpanded(i % 2 == 0);
    }
    return tree;
}

// The best wall and the best CPU time of a few runs: the machine is shared, and a run that
// was preempted says nothing about the code.
struct Best {
    double seconds = 1e30;
    double cpuSeconds = 1e30;
    void Take(const ChildRun& run) {
        seconds = std::min(seconds, run.seconds);
        cpuSeconds = std::min(cpuSeconds, run.cpuSeconds);
    }
};

void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_reader: %s\n", what.c_str());
    std::exit(1);
}

// A whole process that must succeed.
ChildRun RunProcess(const std::string& program, const std::vector<std::string>& args) {
    ChildRun run = RunChild(program, args);
    if (!run.ok) {
        std::fprintf(stderr, "bench_reader: %s failed\n", program.c_str());
        std::exit(1);
    }
    return run;
}

// The value after "key: " in trmtool info's output.
std::size_t InfoValue(const std::string& output, const std::string& key) {
    const std::size_t at = output.find(key + ": ");
    if (at == std::string::npos) Fail("trmtool info printed no " + key);
    return std::strtoull(output.c_str() + at + key.size() + 2, nullptr, 10);
}

void CheckTrmtool(const std::string& out, const TreeContents& expected, const std::string& what) {
    const std::string info = RunProcess(TRMTOOL_PATH, {"info", out}).output;
    if (InfoValue(info, "nodes") != expected.nodes || InfoValue(info, "text bytes") != expected.textBytes)
        Fail("trmtool convert lost part of " + what + ": " + info);
}

// pugixml reads each CR LF of the texts as one LF.
void CheckPugixml(const std::string& output, const TreeContents& expected, const std::string& what) {
    std::size_t nodes = 0, textBytes = 0;
    if (std::sscanf(output.c_str(), "%zu %zu", &nodes, &textBytes) != 2 || nodes != expected.nodes ||
        textBytes != expected.textBytes - expected.lineBreaks)
        Fail("pugixml lost part of " + what + ": " + output);
}

// Times trmtool convert and pugixml in turn on the file written from tree; the ratios are
// the goal's.
void Compare(const std::string& self, const std::string& what, const DocumentTree& tree, const std::string& folder,
             double goal) {
    const std::string in = folder + "/in.trm";
    const std::string out = folder + "/out.trm";
    const std::string reference = folder + "/pugixml.xml";
    WriteDocument(in, tree, &tree.Root(), TDocumentEncoding::deUTF8);
    const TreeContents expected = ContentsOf(tree);
    Best trmtool, pugixml;
    for (int run = 0; run < 5; ++run) {
        trmtool.Take(RunProcess(TRMTOOL_PATH, {"convert", in, out}));
        pugixml.Take(RunProcess(self, {"--pugixml", in, reference}));
    }
    CheckTrmtool(out, expected, what);
    CheckPugixml(RunProcess(self, {"--pugixml-check", in, reference}).output, expected, what);
    const double megabytes = static_cast<double>(fs::file_size(in)) / 1048576.0;
    const std::string label = what + " (" + std::to_string(expected.nodes) + " nodes, " +
                              std::to_string(static_cast<int>(megabytes + 0.5)) + " MiB)";
    Report("trmtool convert, " + label + ", whole process", trmtool.seconds * 1000, "ms", 0);
    Report("trmtool convert, " + label + ", cpu", trmtool.cpuSeconds * 1000, "ms", 0);
    Report("pugixml load + save, " + label + ", whole process", pugixml.seconds * 1000, "ms", 0);
    Report("pugixml load + save, " + label + ", cpu", pugixml.cpuSeconds * 1000, "ms", 0);
    Report("trmtool convert / pugixml, " + what + ", whole process", trmtool.seconds / pugixml.seconds, "x", goal);
    Report("trmtool convert / pugixml, " + what + ", cpu", trmtool.cpuSeconds / pugixml.cpuSeconds, "x", goal);
}

// The node elements below top and the bytes of their text elements' text.
void Count(const pugi::xml_node& top, std::size_t& nodes, std::size_t& textBytes) {
    for (pugi::xml_node node = top.first_child(); node; node = node.next_sibling()) {
        if (std::strcmp(node.name(), "node") != 0) continue;
        ++nodes;
        for (const pugi::xml_node piece : node.child("text").children()) textBytes += std::strlen(piece.value());
        Count(node, nodes, textBytes);
    }
}

// The reference: pugixml's load and save, as plain as it comes (a text of white space alone
// is kept, as the document keeps it); with check, then what it read.
int Pugixml(const char* in, const char* out, bool check) {
    pugi::xml_document xml;
    if (!xml.load_file(in, pugi::parse_default | pugi::parse_ws_pcdata)) return 1;
    if (!xml.save_file(out, "", pugi::format_raw)) return 1;
    if (check) {
        std::size_t nodes = 0, textBytes = 0;
        Count(xml.child("velmora"), nodes, textBytes);
        std::printf("%zu %zu\n", nodes, textBytes);
        std::fflush(stdout);
    }
    std::_Exit(0);  // as trmtool does: the tree is not torn down at exit
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--pugixml") return Pugixml(argv[2], argv[3], false);
    if (argc == 4 && std::string(argv[1]) == "--pugixml-check") return Pugixml(argv[2], argv[3], true);
    char pattern[] = "/tmp/velmora-bench-reader-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string folder = pattern;
    Compare("/proc/self/exe", "per node: outline of short nodes", GenerateOutline(), folder, 2.0);
    Compare("/proc/self/exe", "per byte: 100 MB document",
            benchdoc::GenerateTree(benchdoc::kNodes, benchdoc::kTextBytes), folder, 1.5);
    fs::remove_all(folder);
    return 0;
}

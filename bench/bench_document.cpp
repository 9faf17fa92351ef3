// Opening and saving large documents, trmtool convert as a whole process, and the tree walks
// and moves of a large tree. A plain timed driver that prints one table.
//
// Opening and converting run as processes of their own so that their peak memory is their own.
#include "document/TreeRules.h"
#include "document/TrmFormat.h"
#include "bench/large_document.h"
#include "bench/tree_shapes.h"
#include "bench/child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace document;
using nanxml::TDocumentEncoding;
using Clock = std::chrono::steady_clock;

namespace {

using benchdoc::GenerateTree;
using benchdoc::kNodes;
using benchdoc::kTextBytes;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Wall time, and the CPU time (user and system) of the same work: on a machine shared with
// other jobs the CPU time is the steadier of the two. Waiting for the disk counts only in the
// wall time.
struct Measure {
    double seconds = -1;
    double cpuSeconds = -1;
    long peakKiB = 0;
};

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Runs a program as a process of its own, so that its peak resident size is its own and not
// the generated tree's. Returns the wall time and peak size; with timeOut, the time the
// program printed instead (its own work without start-up: wall and CPU seconds).
Measure RunProcess(const std::string& program, const std::vector<std::string>& args, bool timeOut) {
    const ChildRun run = RunChild(program, args);
    Measure m;
    if (run.ok) {
        m.seconds = run.seconds;
        m.cpuSeconds = run.cpuSeconds;
        if (timeOut) std::sscanf(run.output.c_str(), "%lf %lf", &m.seconds, &m.cpuSeconds);
    }
    m.peakKiB = run.peakKiB;
    return m;
}

// The child side of the open measurement: open the file, print the seconds it took.
int OpenAndReport(const std::string& path) {
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    const OpenedDocument doc = OpenDocument(path);
    std::printf("%f %f\n", SecondsSince(start), ProcessCpuSeconds() - cpuStart);
    std::fflush(stdout);
    std::_Exit(doc.tree.NodeCount() == kNodes ? 0 : 1);  // the tree is not torn down at exit
}

void Row(const char* what, const Measure& m, double goal, std::uintmax_t fileBytes = 0) {
    std::printf("%-42s %7.3f s  cpu %7.3f s  goal %5.2f s", what, m.seconds, m.cpuSeconds, goal);
    const long peakKiB = m.peakKiB;
    if (peakKiB) {
        std::printf("  peak %6.0f MiB = %.2f x file", peakKiB / 1024.0, peakKiB * 1024.0 / static_cast<double>(fileBytes));
    }
    std::printf("%s\n", m.seconds < 0 || m.seconds > goal ? "  MISSED" : "");
}

// The median of count runs of op, in seconds; the slowest run goes to slowest. The median is
// what is compared with the goal: a single run may have been preempted by other processes.
double Median(int count, const std::function<void()>& op, double& slowest) {
    std::vector<double> runs;
    for (int i = 0; i < count; ++i) {
        const Clock::time_point start = Clock::now();
        op();
        runs.push_back(SecondsSince(start));
    }
    std::sort(runs.begin(), runs.end());
    slowest = runs.back();
    return runs[runs.size() / 2];
}

void OperationRow(const char* what, int count, const std::function<void()>& op) {
    double slowest = 0;
    const double median = Median(count, op, slowest);
    std::printf("%-44s %9.6f s  goal %5.3f s  slowest of %d: %.6f s%s\n", what, median, 0.001, count, slowest,
                median > 0.001 ? "  MISSED" : "");
}

// The best of a few runs: the machine is shared, and a run that was preempted says nothing
// about the code.
constexpr int kRuns = 3;

Measure Best(const std::function<Measure()>& run) {
    Measure best;
    for (int i = 0; i < kRuns; ++i) {
        const Measure m = run();
        if (m.seconds < 0) return m;
        if (best.seconds < 0 || m.seconds < best.seconds) best.seconds = m.seconds;
        if (best.cpuSeconds < 0 || m.cpuSeconds < best.cpuSeconds) best.cpuSeconds = m.cpuSeconds;
        best.peakKiB = std::max(best.peakKiB, m.peakKiB);
    }
    return best;
}

void BenchFiles(const std::string& self, const std::string& folder) {
    const Clock::time_point generated = Clock::now();
    const DocumentTree tree = GenerateTree(kNodes, kTextBytes);
    std::printf("generated %zu nodes in %.2f s; best of %d runs each\n\n", tree.NodeCount(), SecondsSince(generated),
                kRuns);

    for (TDocumentEncoding encoding : {TDocumentEncoding::deUTF8, TDocumentEncoding::deShiftJIS}) {
        const bool sjis = encoding == TDocumentEncoding::deShiftJIS;
        const std::string path = folder + (sjis ? "/sjis.trm" : "/utf8.trm");
        const std::string label = sjis ? " (Shift_JIS)" : " (UTF-8)";
        const Measure save = Best([&] {
            const Clock::time_point start = Clock::now();
            const double cpuStart = ProcessCpuSeconds();
            WriteDocument(path, tree, &tree.Root(), encoding);
            return Measure{SecondsSince(start), ProcessCpuSeconds() - cpuStart, 0};
        });
        const std::uintmax_t size = std::filesystem::file_size(path);
        std::printf("file%s: %.1f MiB\n", label.c_str(), size / 1048576.0);
        Row(("save" + label).c_str(), save, 0.5);
        const Measure open = Best([&] { return RunProcess(self, {"--open", path}, true); });
        Row(("open" + label).c_str(), open, 0.7, size);
        const Measure convert =
            Best([&] { return RunProcess(TRMTOOL_PATH, {"convert", path, folder + "/out.trm"}, false); });
        Row(("trmtool convert, whole process" + label).c_str(), convert, 1.2, size);
        std::printf("\n");
    }
}

void BenchTreeOperations() {
    // The worst cases of walking and moving: a chain 100,000 levels deep and a fan of 100,000
    // siblings.
    DocumentTree deep;
    TreeNode& chainTop = deep.AppendNode(deep.Root(), "a");
    TreeNode& sibling = deep.AppendNode(deep.Root(), "b");
    TreeNode* deepest = &chainTop;
    for (std::size_t i = 3; i < kNodes; ++i) deepest = &deep.AppendNode(*deepest, "d");
    DocumentTree wide;
    for (std::size_t i = 1; i < kNodes; ++i) wide.AppendNode(wide.Root(), "w");

    OperationRow("next, from the deepest of 100,000 levels", 21, [&] {
        if (PreOrderNext(*deepest) != &sibling) std::abort();
    });
    OperationRow("prev, after a subtree 100,000 levels deep", 21, [&] {
        if (PreOrderPrev(sibling) != deepest) std::abort();
    });
    OperationRow("move, first of 100,000 siblings to the end", 21, [&] {
        TreeNode* first = wide.Root().FirstChild();
        ApplyMove(wide, *PlanDrop(first, wide.Root().LastChild(), TDropPosition::dpBefore));
    });
    OperationRow("move, onto the deepest of 100,000 levels", 21, [&] {
        std::optional<MovePlan> plan = PlanDrop(&sibling, deepest, TDropPosition::dpChild);
        if (!plan) std::abort();
        ApplyMove(deep, *plan);
    });
    OperationRow("move back, from the deepest level", 21, [&] {
        ApplyMove(deep, *PlanDrop(&sibling, &chainTop, TDropPosition::dpBefore));
    });
    // Expand-all visits every node once: the least any view of the tree can spend on it.
    OperationRow("expand-all flags, 100,000 siblings", 21, [&] {
        wide.Root().SetExpanded(false);
        if (ExpandAll(wide.Root()).size() != 1) std::abort();
    });
    // An outline's nodes lie all over the heap: one visit each costs cache misses.
    DocumentTree outline = benchtree::RealisticTree();
    ExpandAll(outline.Root());
    OperationRow("expand-all flags, realistic tree already open", 21, [&] {
        if (!ExpandAll(outline.Root()).empty()) std::abort();
    });
}

}  // namespace

// With a folder argument the generated files are left there (for profiling); otherwise a
// temporary folder is used and removed. "--open FILE" is the child of the open measurement.
int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--open") return OpenAndReport(argv[2]);
    char pattern[] = "/tmp/velmora-bench-XXXXXX";
    const bool keep = argc > 1;
    if (!keep && !mkdtemp(pattern)) return 1;
    const std::string folder = keep ? argv[1] : pattern;
    BenchFiles("/proc/self/exe", folder);
    BenchTreeOperations();
    if (!keep) std::filesystem::remove_all(folder);
    return 0;
}

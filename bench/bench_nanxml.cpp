// Load and save speed and peak memory of nanxml on realistic documents (10 MB and 100 MB,
// Shift_JIS and UTF-8) and on hostile inputs full of openers that are never closed.
//
// Every case runs in a forked child, so that peaks do not accumulate; the child reports its
// time and its peak resident size (getrusage) through a pipe. The hostile inputs and the
// ordinary 10 MB document are also loaded by a whole process of their own, from exec to
// exit (the tree torn down included), timed in wall and CPU time; a last run of it counts
// what it read (nodes, attributes, bytes of text), which must be what a load in this
// process reads. The targets follow the table, one "target" line each. Usage:
//   bench_nanxml [--quick]             (--quick: the 10 MB documents only)
//   bench_nanxml --load FILE [--count] (the whole process: load FILE; with --count, print
//                                       what it read)
#include "xml/nanxml.h"
#include "xml/tree_walk.h"
#include "bench/child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace nanxml;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    double seconds = 0;     // wall-clock time of the timed part
    double cpuSeconds = 0;  // user and system time of the timed part: steadier on a busy machine
    long peakKiB = 0;
    bool ok = false;
};

// The process's own clock, counted by the scheduler to the nanosecond: the rusage times may
// move in whole ticks, a large part of a run of a few dozen milliseconds.
double CpuSecondsSoFar()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Runs work in a child process. work returns the wall-clock seconds of the timed part and
// leaves its CPU seconds in cpuSeconds.
thread_local double cpuSeconds = 0;

Outcome InChild(const std::function<double()>& work)
{
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        Outcome outcome;
        try {
            outcome.seconds = work();
            outcome.cpuSeconds = cpuSeconds;
            outcome.ok = true;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "error: %s\n", e.what());
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        outcome.peakKiB = usage.ru_maxrss;
        const ssize_t written = write(fds[1], &outcome, sizeof outcome);
        _exit(written == sizeof outcome ? 0 : 1);
    }
    close(fds[1]);
    Outcome outcome;
    if (read(fds[0], &outcome, sizeof outcome) != sizeof outcome) outcome = {};
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return outcome;
}

// The best of a few runs, each in a fresh child: one run of a few dozen milliseconds on a
// shared machine says more about what else ran than about the code.
constexpr int kRuns = 5;

Outcome BestInChild(const std::function<double()>& work)
{
    Outcome best = InChild(work);
    for (int run = 1; run < kRuns && best.ok; ++run) {
        const Outcome next = InChild(work);
        if (!next.ok) return next;
        best.seconds = std::min(best.seconds, next.seconds);
        best.cpuSeconds = std::min(best.cpuSeconds, next.cpuSeconds);
        best.peakKiB = std::max(best.peakKiB, next.peakKiB);
    }
    return best;
}

double Seconds(const std::function<void()>& fn)
{
    const double cpuStart = CpuSecondsSoFar();
    const auto start = std::chrono::steady_clock::now();
    fn();
    cpuSeconds = CpuSecondsSoFar() - cpuStart;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- the realistic document ----

std::string Utf8Of(char32_t c)
{
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

class TextSource {
public:
    explicit TextSource(unsigned seed) : random_(seed)
    {
        const char* kanji[] = {"日", "本", "語", "文", "章", "木", "構", "造", "編", "集", "保", "存",
                               "読", "込", "書", "式", "設", "定", "表", "示", "記", "録", "整", "理"};
        const char* words[] = {"tree", "memo", "node", "save", "XML", "2026", "value", "=", "\"q\"", "x;"};
        for (int i = 0; i < 4000; ++i) {
            std::string line;
            const int pieces = 3 + static_cast<int>(random_() % 12);
            for (int p = 0; p < pieces; ++p) {
                switch (random_() % 6) {
                case 0:
                case 1:
                    for (int k = 0; k < 4; ++k) line += Utf8Of(0x3042 + random_() % 80);  // hiragana
                    break;
                case 2:
                    line += kanji[random_() % std::size(kanji)];
                    line += kanji[random_() % std::size(kanji)];
                    break;
                case 3:
                    for (int k = 0; k < 3; ++k) line += Utf8Of(0x30A2 + random_() % 80);  // katakana
                    break;
                default:
                    line += words[random_() % std::size(words)];
                    line += ' ';
                    break;
                }
                if (random_() % 40 == 0) line += "<>&"[random_() % 3];  // about one in five lines
            }
            lines_.push_back(line + "\r\n");
        }
    }

    std::string Text()
    {
        std::string text;
        const int count = 2 + static_cast<int>(random_() % 20);
        for (int i = 0; i < count; ++i) text += lines_[random_() % lines_.size()];
        return text;
    }
    std::string Name()
    {
        std::string name = "No." + std::to_string(random_() % 1000) + " ";
        const int length = 2 + static_cast<int>(random_() % 8);
        for (int i = 0; i < length; ++i) name += Utf8Of(0x3042 + random_() % 80);
        return name;
    }
    unsigned Next(unsigned bound) { return random_() % bound; }

private:
    std::mt19937 random_;
    std::vector<std::string> lines_;
};

// Adds node elements below parent, depth first, until about budget bytes are used.
void AddNodes(TNanXMLElement& parent, TextSource& source, int depth, long long& budget)
{
    const unsigned children = depth == 0 ? 1000000 : source.Next(depth < 8 ? 6 : 1);
    for (unsigned i = 0; i < children && budget > 0; ++i) {
        TNanXMLElement* node = parent.AddElement("node");
        const std::string name = source.Name();
        node->AddAttribute("name", name);
        node->AddAttribute("expanded", source.Next(2) ? "yes" : "no");
        node->AddAttribute("selstart", std::to_string(source.Next(500)));
        node->AddAttribute("sellength", std::to_string(source.Next(20)));
        const std::string text = source.Text();
        node->AddElement("text")->AddText(text);
        budget -= static_cast<long long>(text.size() + name.size() + 90);
        AddNodes(*node, source, depth + 1, budget);
    }
}

void GenerateDocument(long long bytes, const std::string& sjisPath, const std::string& utf8Path)
{
    TNanXML xml;
    TextSource source(20261208);
    TNanXMLElement* velmora = xml.Root().AddElement("velmora");
    TNanXMLElement* file = velmora->AddElement("file");
    file->AddAttribute("version", "2");
    file->AddAttribute("modified", "2026/12/08 01:02:03");
    long long budget = bytes;
    AddNodes(*velmora, source, 0, budget);
    xml.SetEncoding(deShiftJIS);
    xml.SaveToFile(sjisPath, true);
    xml.SetEncoding(deUTF8);
    xml.SaveToFile(utf8Path, true);
}

// ---- whole processes ----

// What a load read: every node, every attribute and the bytes of the text.
struct Counts {
    std::size_t nodes = 0;
    std::size_t attributes = 0;
    std::size_t textBytes = 0;
};

Counts CountOf(const TNanXML& xml)
{
    Counts counts;
    std::string text;
    WalkBelow(
        xml.Root(),
        [&](const TNanXMLParentNode& parent) {
            ++counts.nodes;
            if (const TNanXMLElement* element = parent.AsElement()) counts.attributes += element->Attributes().size();
        },
        [](const TNanXMLParentNode&) {},
        [&](const TNanXMLNode& leaf) {
            ++counts.nodes;
            text.clear();
            leaf.AppendText(text);
            counts.textBytes += text.size();
        });
    return counts;
}

std::string Describe(const Counts& counts)
{
    return std::to_string(counts.nodes) + " nodes, " + std::to_string(counts.attributes) + " attributes, " +
           std::to_string(counts.textBytes) + " bytes of text";
}

// The child of the whole-process measurement.
int LoadAsProcess(const char* path, bool count)
{
    TNanXML xml;
    xml.LoadFromFile(path);
    if (count) std::printf("%s\n", Describe(CountOf(xml)).c_str());
    return 0;
}

struct ProcessTimes {
    double seconds = 1e30;
    double cpuSeconds = 1e30;
    bool ok = false;
};

// The best of a few whole-process loads of path; then one that counts what it read, which
// must be expected (what a load in a child of this process read).
ProcessTimes BestWholeProcess(const std::string& path, const Counts& expected)
{
    ProcessTimes best;
    for (int run = 0; run < kRuns; ++run) {
        const ChildRun load = RunChild("/proc/self/exe", {"--load", path});
        if (!load.ok) return {};
        best.seconds = std::min(best.seconds, load.seconds);
        best.cpuSeconds = std::min(best.cpuSeconds, load.cpuSeconds);
    }
    const ChildRun counted = RunChild("/proc/self/exe", {"--load", path, "--count"});
    if (!counted.ok) return {};
    if (counted.output != Describe(expected) + "\n") {
        std::fprintf(stderr, "error: the whole process read %s, a load here %s\n", counted.output.c_str(),
                     Describe(expected).c_str());
        return {};
    }
    best.ok = true;
    return best;
}

// What a load of path reads, counted in a child (so that this process stays small).
Counts CountInChild(const std::string& path)
{
    static_assert(sizeof(Outcome) >= sizeof(Counts));
    Counts counts;
    int fds[2];
    if (pipe(fds) != 0) return counts;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        TNanXML xml;
        xml.LoadFromFile(path);
        const Counts counted = CountOf(xml);
        const ssize_t written = write(fds[1], &counted, sizeof counted);
        _exit(written == sizeof counted ? 0 : 1);
    }
    close(fds[1]);
    if (read(fds[0], &counts, sizeof counts) != sizeof counts) counts = {};
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return counts;
}

void PrintProcessRow(const std::string& name, const ProcessTimes& times, const ProcessTimes& ordinary)
{
    if (!times.ok) {
        std::printf("%-34s failed\n", name.c_str());
        return;
    }
    std::printf("%-34s %8.3f %8.3f %9.2fx %9.2fx\n", name.c_str(), times.seconds, times.cpuSeconds,
                times.seconds / ordinary.seconds, times.cpuSeconds / ordinary.cpuSeconds);
    std::fflush(stdout);
}

// ---- hostile inputs ----

std::string Repeat(const std::string& piece, std::size_t bytes)
{
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes) text += piece;
    return text;
}

// Name, start, repeated piece and end of each hostile input.
struct Hostile {
    const char* name;
    const char* start;
    const char* piece;
    const char* end;
};

const Hostile kHostileInputs[] = {
    {"'<' without '>'", "<a>", "text <b ", ""},
    {"'&' without ';'", "<a>", "text &amp ", ""},
    {"'<?' without '?>'", "<a>", "<?pi x ", ""},
    {"'<!--', '<![CDATA['", "<a>", "<!--x <![CDATA[y ", ""},
    {"unpaired quotes", "", "<p>He said \"yes, and the quote never closes. 引用符は閉じません。</p>", ""},
    {"<a <?<?<?...>", "<a ", "<?", ">"},
    {"value \"&<?<?...;\"", "<a v=\"&", "<?", ";\"/>"},
    {"all openers mixed", "", "<?<!--<![CDATA[&\"<x ", ""},
};

void PrintRow(const std::string& name, double megabytes, const Outcome& outcome, double reference = 0)
{
    if (!outcome.ok) {
        std::printf("%-34s failed\n", name.c_str());
        return;
    }
    const double peakMiB = static_cast<double>(outcome.peakKiB) / 1024.0;
    std::printf("%-34s %8.1f %8.3f %8.3f %9.1f %9.1f %7.2f", name.c_str(), megabytes, outcome.seconds,
                outcome.cpuSeconds, megabytes / outcome.seconds, peakMiB, peakMiB / megabytes);
    if (reference > 0) std::printf("   %5.2fx ordinary (cpu)", outcome.cpuSeconds / reference);
    std::printf("\n");
    std::fflush(stdout);
}

double MiB(const std::string& path)
{
    return static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
}

// One target and whether it was met, as a line of its own after the table, tab-separated:
// "target", case, result, target, yes or NO. CPU times are compared: the machine may be shared.
void PrintTarget(std::string name, const std::string& result, const std::string& target, bool met)
{
    for (std::size_t run = name.find("  "); run != std::string::npos; run = name.find("  ")) name.erase(run, 1);
    std::printf("target\t%s\t%s\t%s\t%s\n", name.c_str(), result.c_str(), target.c_str(), met ? "yes" : "NO");
}

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

struct Measured {
    std::string name;
    double megabytes;
    Outcome outcome;
};

void PrintDocumentTargets(const std::vector<Measured>& rows, const std::string& largest)
{
    constexpr double kMaxPeakPerFile = 3.0;
    constexpr double kMaxShiftJisPerUtf8 = 1.5;
    const auto find = [&](const std::string& name) -> const Outcome* {
        for (const Measured& row : rows) {
            if (row.name == name && row.outcome.ok) return &row.outcome;
        }
        return nullptr;
    };
    for (const auto& [operation, limit] : {std::pair{"LoadFromFile", 0.5}, std::pair{"SaveToFile  ", 0.4}}) {
        const std::string utf8Name = std::string(operation) + " 100 MB UTF-8";
        if (const Outcome* utf8 = find(utf8Name)) {
            PrintTarget(utf8Name, Format("%.3f s cpu", utf8->cpuSeconds), Format("< %.1f s cpu", limit),
                        utf8->cpuSeconds < limit);
        }
        const Outcome* utf8 = find(std::string(operation) + " " + largest + "UTF-8");
        const Outcome* sjis = find(std::string(operation) + " " + largest + "Shift_JIS");
        if (utf8 != nullptr && sjis != nullptr) {
            const double ratio = sjis->cpuSeconds / utf8->cpuSeconds;
            PrintTarget(std::string(operation) + " " + largest + "Shift_JIS / UTF-8", Format("%.2fx cpu", ratio),
                        Format("< %.1fx", kMaxShiftJisPerUtf8), ratio < kMaxShiftJisPerUtf8);
        }
    }
    for (const Measured& row : rows) {
        if (!row.outcome.ok) continue;
        const double perFile = static_cast<double>(row.outcome.peakKiB) / 1024.0 / row.megabytes;
        PrintTarget("peak memory, " + row.name, Format("%.2f x file", perFile), Format("< %.0f x file", kMaxPeakPerFile),
                    perFile < kMaxPeakPerFile);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--load") == 0)
        return LoadAsProcess(argv[2], argc == 4 && std::strcmp(argv[3], "--count") == 0);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    std::string pattern = (fs::temp_directory_path() / "bench-nanxml-XXXXXX").string();
    const fs::path folder = mkdtemp(pattern.data());

    std::printf("%-34s %8s %8s %8s %9s %9s %7s\n", "case", "MiB", "seconds", "cpu s", "MiB/s", "peak MiB",
                "peak/x");
    std::vector<long long> sizes = {10LL << 20};
    if (!quick) sizes.push_back(100LL << 20);
    double ordinaryUtf8Seconds = 0;
    std::string ordinaryUtf8;  // the 10 MB UTF-8 document
    std::vector<Measured> measured;
    for (const long long size : sizes) {
        const std::string label = std::to_string(size >> 20) + " MB ";
        const std::string sjis = (folder / (label + "sjis.trm")).string();
        const std::string utf8 = (folder / (label + "utf8.trm")).string();
        InChild([&] {
            GenerateDocument(size, sjis, utf8);
            return 0.0;
        });
        for (const auto& [name, path] : {std::pair{"Shift_JIS", sjis}, std::pair{"UTF-8", utf8}}) {
            const Outcome load = BestInChild([&] {
                TNanXML xml;
                return Seconds([&] { xml.LoadFromFile(path); });
            });
            PrintRow("LoadFromFile " + label + name, MiB(path), load);
            measured.push_back({"LoadFromFile " + label + name, MiB(path), load});
            if (size == (10LL << 20) && std::string(name) == "UTF-8") {
                ordinaryUtf8Seconds = load.cpuSeconds;
                ordinaryUtf8 = path;
            }
            const std::string copy = path + ".saved";
            const Outcome save = BestInChild([&] {
                TNanXML xml;
                xml.LoadFromFile(path);
                return Seconds([&] { xml.SaveToFile(copy, true); });
            });
            PrintRow("SaveToFile   " + label + name, MiB(copy), save);
            measured.push_back({"SaveToFile   " + label + name, MiB(copy), save});
            fs::remove(copy);
        }
    }

    std::vector<Measured> hostileRows;
    struct ProcessRow {
        std::string name;
        ProcessTimes times;
    };
    std::vector<ProcessRow> processRows;
    const ProcessTimes ordinaryProcess = BestWholeProcess(ordinaryUtf8, CountInChild(ordinaryUtf8));
    for (const Hostile& hostile : kHostileInputs) {
        const std::string path = (folder / (std::string("hostile-") + std::to_string(hostileRows.size()) + ".xml")).string();
        {
            const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + std::string(hostile.start) +
                                     Repeat(hostile.piece, 10u << 20) + hostile.end;
            FILE* file = std::fopen(path.c_str(), "wb");
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
        const Outcome load = BestInChild([&] {
            TNanXML xml;
            return Seconds([&] { xml.LoadFromFile(path); });
        });
        PrintRow(std::string("hostile ") + hostile.name, MiB(path), load, ordinaryUtf8Seconds);
        hostileRows.push_back({std::string("hostile ") + hostile.name, MiB(path), load});
        processRows.push_back({std::string("hostile ") + hostile.name, BestWholeProcess(path, CountInChild(path))});
    }
    std::printf("\n%-34s %8s %8s %10s %10s\n", "whole process, exec to exit", "seconds", "cpu s", "x ordinary",
                "cpu x ord.");
    PrintProcessRow("LoadFromFile 10 MB UTF-8", ordinaryProcess, ordinaryProcess);
    for (const ProcessRow& row : processRows) PrintProcessRow(row.name, row.times, ordinaryProcess);
    std::printf("\n");
    PrintDocumentTargets(measured, std::to_string(sizes.back() >> 20) + " MB ");
    for (const Measured& row : hostileRows) {
        const double ratio = row.outcome.ok && ordinaryUtf8Seconds > 0 ? row.outcome.cpuSeconds / ordinaryUtf8Seconds : 0;
        PrintTarget(row.name, row.outcome.ok ? Format("%.2fx ordinary cpu", ratio) : "failed", "< 2x ordinary",
                    row.outcome.ok && ratio < 2);
    }
    for (const ProcessRow& row : processRows) {
        const bool ok = row.times.ok && ordinaryProcess.ok;
        const double wall = ok ? row.times.seconds / ordinaryProcess.seconds : 0;
        const double cpu = ok ? row.times.cpuSeconds / ordinaryProcess.cpuSeconds : 0;
        PrintTarget(row.name + ", whole process", ok ? Format("%.2fx ordinary", wall) : "failed", "< 2x ordinary",
                    ok && wall < 2);
        PrintTarget(row.name + ", whole process cpu", ok ? Format("%.2fx ordinary cpu", cpu) : "failed",
                    "< 2x ordinary", ok && cpu < 2);
    }
    fs::remove_all(folder);
    return 0;
}

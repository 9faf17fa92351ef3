#include "cli/TrmTool.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

namespace cli {

using namespace document;

namespace {

constexpr const char* kUsage =
    "使い方: trmtool convert IN OUT [--encoding sjis|utf8]\n"
    "        trmtool info IN\n"
    "        trmtool export --text|--html IN [OUT]\n";

const char* EncodingName(TDocumentEncoding encoding) {
    return encoding == TDocumentEncoding::deUTF8 ? "UTF-8" : "Shift_JIS";
}

std::optional<TDocumentEncoding> ParseEncoding(const std::string& name) {
    if (name == "sjis") return TDocumentEncoding::deShiftJIS;
    if (name == "utf8") return TDocumentEncoding::deUTF8;
    return std::nullopt;
}

std::size_t Depth(const DocumentTree& tree) {
    std::size_t depth = 0;
    std::vector<std::pair<const TreeNode*, std::size_t>> pending{{&tree.Root(), 1}};
    while (!pending.empty()) {
        const auto [node, level] = pending.back();
        pending.pop_back();
        depth = std::max(depth, level);
        for (std::size_t i = 0; i < node->ChildCount(); ++i) pending.emplace_back(node->Child(i), level + 1);
    }
    return depth;
}

std::size_t TextBytes(const DocumentTree& tree) {
    std::size_t bytes = 0;
    std::vector<const TreeNode*> pending{&tree.Root()};
    while (!pending.empty()) {
        const TreeNode* node = pending.back();
        pending.pop_back();
        bytes += node->Data().Text().size();
        for (std::size_t i = 0; i < node->ChildCount(); ++i) pending.push_back(node->Child(i));
    }
    return bytes;
}

}  // namespace

// Reads the document and tells on err what the reading found amiss (a file cut short,
// nodes that were not read), as the window does.
const OpenedDocument& TrmTool::Open(const std::string& in, std::ostream& err) {
    const OpenedDocument& doc = document_.emplace(OpenDocument(in));
    for (const std::string& warning : OpenWarnings(doc, in)) err << warning << '\n';
    return doc;
}

int TrmTool::Info(const std::string& in, std::ostream& out, std::ostream& err) {
    const OpenedDocument& doc = Open(in, err);
    out << "nodes: " << doc.tree.NodeCount() << '\n'
        << "depth: " << Depth(doc.tree) << '\n'
        << "encoding: " << EncodingName(doc.encoding) << '\n'
        << "text bytes: " << TextBytes(doc.tree) << '\n';
    return 0;
}

int TrmTool::Convert(const std::string& in, const std::string& outPath, std::optional<TDocumentEncoding> encoding,
                     std::ostream& err) {
    const OpenedDocument& doc = Open(in, err);
    const TDocumentEncoding target = encoding.value_or(doc.encoding);
    // Never lose characters behind the user's back: Shift_JIS would write them as "?".
    if (const std::size_t lost = WriteDocumentLosslessly(outPath, doc.tree, doc.selected, target)) {
        err << "Shift_JIS で保存できない文字が " << lost << " 個あります。--encoding utf8 で保存してください\n";
        return 1;
    }
    return 0;
}

int TrmTool::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<TDocumentEncoding> encoding;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--encoding" && i + 1 < args.size() && (encoding = ParseEncoding(args[i + 1]))) {
            ++i;
            continue;
        }
        if (args[i].rfind("--", 0) == 0) {
            err << kUsage;
            return 2;
        }
        operands.push_back(args[i]);
    }
    const bool isConvert = operands.size() == 3 && operands[0] == "convert";
    const bool isInfo = operands.size() == 2 && operands[0] == "info" && !encoding;
    if (!isConvert && !isInfo) {
        err << kUsage;
        return 2;
    }
    try {
        return isConvert ? Convert(operands[1], operands[2], encoding, err) : Info(operands[1], out, err);
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 1;
    }
}

}  // namespace cli

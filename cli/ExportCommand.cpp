#include "cli/ExportCommand.h"

#include "document/TrmFormat.h"
#include "interchange/TreeExport.h"
#include "platform/file_io.h"

#include <exception>

namespace cli {

int RunExportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const bool styleGiven = args.size() >= 3 && (args[1] == "--text" || args[1] == "--html");
    if (args.empty() || args[0] != "export" || !styleGiven || args.size() > 4) {
        err << "使い方: trmtool export --text|--html IN [OUT]\n";
        return 2;
    }
    try {
        const document::OpenedDocument doc = document::OpenDocument(args[2]);
        for (const std::string& warning : document::OpenWarnings(doc, args[2])) err << warning << '\n';
        const document::TreeNode& root = doc.tree.Root();
        const std::string text =
            interchange::JoinOutlineLines(args[1] == "--text" ? interchange::MakeTextOutline(root)
                                                              : interchange::MakeHtmlOutline(root));
        if (args.size() == 4) {
            platform::SafeReplaceFile(args[3], text);
            return 0;
        }
        // Whoever owns out knows why a write failed, and says so.
        out << text;
        out.flush();
        return out ? 0 : 1;
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 1;
    }
}

}  // namespace cli

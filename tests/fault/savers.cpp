#include "savers.h"

#include "document/TrmFormat.h"
#include "cli/ExportCommand.h"
#include "platform/file_io.h"
#include "settings/HxRegIni.h"

#include <filesystem>
#include <functional>
#include <sstream>

namespace fault {

namespace {

namespace fs = std::filesystem;

// About 20 KiB of text, different for every generation.
std::string Memo(int generation)
{
    std::string memo;
    for (int line = 0; line < 600; ++line)
        memo += "世代 " + std::to_string(generation) + " の行 " + std::to_string(line) + " ";
    return memo;
}

std::tm Stamp()
{
    std::tm time{};
    time.tm_year = 126;
    time.tm_mday = 1;
    return time;
}

void WriteGeneration(const std::string& path, int generation)
{
    document::DocumentTree tree;
    document::TreeNode& note = tree.AppendNode(tree.Root(), "メモ " + std::to_string(generation));
    note.Data().SetText(Memo(generation));
    document::WriteDocument(path, tree, &note, nanxml::deUTF8, Stamp());
}

// Runs a save to path: saved, refused with the message that names path, or anything else.
SaveOutcome OutcomeOfSave(const std::string& path, const std::function<void()>& save)
{
    try {
        save();
        return kSaved;
    } catch (const platform::FileError& error) {
        return error.what() == platform::CannotCreateMessage(path) ? kRefused : kOtherOutcome;
    } catch (...) {
        return kOtherOutcome;
    }
}

// ---- the document ----

std::string DocumentPath(const std::string& folder) { return folder + "/docs/memo.trm"; }

void PrepareDocument(const std::string& folder) { fs::create_directories(folder + "/docs"); }

SaveOutcome SaveDocument(const std::string& folder, int generation)
{
    return OutcomeOfSave(DocumentPath(folder), [&] { WriteGeneration(DocumentPath(folder), generation); });
}

// ---- a document of several pieces in Shift_JIS ----

// Long enough that the markup is encoded and written in several pieces, with lone LFs that
// become CR LF on the way.
std::string LargeDocumentPath(const std::string& folder) { return folder + "/large/memo.trm"; }

void PrepareLargeDocument(const std::string& folder) { fs::create_directories(folder + "/large"); }

SaveOutcome SaveLargeDocument(const std::string& folder, int generation)
{
    document::DocumentTree tree;
    for (int i = 0; i < 12; ++i) {
        tree.AppendNode(tree.Root(), "メモ " + std::to_string(i)).Data().SetText(Memo(generation) + "\n" + Memo(i));
    }
    return OutcomeOfSave(LargeDocumentPath(folder), [&] {
        document::WriteDocument(LargeDocumentPath(folder), tree, nullptr, nanxml::deShiftJIS, Stamp());
    });
}

// ---- a file written piece by piece ----

std::string PiecesPath(const std::string& folder) { return folder + "/pieces/memo.txt"; }

void PreparePieces(const std::string& folder) { fs::create_directories(folder + "/pieces"); }

SaveOutcome SavePieces(const std::string& folder, int generation)
{
    return OutcomeOfSave(PiecesPath(folder), [&] {
        platform::SafeFileWriter file(PiecesPath(folder));
        const std::string memo = Memo(generation);
        for (std::size_t start = 0; start < memo.size(); start += 700) file.Write(std::string_view(memo).substr(start, 700));
        file.Commit();
    });
}

// ---- an exported outline, through trmtool's export command ----

std::string ExportPath(const std::string& folder) { return folder + "/out/outline.txt"; }
std::string ExportInput(const std::string& folder, int generation)
{
    return folder + "/in-" + std::to_string(generation) + ".trm";
}

void PrepareExport(const std::string& folder)
{
    fs::create_directories(folder + "/out");
    for (int generation = 1; generation <= 3; ++generation) WriteGeneration(ExportInput(folder, generation), generation);
}

SaveOutcome SaveExport(const std::string& folder, int generation)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::RunExportCommand(
        {"export", "--text", ExportInput(folder, generation), ExportPath(folder)}, out, err);
    if (status == 0) return kSaved;
    return status == 1 && err.str() == platform::CannotCreateMessage(ExportPath(folder)) + "\n" ? kRefused
                                                                                              : kOtherOutcome;
}

// ---- the settings, in the INI file or in the key store ----

settings::SettingsEnvironment SettingsIn(const std::string& folder, settings::THxIniStyle style)
{
    settings::SettingsEnvironment environment;
    environment.executablePath = folder + "/bin/velmora";
    environment.keyStoreRoot = folder + "/config";
    environment.askFirstStart = [style](const settings::FirstStartQuestion&) {
        return style == settings::isIni ? settings::kAnswerYes : 7;  // No
    };
    return environment;
}

void PrepareSettings(const std::string& folder) { fs::create_directories(folder + "/bin"); }

void WriteSettings(const std::string& folder, settings::THxIniStyle style, int generation)
{
    settings::THxIniFile2 store(SettingsIn(folder, style));
    store.OpenSection("Preferences", true);
    store.WriteString("Memo", Memo(generation));
    store.WriteInteger("Generation", generation);
    store.Flush();
}

std::string IniPath(const std::string& folder) { return folder + "/bin/velmora.ini"; }

SaveOutcome SaveIni(const std::string& folder, int generation)
{
    return OutcomeOfSave(IniPath(folder), [&] { WriteSettings(folder, settings::isIni, generation); });
}

std::string KeyStorePath(const std::string& folder)
{
    return folder + "/config/Software/Quillworks/velmora/Preferences/values.txt";
}

SaveOutcome SaveKeyStore(const std::string& folder, int generation)
{
    try {
        WriteSettings(folder, settings::isRegistry, generation);
        return kSaved;
    } catch (const settings::SettingsError& error) {
        return std::string(error.what()) == "'Memo' の設定に失敗しました" ? kRefused : kOtherOutcome;
    } catch (...) {
        return kOtherOutcome;
    }
}

}  // namespace

const std::vector<Saver>& AllSavers()
{
    static const std::vector<Saver> savers{
        {"Document", true, DocumentPath, PrepareDocument, SaveDocument},
        {"LargeShiftJisDocument", true, LargeDocumentPath, PrepareLargeDocument, SaveLargeDocument},
        {"FileInPieces", true, PiecesPath, PreparePieces, SavePieces},
        {"Export", true, ExportPath, PrepareExport, SaveExport},
        {"IniFile", false, IniPath, PrepareSettings, SaveIni},
        {"KeyStore", false, KeyStorePath, PrepareSettings, SaveKeyStore},
    };
    return savers;
}

}  // namespace fault

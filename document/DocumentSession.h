// The open document and its file: the tree, the file's name and encoding, whether there are
// unsaved changes, and the rules of new, open and save. The window shows a session and asks
// the user its questions; the rules themselves need no window.
#pragma once

#include "document/DocumentTree.h"
#include "document/EditHistory.h"
#include "document/TrmFormat.h"
#include "platform/file_io.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace document {

// The name of a document that has no file yet; it also stands for it wherever the file name
// is shown or remembered.
inline constexpr std::string_view kUnnamedFileName = "（ファイル名未設定）";

// The user's answer when a Shift_JIS save would write characters as "?".
enum class TShiftJisLossAnswer { saveAsUtf8, saveWithQuestionMarks, cancel };

// What a save asks the user, each through a callback of the caller.
struct TSaveQuestions {
    // How many characters Shift_JIS cannot hold; the answer decides.
    std::function<TShiftJisLossAnswer(std::size_t unmappable)> shiftJisLoss;
    // The file was changed or replaced by someone else since it was read or saved here:
    // true to overwrite it.
    std::function<bool(const std::string& path)> overwriteChangedFile;
};

// What opening found: the node to select and what the user must be told.
struct TOpenResult {
    TreeNode* selected = nullptr;
    std::vector<std::string> warnings;
    // The backup of the file's old contents that a cut-short save left beside it: the file
    // itself may hold old and new bytes mixed.
    std::optional<std::string> interruptedSaveBackup;
};

class DocumentSession {
public:
    // A new unnamed document.
    DocumentSession() { New(); }

    DocumentTree& Tree() noexcept { return tree_; }
    const DocumentTree& Tree() const noexcept { return tree_; }
    // Undo and redo of the document's changes: emptied by new, open and restore, its save
    // point set by every save.
    EditHistory& History() noexcept { return history_; }
    // The path of the file as opened or saved (absolute), or kUnnamedFileName.
    const std::string& FileName() const noexcept { return fileName_; }
    bool IsNamed() const noexcept { return fileName_ != kUnnamedFileName; }
    TDocumentEncoding Encoding() const noexcept { return encoding_; }
    // The encoding of the next save; unsaved changes stay unsaved.
    void SetEncoding(TDocumentEncoding encoding) noexcept { encoding_ = encoding; }
    bool Modified() const noexcept { return modified_; }
    void SetModified(bool modified) noexcept { modified_ = modified; }

    // Discards the document for a new unnamed one: the root "ルート" alone, Shift_JIS,
    // unmodified.
    void New();
    // Names the document (a path, or kUnnamedFileName) as if it had been read or saved
    // there: unmodified.
    void SetFileName(std::string path);
    // Replaces the document with the file at path (absolute), named after it, unmodified.
    // Throws what reading throws, and then the document is a new unnamed one.
    TOpenResult Open(const std::string& path);
    // Takes the old contents that a cut-short save of the file at path left in backup as the
    // document, named after path and modified; the file and the backup stay as they are until
    // a save, which then removes the backup. Throws what reading throws, changing nothing.
    TreeNode* OpenInterruptedSaveBackup(const std::string& path, const std::string& backup);
    // Takes a recovered tree as the document of the file path (empty: never saved) in
    // encoding, modified: the file itself is written only when the user saves. stamp is the
    // file as the recovered document last read or saved it; a save asks before overwriting a
    // file that differs from it (or any file, without a stamp).
    void Restore(DocumentTree tree, const std::string& path, TDocumentEncoding encoding,
                 const std::optional<platform::FileStamp>& stamp);
    // The file as it was read or last saved here, if the document has one.
    const std::optional<platform::FileStamp>& Stamp() const noexcept { return stamp_; }
    // Whether a plain save can write the document's own file: it is named and the file is
    // there. Otherwise the user is to choose a name.
    bool CanSaveInPlace() const;
    // Writes the document to path (absolute), with selected marked, after asking what the
    // save needs to ask. False when the user cancelled a question: nothing was written.
    // On success the document is named after path and unmodified; when writing fails it
    // throws (platform::FileError, or the XML layer's refusal of a name), and the document
    // and the file stay as they were.
    bool Save(const std::string& path, const TreeNode* selected, const TSaveQuestions& ask);

private:
    bool ChangedOnDisk(const std::string& path) const;

    DocumentTree tree_;
    std::string fileName_;
    TDocumentEncoding encoding_ = TDocumentEncoding::deShiftJIS;
    bool modified_ = false;
    // The file as it was read or last saved here, to notice another program's changes.
    std::optional<platform::FileStamp> stamp_;
    EditHistory history_;
    // The backup that a cut-short save of the document's file left, offered on opening:
    // obsolete, and removed, once the document is saved to that file.
    std::optional<std::string> interruptedBackup_;
};

}  // namespace document

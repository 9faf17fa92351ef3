#include "document/DocumentSession.h"

#include <cstdio>
#include <utility>

namespace document {

void DocumentSession::New() {
    tree_ = DocumentTree();
    fileName_ = kUnnamedFileName;
    encoding_ = TDocumentEncoding::deShiftJIS;
    modified_ = false;
    stamp_.reset();
    interruptedBackup_.reset();
    history_.Clear();
}

void DocumentSession::SetFileName(std::string path) {
    // A stamp of another file would make its changes look like changes to this one.
    if (path != fileName_) stamp_.reset();
    fileName_ = std::move(path);
    modified_ = false;
    history_.MarkSaved();
}

TOpenResult DocumentSession::Open(const std::string& path) {
    New();
    // Taken before reading: a change made while the file is read counts as a change.
    std::optional<platform::FileStamp> stamp = platform::StampOf(path);
    OpenedDocument opened = OpenDocument(path);
    TOpenResult result{opened.selected, OpenWarnings(opened, path), platform::InterruptedRewriteBackup(path)};
    interruptedBackup_ = result.interruptedSaveBackup;
    tree_ = std::move(opened.tree);
    fileName_ = path;
    encoding_ = opened.encoding;
    stamp_ = std::move(stamp);
    return result;
}

TreeNode* DocumentSession::OpenInterruptedSaveBackup(const std::string& path, const std::string& backup) {
    OpenedDocument opened = OpenDocument(backup);
    New();
    tree_ = std::move(opened.tree);
    fileName_ = path;
    encoding_ = opened.encoding;
    modified_ = true;
    history_.ForgetSavePoint();
    // The damaged file is to be overwritten: its state now is what a save replaces.
    stamp_ = platform::StampOf(fileName_);
    interruptedBackup_ = backup;
    return opened.selected;
}

void DocumentSession::Restore(DocumentTree tree, const std::string& path, TDocumentEncoding encoding,
                              const std::optional<platform::FileStamp>& stamp) {
    New();
    tree_ = std::move(tree);
    encoding_ = encoding;
    modified_ = true;
    history_.ForgetSavePoint();
    if (path.empty()) return;
    fileName_ = path;
    // No stamp matches no file: the save asks.
    stamp_ = stamp.value_or(platform::FileStamp{});
}

bool DocumentSession::CanSaveInPlace() const { return IsNamed() && platform::FileExists(fileName_); }

bool DocumentSession::ChangedOnDisk(const std::string& path) const {
    if (!stamp_ || path != fileName_) return false;
    const std::optional<platform::FileStamp> now = platform::StampOf(path);
    return now && *now != *stamp_;
}

bool DocumentSession::Save(const std::string& path, const TreeNode* selected, const TSaveQuestions& ask) {
    if (ChangedOnDisk(path) && !ask.overwriteChangedFile(path)) return false;
    TDocumentEncoding encoding = encoding_;
    if (encoding == TDocumentEncoding::deShiftJIS) {
        if (const std::size_t unmappable = CountShiftJisUnmappable(tree_)) {
            switch (ask.shiftJisLoss(unmappable)) {
            case TShiftJisLossAnswer::saveAsUtf8:
                encoding = TDocumentEncoding::deUTF8;
                break;
            case TShiftJisLossAnswer::saveWithQuestionMarks:
                break;
            case TShiftJisLossAnswer::cancel:
                return false;
            }
        }
    }
    WriteDocument(path, tree_, selected, encoding);
    // Saved to its file, the backup is obsolete; saved elsewhere, it stays for that file.
    if (interruptedBackup_ && path == fileName_) std::remove(interruptedBackup_->c_str());
    interruptedBackup_.reset();
    encoding_ = encoding;
    stamp_ = platform::StampOf(path);
    fileName_ = path;
    modified_ = false;
    history_.MarkSaved();
    return true;
}

}  // namespace document

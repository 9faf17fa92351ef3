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
    backupToRemove_.reset();
}

void DocumentSession::SetFileName(std::string path) {
    // A stamp of another file would make its changes look like changes to this one.
    if (path != fileName_) stamp_.reset();
    fileName_ = std::move(path);
    modified_ = false;
}

TOpenResult DocumentSession::Open(const std::string& path) {
    New();
    // Taken before reading: a change made while the file is read counts as a change.
    std::optional<platform::FileStamp> stamp = platform::StampOf(path);
    OpenedDocument opened = OpenDocument(path);
    TOpenResult result{opened.selected, OpenWarnings(opened, path), platform::InterruptedRewriteBackup(path)};
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
    // The damaged file is to be overwritten: its state now is what a save replaces.
    stamp_ = platform::StampOf(fileName_);
    backupToRemove_ = backup;
    return opened.selected;
}

void DocumentSession::Restore(DocumentTree tree, const std::string& path, TDocumentEncoding encoding) {
    New();
    tree_ = std::move(tree);
    if (!path.empty()) fileName_ = path;
    encoding_ = encoding;
    modified_ = true;
    stamp_ = platform::StampOf(fileName_);
}

bool DocumentSession::CanSaveInPlace() const { return IsNamed() && platform::FileExists(fileName_); }

bool DocumentSession::ChangedOnDisk(const std::string& path) const {
    if (!stamp_ || path != fileName_) return false;
    const std::optional<platform::FileStamp> now = platform::StampOf(path);
    return now && *now != *stamp_;
}

bool DocumentSession::Save(const std::string& path, const TreeNode* selected, const TSaveQuestions& ask) {
    if (ChangedOnDisk(path) && !ask.overwriteChangedFile(path)) return false;
    if (encoding_ == TDocumentEncoding::deShiftJIS) {
        if (const std::size_t unmappable = CountShiftJisUnmappable(tree_)) {
            switch (ask.shiftJisLoss(unmappable)) {
            case TShiftJisLossAnswer::saveAsUtf8:
                encoding_ = TDocumentEncoding::deUTF8;
                break;
            case TShiftJisLossAnswer::saveWithQuestionMarks:
                break;
            case TShiftJisLossAnswer::cancel:
                return false;
            }
        }
    }
    WriteDocument(path, tree_, selected, encoding_);
    stamp_ = platform::StampOf(path);
    fileName_ = path;
    modified_ = false;
    if (backupToRemove_) {
        std::remove(backupToRemove_->c_str());
        backupToRemove_.reset();
    }
    return true;
}

}  // namespace document

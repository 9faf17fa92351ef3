// The document file (trm): writing the tree as a version-2 file and reading versions 1 and 2.
// The caller (the main window, trmtool) owns the lifecycle around these: caption, recent
// files, prompts.
#pragma once

#include "document/DocumentTree.h"
#include "xml/nanxml.h"

#include <cstddef>
#include <ctime>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace document {

using nanxml::TDocumentEncoding;

// A document as read from a file: the tree, the node to select and the encoding found.
struct OpenedDocument {
    DocumentTree tree;
    TreeNode* selected = nullptr;  // never null: the root unless another node claims it
    TDocumentEncoding encoding = TDocumentEncoding::deShiftJIS;
    bool endsEarly = false;          // the file ends inside the document: cut short
    std::size_t unreadTopNodes = 0;  // top-level nodes after the first, which are not read
};

// A file that holds no document: "ファイル %s はツリーメモの文書ではありません".
class NotADocumentError : public std::runtime_error {
public:
    explicit NotADocumentError(std::string_view path);
};

// Reads a document file. Version 2 (a velmora element at the top level) and version 1 (a
// node element at the top level); a file of nothing but white space gives the root
// "ルート" alone, and anything else is refused with NotADocumentError. The selected node's
// ancestors are expanded. Throws platform::FileError ("ファイル %s は開けません") when the
// file cannot be read, and the XML layer's exception for content it refuses.
OpenedDocument OpenDocument(const std::string& path);

// Builds the document from an already parsed file (what OpenDocument does after loading);
// path names it in a refusal. xml is used up on the way, to keep the peak memory low: each
// text element is released once its text is taken over, and in version 2 each node
// element's children once read.
OpenedDocument LoadDocument(nanxml::TNanXML& xml, std::string_view path);

// What the user must be told about a document that was read, before anything is saved:
// a file cut short, top-level nodes that were not read. Empty for a sound file.
std::vector<std::string> OpenWarnings(const OpenedDocument& doc, std::string_view path);

// The local time now, for the modified stamp.
std::tm LocalTimeNow();
// "yyyy/mm/dd hh:mm:ss".
std::string FormatModifiedStamp(const std::tm& time);

// Writes the tree as a version-2 file in the given encoding, replacing the file only when
// the whole of it is written (a failure leaves the old file as it was). selected (may be
// null) is marked selected. modified is the stamp of the file element. Throws
// platform::FileError ("ファイル %s を作成できません") when the file cannot be written.
// In Shift_JIS, characters it cannot hold are written as "?": ask CountShiftJisUnmappable
// first.
void WriteDocument(const std::string& path, const DocumentTree& tree, const TreeNode* selected,
                   TDocumentEncoding encoding, const std::tm& modified = LocalTimeNow());

// WriteDocument that loses no characters: when Shift_JIS cannot hold some of them, the file
// is left as it was and their number is returned (as CountShiftJisUnmappable counts them);
// 0 when the file was written.
std::size_t WriteDocumentLosslessly(const std::string& path, const DocumentTree& tree, const TreeNode* selected,
                                    TDocumentEncoding encoding, const std::tm& modified = LocalTimeNow());

// A copy of a document that another thread may write while the tree changes: in tree order,
// each node's depth (the root 0), name, flags and payload, whose text is shared, not copied.
struct DocumentSnapshot {
    struct Node {
        std::size_t depth;
        std::string name;
        bool expanded;
        bool selected;
        TVLNodeData data;
    };
    std::vector<Node> nodes;
};
DocumentSnapshot TakeSnapshot(const DocumentTree& tree, const TreeNode* selected);
// Writes the snapshot as WriteDocument writes its tree, byte for byte.
void WriteSnapshot(const std::string& path, const DocumentSnapshot& snapshot, TDocumentEncoding encoding,
                   const std::tm& modified = LocalTimeNow());

// How many characters of the tree's names and texts a Shift_JIS save would write as "?".
std::size_t CountShiftJisUnmappable(const DocumentTree& tree);

}  // namespace document

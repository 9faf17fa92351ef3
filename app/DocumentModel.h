// Shows the plain document tree in a QTreeView: one column, the node names as captions,
// in-place renaming, and the structural changes the window makes announced to the view.
// The tree itself stays the only copy of the structure.
#pragma once

#include "document/DocumentTree.h"
#include "document/TreeChanges.h"
#include "document/TreeRules.h"

#include <QAbstractItemModel>

class TDocumentModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TDocumentModel(QObject* parent = nullptr);

    // Shows another tree (or none); the view forgets its expansion and selection.
    void SetTree(document::DocumentTree* tree);
    document::DocumentTree* Tree() const { return tree_; }

    document::TreeNode* NodeOf(const QModelIndex& index) const
    {
        return index.isValid() && index.model() == this ? static_cast<document::TreeNode*>(index.internalPointer())
                                                        : nullptr;
    }
    QModelIndex IndexOf(const document::TreeNode* node) const;

    // Structural changes go through here so that the view hears of them.
    document::TreeNode& InsertNode(document::TreeNode& parent, std::size_t index, std::string name);
    // Puts a removed subtree back as child number index of parent: one row for the view.
    document::TreeNode& InsertSubtree(document::TreeNode& parent, std::size_t index,
                                      const document::SubtreeCopy& subtree);
    // Refused (false) for the root.
    bool RemoveNode(document::TreeNode& node);
    // Makes a planned move and expands the new parent; the view keeps its selection and the
    // expansion of the moved nodes. False, changing nothing, when the view refuses the move.
    bool MoveNode(const document::MovePlan& plan);
    // Renames without an edit in the view (undo and redo).
    void Rename(document::TreeNode& node, std::string name);

    // How many persistent indexes the model's users hold (a view keeps one per open node).
    qsizetype PersistentIndexCount() const { return persistentIndexList().size(); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // An in-place edit of a name was confirmed (also when the name stayed the same).
    void nodeRenamed(document::TreeNode* node, const std::string& oldName);

private:
    document::DocumentTree* tree_ = nullptr;
};

#include "app/DocumentModel.h"

using document::TreeNode;

TDocumentModel::TDocumentModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

void TDocumentModel::SetTree(document::DocumentTree* tree)
{
    beginResetModel();
    tree_ = tree;
    endResetModel();
}

QModelIndex TDocumentModel::IndexOf(const TreeNode* node) const
{
    if (!node)
        return {};
    return createIndex(static_cast<int>(node->Index()), 0, const_cast<TreeNode*>(node));
}

TreeNode& TDocumentModel::InsertNode(TreeNode& parent, std::size_t index, std::string name)
{
    const int row = static_cast<int>(std::min(index, parent.ChildCount()));
    beginInsertRows(IndexOf(&parent), row, row);
    TreeNode& node = tree_->InsertNode(parent, index, std::move(name));
    endInsertRows();
    return node;
}

TreeNode& TDocumentModel::InsertSubtree(TreeNode& parent, std::size_t index, const document::SubtreeCopy& subtree)
{
    const int row = static_cast<int>(std::min(index, parent.ChildCount()));
    beginInsertRows(IndexOf(&parent), row, row);
    TreeNode& top = document::BuildSubtree(*tree_, parent, index, subtree);
    endInsertRows();
    return top;
}

bool TDocumentModel::RemoveNode(TreeNode& node)
{
    if (node.IsRoot())
        return false;
    const int row = static_cast<int>(node.Index());
    beginRemoveRows(IndexOf(node.Parent()), row, row);
    const bool removed = tree_->RemoveNode(node);
    endRemoveRows();
    return removed;
}

bool TDocumentModel::MoveNode(const document::MovePlan& plan)
{
    // A drop onto the node's own place changes no rows and must not be announced.
    const bool changes = plan.ChangesPosition();
    if (changes && !beginMoveRows(IndexOf(plan.fromParent), static_cast<int>(plan.fromIndex),
                                  static_cast<int>(plan.fromIndex), IndexOf(plan.toParent),
                                  static_cast<int>(plan.toIndexBeforeMove)))
        return false;
    document::ApplyMove(*tree_, plan);
    if (changes)
        endMoveRows();
    return true;
}

void TDocumentModel::Rename(TreeNode& node, std::string name)
{
    node.SetName(std::move(name));
    const QModelIndex index = IndexOf(&node);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
}

QModelIndex TDocumentModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!tree_ || row < 0 || column != 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? IndexOf(&tree_->Root()) : QModelIndex();
    // The view asks for every row it lays out: the row is known, no need to look it up.
    TreeNode* child = NodeOf(parent)->Child(static_cast<std::size_t>(row));
    return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex TDocumentModel::parent(const QModelIndex& child) const
{
    const TreeNode* node = NodeOf(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TDocumentModel::rowCount(const QModelIndex& parent) const
{
    if (!tree_ || parent.column() > 0)
        return 0;
    if (!parent.isValid())
        return 1;
    return static_cast<int>(NodeOf(parent)->ChildCount());
}

bool TDocumentModel::hasChildren(const QModelIndex& parent) const
{
    if (!tree_ || parent.column() > 0)
        return false;
    return !parent.isValid() || NodeOf(parent)->HasChildren();
}

int TDocumentModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant TDocumentModel::data(const QModelIndex& index, int role) const
{
    const TreeNode* node = NodeOf(index);
    if (!node || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return QString::fromStdString(node->Name());
}

bool TDocumentModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TreeNode* node = NodeOf(index);
    if (!node || role != Qt::EditRole)
        return false;
    std::string oldName = node->Name();
    node->SetName(value.toString().toStdString());
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emit nodeRenamed(node, oldName);
    return true;
}

Qt::ItemFlags TDocumentModel::flags(const QModelIndex& index) const
{
    const TreeNode* node = NodeOf(index);
    if (!node)
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
    // The view asks this of every row it lays out; for a leaf it then skips the lookups of
    // an expanded state, and expanding everything stores none for the leaves. Asked anew
    // each time, so a leaf that gains a child is a parent from then on.
    return node->HasChildren() ? flags : flags | Qt::ItemNeverHasChildren;
}

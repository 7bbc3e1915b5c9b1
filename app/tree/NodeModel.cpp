#include "app/tree/NodeModel.h"

#include "app/tree/Node.h"

NodeModel::NodeModel(QObject* parent) : QStandardItemModel(parent)
{
    setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Address")});
}

QMimeData* NodeModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty())
        return nullptr;
    Node* node = Node::From(itemFromIndex(indexes.first()));
    return node ? node->MimeData() : nullptr;
}

bool NodeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int, int, const QModelIndex& parent)
{
    if (action == Qt::IgnoreAction)
        return true;
    if (!parent.isValid())
        return false;
    Node* node = Node::From(itemFromIndex(parent));
    return node && node->Drop(nullptr, data, action);
}

Qt::DropActions NodeModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

#pragma once

#include <QStandardItemModel>

// The navigation tree's model: two columns, "Name" and "Address", of Node cells. Drags
// and drops are answered by the cells themselves.
class NodeModel : public QStandardItemModel
{
    Q_OBJECT
public:
    explicit NodeModel(QObject* parent = nullptr);

    // The drag payload of the first index's cell (Node::MimeData); null when it gives none.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    // A drop on the parent's cell (Node::Drop, without a view). The tree carries out its own
    // drops; this serves drops that Qt's item views route through the model.
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override;
};

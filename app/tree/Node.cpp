#include "app/tree/Node.h"

Node::Node(const QString& text) : QStandardItem(text)
{
    setEditable(false);
    setDragEnabled(false);
    setDropEnabled(false);
}

QMimeData* Node::MimeData()
{
    return nullptr;
}

bool Node::CanDrop(const QMimeData*, Qt::DropActions, Qt::DropAction, Qt::DropAction*)
{
    return false;
}

bool Node::Drop(QWidget*, const QMimeData*, Qt::DropAction)
{
    return false;
}

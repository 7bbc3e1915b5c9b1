#pragma once

#include <QObject>
#include <QStandardItem>

class QMimeData;
class QWidget;

// One cell of the navigation tree: the QStandardItem the tree's model holds, and a QObject
// for the signals and slots of the rows that follow something (a folder, a device).
//
// The tree finds the controller (Delegate) of a cell by the cell's exact class name, so
// every subclass declares Q_OBJECT. Drags and drops are the cell's own business: the tree
// asks MimeData when a drag starts and CanDrop / Drop when one moves over or lands on it.
//
// Owned by the model once appended or inserted; removing its row deletes it. GUI thread.
class Node : public QObject, public QStandardItem
{
    Q_OBJECT
public:
    // A cell that is neither editable nor a drag source nor a drop target.
    explicit Node(const QString& text = QString());

    // A new payload for a drag of this cell, owned by the caller; null: no drag.
    virtual QMimeData* MimeData();
    // Whether `data` may be dropped here with one of `possible` (preferring `proposed`);
    // stores the action to use in `chosen`.
    virtual bool CanDrop(const QMimeData* data, Qt::DropActions possible, Qt::DropAction proposed,
                         Qt::DropAction* chosen);
    // Carries out a drop that CanDrop accepted; `view` is the window for any dialog.
    virtual bool Drop(QWidget* view, const QMimeData* data, Qt::DropAction action);

    // The cell as a Node, or null when it is some other item.
    static Node* From(QStandardItem* item) { return dynamic_cast<Node*>(item); }
};

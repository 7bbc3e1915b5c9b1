#pragma once

#include "app/tree/NodeModel.h"

#include <QByteArray>
#include <QTreeView>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class Delegate;
class HighlightDelegate;
class Node;
class QStackedWidget;

// The navigation tree: rows of Node cells in two columns, each kind of row served by a
// controller (Delegate) found by the cell's exact class name. The tree shows the current
// row's view in the view stack, gives keys and context menus to the row's controller,
// and leaves drags and drops to the cells, painting the row a drag would drop on as its
// highlight.
//
// Controllers: the content rows' controllers are built in; the device rows' come from
// RegisterDelegate. A class without a controller gets the default one, which shows "The
// selected item cannot be viewed". GUI thread.
class NodeTree : public QTreeView
{
    Q_OBJECT
public:
    using DelegateFactory = std::function<Delegate*(NodeTree* tree)>;

    // Trees built afterwards give rows of `className` a controller made by `factory`
    // (one per tree, owned by it). A later registration of the same class wins; a null
    // factory removes the registration.
    static void RegisterDelegate(const QByteArray& className, DelegateFactory factory);

    NodeTree(QWidget* parent, QStackedWidget* viewStack);
    ~NodeTree() override;

    NodeModel* Model() { return &model_; }
    // Appends `node` (the model takes it) as a new top-level row; its index.
    QModelIndex AddNode(Node* node);
    // The controller of `node`'s class, else the default one; null for null.
    Delegate* DelegateFor(Node* node) const;
    // The cell at `index` as a Node; null when there is none.
    Node* NodeAt(const QModelIndex& index) const;
    HighlightDelegate* Highlighter() const { return highlight_; }

public slots:
    // Shows the view of the row at `index` in the view stack.
    void viewNode(const QModelIndex& index);

protected slots:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    // The Node a drop at `point` would go to: only a drop-enabled cell counts.
    Node* DropTargetAt(const QPoint& point, QModelIndex* index) const;
    void Register(const QByteArray& className, Delegate* controller);
    void ClearHighlight();

    NodeModel model_;
    std::map<QByteArray, Delegate*> registry_;
    std::vector<std::unique_ptr<Delegate>> controllers_;
    QStackedWidget* viewStack_;
    HighlightDelegate* highlight_;
};

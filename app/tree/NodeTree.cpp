#include "app/tree/NodeTree.h"

#include "app/tree/ContentFolderDelegate.h"
#include "app/tree/Delegate.h"
#include "app/tree/Node.h"
#include "app/views/ContentCommands.h"
#include "app/widgets/ItemDrag.h"
#include "app/widgets/ItemPainters.h"
#include "link/ui/OverrideCursorHelper.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QStackedWidget>

namespace {

std::map<QByteArray, NodeTree::DelegateFactory>& RegisteredFactories()
{
    static std::map<QByteArray, NodeTree::DelegateFactory> factories;
    return factories;
}

constexpr int kAddressColumnWidth = 40;

} // namespace

void NodeTree::RegisterDelegate(const QByteArray& className, DelegateFactory factory)
{
    if (factory)
        RegisteredFactories()[className] = std::move(factory);
    else
        RegisteredFactories().erase(className);
}

NodeTree::NodeTree(QWidget* parent, QStackedWidget* viewStack)
    : QTreeView(parent), viewStack_(viewStack), highlight_(new HighlightDelegate(this))
{
    // All name cells of content rows share one controller, and so one folder view.
    auto* names = new ContentFolderDelegate(this);
    controllers_.emplace_back(names);
    for (const char* name : {"ContentLibraryNode", "StockContentNode", "MosavraContentNode", "ContentNameNode"})
        registry_[name] = names;
    Register("ContentAddressNode", new ContentFolderDelegate(this));
    Register("ContentCapacityNode", new ContentFolderDelegate(this));
    for (const auto& [className, factory] : RegisteredFactories())
        Register(className, factory(this));
    if (!registry_.count(QByteArray()))
        Register(QByteArray(), new DefaultDelegate(this));

    setIconSize(QSize(24, 16));
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setAnimated(true);
    setModel(&model_);
    header()->hide();
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionResizeMode(1, QHeaderView::Fixed);
    header()->resizeSection(1, kAddressColumnWidth);
    setItemDelegateForColumn(0, highlight_);
    setItemDelegateForColumn(1, new OvalDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    // The highlighted row shows where a drop goes.
    setDropIndicatorShown(false);
}

NodeTree::~NodeTree()
{
    // Controllers first (they may still look at rows), then the model with the rows.
    registry_.clear();
    controllers_.clear();
}

void NodeTree::Register(const QByteArray& className, Delegate* controller)
{
    if (!controller)
        return;
    controllers_.emplace_back(controller);
    registry_[className] = controller;
}

QModelIndex NodeTree::AddNode(Node* node)
{
    model_.appendRow(node);
    return node->index();
}

Delegate* NodeTree::DelegateFor(Node* node) const
{
    if (!node)
        return nullptr;
    auto found = registry_.find(QByteArray(node->metaObject()->className()));
    if (found == registry_.end())
        found = registry_.find(QByteArray());
    return found == registry_.end() ? nullptr : found->second;
}

Node* NodeTree::NodeAt(const QModelIndex& index) const
{
    return index.isValid() ? Node::From(model_.itemFromIndex(index)) : nullptr;
}

void NodeTree::viewNode(const QModelIndex& index)
{
    Node* node = NodeAt(index);
    Delegate* controller = DelegateFor(node);
    if (!controller)
        return;
    const OverrideCursorHelper waiting;
    QWidget* view = controller->View(node);
    if (!view || !viewStack_)
        return;
    if (viewStack_->indexOf(view) == -1)
        viewStack_->addWidget(view);
    viewStack_->setCurrentWidget(view);
}

void NodeTree::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    viewNode(current);
}

void NodeTree::keyPressEvent(QKeyEvent* event)
{
    event->ignore();
    Node* node = NodeAt(currentIndex());
    if (Delegate* controller = node ? DelegateFor(node) : nullptr)
        controller->KeyPressEvent(this, event, node);
    if (!event->isAccepted())
        QTreeView::keyPressEvent(event);
}

void NodeTree::contextMenuEvent(QContextMenuEvent* event)
{
    Node* node = NodeAt(indexAt(event->pos()));
    if (Delegate* controller = node ? DelegateFor(node) : nullptr)
        controller->ContextMenuEvent(this, event, node);
}

void NodeTree::dragEnterEvent(QDragEnterEvent* event)
{
    event->accept();
    setState(DraggingState);
}

Node* NodeTree::DropTargetAt(const QPoint& point, QModelIndex* index) const
{
    *index = indexAt(point);
    if (!index->isValid() || !(model_.flags(*index) & Qt::ItemIsDropEnabled))
        return nullptr;
    return NodeAt(*index);
}

void NodeTree::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeView::dragMoveEvent(event);
    setState(DraggingState);
    QModelIndex index;
    Node* target = DropTargetAt(event->position().toPoint(), &index);
    Qt::DropAction chosen = Qt::IgnoreAction;
    if (target && target->CanDrop(event->mimeData(), event->possibleActions(), event->proposedAction(), &chosen)) {
        event->setDropAction(chosen);
        event->accept();
        highlight_->SetHighlight(index);
    } else {
        event->ignore();
        highlight_->ClearHighlight();
    }
    viewport()->update();
}

void NodeTree::dragLeaveEvent(QDragLeaveEvent* event)
{
    QTreeView::dragLeaveEvent(event);
    ClearHighlight();
}

void NodeTree::dropEvent(QDropEvent* event)
{
    QModelIndex index;
    Node* target = DropTargetAt(event->position().toPoint(), &index);
    event->ignore();
    Qt::DropAction chosen = Qt::IgnoreAction;
    if (target && target->CanDrop(event->mimeData(), event->possibleActions(), event->proposedAction(), &chosen)
        && target->Drop(this, event->mimeData(), chosen)) {
        event->setDropAction(chosen);
        event->accept();
    }
    setState(NoState);
    ClearHighlight();
}

void NodeTree::ClearHighlight()
{
    highlight_->ClearHighlight();
    viewport()->update();
}

void NodeTree::startDrag(Qt::DropActions supportedActions)
{
    const QModelIndexList selected = selectedIndexes();
    if (selected.isEmpty())
        return;
    const std::unique_ptr<QMimeData> rowData(model_.mimeData(selected));
    if (!rowData)
        return;
    // What leaves the tree is an item-view drag of the row's content, whatever form the
    // row gave it.
    std::unique_ptr<QMimeData> data = ContentCommands::ItemViewDrag(rowData.get());
    if (!data)
        return;
    RunItemDrag(this, data.release(), selected.first(), supportedActions);
}

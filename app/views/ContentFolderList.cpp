#include "app/views/ContentFolderList.h"

#include "app/views/ContentCommands.h"
#include "app/views/ContentFolderModel.h"
#include "app/widgets/ItemDrag.h"
#include "app/widgets/ItemPainters.h"
#include "content/ContentFolder.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>

namespace {

constexpr int kRowHeight = 16;

} // namespace

ContentFolderList::ContentFolderList(QWidget* parent) : QTableView(parent), highlight_(new HighlightDelegate(this))
{
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    setShowGrid(false);
    setWordWrap(false);
    setSortingEnabled(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragDropMode(QAbstractItemView::DragDrop);
    setItemDelegateForColumn(0, highlight_);
    setItemDelegateForColumn(1, new OvalDelegate(this));
    connect(this, &QAbstractItemView::activated, this, &ContentFolderList::ActivateItem);
}

void ContentFolderList::setModel(QAbstractItemModel* model)
{
    model_ = qobject_cast<ContentFolderModel*>(model);
    QTableView::setModel(model);
}

ContentFolder* ContentFolderList::ShownFolder() const
{
    return model_ ? model_->Folder() : nullptr;
}

QList<ContentBase*> ContentFolderList::SelectedContent() const
{
    QList<ContentBase*> items;
    if (!selectionModel())
        return items;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
        if (index.column() != 0)
            continue;
        if (auto* child = index.data(Qt::UserRole).value<ContentBase*>())
            items.append(child);
    }
    return items;
}

void ContentFolderList::ActivateItem(const QModelIndex& index)
{
    if (auto* folder = qobject_cast<ContentFolder*>(index.data(Qt::UserRole).value<ContentBase*>()))
        emit navigateTo(folder);
}

void ContentFolderList::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    if (command == QItemSelectionModel::Clear) {
        selectionModel()->clear();
        return;
    }
    QTableView::setSelection(rect, command);
}

void ContentFolderList::keyPressEvent(QKeyEvent* event)
{
    const QList<ContentBase*> selected = SelectedContent();
    event->ignore();
    if (ContentCommands::RunKey(this, event, selected, ShownFolder())) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ContentFolderList::contextMenuEvent(QContextMenuEvent* event)
{
    ContentFolder* folder = ShownFolder();
    if (!folder)
        return;
    QMenu menu(this);
    ContentCommands::AddSelectionEntries(&menu, folder, SelectedContent());
    if (ContentCommands::HasEntries(menu))
        menu.exec(event->globalPos());
}

void ContentFolderList::startDrag(Qt::DropActions supportedActions)
{
    const QModelIndexList selected = selectedIndexes();
    if (selected.isEmpty() || !model_)
        return;
    QMimeData* data = model_->mimeData(selected);
    if (!data)
        return;
    RunItemDrag(this, data, selected.first(), supportedActions);
}

void ContentFolderList::dragEnterEvent(QDragEnterEvent* event)
{
    Qt::DropAction chosen = event->dropAction();
    if (!ContentCommands::AcceptsDrag(ShownFolder(), event->mimeData(), event->possibleActions(), &chosen)) {
        event->ignore();
        return;
    }
    event->setDropAction(chosen);
    event->accept();
    setState(DraggingState);
}

void ContentFolderList::dragMoveEvent(QDragMoveEvent* event)
{
    QTableView::dragMoveEvent(event);
    viewport()->update();
    const QModelIndex index = indexAt(event->position().toPoint());
    highlight_->SetHighlight(index);
    if (!model_ || !(model_->flags(index) & Qt::ItemIsDropEnabled))
        return;
    event->ignore();
    Qt::DropAction chosen = Qt::IgnoreAction;
    if (model_->CanDrop(event->mimeData(), event->possibleActions(), event->proposedAction(), &chosen, index.row(),
                        index.column(), index.parent())) {
        event->setDropAction(chosen);
        event->accept();
    }
}

void ContentFolderList::dragLeaveEvent(QDragLeaveEvent* event)
{
    QTableView::dragLeaveEvent(event);
    ClearHighlight();
}

void ContentFolderList::dropEvent(QDropEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    event->ignore();
    Qt::DropAction chosen = Qt::IgnoreAction;
    if (model_
        && model_->CanDrop(event->mimeData(), event->possibleActions(), event->proposedAction(), &chosen,
                           index.row(), index.column(), index.parent())
        && model_->Drop(this, event->mimeData(), chosen, index.row(), index.column(), index.parent())) {
        event->setDropAction(chosen);
        event->accept();
    }
    setState(NoState);
    ClearHighlight();
}

void ContentFolderList::ClearHighlight()
{
    highlight_->ClearHighlight();
    viewport()->update();
}

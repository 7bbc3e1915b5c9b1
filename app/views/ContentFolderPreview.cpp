#include "app/views/ContentFolderPreview.h"

#include "app/views/ContentCommands.h"
#include "app/views/ContentFolderModel.h"
#include "app/views/ContentPreview.h"
#include "images/ui/PreviewItem.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>

namespace {

// Room kept around a tile scrolled into view.
constexpr int kScrollMargin = 50;

} // namespace

ContentFolderPreview::ContentFolderPreview(QWidget* parent)
    : QAbstractItemView(parent), preview_(new ContentPreview(this))
{
    preview_->SetMode(ContentPreview::kAnimateAll);
    connect(preview_, &ContentPreview::navigateTo, this, &ContentFolderPreview::navigateTo);
    connect(preview_, &ContentPreview::selectionChanged, this, &ContentFolderPreview::ViewSelectionChanged);
    connect(preview_, &ContentPreview::tilePressed, this, [this](int row) {
        if (model() && selectionModel())
            selectionModel()->setCurrentIndex(model()->index(row, 0, rootIndex()), QItemSelectionModel::NoUpdate);
    });
    connect(this, &QAbstractItemView::activated, this, &ContentFolderPreview::DoActivated);
    setViewport(preview_);
    // The scene scrolls itself.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Renaming goes through the rename dialog, never an editor over the scene.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

ContentFolderPreview::~ContentFolderPreview() = default;

void ContentFolderPreview::setModel(QAbstractItemModel* newModel)
{
    if (QAbstractItemModel* old = model()) {
        disconnect(old, &QAbstractItemModel::modelReset, this, &ContentFolderPreview::ResetView);
        disconnect(old, &QAbstractItemModel::layoutChanged, this, &ContentFolderPreview::ResetView);
    }
    QAbstractItemView::setModel(newModel);
    folderModel_ = qobject_cast<ContentFolderModel*>(newModel);
    ResetView();
    if (newModel) {
        connect(newModel, &QAbstractItemModel::modelReset, this, &ContentFolderPreview::ResetView);
        connect(newModel, &QAbstractItemModel::layoutChanged, this, &ContentFolderPreview::ResetView);
    }
}

bool ContentFolderPreview::IsTopLevel(const QModelIndex& index) const
{
    return index.isValid() && index.model() == model() && index.parent() == rootIndex();
}

ContentFolder* ContentFolderPreview::ShownFolder() const
{
    return folderModel_ ? folderModel_->Folder() : nullptr;
}

QList<ContentBase*> ContentFolderPreview::ChildrenOfRows(int first, int last) const
{
    QList<ContentBase*> children;
    for (int row = first; row <= last; ++row)
        children.append(model()->index(row, 0, rootIndex()).data(Qt::UserRole).value<ContentBase*>());
    return children;
}

QList<ContentBase*> ContentFolderPreview::SelectedContent() const
{
    QList<ContentBase*> items;
    for (const QModelIndex& index : selectedIndexes()) {
        if (index.column() != 0)
            continue;
        if (auto* child = index.data(Qt::UserRole).value<ContentBase*>())
            items.append(child);
    }
    return items;
}

QRect ContentFolderPreview::visualRect(const QModelIndex& index) const
{
    PreviewItem* item = IsTopLevel(index) ? preview_->Item(index.row()) : nullptr;
    if (!item)
        return QRect();
    // Viewport coordinates: the preview has no frame, so its view and its own viewport
    // share them.
    return preview_->mapFromScene(item->sceneBoundingRect()).boundingRect();
}

void ContentFolderPreview::scrollTo(const QModelIndex& index, ScrollHint)
{
    if (PreviewItem* item = IsTopLevel(index) ? preview_->Item(index.row()) : nullptr)
        preview_->ensureVisible(item, kScrollMargin, kScrollMargin);
}

QModelIndex ContentFolderPreview::indexAt(const QPoint& point) const
{
    const int row = preview_->RowAt(point);
    return row >= 0 && model() ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

QModelIndex ContentFolderPreview::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const QModelIndex current = currentIndex();
    if (!IsTopLevel(current))
        return current;
    const int count = preview_->ItemCount();
    const int row = current.row();
    int to = row;
    switch (cursorAction) {
    case MoveUp:
    case MoveLeft:
    case MovePrevious:
        to = row >= 1 ? row - 1 : row;
        break;
    case MoveDown:
    case MoveRight:
    case MoveNext:
        to = row + 1 < count ? row + 1 : row;
        break;
    case MoveHome:
    case MovePageUp:
        to = 0;
        break;
    case MoveEnd:
    case MovePageDown:
        to = count - 1;
        break;
    }
    if (to < 0)
        return current;
    return model()->index(to, current.column(), rootIndex());
}

int ContentFolderPreview::horizontalOffset() const
{
    return preview_->horizontalScrollBar()->value();
}

int ContentFolderPreview::verticalOffset() const
{
    return preview_->verticalScrollBar()->value();
}

bool ContentFolderPreview::isIndexHidden(const QModelIndex&) const
{
    return false;
}

void ContentFolderPreview::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    if (!model() || !selectionModel())
        return;
    const QRect area = rect.normalized();
    QItemSelection selection;
    for (int row = 0; row < preview_->ItemCount(); ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        if (visualRect(index).intersects(area))
            selection.select(index, index);
    }
    selectionModel()->select(selection, command);
}

QRegion ContentFolderPreview::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex())
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            region += visualRect(model()->index(row, 0, rootIndex()));
    }
    return region;
}

QModelIndexList ContentFolderPreview::selectedIndexes() const
{
    return selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList();
}

void ContentFolderPreview::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (PreviewItem* item = IsTopLevel(current) ? preview_->Item(current.row()) : nullptr)
        item->setFocus(Qt::OtherFocusReason);
    QAbstractItemView::currentChanged(current, previous);
}

void ContentFolderPreview::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    // The tiles follow with the preview's signals blocked, so that this does not come back
    // through ViewSelectionChanged.
    auto follow = [this](const QItemSelection& ranges, bool select) {
        for (const QItemSelectionRange& range : ranges) {
            if (!range.isValid() || range.parent() != rootIndex() || range.left() > 0)
                continue;
            for (int row = range.top(); row <= range.bottom(); ++row) {
                PreviewItem* item = preview_->Item(row);
                if (item && item->isSelected() != select) {
                    const QSignalBlocker blocker(preview_);
                    item->setSelected(select);
                }
            }
        }
    };
    follow(selected, true);
    follow(deselected, false);
    QAbstractItemView::selectionChanged(selected, deselected);
}

void ContentFolderPreview::ViewSelectionChanged()
{
    if (!model() || !selectionModel())
        return;
    // The rows take the tiles' selection as one whole selection: row-by-row selects and
    // deselects would leave the last of them pending in the selection model, where a
    // following Shift+arrow (which extends the pending part) would replace it.
    QItemSelection tiles;
    bool differs = false;
    for (int row = 0; row < preview_->ItemCount(); ++row) {
        const bool tile = preview_->Item(row)->isSelected();
        const QModelIndex index = model()->index(row, 0, rootIndex());
        if (tile)
            tiles.select(index, index);
        differs = differs || tile != selectionModel()->rowIntersectsSelection(row, rootIndex());
    }
    if (differs)
        selectionModel()->select(tiles, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ContentFolderPreview::rowsInserted(const QModelIndex& parent, int start, int end)
{
    if (parent == rootIndex())
        preview_->InsertItems(start, ChildrenOfRows(start, end));
    QAbstractItemView::rowsInserted(parent, start, end);
}

void ContentFolderPreview::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    if (parent == rootIndex())
        preview_->RemoveItems(start, end);
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
}

void ContentFolderPreview::ResetView()
{
    preview_->Clear();
    if (model()) {
        preview_->InsertItems(0, ChildrenOfRows(0, model()->rowCount(rootIndex()) - 1));
        if (selectionModel()) {
            const QSignalBlocker blocker(preview_);
            for (int row = 0; row < preview_->ItemCount(); ++row)
                preview_->Item(row)->setSelected(selectionModel()->rowIntersectsSelection(row, rootIndex()));
        }
    }
    preview_->setFolder(ShownFolder());
}

void ContentFolderPreview::DoActivated(const QModelIndex& index)
{
    if (QPointer<PreviewItem> item = IsTopLevel(index) ? preview_->Item(index.row()) : nullptr)
        item->Activate(preview_);
}

bool ContentFolderPreview::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Resize:
    case QEvent::Wheel:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
    case QEvent::ContextMenu:
        // The preview handles these itself.
        return false;
    default:
        return QAbstractItemView::viewportEvent(event);
    }
}

void ContentFolderPreview::keyPressEvent(QKeyEvent* event)
{
    const QList<ContentBase*> selected = SelectedContent();
    if (event->key() == Qt::Key_F2) {
        // Only one item can be renamed at a time; with another number F2 does nothing.
        if (selected.size() == 1) {
            ContentCommands::Rename(this, selected.first());
            event->accept();
        }
        return;
    }
    event->ignore();
    if (ContentCommands::RunKey(this, event, selected, ShownFolder())) {
        event->accept();
        return;
    }
    QAbstractItemView::keyPressEvent(event);
}

void ContentFolderPreview::contextMenuEvent(QContextMenuEvent* event)
{
    const QList<ContentBase*> selected = SelectedContent();
    if (selected.size() == 1) {
        const QModelIndexList rows = selectionModel()->selectedRows();
        if (PreviewItem* item = rows.isEmpty() ? nullptr : preview_->Item(rows.first().row()))
            item->ContextMenu(preview_, event->pos());
        return;
    }
    ContentFolder* folder = ShownFolder();
    if (!folder)
        return;
    QMenu menu(this);
    ContentCommands::AddSelectionEntries(&menu, folder, selected);
    if (ContentCommands::HasEntries(menu))
        menu.exec(event->globalPos());
}

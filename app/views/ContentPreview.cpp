#include "app/views/ContentPreview.h"

#include "app/views/ContentCommands.h"
#include "content/ContentFolder.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/ui/PreviewItem.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

// The tile for `content`, by its kind.
PreviewItem* NewTile(ContentBase* content)
{
    if (auto* brevant = qobject_cast<BrevantImage*>(content))
        return new BrevantImageItem(brevant);
    if (auto* cindral = qobject_cast<CindralImage*>(content))
        return new CindralImageItem(cindral);
    if (auto* folder = qobject_cast<ContentFolder*>(content))
        return new FolderItem(folder);
    return new UnknownItem(content);
}

} // namespace

ContentPreview::ContentPreview(QWidget* parent) : QGraphicsView(parent)
{
    // The view's area and its viewport coincide, so the item view around it can answer in
    // either's coordinates.
    setFrameShape(QFrame::NoFrame);
    setDragMode(QGraphicsView::RubberBandDrag);
    setRenderHint(QPainter::Antialiasing);
    setScene(&scene_);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(&scene_, &QGraphicsScene::selectionChanged, this, &ContentPreview::selectionChanged);
    setAcceptDrops(true);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &ContentPreview::UpdateGreyouts);
}

ContentPreview::~ContentPreview()
{
    Clear();
    setScene(nullptr);
}

void ContentPreview::SetMode(int mode)
{
    mode_ = mode;
    for (PreviewItem* item : items_) {
        item->SetHoverAnimates(mode == kAnimateOnHover);
        item->SetAnimated(mode == kAnimateAll);
    }
}

void ContentPreview::InsertItems(int position, const QList<ContentBase*>& contents)
{
    position = std::clamp(position, 0, ItemCount());
    for (ContentBase* content : contents) {
        PreviewItem* item = NewTile(content);
        if (auto* folderItem = qobject_cast<FolderItem*>(item))
            connect(folderItem, &FolderItem::activated, this, &ContentPreview::navigateTo);
        item->SetHoverAnimates(mode_ == kAnimateOnHover);
        item->SetAnimated(mode_ == kAnimateAll);
        items_.insert(items_.begin() + position++, item);
        scene_.addItem(item);
    }
    UpdateGreyouts();
    Layout();
}

void ContentPreview::RemoveItems(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, ItemCount() - 1);
    if (first > last)
        return;
    for (int i = first; i <= last; ++i) {
        PreviewItem* item = items_[std::size_t(i)];
        if (item == highlighted_)
            highlighted_ = nullptr;
        scene_.removeItem(item);
        delete item;
    }
    items_.erase(items_.begin() + first, items_.begin() + last + 1);
    Layout();
}

void ContentPreview::Clear()
{
    const QSignalBlocker blocker(this);
    highlighted_ = nullptr;
    for (PreviewItem* item : items_) {
        scene_.removeItem(item);
        delete item;
    }
    items_.clear();
}

PreviewItem* ContentPreview::Item(int row) const
{
    return row >= 0 && row < ItemCount() ? items_[std::size_t(row)] : nullptr;
}

int ContentPreview::RowOf(const PreviewItem* item) const
{
    const auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

int ContentPreview::RowAt(const QPoint& point) const
{
    return RowOf(TileAt(point));
}

PreviewItem* ContentPreview::TileAt(const QPoint& point) const
{
    QGraphicsItem* item = itemAt(point);
    if (!item)
        return nullptr;
    auto* tile = dynamic_cast<PreviewItem*>(item->topLevelItem());
    return RowOf(tile) >= 0 ? tile : nullptr;
}

QList<ContentBase*> ContentPreview::SelectedContent() const
{
    QList<ContentBase*> contents;
    for (QGraphicsItem* item : scene_.selectedItems()) {
        auto* tile = dynamic_cast<PreviewItem*>(item);
        if (tile && tile->GetContent())
            contents.append(tile->GetContent());
    }
    return contents;
}

QPoint ContentPreview::SelectionCentre() const
{
    const QList<QGraphicsItem*> selected = scene_.selectedItems();
    if (selected.isEmpty())
        return rect().center();
    QRect around;
    for (QGraphicsItem* item : selected) {
        const QPoint centre = mapFromScene(item->sceneBoundingRect().center());
        around = around.isNull() ? QRect(centre, centre) : around.united(QRect(centre, centre));
    }
    return around.center();
}

void ContentPreview::setFolder(ContentFolder* folder)
{
    if (folder_ == folder)
        return;
    folder_ = folder;
    if (isVisible())
        LoadFolder();
}

void ContentPreview::LoadFolder()
{
    if (folder_)
        folder_->LoadContent();
}

void ContentPreview::UpdateGreyouts()
{
    const QList<ContentBase*> cut = ContentCommands::CutContent(QApplication::clipboard()->mimeData());
    for (PreviewItem* item : items_)
        item->SetGreyedOut(item->GetContent() && cut.contains(item->GetContent()));
}

void ContentPreview::Layout()
{
    const int width = mapToScene(viewport()->rect()).boundingRect().toAlignedRect().width();
    int x = kSpacing;
    int y = kSpacing;
    int rowHeight = 0;
    int maxX = 0;
    bool first = true;
    for (PreviewItem* item : items_) {
        const QRectF bounds = item->childrenBoundingRect().united(item->rect());
        const int w = int(bounds.width());
        const int h = int(bounds.height());
        // The first tile of a row stays there even when it is wider than the view.
        if (!first && width < x + w + kSpacing) {
            x = kSpacing;
            y += rowHeight + kSpacing;
            rowHeight = 0;
        }
        first = false;
        item->setPos(x, y);
        x += w + kSpacing;
        maxX = std::max(maxX, x);
        rowHeight = std::max(rowHeight, h);
    }
    scene_.setSceneRect(0, 0, maxX, y + rowHeight + kSpacing);
}

void ContentPreview::showEvent(QShowEvent* event)
{
    QGraphicsView::showEvent(event);
    LoadFolder();
}

void ContentPreview::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    Layout();
}

void ContentPreview::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        return; // the context menu selects what it is for
    PreviewItem* tile = event->button() == Qt::LeftButton ? TileAt(event->position().toPoint()) : nullptr;
    if (tile)
        dragStart_ = event->position().toPoint();
    QGraphicsView::mousePressEvent(event);
    if (tile)
        emit tilePressed(RowOf(tile));
}

void ContentPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragStart_ = QPoint();
    QGraphicsView::mouseReleaseEvent(event);
}

void ContentPreview::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && !dragStart_.isNull()
        && (event->position().toPoint() - dragStart_).manhattanLength() >= QApplication::startDragDistance()) {
        dragStart_ = QPoint();
        QMimeData* data = ContentCommands::ItemViewDragData(SelectedContent());
        if (!data)
            return;
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction | Qt::MoveAction);
        return;
    }
    QGraphicsView::mouseMoveEvent(event);
}

void ContentPreview::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        // The tile may go while its dialog runs (a folder change rebuilds them all).
        if (QPointer<PreviewItem> tile = TileAt(event->position().toPoint()))
            tile->Activate(this);
    }
    QGraphicsView::mouseDoubleClickEvent(event);
}

void ContentPreview::dragEnterEvent(QDragEnterEvent* event)
{
    Qt::DropAction chosen = event->dropAction();
    if (!ContentCommands::AcceptsDrag(folder_, event->mimeData(), event->possibleActions(), &chosen)) {
        event->ignore();
        return;
    }
    event->setDropAction(chosen);
    event->accept();
    Highlight(nullptr);
}

void ContentPreview::dragMoveEvent(QDragMoveEvent* event)
{
    auto* folderTile = qobject_cast<FolderItem*>(TileAt(event->position().toPoint()));
    ContentFolder* target = folderTile && folderTile->Folder() ? folderTile->Folder() : folder_.data();
    Qt::DropAction chosen = Qt::IgnoreAction;
    if (target
        && ContentCommands::CanDrop(target, event->mimeData(), event->possibleActions(), event->proposedAction(),
                                    &chosen)) {
        event->setDropAction(chosen);
        event->accept();
        Highlight(folderTile);
    } else {
        event->ignore();
        Highlight(nullptr);
    }
}

void ContentPreview::dragLeaveEvent(QDragLeaveEvent* event)
{
    // The drag never reached the scene (its enter was answered here), so it leaves here too.
    Highlight(nullptr);
    event->accept();
}

void ContentPreview::dropEvent(QDropEvent* event)
{
    ContentFolder* target = highlighted_ && highlighted_->Folder() ? highlighted_->Folder() : folder_.data();
    Highlight(nullptr);
    event->ignore();
    Qt::DropAction chosen = Qt::IgnoreAction;
    if (target
        && ContentCommands::CanDrop(target, event->mimeData(), event->possibleActions(), event->proposedAction(),
                                    &chosen)
        && ContentCommands::Drop(this, target, event->mimeData(), chosen)) {
        event->setDropAction(chosen);
        event->accept();
    }
}

void ContentPreview::Highlight(FolderItem* item)
{
    if (highlighted_ == item)
        return;
    if (highlighted_)
        highlighted_->SetHighlighted(false);
    highlighted_ = item;
    if (highlighted_)
        highlighted_->SetHighlighted(true);
}

void ContentPreview::contextMenuEvent(QContextMenuEvent* event)
{
    QPoint position;
    if (event->reason() == QContextMenuEvent::Mouse) {
        PreviewItem* tile = TileAt(event->pos());
        if (tile && !tile->isSelected()) {
            scene_.clearSelection();
            tile->setSelected(true);
        }
        position = event->pos();
    } else if (event->reason() == QContextMenuEvent::Keyboard) {
        const QRect area = rect();
        const QPoint centre = SelectionCentre();
        position = QPoint(std::clamp(centre.x(), area.left(), area.right()),
                          std::clamp(centre.y(), area.top(), area.bottom()));
    }
    event->accept();
    DoContextMenu(position);
}

void ContentPreview::DoContextMenu(const QPoint& pos)
{
    QList<PreviewItem*> selected;
    for (QGraphicsItem* item : scene_.selectedItems())
        if (auto* tile = dynamic_cast<PreviewItem*>(item))
            selected.append(tile);
    if (selected.size() == 1) {
        selected.first()->ContextMenu(this, pos);
        return;
    }
    if (!folder_)
        return;
    QMenu menu(this);
    ContentCommands::AddSelectionEntries(&menu, folder_, SelectedContent());
    if (ContentCommands::HasEntries(menu))
        menu.exec(mapToGlobal(pos));
}

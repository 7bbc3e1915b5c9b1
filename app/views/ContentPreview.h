#pragma once

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QList>
#include <QPoint>
#include <QPointer>

#include <vector>

class ContentBase;
class ContentFolder;
class FolderItem;
class PreviewItem;

// The scene of the "Preview" tab: one tile per child of the shown folder, in the model's
// row order, laid out in rows that wrap at the viewport's width. It takes clicks, rubber
// bands, double clicks, drags of the selection, drops (a sub-folder's tile under the
// cursor is the target, else the shown folder) and context menus; tiles of content cut to
// the clipboard are greyed out. A folder is asked to load its content only while the view
// is shown, so a fixture's files are fetched only when someone looks at them.
//
// The tiles are owned here and follow ContentFolderPreview's model. GUI thread.
class ContentPreview : public QGraphicsView
{
    Q_OBJECT
public:
    // How tiles animate: every tile plays (kAnimateAll), a tile plays while hovered
    // (kAnimateOnHover), or none plays (any other value).
    static constexpr int kAnimateOnHover = 1;
    static constexpr int kAnimateAll = 3;
    // Space around and between tiles.
    static constexpr int kSpacing = 10;

    explicit ContentPreview(QWidget* parent = nullptr);
    ~ContentPreview() override;

    ContentFolder* Folder() const { return folder_; }
    int Mode() const { return mode_; }
    void SetMode(int mode);

    // Tiles for `contents`, at `position`, position + 1, …
    void InsertItems(int position, const QList<ContentBase*>& contents);
    // Drops tiles first .. last.
    void RemoveItems(int first, int last);
    // Drops every tile, without announcing selection changes.
    void Clear();

    int ItemCount() const { return int(items_.size()); }
    // The tile of row `row`; null when there is none.
    PreviewItem* Item(int row) const;
    // The row of the tile at `point` (viewport coordinates); -1 when there is none.
    int RowAt(const QPoint& point) const;
    // The row of `item`; -1 when it is not one of the tiles.
    int RowOf(const PreviewItem* item) const;
    // The contents of the selected tiles, in the scene's order.
    QList<ContentBase*> SelectedContent() const;
    // The centre of the selected tiles (view coordinates); the view's centre with none.
    QPoint SelectionCentre() const;
    // The folder tile marked as drop target; null with none.
    FolderItem* DropTarget() const { return highlighted_; }

signals:
    void navigateTo(ContentFolder* folder);
    void selectionChanged();
    // A left press on the tile of `row`: it becomes the current item.
    void tilePressed(int row);

public slots:
    // Shows `folder`'s content from now on; asks it to load its content when visible.
    void setFolder(ContentFolder* folder);
    // Greys out the tiles of contents that the clipboard holds cut.
    void UpdateGreyouts();
    // The menu for the selected tiles at `pos` (view coordinates).
    void DoContextMenu(const QPoint& pos);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Layout();
    PreviewItem* TileAt(const QPoint& point) const;
    void Highlight(FolderItem* item);
    void LoadFolder();

    QPointer<ContentFolder> folder_;
    std::vector<PreviewItem*> items_;
    QGraphicsScene scene_;
    int mode_ = 0;
    QPoint dragStart_;
    FolderItem* highlighted_ = nullptr;
};

#pragma once

#include <QAbstractItemView>
#include <QPointer>

class ContentBase;
class ContentFolder;
class ContentFolderModel;
class ContentPreview;

// The "Preview" tab of the folder view: an item view over the folder model whose viewport
// is a ContentPreview, one tile per top-level row. It keeps the tiles in step with the
// model's rows and the tiles' selection in step with the (shared) selection model, both
// ways, and answers the item-view geometry from the tiles in viewport coordinates, so that
// keys and rubber bands select what they cover. Keys are the folder list's, plus F2 to
// rename the one selected item. GUI thread.
class ContentFolderPreview : public QAbstractItemView
{
    Q_OBJECT
public:
    explicit ContentFolderPreview(QWidget* parent = nullptr);
    ~ContentFolderPreview() override;

    void setModel(QAbstractItemModel* model) override;
    ContentPreview* Preview() const { return preview_; }

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

signals:
    void navigateTo(ContentFolder* folder);

protected slots:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    // The scene's selection changed (a click, a rubber band): the selection model follows.
    void ViewSelectionChanged();
    // Rebuilds every tile (model reset, layout change, new model).
    void ResetView();
    void DoActivated(const QModelIndex& index);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    QModelIndexList selectedIndexes() const override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool IsTopLevel(const QModelIndex& index) const;
    QList<ContentBase*> ChildrenOfRows(int first, int last) const;
    QList<ContentBase*> SelectedContent() const;
    ContentFolder* ShownFolder() const;

    ContentPreview* preview_;
    QPointer<ContentFolderModel> folderModel_;
};

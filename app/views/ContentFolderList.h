#pragma once

#include "content/ContentFolder.h"

#include <QList>
#include <QPointer>
#include <QTableView>

class ContentFolderModel;
class HighlightDelegate;

// The "List" tab of the folder view: the children of one folder as a sortable table of
// names and addresses, with several rows selectable, renaming and renumbering in place,
// the content keys and context menus, and drags of the selection and drops onto the shown
// folder or a sub-folder's row. Files dragged in are taken only when the shown folder can
// import them. GUI thread.
class ContentFolderList : public QTableView
{
    Q_OBJECT
public:
    explicit ContentFolderList(QWidget* parent = nullptr);

    // Also remembers the model when it is a ContentFolderModel.
    void setModel(QAbstractItemModel* model) override;
    ContentFolderModel* FolderModel() const { return model_; }
    // The children of the selected rows, in selection order.
    QList<ContentBase*> SelectedContent() const;
    HighlightDelegate* Highlighter() const { return highlight_; }

signals:
    // A sub-folder was activated: the folder view shows it.
    void navigateTo(ContentFolder* folder);

public slots:
    void ActivateItem(const QModelIndex& index);

protected:
    // A request that only clears (as Qt sends for some clicks) also clears the current item.
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    ContentFolder* ShownFolder() const;
    void ClearHighlight();

    QPointer<ContentFolderModel> model_;
    HighlightDelegate* highlight_;
};

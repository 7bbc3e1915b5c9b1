#pragma once

#include "content/ContentFolder.h"

#include <QTabWidget>

class ContentFolderList;
class ContentFolderPreview;
class ContentFolderModel;
class QAbstractItemView;
class QItemSelectionModel;

// The view of a content folder in the main window: tabs over one shared model and one
// shared selection, so that selecting in one tab selects in the others. The "List" tab is
// the folder list, the "Preview" tab the tiles of the folder's children. Moving into a sub-folder from any tab shows it in all of them and
// announces it with folderChanged, so the navigation tree can follow. GUI thread.
class ContentFolderView : public QTabWidget
{
    Q_OBJECT
public:
    explicit ContentFolderView(QWidget* parent = nullptr);
    ~ContentFolderView() override;

    ContentFolderModel* Model() const { return model_; }
    QItemSelectionModel* Selection() const { return selection_; }
    ContentFolderList* List() const { return list_; }
    ContentFolderPreview* Preview() const { return preview_; }

signals:
    void folderChanged(ContentFolder* folder);

public slots:
    // Shows `folder` in every tab (null: none). Always true.
    bool SetFolder(ContentFolder* folder);

private:
    void ShareModel(QAbstractItemView* tab);

    ContentFolderModel* model_;
    QItemSelectionModel* selection_;
    ContentFolderList* list_;
    ContentFolderPreview* preview_;
};

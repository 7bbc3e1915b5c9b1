#include "app/views/ContentFolderView.h"

#include "app/views/ContentFolderList.h"
#include "app/views/ContentFolderModel.h"
#include "app/views/ContentFolderPreview.h"

#include <QItemSelectionModel>

ContentFolderView::ContentFolderView(QWidget* parent)
    : QTabWidget(parent),
      model_(new ContentFolderModel(this)),
      selection_(new QItemSelectionModel(model_, this)),
      list_(new ContentFolderList(this)),
      preview_(new ContentFolderPreview(this))
{
    ShareModel(list_);
    connect(list_, &ContentFolderList::navigateTo, this, &ContentFolderView::SetFolder);
    addTab(list_, QStringLiteral("List"));
    ShareModel(preview_);
    connect(preview_, &ContentFolderPreview::navigateTo, this, &ContentFolderView::SetFolder);
    addTab(preview_, QStringLiteral("Preview"));
}

void ContentFolderView::ShareModel(QAbstractItemView* tab)
{
    tab->setModel(model_);
    // setModel made a selection model of its own; the tabs share ours instead.
    QItemSelectionModel* own = tab->selectionModel();
    tab->setSelectionModel(selection_);
    delete own;
}

ContentFolderView::~ContentFolderView()
{
    // The tabs go before the model they show.
    delete list_;
    delete preview_;
    delete selection_;
    delete model_;
}

bool ContentFolderView::SetFolder(ContentFolder* folder)
{
    if (model_->Folder() == folder)
        return true;
    model_->SetFolder(folder);
    emit folderChanged(folder);
    return true;
}

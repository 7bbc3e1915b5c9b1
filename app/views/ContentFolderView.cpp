#include "app/views/ContentFolderView.h"

#include "app/views/ContentFolderList.h"
#include "app/views/ContentFolderModel.h"

#include <QItemSelectionModel>

ContentFolderView::ContentFolderView(QWidget* parent)
    : QTabWidget(parent),
      model_(new ContentFolderModel(this)),
      selection_(new QItemSelectionModel(model_, this)),
      list_(new ContentFolderList(this))
{
    list_->setModel(model_);
    // setModel made a selection model of its own; the tabs share ours instead.
    QItemSelectionModel* own = list_->selectionModel();
    list_->setSelectionModel(selection_);
    delete own;
    connect(list_, &ContentFolderList::navigateTo, this, &ContentFolderView::SetFolder);
    addTab(list_, QStringLiteral("List"));
}

ContentFolderView::~ContentFolderView()
{
    // The tabs go before the model they show.
    delete list_;
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

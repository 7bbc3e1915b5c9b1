#include "app/tree/ContentFolderDelegate.h"

#include "app/tree/ContentNodes.h"
#include "app/tree/NodeTree.h"
#include "app/views/ContentCommands.h"
#include "app/views/ContentFolderView.h"
#include "content/ContentFolder.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

ContentFolderDelegate::ContentFolderDelegate(NodeTree* tree) : Delegate(tree), view_(new ContentFolderView)
{
    connect(view_.get(), &ContentFolderView::folderChanged, this, &ContentFolderDelegate::navigateTo);
}

void ContentFolderDelegate::KeyPressEvent(NodeTree* tree, QKeyEvent* event, Node* node)
{
    auto* cell = dynamic_cast<ContentFolderNode*>(node);
    ContentFolder* folder = cell ? cell->Folder() : nullptr;
    if (folder && ContentCommands::RunKey(tree, event, {folder}, folder))
        event->accept();
}

void ContentFolderDelegate::ContextMenuEvent(NodeTree* tree, QContextMenuEvent* event, Node* node)
{
    auto* cell = dynamic_cast<ContentFolderNode*>(node);
    ContentFolder* folder = cell ? cell->Folder() : nullptr;
    if (!folder)
        return;
    // The menu runs an event loop, in which the row may go (its fixture leaving the line, a
    // deletion chosen from the menu): from then on it is known by index only.
    const QPersistentModelIndex row = cell->index();
    QMenu menu(tree);
    QAction* rename = nullptr;
    ContentCommands::AddFolderRowEntries(&menu, folder, &rename);
    if (!ContentCommands::HasEntries(menu))
        return;
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen && chosen == rename && row.isValid())
        tree->edit(row);
}

QWidget* ContentFolderDelegate::View(Node* node)
{
    auto* cell = dynamic_cast<ContentFolderNode*>(node);
    if (!cell || !view_)
        return nullptr;
    shownRow_ = cell->index().siblingAtColumn(0);
    view_->SetFolder(cell->Folder());
    return view_.get();
}

void ContentFolderDelegate::navigateTo(ContentFolder* folder)
{
    NodeTree* tree = Tree();
    if (!shownRow_.isValid() || !folder)
        return;
    const QModelIndex shown = shownRow_;
    for (int row = 0; row < tree->Model()->rowCount(shown); ++row) {
        const QModelIndex index = tree->Model()->index(row, 0, shown);
        const auto* cell = ContentFolderNode::From(tree->Model()->itemFromIndex(index));
        if (cell && cell->IsFor(folder) && cell->Folder()) {
            tree->setCurrentIndex(index);
            tree->scrollTo(index, QAbstractItemView::EnsureVisible);
            return;
        }
    }
}

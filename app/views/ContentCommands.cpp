#include "app/views/ContentCommands.h"

#include <QMenu>
#include <QMimeData>

#include <algorithm>

// The content actions, the payload of drags and the drop rules are not part of the program
// yet: nothing is renamed, dragged or dropped in the views, and no menu entry or key is
// offered.

bool ContentCommands::CanRename(ContentBase*)
{
    return false;
}

bool ContentCommands::CanDrag(ContentBase*)
{
    return false;
}

bool ContentCommands::RunKey(QWidget*, const QKeyEvent*, const QList<ContentBase*>&, ContentFolder*)
{
    return false;
}

void ContentCommands::AddFolderRowEntries(QMenu*, ContentFolder*, QAction** renameEntry)
{
    *renameEntry = nullptr;
}

void ContentCommands::AddSelectionEntries(QMenu*, ContentFolder*, const QList<ContentBase*>&) {}

bool ContentCommands::Rename(QWidget*, ContentBase*)
{
    return false;
}

bool ContentCommands::HasEntries(const QMenu& menu)
{
    const QList<QAction*> actions = menu.actions();
    return std::any_of(actions.begin(), actions.end(), [](QAction* action) { return !action->isSeparator(); });
}

QMimeData* ContentCommands::RowDragData(ContentFolder*)
{
    return nullptr;
}

QMimeData* ContentCommands::ItemViewDragData(const QList<ContentBase*>&)
{
    return nullptr;
}

std::unique_ptr<QMimeData> ContentCommands::ItemViewDrag(const QMimeData*)
{
    return nullptr;
}

bool ContentCommands::AcceptsDrag(ContentFolder*, const QMimeData*, Qt::DropActions, Qt::DropAction*)
{
    return false;
}

bool ContentCommands::CanDrop(ContentFolder*, const QMimeData*, Qt::DropActions, Qt::DropAction, Qt::DropAction*)
{
    return false;
}

QList<ContentBase*> ContentCommands::CutContent(const QMimeData*)
{
    return {};
}

bool ContentCommands::Drop(QWidget*, ContentFolder*, const QMimeData*, Qt::DropAction)
{
    return false;
}

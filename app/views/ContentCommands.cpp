#include "app/views/ContentCommands.h"

#include "content/ContentSource.h"
#include "content/ui/ContentDrop.h"

#include <QMenu>
#include <QMimeData>

#include <algorithm>

// The content actions are not part of the program yet: nothing is renamed in the views,
// and no menu entry or key is offered. Drags carry the content payload, and drops follow
// the drop rules.

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

QMimeData* ContentCommands::ItemViewDragData(const QList<ContentBase*>& items)
{
    if (items.isEmpty())
        return nullptr;
    return ContentMimeSource(ContentSource::DraggedFromItemView, items).MimeData();
}

std::unique_ptr<QMimeData> ContentCommands::ItemViewDrag(const QMimeData*)
{
    return nullptr;
}

bool ContentCommands::AcceptsDrag(ContentFolder* folder, const QMimeData* data, Qt::DropActions possible,
                                  Qt::DropAction* chosen)
{
    return folder && data && ContentDrop::DropFiles(folder, data, possible, chosen);
}

bool ContentCommands::CanDrop(ContentFolder* folder, const QMimeData* data, Qt::DropActions possible,
                              Qt::DropAction proposed, Qt::DropAction* chosen)
{
    return folder && data && ContentDrop::CanDrop(folder, data, possible, proposed, chosen);
}

QList<ContentBase*> ContentCommands::CutContent(const QMimeData* data)
{
    ContentSource source;
    if (!source.FromMimeData(data) || source.Mode() != ContentSource::CutToClipboard)
        return {};
    return source.Items();
}

bool ContentCommands::Drop(QWidget* window, ContentFolder* folder, const QMimeData* data, Qt::DropAction action)
{
    return folder && data && ContentDrop::Drop(window, folder, data, action);
}

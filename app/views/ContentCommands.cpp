#include "app/views/ContentCommands.h"

#include "content/ContentFolder.h"
#include "content/ContentSource.h"
#include "content/operations/ContentSteps.h"
#include "content/ui/ContentActions.h"
#include "content/ui/ContentDrop.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

#include <algorithm>
#include <memory>

namespace {

// Adds `action` (made with the menu as parent) when it applies, else drops it.
void Offer(QMenu* menu, bool applicable, QAction* action)
{
    if (applicable)
        menu->addAction(action);
    else
        delete action;
}

// One "New <kind>" entry per kind the folder makes, up to the first it does not.
void OfferNewFolders(QMenu* menu, ContentFolder* folder)
{
    for (int kind = 0; ContentFolderNewAction::IsApplicable(folder, kind); ++kind)
        menu->addAction(new ContentFolderNewAction(menu, folder, kind));
}

void OfferAddressing(QMenu* menu, bool all, const QList<ContentBase*>& items)
{
    Offer(menu, ContentBaseAutosetAction::IsApplicable(items), new ContentBaseAutosetAction(menu, all, items));
    Offer(menu, ContentBaseResetAction::IsApplicable(items), new ContentBaseResetAction(menu, all, items));
}

void OfferClipboard(QMenu* menu, const QList<ContentBase*>& items, ContentFolder* pasteInto)
{
    Offer(menu, ContentBaseCopyAction::IsApplicable(items), new ContentBaseCopyAction(menu, items));
    Offer(menu, ContentBaseCutAction::IsApplicable(items), new ContentBaseCutAction(menu, items));
    if (pasteInto)
        Offer(menu, ContentFolderPasteAction::IsApplicable(pasteInto), new ContentFolderPasteAction(menu, pasteInto));
    Offer(menu, ContentBaseRemoveAction::IsApplicable(items), new ContentBaseRemoveAction(menu, items));
}

void OfferNaming(QMenu* menu, ContentBase* item)
{
    Offer(menu, ContentBaseRenameAction::IsApplicable(item), new ContentBaseRenameAction(menu, item));
    Offer(menu, ContentBaseRenumberAction::IsApplicable(item), new ContentBaseRenumberAction(menu, item));
}

// The action a content key stands for; null for any other key.
std::unique_ptr<SelfExecutingAction> KeyAction(QWidget* parent, const QKeyEvent* event,
                                               const QList<ContentBase*>& selected, ContentFolder* folder)
{
    if (event->matches(QKeySequence::Copy))
        return std::make_unique<ContentBaseCopyAction>(parent, selected);
    if (event->matches(QKeySequence::Cut))
        return std::make_unique<ContentBaseCutAction>(parent, selected);
    if (event->matches(QKeySequence::Paste) && folder)
        return std::make_unique<ContentFolderPasteAction>(parent, folder);
    if (event->matches(QKeySequence::Delete))
        return std::make_unique<ContentBaseRemoveAction>(parent, selected);
    if (event->key() == Qt::Key_Insert && folder)
        return std::make_unique<ContentFolderNewAction>(parent, folder, 0);
    return nullptr;
}

} // namespace

bool ContentCommands::CanRename(ContentBase* item)
{
    return ContentBaseRenameAction::IsApplicable(item);
}

bool ContentCommands::CanDrag(ContentBase* item)
{
    return ContentBaseCopyAction::IsApplicable({item});
}

bool ContentCommands::RunKey(QWidget* parent, const QKeyEvent* event, const QList<ContentBase*>& selected,
                             ContentFolder* folder)
{
    const std::unique_ptr<SelfExecutingAction> action = KeyAction(parent, event, selected, folder);
    if (!action)
        return false;
    // Each action asks its own applicability first: a key that does not apply does nothing.
    action->execute();
    return true;
}

void ContentCommands::AddFolderRowEntries(QMenu* menu, ContentFolder* folder, QAction** renameEntry)
{
    *renameEntry = nullptr;
    // The tree renames in place: its entry is plain, and the tree opens its editor.
    if (ContentBaseRenameAction::IsApplicable(folder))
        *renameEntry = menu->addAction(QObject::tr("Rename"));
    Offer(menu, ContentBaseRenumberAction::IsApplicable(folder), new ContentBaseRenumberAction(menu, folder));
    const QList<ContentBase*> self{folder};
    OfferAddressing(menu, false, self);
    menu->addSeparator();
    OfferAddressing(menu, true, ChildrenOf(folder));
    menu->addSeparator();
    OfferClipboard(menu, self, folder);
    menu->addSeparator();
    OfferNewFolders(menu, folder);
    Offer(menu, ContentFolderImportAction::IsApplicable(folder), new ContentFolderImportAction(menu, folder));
    Offer(menu, ContentFolderExportAction::IsApplicable(folder), new ContentFolderExportAction(menu, folder));
}

void ContentCommands::AddSelectionEntries(QMenu* menu, ContentFolder* folder, const QList<ContentBase*>& selected)
{
    if (selected.isEmpty()) {
        OfferAddressing(menu, true, ChildrenOf(folder));
        menu->addSeparator();
        Offer(menu, ContentFolderPasteAction::IsApplicable(folder), new ContentFolderPasteAction(menu, folder));
        menu->addSeparator();
        OfferNewFolders(menu, folder);
        Offer(menu, ContentFolderImportAction::IsApplicable(folder), new ContentFolderImportAction(menu, folder));
        return;
    }
    if (selected.size() > 1) {
        OfferAddressing(menu, false, selected);
        menu->addSeparator();
        OfferClipboard(menu, selected, folder);
        return;
    }
    ContentBase* item = selected.first();
    auto* subFolder = qobject_cast<ContentFolder*>(item);
    OfferNaming(menu, item);
    OfferAddressing(menu, false, selected);
    menu->addSeparator();
    if (!subFolder) {
        OfferClipboard(menu, selected, nullptr);
        return;
    }
    OfferAddressing(menu, true, ChildrenOf(subFolder));
    menu->addSeparator();
    OfferClipboard(menu, selected, subFolder);
    menu->addSeparator();
    OfferNewFolders(menu, subFolder);
    Offer(menu, ContentFolderExportAction::IsApplicable(subFolder), new ContentFolderExportAction(menu, subFolder));
}

bool ContentCommands::Rename(QWidget* parent, ContentBase* item)
{
    if (!ContentBaseRenameAction::IsApplicable(item))
        return false;
    ContentBaseRenameAction(parent, item).execute();
    return true;
}

bool ContentCommands::HasEntries(const QMenu& menu)
{
    const QList<QAction*> actions = menu.actions();
    return std::any_of(actions.begin(), actions.end(), [](QAction* action) { return !action->isSeparator(); });
}

QMimeData* ContentCommands::RowDragData(ContentFolder* folder)
{
    return ContentMimeSource(ContentSource::DraggedFromTree, {folder}).MimeData();
}

QMimeData* ContentCommands::ItemViewDragData(const QList<ContentBase*>& items)
{
    return ContentMimeSource(ContentSource::DraggedFromItemView, items).MimeData();
}

std::unique_ptr<QMimeData> ContentCommands::ItemViewDrag(const QMimeData* data)
{
    ContentMimeSource source;
    if (!source.FromMimeData(data))
        return nullptr;
    return std::unique_ptr<QMimeData>(ItemViewDragData(source.Items()));
}

bool ContentCommands::AcceptsDrag(ContentFolder* folder, const QMimeData* data, Qt::DropActions possible,
                                  Qt::DropAction* chosen)
{
    return ContentDrop::DropFiles(folder, data, possible, chosen);
}

bool ContentCommands::CanDrop(ContentFolder* folder, const QMimeData* data, Qt::DropActions possible,
                              Qt::DropAction proposed, Qt::DropAction* chosen)
{
    return ContentDrop::CanDrop(folder, data, possible, proposed, chosen);
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
    return ContentDrop::Drop(window, folder, data, action);
}

#include "images/ui/PreviewMenus.h"

#include "content/Content.h"
#include "content/ContentFolder.h"
#include "content/operations/ContentSteps.h"
#include "content/ui/ContentActions.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

namespace {

// Adds `action` when it applies, else drops it. Actions are the widget's children, so
// that their dialogs open over it.
void Offer(QMenu& menu, bool applicable, QAction* action)
{
    if (applicable)
        menu.addAction(action);
    else
        delete action;
}

// Rename, Edit DMX and the item's own Autoset and Reset.
void OfferItemEntries(QMenu& menu, QWidget* widget, ContentBase* item)
{
    const QList<ContentBase*> self{item};
    Offer(menu, ContentBaseRenameAction::IsApplicable(item), new ContentBaseRenameAction(widget, item));
    Offer(menu, ContentBaseRenumberAction::IsApplicable(item), new ContentBaseRenumberAction(widget, item));
    Offer(menu, ContentBaseAutosetAction::IsApplicable(self), new ContentBaseAutosetAction(widget, false, self));
    Offer(menu, ContentBaseResetAction::IsApplicable(self), new ContentBaseResetAction(widget, false, self));
}

void OfferCopyAndCut(QMenu& menu, QWidget* widget, const QList<ContentBase*>& self)
{
    Offer(menu, ContentBaseCopyAction::IsApplicable(self), new ContentBaseCopyAction(widget, self));
    Offer(menu, ContentBaseCutAction::IsApplicable(self), new ContentBaseCutAction(widget, self));
}

void OfferRemove(QMenu& menu, QWidget* widget, const QList<ContentBase*>& self)
{
    Offer(menu, ContentBaseRemoveAction::IsApplicable(self), new ContentBaseRemoveAction(widget, self));
}

} // namespace

void AddFolderTileEntries(QMenu& menu, QWidget* widget, ContentFolder* folder)
{
    const QList<ContentBase*> self{folder};
    OfferItemEntries(menu, widget, folder);
    menu.addSeparator();
    const QList<ContentBase*> children = ChildrenOf(folder);
    Offer(menu, ContentBaseAutosetAction::IsApplicable(children), new ContentBaseAutosetAction(widget, true, children));
    Offer(menu, ContentBaseResetAction::IsApplicable(children), new ContentBaseResetAction(widget, true, children));
    menu.addSeparator();
    OfferCopyAndCut(menu, widget, self);
    Offer(menu, ContentFolderPasteAction::IsApplicable(folder), new ContentFolderPasteAction(widget, folder));
    OfferRemove(menu, widget, self);
    menu.addSeparator();
    for (int kind = 0; ContentFolderNewAction::IsApplicable(folder, kind); ++kind)
        menu.addAction(new ContentFolderNewAction(widget, folder, kind));
    Offer(menu, ContentFolderExportAction::IsApplicable(folder), new ContentFolderExportAction(widget, folder));
}

void AddImageTileEntries(QMenu& menu, QWidget* widget, Content* image)
{
    AddItemTileEntries(menu, widget, image);
    menu.addSeparator();
    Offer(menu, ExportToGIFAction::IsApplicable(image), new ExportToGIFAction(widget, image));
}

void AddItemTileEntries(QMenu& menu, QWidget* widget, ContentBase* item)
{
    const QList<ContentBase*> self{item};
    OfferItemEntries(menu, widget, item);
    menu.addSeparator();
    OfferCopyAndCut(menu, widget, self);
    OfferRemove(menu, widget, self);
}

bool HasMenuEntries(const QMenu& menu)
{
    const QList<QAction*> actions = menu.actions();
    return std::any_of(actions.begin(), actions.end(), [](QAction* action) { return !action->isSeparator(); });
}

#include "images/ui/PreviewMenus.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

void AddFolderTileEntries(QMenu&, QWidget*, ContentFolder*) {}

void AddImageTileEntries(QMenu&, QWidget*, Content*) {}

void AddItemTileEntries(QMenu&, QWidget*, ContentBase*) {}

bool HasMenuEntries(const QMenu& menu)
{
    const QList<QAction*> actions = menu.actions();
    return std::any_of(actions.begin(), actions.end(), [](QAction* action) { return !action->isSeparator(); });
}

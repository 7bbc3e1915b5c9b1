#pragma once

#include <QList>
#include <Qt>

#include <memory>

class ContentBase;
class ContentFolder;
class QAction;
class QKeyEvent;
class QMenu;
class QMimeData;
class QWidget;

// What the content views (navigation tree rows, folder list, preview) do with content, in
// one place for all of them: which cells may be renamed or dragged, the content keys, the
// context-menu entries, the drag payloads and the drop rules. The views hold no rules of
// their own; they ask here, and this asks the content actions and drop rules.
//
// GUI thread. Folders and items must be alive for the duration of a call.
class ContentCommands
{
public:
    // Whether the item may be renamed in place.
    static bool CanRename(ContentBase* item);
    // Whether the item may be dragged out of a folder view.
    static bool CanDrag(ContentBase* item);

    // The content keys: Copy, Cut, Paste (into `folder`), Delete and Insert (a new
    // sub-folder of `folder`, of its first kind). Runs the matching action on `selected`
    // with `parent` as the parent of any dialog and answers true when the key was one of
    // them (the caller accepts the event); any other key answers false.
    static bool RunKey(QWidget* parent, const QKeyEvent* event, const QList<ContentBase*>& selected,
                       ContentFolder* folder);

    // The context menu of a folder's tree row; its entry "Rename" (when offered) is
    // `renameEntry`, for the tree to open its in-place editor.
    static void AddFolderRowEntries(QMenu* menu, ContentFolder* folder, QAction** renameEntry);
    // The context menu of a folder view: entries for `selected` (children of `folder`), or,
    // with nothing selected, the folder-wide entries.
    static void AddSelectionEntries(QMenu* menu, ContentFolder* folder, const QList<ContentBase*>& selected);
    // Renames `item` as its menu entry "Rename" does (asking for the name over `parent`);
    // false when it may not be renamed.
    static bool Rename(QWidget* parent, ContentBase* item);

    // Whether a menu holds an entry besides separators (one without is not shown).
    static bool HasEntries(const QMenu& menu);

    // A new drag payload of `folder` as a tree row drags it; owned by the caller.
    static QMimeData* RowDragData(ContentFolder* folder);
    // A new drag payload of items dragged from a folder view; owned by the caller.
    static QMimeData* ItemViewDragData(const QList<ContentBase*>& items);
    // The same payload as `data` marked as an item-view drag; null when `data` holds none.
    static std::unique_ptr<QMimeData> ItemViewDrag(const QMimeData* data);

    // Whether a drag entering a view of `folder` may go on: data that is not files always
    // may (its targets are judged on each move); files only when copying is allowed, which
    // becomes `chosen`.
    static bool AcceptsDrag(ContentFolder* folder, const QMimeData* data, Qt::DropActions possible,
                            Qt::DropAction* chosen);
    // Whether `data` may be dropped on `folder` with one of `possible`, preferring
    // `proposed` (Qt::IgnoreAction: none); the action to use goes to `chosen`.
    static bool CanDrop(ContentFolder* folder, const QMimeData* data, Qt::DropActions possible,
                        Qt::DropAction proposed, Qt::DropAction* chosen);
    // The contents `data` (clipboard data) holds cut, to be moved by the next paste; empty
    // when it holds none or holds them copied.
    static QList<ContentBase*> CutContent(const QMimeData* data);
    // Carries out a drop that CanDrop accepted; `window` parents the dialogs.
    static bool Drop(QWidget* window, ContentFolder* folder, const QMimeData* data, Qt::DropAction action);
};

#pragma once

#include <QList>
#include <Qt>

class ContentBase;
class ContentFolder;
class QMimeData;
class QWidget;

// The drop rules of the content views and of Paste: whether a payload (content/
// ContentSource.h) or desktop files may go into a folder, which folder really receives
// them, whether the result is a copy or a move, and carrying it out through the content
// operations in an operation dialog. Copy is Qt::CopyAction, move Qt::MoveAction.
//
// A move is a copy followed, only when the copy succeeded, by the deletion of the
// originals; a failed copy deletes nothing.
//
// GUI thread. The folder must be alive when a call starts; Drop checks it again after
// every dialog it opens.
class ContentDrop
{
public:
    // The check made when a drag enters a view: data without files always passes (its
    // payload is judged by CanDrop as the drag moves); files only when copying is allowed
    // (`out` becomes copy) and the folder can take one of them, or the folder's quick
    // import does not recognise them at all (the drop itself will tell).
    static bool DropFiles(ContentFolder* folder, const QMimeData* data, Qt::DropActions allowed, Qt::DropAction* out);

    // Whether and how `data` may be dropped on `folder`. `proposed` (Qt::IgnoreAction for
    // none) wins when it is allowed and possible; without one a cut payload proposes a
    // move and any other a copy; failing that, a move is preferred to a copy. The action
    // goes to `out`. Items dragged from a folder's item view may not be dropped on that
    // folder or on themselves.
    static bool CanDrop(ContentFolder* folder, const QMimeData* data, Qt::DropActions allowed,
                        Qt::DropAction proposed, Qt::DropAction* out);

    // Carries out a drop or a paste with `action` (Qt::IgnoreAction: a move for a cut
    // payload, a copy otherwise), `window` parenting every dialog (it is raised first).
    // Files are imported through the folder's import and copied in; the files that could
    // not be read are named in one warning ("Import Failed"). Answers whether the
    // operation succeeded.
    static bool Drop(QWidget* window, ContentFolder* folder, const QMimeData* data, Qt::DropAction action);

    // The target rule for one dragged item: true when the item may go to `target`, after
    // replacing the item by what really goes (a package or group by its folders, a folder
    // dropped on a folder by its contents) and `target` by the folder that really receives
    // it (a fixture root's user content group). False (nothing changed) when refused, and
    // for a list that does not hold exactly one item.
    static bool AdjustTarget(QList<ContentBase*>& items, ContentFolder*& target);
    // AdjustTarget for each item in order; refused when one item is refused, when the items
    // would end in different folders, or when nothing is left to drop. On success `items`
    // holds every adjusted list in order and `target` the common folder.
    static bool AdjustTargets(QList<ContentBase*>& items, ContentFolder*& target);
};

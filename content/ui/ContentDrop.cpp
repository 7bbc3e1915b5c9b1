#include "content/ui/ContentDrop.h"

#include "content/ContentSource.h"
#include "content/operations/ContentCopyOperation.h"
#include "content/operations/ContentDeleteOperation.h"
#include "content/operations/ContentSteps.h"
#include "content/policies/FamilyImport.h"
#include "fixtures/tree/QelRDMContentFolder.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "fixtures/tree/QelRDMContentRoot.h"
#include "library/user/ContentLibraryFolder.h"
#include "library/user/ContentLibraryPackage.h"
#include "library/user/ContentLibraryRoot.h"
#include "link/ui/OperationDialog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <algorithm>

namespace {

// The library classes count only as themselves (their archive and stock subclasses
// follow other rules); the fixture classes with every subclass.
template <class Folder>
bool IsExactly(const ContentFolder* folder)
{
    return folder && folder->metaObject() == &Folder::staticMetaObject;
}

// A package or a fixture group: dropped, it gives its folders.
bool IsPackageLike(const ContentFolder* folder)
{
    return IsExactly<ContentLibraryPackage>(folder) || qobject_cast<const QelRDMContentGroup*>(folder);
}

// A folder of contents.
bool IsFolderLike(const ContentFolder* folder)
{
    return IsExactly<ContentLibraryFolder>(folder) || qobject_cast<const QelRDMContentFolder*>(folder);
}

QStringList SortedLocalPaths(const QMimeData* data)
{
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The quick import of the files: -1 when the folder recognises none of them, else whether
// it can take a copy of what they hold.
int ProbeFiles(ContentFolder* folder, const QMimeData* data)
{
    const QList<Content*> probe = folder->ImportFiles(SortedLocalPaths(data));
    if (probe.isEmpty())
        return -1;
    const bool fits = CanCopy(QList<ContentBase*>(probe.begin(), probe.end()), folder);
    qDeleteAll(probe);
    return fits ? 1 : 0;
}

// Contents the drop imported: copies of them go into the folder, they themselves are ours.
struct ImportedContents {
    QList<Content*> list;
    ~ImportedContents() { qDeleteAll(list); }
};

bool RunInDialog(QWidget* window, ContentOperation& operation)
{
    OperationDialog dialog(window);
    return dialog.Run(&operation);
}

// One warning for the dropped files that could not be imported, naming them.
void WarnUnreadable(QWidget* window, const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    QString text;
    if (paths.size() == 1) {
        text = QCoreApplication::translate("ContentDrop",
                                           "\"%1\" could not be imported: the file is of a kind that can't be read, "
                                           "or it is damaged.")
                   .arg(QFileInfo(paths.first()).fileName());
    } else {
        QStringList names;
        for (const QString& path : paths)
            names.append(QFileInfo(path).fileName());
        text = QCoreApplication::translate("ContentDrop",
                                           "These files could not be imported: they are of a kind that can't be "
                                           "read, or they are damaged.\n\n%1")
                   .arg(names.join(QLatin1Char('\n')));
    }
    QMessageBox::warning(window, QCoreApplication::translate("ContentDrop", "Import Failed"), text, QMessageBox::Ok);
}

bool CopyInto(QWidget* window, const QList<ContentBase*>& items, ContentFolder* target)
{
    ContentCopyOperation copy;
    copy.SetItems(items);
    copy.SetTarget(target);
    return RunInDialog(window, copy);
}

} // namespace

bool ContentDrop::DropFiles(ContentFolder* folder, const QMimeData* data, Qt::DropActions allowed, Qt::DropAction* out)
{
    if (!folder || !data)
        return false;
    if (!data->hasUrls())
        return true;
    if (!(allowed & Qt::CopyAction))
        return false;
    *out = Qt::CopyAction;
    return ProbeFiles(folder, data) != 0;
}

bool ContentDrop::CanDrop(ContentFolder* folder, const QMimeData* data, Qt::DropActions allowed,
                          Qt::DropAction proposed, Qt::DropAction* out)
{
    if (!folder || !data)
        return false;
    if (data->hasUrls()) {
        if (!(allowed & Qt::CopyAction))
            return false;
        const int probe = ProbeFiles(folder, data);
        if (probe >= 0) {
            if (probe)
                *out = Qt::CopyAction;
            return probe == 1;
        }
    }

    ContentMimeSource source;
    if (!source.FromMimeData(data))
        return false;
    if (proposed == Qt::IgnoreAction)
        proposed = source.Mode() == ContentSource::CutToClipboard ? Qt::MoveAction : Qt::CopyAction;
    QList<ContentBase*> items = source.Items();
    if (source.Mode() == ContentSource::DraggedFromItemView) {
        const bool ownFolder = std::any_of(items.begin(), items.end(), [folder](ContentBase* item) {
            return item == folder || item->GetParent() == folder;
        });
        if (ownFolder)
            return false;
    }
    ContentFolder* target = folder;
    if (!AdjustTargets(items, target))
        return false;

    const bool copyOk = (allowed & Qt::CopyAction) && CanCopy(items, target);
    const bool moveOk = (allowed & Qt::MoveAction) && CanMove(items, target);
    Qt::DropAction chosen = Qt::IgnoreAction;
    if (proposed == Qt::CopyAction && copyOk)
        chosen = Qt::CopyAction;
    else if (proposed == Qt::MoveAction && moveOk)
        chosen = Qt::MoveAction;
    else if (moveOk)
        chosen = Qt::MoveAction;
    else if (copyOk)
        chosen = Qt::CopyAction;
    if (chosen == Qt::IgnoreAction)
        return false;
    *out = chosen;
    return true;
}

bool ContentDrop::Drop(QWidget* window, ContentFolder* folder, const QMimeData* data, Qt::DropAction action)
{
    if (!folder || !data)
        return false;
    if (window) {
        // A drop from another top-level window brings this one forward.
        window->window()->raise();
        window->activateWindow();
    }
    QPointer<ContentFolder> target = folder;

    if (data->hasUrls()) {
        // The import may open dialogs of its own, during which anything may go.
        const UnreadableImports unreadable;
        const ImportedContents imported{folder->ImportFilesFor(window, SortedLocalPaths(data))};
        WarnUnreadable(window, unreadable.Files());
        if (!imported.list.isEmpty())
            return target && CopyInto(window, QList<ContentBase*>(imported.list.begin(), imported.list.end()), target);
        if (!target)
            return false;
    }

    ContentMimeSource source;
    if (!source.FromMimeData(data))
        return false;
    if (action == Qt::IgnoreAction)
        action = source.Mode() == ContentSource::CutToClipboard ? Qt::MoveAction : Qt::CopyAction;
    QList<ContentBase*> items = source.Items();
    ContentFolder* adjusted = target;
    if (!AdjustTargets(items, adjusted))
        return false;

    if (action == Qt::CopyAction)
        return CopyInto(window, items, adjusted);
    if (action != Qt::MoveAction)
        return false;

    // The originals may go while the copy runs (a fixture leaving the line): only the
    // living ones are deleted afterwards.
    QList<QPointer<ContentBase>> originals;
    for (ContentBase* item : items)
        originals.append(item);
    if (!CopyInto(window, items, adjusted))
        return false;
    QList<ContentBase*> living;
    for (const QPointer<ContentBase>& item : originals) {
        if (item)
            living.append(item);
    }
    if (living.isEmpty())
        return true;
    ContentDeleteOperation deletion;
    deletion.SetItems(living);
    return RunInDialog(window, deletion);
}

bool ContentDrop::AdjustTarget(QList<ContentBase*>& items, ContentFolder*& target)
{
    if (items.size() != 1 || !target || !items.first())
        return false;
    auto* folder = qobject_cast<ContentFolder*>(items.first());
    if (!folder)
        return true;

    if (IsExactly<ContentLibraryRoot>(target))
        return IsExactly<ContentLibraryPackage>(folder);
    if (auto* root = qobject_cast<QelRDMContentRoot*>(target)) {
        // A fixture without a user group has nowhere to put folders.
        QelRDMContentGroup* user = root->UserGroup();
        if (!user || !(IsPackageLike(folder) || IsFolderLike(folder)))
            return false;
        if (IsPackageLike(folder))
            items = ChildrenOf(folder);
        target = user;
        return true;
    }
    if (IsPackageLike(target)) {
        if (IsPackageLike(folder))
            items = ChildrenOf(folder);
        return IsPackageLike(folder) || IsFolderLike(folder);
    }
    if (IsFolderLike(target)) {
        if (!IsFolderLike(folder))
            return false;
        items = ChildrenOf(folder);
        return true;
    }
    return true;
}

bool ContentDrop::AdjustTargets(QList<ContentBase*>& items, ContentFolder*& target)
{
    QList<ContentBase*> result;
    ContentFolder* common = nullptr;
    for (qsizetype i = 0; i < items.size(); ++i) {
        QList<ContentBase*> one{items[i]};
        ContentFolder* adjusted = target;
        if (!AdjustTarget(one, adjusted))
            return false;
        if (i > 0 && adjusted != common)
            return false;
        common = adjusted;
        result.append(one);
    }
    if (result.isEmpty())
        return false;
    items = result;
    target = common;
    return true;
}

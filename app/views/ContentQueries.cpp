#include "app/views/ContentQueries.h"

#include "content/ContentFolder.h"
#include "content/ContentMutex.h"

namespace content_queries {

bool HoldsChild(ContentFolder* folder, const ContentBase* child)
{
    const ContentLocker lock(&ContentMutex);
    for (int i = 0; i < folder->ChildCount(); ++i) {
        if (folder->Child(i) == child)
            return true;
    }
    return false;
}

int CountContents(ContentFolder* folder)
{
    const ContentLocker lock(&ContentMutex);
    int count = 0;
    for (int i = 0; i < folder->ChildCount(); ++i) {
        ContentBase* child = folder->Child(i);
        if (auto* sub = qobject_cast<ContentFolder*>(child))
            count += CountContents(sub);
        else
            ++count;
    }
    return count;
}

QList<ContentFolder*> ChildFolders(ContentFolder* folder)
{
    const ContentLocker lock(&ContentMutex);
    QList<ContentFolder*> folders;
    for (int i = 0; i < folder->ChildCount(); ++i) {
        if (auto* sub = qobject_cast<ContentFolder*>(folder->Child(i)))
            folders.append(sub);
    }
    return folders;
}

QList<ContentFolder*> FolderTree(ContentFolder* folder)
{
    const ContentLocker lock(&ContentMutex);
    QList<ContentFolder*> folders{folder};
    for (int next = 0; next < folders.size(); ++next) {
        folders.append(ChildFolders(folders[next]));
    }
    return folders;
}

} // namespace content_queries

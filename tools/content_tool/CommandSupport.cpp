#include "tools/content_tool/CommandSupport.h"

#include "content/ContentFolder.h"
#include "content/operations/ContentSteps.h"
#include "tools/content_tool/ConsoleRunner.h"

#include <QDir>
#include <QFileInfo>

namespace ContentToolCommands {

bool MakeFolder(const QString& path, const ConsoleRunner& runner)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isDir()) {
        runner.Error(QStringLiteral("%1 is not a folder").arg(path));
        return false;
    }
    if (!QDir().mkpath(path)) {
        runner.Error(QStringLiteral("cannot make the folder %1").arg(path));
        return false;
    }
    return true;
}

QString Contents(ContentFolder* package)
{
    int folders = 0;
    int images = 0;
    for (ContentBase* child : ChildrenOf(package)) {
        if (auto* folder = qobject_cast<ContentFolder*>(child)) {
            ++folders;
            images += folder->ChildCount();
        }
    }
    return QStringLiteral("%1 folders, %2 images").arg(folders).arg(images);
}

ContentFolder* ChildFolderNamed(ContentFolder* parent, const QString& name)
{
    for (ContentBase* child : ChildrenOf(parent)) {
        if (child->GetName() == name)
            return qobject_cast<ContentFolder*>(child);
    }
    return nullptr;
}

} // namespace ContentToolCommands

#include "library/LibraryNames.h"

#include "content/ContentBase.h"
#include "library/archive/FileLayer.h"
#include "library/config/ConfigFile.h"

namespace LibraryNames {

QString Problem(const QString& name)
{
    // The file layer's own rule first: the one every name from outside passes on its way
    // into a path.
    const ArchiveResult usable = FileLayer::CheckName(name);
    if (!usable)
        return usable.Message();
    // The directory's own configuration file would be taken, or lost under a folder.
    if (name.compare(LibraryConfig::kFileName, Qt::CaseInsensitive) == 0)
        return QStringLiteral("\"%1\" can't be used as a name: it is the name of a folder's own file").arg(name);
    return QString();
}

QString Kept(const QString& name)
{
    return name.left(ContentBase::kMaxNameLength);
}

} // namespace LibraryNames

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
    // config.xml names every child, and XML holds no control characters (tab and line
    // breaks would come back as blanks).
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("A name can't hold control characters");
    }
    if (!LibraryConfig::XmlCanHold(name))
        return QStringLiteral("A name can't hold half a character or a noncharacter");
    return QString();
}

QString Kept(const QString& name)
{
    return ContentBase::CutName(name);
}

bool KeptWhole(const QString& name)
{
    return Kept(name) == name && Problem(name).isEmpty();
}

} // namespace LibraryNames

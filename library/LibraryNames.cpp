#include "library/LibraryNames.h"

#include "content/ContentBase.h"
#include "library/config/ConfigFile.h"

namespace LibraryNames {

QString Problem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("A name can't be empty");
    // The directory's own configuration file would be taken, or lost under a folder.
    if (name == QLatin1String(".") || name == QLatin1String("..")
        || name.compare(LibraryConfig::kFileName, Qt::CaseInsensitive) == 0)
        return QStringLiteral("\"%1\" can't be used as a name").arg(name);
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c == QChar(0))
            return QStringLiteral("\"%1\" can't be used as a name: it holds \"/\", \"\\\" or NUL").arg(name);
    }
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

} // namespace LibraryNames

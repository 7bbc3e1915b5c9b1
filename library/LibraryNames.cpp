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
    return QString();
}

QString Kept(const QString& name)
{
    return name.left(ContentBase::kMaxNameLength);
}

} // namespace LibraryNames

#include "library/LibraryNames.h"

#include "content/ContentBase.h"

namespace LibraryNames {

QString Problem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("A name can't be empty");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
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

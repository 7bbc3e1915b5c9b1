#include "app/shell/StorageRoots.h"

#include "platform/system/StorageFolders.h"

#include <QDir>

namespace StorageRoots {

QString DocumentsFolder()
{
    return platform::DocumentsFolder();
}

QString CommonAppDataFolder()
{
    QString folder = platform::CommonAppDataFolder();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("Quorvane/Velmora");
}

void SetSearchPath(const QString& base, const QString& folder, const QString& prefix)
{
    const QString path = base + QLatin1Char('/') + folder;
    QDir dir(path);
    if (!dir.exists())
        dir.mkpath(QStringLiteral("."));
    QDir::setSearchPaths(prefix, {dir.absolutePath()});
}

void SetUp()
{
    const QString documents = DocumentsFolder();
    // Libraries made by older versions live under the family's name. The move fails
    // harmlessly when the current folder already exists; the current one is used then.
    const QString oldLibrary = documents + QStringLiteral("/Brevant Content Library");
    if (QDir(oldLibrary).exists())
        QDir(oldLibrary).rename(oldLibrary, documents + QStringLiteral("/Velmora Content Library"));

    SetSearchPath(documents, QStringLiteral("Velmora Content Library"), QStringLiteral("ContentLibraryRoot"));
    SetSearchPath(documents, QStringLiteral("Velmora Mosavra Content Library"), QStringLiteral("MosavraContentLibraryRoot"));

    const QString data = CommonAppDataFolder();
    SetSearchPath(data, QStringLiteral("Firmware"), QStringLiteral("Firmware"));
    SetSearchPath(data, QStringLiteral("Content"), QStringLiteral("StockContent"));
    SetSearchPath(data, QStringLiteral("Cache"), QStringLiteral("ContentCache"));
}

} // namespace StorageRoots

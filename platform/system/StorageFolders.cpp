#include "platform/system/StorageFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {
namespace {

QString FromEnvironment(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString() : QDir::cleanPath(value);
}

} // namespace

QString DocumentsFolder()
{
    QString folder = FromEnvironment("VELMORA_DOCUMENTS");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

QString CommonAppDataFolder()
{
    QString folder = FromEnvironment("VELMORA_APPDATA");
    if (folder.isEmpty()) {
        const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
        if (!locations.isEmpty())
            folder = locations.first();
    }
    return folder.isEmpty() ? QDir::homePath() : folder;
}

} // namespace platform

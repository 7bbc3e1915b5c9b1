#include "app/shell/VelmoraApplication.h"

#include "app/shell/StorageRoots.h"
#include "content/ContentSource.h"

#include <QIcon>

VelmoraApplication::VelmoraApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    QIcon icon;
    icon.addPixmap(QPixmap(QStringLiteral(":/Resources/icon16.png")), QIcon::Normal, QIcon::Off);
    icon.addPixmap(QPixmap(QStringLiteral(":/Resources/icon32.png")), QIcon::Normal, QIcon::Off);
    setWindowIcon(icon);

    setOrganizationName(QStringLiteral("Quorvane"));
    setOrganizationDomain(QStringLiteral("quorvane.example"));
    setApplicationName(QStringLiteral("Velmora"));

    StorageRoots::SetUp();
}

VelmoraApplication::~VelmoraApplication()
{
    // Only a payload of ours goes: it names nodes of this process. (Whether the process
    // owns the clipboard is not asked: some platforms answer no even right after a set.)
    ContentSource::ClearOwnClipboard();
}

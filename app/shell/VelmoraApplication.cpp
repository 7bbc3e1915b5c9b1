#include "app/shell/VelmoraApplication.h"

#include "app/shell/StorageRoots.h"

#include <QClipboard>
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
    QClipboard* board = clipboard();
    if (board->ownsClipboard())
        board->clear(QClipboard::Clipboard);
}

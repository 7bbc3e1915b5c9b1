#include "app/shell/ProgramSession.h"

#include "firmware/RegisterFirmware.h"
#include "fixtures/QelFamilies.h"
#include "app/devices/DeviceGui.h"
#include "app/shell/MainWindowParts.h"
#include "content/cache/ContentImageCache.h"
#include "content/ui/ContentActions.h"
#include "images/ui/PictureImport.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/stock/StockContentRoot.h"
#include "library/user/ContentLibraryRoot.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "link/devices/DeviceManager.h"
#include "link/feedback/Feedback.h"
#include "machine/Machine.h"
#include "mosavra/MosavraCreator.h"

#include <QApplication>
#include <QMessageBox>

namespace {

// The computer the program runs on: its drivers and, when VELMORA_RIG names one, the
// simulated widget and fixtures of that rig. Null, after telling the user, when the rig
// cannot be used; the program then runs as on a computer without a widget.
std::unique_ptr<machine::Machine> BootMachine()
{
    machine::MachineOptions options;
    QString error;
    if (!machine::LoadRigFromEnvironment(&options, &error)) {
        QMessageBox::warning(nullptr, QStringLiteral("Velmora Application"),
                             QStringLiteral("The hardware rig could not be loaded:\n%1").arg(error));
        options.rig.reset();
    }
    auto computer = machine::Machine::Boot(std::move(options), &error);
    if (!computer)
        QMessageBox::warning(nullptr, QStringLiteral("Velmora Application"),
                             QStringLiteral("The hardware could not be started:\n%1").arg(error));
    return computer;
}

} // namespace

void RegisterProgramParts()
{
    RegisterFeedbackMetaTypes();
    RegisterQelFamilies();
    RegisterFirmware();
    InstallPictureImport();
    ContentFolderNewAction::SetMosavraCreator(&OpenMosavraCreator);
    RegisterDeviceGui();
}

ProgramSession::ProgramSession()
    : computer_(BootMachine()), fileEngine_(std::make_unique<CustomFileSystemEngineHandler>())
{
    RegisterProgramParts();
    // The libraries are read when the window first asks for them.
    MainWindowParts::SetContentRoots([] {
        return ContentRoots{ContentLibraryRoot::Instance(), StockContentRoot::Instance(),
                            MosavraContentLibraryRoot::Instance()};
    });
    // The image cache answers the fixture folders from the same libraries; it reads them
    // at its first lookup.
    ContentImageCache::SetRootsProvider([] {
        return ImageCacheRoots{ContentLibraryRoot::Instance(), StockContentRoot::Instance(),
                               MosavraContentLibraryRoot::Instance()};
    });
    ContentImageCache::Instance();
}

ProgramSession::~ProgramSession()
{
    DeviceManager::DestroyInstance();
    // The cache's indexes follow the libraries: they go first.
    ContentImageCache::DestroyInstance();
    ContentImageCache::SetRootsProvider(nullptr);
    // The libraries before the file engine they read through; the fixtures' trees, which
    // content operations copied between, went with the registry.
    MainWindowParts::SetContentRoots(nullptr);
    MosavraContentLibraryRoot::DestroyInstance();
    StockContentRoot::DestroyInstance();
    ContentLibraryRoot::DestroyInstance();
    computer_.reset();
    fileEngine_.reset();
}

int RunProgramWindow(QApplication& app, const std::function<std::unique_ptr<QWidget>()>& makeWindow)
{
    const std::unique_ptr<QWidget> window = makeWindow();
    window->show();
    const QMetaObject::Connection quitAtTheEnd =
        QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    const int result = app.exec();
    QObject::disconnect(quitAtTheEnd);
    // The images used in this run are kept; the window, still here, goes after.
    ContentImageCache::Instance()->TrimToLimit();
    return result;
}

#include "app/DeviceWindow.h"
#include "app/SingleInstanceWrapper.h"
#include "app/VelmoraApplication.h"
#include "fixtures/QelFamilies.h"
#include "images/ui/PictureImport.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "link/devices/DeviceManager.h"
#include "link/feedback/Feedback.h"
#include "machine/Machine.h"

#include <QMessageBox>

#include <memory>

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

int main(int argc, char** argv)
{
    SingleInstanceWrapper instance(QStringLiteral("VelmoraApplication"));
    // FFmpeg 5 registers its formats by itself: nothing to initialise before import.
    VelmoraApplication app(argc, argv);
    if (instance.AlreadyRunning()) {
        QMessageBox::warning(nullptr, QStringLiteral("Velmora Application"),
                             QStringLiteral("Only one instance of Velmora can be run at one time. "), QMessageBox::Ok,
                             QMessageBox::NoButton);
        return 0;
    }

    std::unique_ptr<machine::Machine> computer = BootMachine();
    CustomFileSystemEngineHandler fileEngine;
    RegisterFeedbackMetaTypes();
    RegisterQelFamilies();
    InstallPictureImport();

    int result = 0;
    {
        DeviceWindow window;
        window.show();
        QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
        // The fixtures are looked for at once, as the window opens.
        window.OnDiscover();
        result = app.exec();
    }
    // The command queue stops before the hardware goes, so no command is left talking to it.
    DeviceManager::DestroyInstance();
    computer.reset();
    return result;
}

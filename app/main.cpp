#include "app/shell/ProgramSession.h"
#include "app/shell/SingleInstanceWrapper.h"
#include "app/shell/VelmoraApplication.h"
#include "app/shell/VelmoraMainWindow.h"

#include <QMessageBox>

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

    ProgramSession session;
    return RunProgramWindow(app, [] { return std::make_unique<VelmoraMainWindow>(); });
}

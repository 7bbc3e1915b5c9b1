// Takes the README's pictures of the program's windows:
//   screenshots <output folder>
//
// Runs under a display (make screenshots starts it under xvfb-run): it goes through the
// program's own start-up on the demo rig, at a small time scale and with every data
// folder in a temporary folder, drives the main window as a user would and grabs the
// screen, so that menus and popups show as drawn.
#include "app/shell/ProgramSession.h"
#include "app/shell/VelmoraApplication.h"
#include "app/shell/VelmoraMainWindow.h"
#include "link/devices/DeviceManager.h"
#include "link/ui/Preferences.h"
#include "platform/system/Clock.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QListWidget>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>

namespace {

// Fast enough that discovery's ten-second wake-up takes a tenth of a second.
constexpr double kTimeScale = 0.01;
// Real time the tool gives any one step before it gives up.
constexpr int kStepLimitMs = 60000;

bool WaitFor(const std::function<bool()>& done)
{
    QDeadlineTimer limit(kStepLimitMs);
    while (!done()) {
        if (limit.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The window's client area as the screen shows it now.
QPixmap Grab(QWidget& window)
{
    window.repaint();
    QCoreApplication::processEvents();
    const QRect area = window.geometry();
    return window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
}

class Shooter
{
public:
    explicit Shooter(const QString& folder) : folder_(folder) {}

    bool Save(const QString& name, const QPixmap& picture)
    {
        const QString path = QDir(folder_).filePath(name);
        if (picture.isNull() || !picture.save(path, "PNG")) {
            std::fprintf(stderr, "%s: cannot write the picture\n", qPrintable(path));
            return false;
        }
        return true;
    }

private:
    QString folder_;
};

// Every data folder of the program, in a temporary folder of its own.
void UseFolders(const QTemporaryDir& data)
{
    const QDir root(data.path());
    for (const char* folder : {"documents", "appdata", "settings", "work"})
        root.mkpath(QString::fromLatin1(folder));
    qputenv("VELMORA_DOCUMENTS", QFile::encodeName(root.filePath("documents")));
    qputenv("VELMORA_APPDATA", QFile::encodeName(root.filePath("appdata")));
    qputenv("VELMORA_RIG", VELMORA_DEMO_RIG);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root.filePath("settings"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, root.filePath("settings"));
    Preferences::SetFolder(root.filePath("work"));
}

bool TakeDevices(VelmoraMainWindow& window, Shooter& shooter, const bool& discovered)
{
    // The demo rig's fixtures, found by the discovery the window started.
    if (!WaitFor([&] { return discovered; }) || DeviceManager::Instance()->Devices().isEmpty()) {
        std::fprintf(stderr, "the demo rig's fixtures were not discovered\n");
        return false;
    }
    // A fixture of the first LED family shows the most.
    auto* list = window.findChild<QListWidget*>(QStringLiteral("devices"));
    const QList<QListWidgetItem*> stageLeft = list ? list->findItems(QStringLiteral("Stage left"), Qt::MatchStartsWith)
                                                   : QList<QListWidgetItem*>();
    if (!stageLeft.isEmpty())
        list->setCurrentItem(stageLeft.first());
    return shooter.Save(QStringLiteral("devices.png"), Grab(window));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(output)) {
        std::fprintf(stderr, "%s: cannot make the folder\n", argv[1]);
        return 1;
    }
    QTemporaryDir data;
    if (!data.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    UseFolders(data);
    platform::Clock::SetScale(kTimeScale);

    VelmoraApplication app(argc, argv);
    ProgramSession session;
    bool discovered = false;
    QObject::connect(DeviceManager::Instance(), &DeviceManager::DiscoveryCompleted, [&] { discovered = true; });
    VelmoraMainWindow window;
    window.move(0, 0);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window was never shown\n");
        return 1;
    }
    Shooter shooter(output);
    return TakeDevices(window, shooter, discovered) ? 0 : 1;
}

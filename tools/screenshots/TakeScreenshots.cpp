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
#include "app/tree/NodeTree.h"
#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "library/stock/StockContentRoot.h"
#include "library/user/ContentLibraryRoot.h"
#include "link/devices/DeviceManager.h"
#include "link/ui/Preferences.h"
#include "platform/system/Clock.h"
#include "tools/screenshots/Shooting.h"
#include "tools/screenshots/WizardScenes.h"
#include "tools/stock_content/StockContent.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QListWidget>
#include <QLoggingCategory>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>

namespace {

// Fast enough that discovery's ten-second wake-up takes a tenth of a second.
constexpr double kTimeScale = 0.01;
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
    if (!stageLeft.isEmpty()) {
        list->scrollToItem(stageLeft.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(stageLeft.first()).center());
    }
    return shooter.Save(QStringLiteral("devices.png"), Grab(window));
}

// The child of `folder` named `name`; null when there is none.
ContentBase* ChildNamed(ContentFolder* folder, const QString& name)
{
    const ContentLocker lock(&ContentMutex);
    for (int i = 0; i < folder->ChildCount(); ++i) {
        if (folder->Child(i)->GetName() == name)
            return folder->Child(i);
    }
    return nullptr;
}

// The stock content the build makes, where the program reads it.
bool StageStockContent()
{
    const QString dir = QDir(QStringLiteral("StockContent:.")).absolutePath();
    for (int family = 0; family < StockContent::kFamilyCount; ++family) {
        const ArchiveResult written = StockContent::WritePackage(family, dir);
        if (!written) {
            std::fprintf(stderr, "%s\n", qPrintable(written.Message()));
            return false;
        }
    }
    return true;
}

// A user library with one package, "Show", whose folders hold copies of the first
// family's stock images.
bool SeedLibrary()
{
    StockContentRoot* stock = StockContentRoot::Instance();
    stock->Reload(true);
    auto* source = qobject_cast<ContentFolder*>(stock->PackageByModel(QStringLiteral("BREVANT")));
    ContentLibraryRoot* library = ContentLibraryRoot::Instance();
    if (!source || !library->CreateFolder(QStringLiteral("Show"), 0, 0, nullptr)) {
        std::fprintf(stderr, "cannot seed the user library\n");
        return false;
    }
    auto* show = qobject_cast<ContentFolder*>(ChildNamed(library, QStringLiteral("Show")));
    const struct {
        const char* stockFolder;
        const char* name;
        int address;
    } folders[] = {{"Patterns", "Opening", 41}, {"Colours", "Washes", 42}};
    for (const auto& folder : folders) {
        auto* from = qobject_cast<ContentFolder*>(ChildNamed(source, QString::fromLatin1(folder.stockFolder)));
        if (!show || !from || !show->CreateFolder(QString::fromLatin1(folder.name), folder.address, 0, nullptr)) {
            std::fprintf(stderr, "cannot seed the user library\n");
            return false;
        }
        auto* to = qobject_cast<ContentFolder*>(ChildNamed(show, QString::fromLatin1(folder.name)));
        QList<ContentBase*> copies;
        {
            const ContentLocker lock(&ContentMutex);
            for (int i = 0; i < from->ChildCount(); ++i) {
                if (auto* content = qobject_cast<Content*>(from->Child(i)))
                    copies.append(content->Clone());
            }
        }
        if (!to || !to->AddChild(copies, nullptr)) {
            qDeleteAll(copies);
            std::fprintf(stderr, "cannot seed the user library\n");
            return false;
        }
    }
    return true;
}

// The tree row reached from the top by the row texts of `path`, its parents expanded and
// the row clicked, as a user opens it; false when there is none.
bool OpenRow(VelmoraMainWindow& window, const QStringList& path)
{
    NodeTree* tree = window.Tree();
    QModelIndex at;
    for (const QString& text : path) {
        const QModelIndexList found = tree->model()->match(tree->model()->index(0, 0, at), Qt::DisplayRole, text, 1,
                                                           Qt::MatchExactly);
        if (found.isEmpty()) {
            std::fprintf(stderr, "no row \"%s\" in the tree\n", qPrintable(text));
            return false;
        }
        at = found.first();
        tree->expand(at);
    }
    tree->scrollTo(at);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(at).center());
    if (tree->currentIndex() != at) {
        std::fprintf(stderr, "the row \"%s\" could not be opened\n", qPrintable(path.last()));
        return false;
    }
    return true;
}

bool TakeLibrary(VelmoraMainWindow& window, Shooter& shooter)
{
    return OpenRow(window, {QStringLiteral("User Content"), QStringLiteral("Show (BREVANT)"), QStringLiteral("Opening ")})
        && shooter.Save(QStringLiteral("library.png"), Grab(window));
}

bool TakeStock(VelmoraMainWindow& window, Shooter& shooter)
{
    window.Tree()->collapseAll();
    return OpenRow(window, {QStringLiteral("Stock Content"), QStringLiteral("BREVANT"), QStringLiteral("Colours")})
        && shooter.Save(QStringLiteral("stock.png"), Grab(window));
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
    // The libraries' debugging lines would drown what the tool itself reports.
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.*=false"));

    VelmoraApplication app(argc, argv);
    if (!StageStockContent())
        return 1;
    ProgramSession session;
    if (!SeedLibrary())
        return 1;
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
    const bool taken = TakeDevices(window, shooter, discovered) && TakeLibrary(window, shooter)
        && TakeStock(window, shooter) && TakeWizardScenes(window, shooter);
    return taken ? 0 : 1;
}

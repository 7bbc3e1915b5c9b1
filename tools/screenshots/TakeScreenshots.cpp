// Takes the README's pictures of the program's windows:
//   screenshots <output folder>
//
// Runs under a display (make screenshots starts it under xvfb-run): it goes through the
// program's own start-up on the demo rig, at a small time scale and with every data
// folder in a temporary folder, drives the main window as a user would and grabs the
// screen, so that menus and popups show as drawn.
#include "app/shell/ProgramSession.h"
#include "app/views/ContentFolderPreview.h"
#include "app/views/ContentFolderView.h"
#include "app/views/ContentPreview.h"
#include "app/shell/VelmoraApplication.h"
#include "app/shell/VelmoraMainWindow.h"
#include "app/tree/NodeTree.h"
#include "content/ContentFolder.h"
#include "content/ContentMutex.h"
#include "content/policies/NamedPolicies.h"
#include "images/BrevantImage.h"
#include "images/ImageFrames.h"
#include "images/ImageStore.h"
#include "images/ui/ImageImportDialog.h"
#include "images/ui/ImageViewDialog.h"
#include "images/ui/PreviewItem.h"
#include "images/video/VideoFrames.h"
#include "library/stock/StockContentRoot.h"
#include "library/user/ContentLibraryRoot.h"
#include "link/devices/DeviceManager.h"
#include "link/ui/Preferences.h"
#include "platform/system/Clock.h"
#include "tools/screenshots/CreatorScenes.h"
#include "tools/screenshots/DialogScenes.h"
#include "tools/screenshots/ShowcaseFolder.h"
#include "tools/screenshots/DeviceScenes.h"
#include "tools/screenshots/Shooting.h"
#include "tools/screenshots/WizardScenes.h"
#include "tools/stock_content/StockContent.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
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
    for (const char* folder : {"documents", "appdata", "settings", "work", "media"})
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
    return TakeDeviceScenes(window, [&](const QString& name, const QPixmap& picture) {
        return shooter.Save(name, picture);
    });
}

bool TakeTasks(VelmoraMainWindow& window, Shooter& shooter)
{
    return TakeTaskScenes(window, [&](const QString& name, const QPixmap& picture) {
        return shooter.Save(name, picture);
    });
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
    if (!OpenRow(window, {QStringLiteral("User Content"), QStringLiteral("Show (BREVANT)"), QStringLiteral("Opening ")})
        || !shooter.Save(QStringLiteral("library.png"), Grab(window)))
        return false;
    // The content actions of the folder's row.
    NodeTree* tree = window.Tree();
    const QPixmap menu = GrabContextMenu(window, *tree, tree->visualRect(tree->currentIndex()).center());
    if (menu.isNull()) {
        std::fprintf(stderr, "the folder's menu did not open\n");
        return false;
    }
    return shooter.Save(QStringLiteral("context-menu.png"), menu);
}

bool TakeStock(VelmoraMainWindow& window, Shooter& shooter)
{
    window.Tree()->collapseAll();
    return OpenRow(window, {QStringLiteral("Stock Content"), QStringLiteral("BREVANT"), QStringLiteral("Colours")})
        && shooter.Save(QStringLiteral("stock.png"), Grab(window));
}

// Runs the ffmpeg tool with `arguments`; false when it fails.
bool RunFFmpeg(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + arguments);
    const bool ran = process.waitForStarted(-1) && process.waitForFinished(-1)
        && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ran)
        std::fprintf(stderr, "ffmpeg could not make the media\n");
    return ran;
}

// The import dialog over a picture of 640 × 480 with the sample mask shown, and over a
// clip of 10 frames a second at its eighth frame. The media are made by ffmpeg's test
// pattern into `work`.
bool TakeImport(Shooter& shooter, const QDir& work)
{
    const QString picture = work.filePath(QStringLiteral("pic.png"));
    const QString clip = work.filePath(QStringLiteral("clip.mp4"));
    if (!RunFFmpeg({"-f", "lavfi", "-i", "testsrc2=size=640x480", "-frames:v", "1", picture})
        || !RunFFmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=10:duration=1.5", "-c:v", "libx264",
                       "-pix_fmt", "yuv420p", clip}))
        return false;
    {
        BrevantImage image;
        BrevantImageImportDialog dialog(255, &image);
        dialog.SetTitle(QStringLiteral("pic.png"));
        if (!ReadImageFrames(picture, 255, 0, dialog.Store()) || !ShowDialog(dialog))
            return false;
        dialog.findChild<QPushButton*>(QStringLiteral("showMask"))->click();
        if (!shooter.Save(QStringLiteral("import-picture.png"), Grab(dialog)))
            return false;
    }
    BrevantImage image;
    BrevantImageImportDialog dialog(255, &image);
    dialog.SetTitle(QStringLiteral("clip.mp4"));
    if (!ReadVideoFrames(clip, 255, dialog.Store()) || !ShowDialog(dialog))
        return false;
    dialog.findChild<QSlider*>(QStringLiteral("frame"))->setValue(7);
    return shooter.Save(QStringLiteral("import-clip.png"), Grab(dialog));
}

// The view dialog playing an animated image, caught on a later frame.
bool TakeView(Shooter& shooter)
{
    // Real time here: each frame stays long enough for a picture of it.
    const platform::ScopedTimeScale realTime(1.0);
    const std::unique_ptr<BrevantImage> image = ShowcaseImage(QStringLiteral("Spiral"), 7, 12, 100, 3);
    BrevantImageViewDialog dialog(nullptr, image.get());
    if (!ShowDialog(dialog))
        return false;
    dialog.findChild<QPushButton*>(QStringLiteral("play"))->click();
    auto* frame = dialog.findChild<QSlider*>(QStringLiteral("frame"));
    // Four frames on, so the picture shows playback under way.
    if (!WaitFor([&] { return frame->value() >= 4; }))
        return false;
    return shooter.Save(QStringLiteral("view.png"), Grab(dialog));
}

// The "Preview" tab of a folder of six animated images (with their addresses) and a
// sub-folder, twice: a frame apart, so the two pictures show the tiles playing.
bool TakePreview(Shooter& shooter)
{
    // Real time here: each frame stays long enough for a picture of it.
    const platform::ScopedTimeScale realTime(1.0);
    ShowcaseFolder folder(QStringLiteral("Opening"), 41, BREVANTContentPackagePolicy::Instance());
    const QStringList names = {"Spiral", "Comet", "Tide", "Ember", "Aurora", "Prism"};
    for (int i = 0; i < names.size(); ++i)
        folder.Adopt(ShowcaseImage(names[i], i + 1, 12, 400, i).release());
    folder.AddFolder(QStringLiteral("Encore"), 42);
    ContentFolderView view;
    view.setCurrentWidget(view.Preview());
    view.resize(560, 320);
    view.SetFolder(&folder);
    if (!ShowDialog(view))
        return false;
    ContentPreview* scene = view.Preview()->Preview();
    auto* first = dynamic_cast<LEDImageItem*>(scene->Item(0));
    if (!first)
        return false;
    // Start from a fresh frame, so both pictures are taken well inside one.
    const int start = first->FrameOnShow();
    if (!WaitFor([&] { return first->FrameOnShow() != start; }))
        return false;
    if (!shooter.Save(QStringLiteral("preview.png"), Grab(view)))
        return false;
    const int shown = first->FrameOnShow();
    return WaitFor([&] { return first->FrameOnShow() != shown; })
        && shooter.Save(QStringLiteral("preview-next.png"), Grab(view));
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
        && TakeStock(window, shooter) && TakeImport(shooter, QDir(data.filePath(QStringLiteral("work"))))
        && TakeView(shooter) && TakePreview(shooter) && TakeDialogScenes(shooter) && TakeWizardScenes(window, shooter)
        && TakeTasks(window, shooter)
        && TakeCreatorScenes(&window, QDir(data.path()).filePath(QStringLiteral("media")), shooter);
    return taken ? 0 : 1;
}

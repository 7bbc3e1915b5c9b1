#include "app/devices/DeviceNodes.h"
#include "app/devices/DeviceViews.h"
#include "app/shell/MainWindowParts.h"
#include "app/shell/ProgramSession.h"
#include "app/shell/VelmoraMainWindow.h"
#include "app/tasks/TaskItem.h"
#include "app/tasks/TaskView.h"
#include "app/tree/ContentNodes.h"
#include "app/tree/NodeTree.h"
#include "content/operations/ContentOperation.h"
#include "content/ContentProtection.h"
#include "content/policies/NamedPolicies.h"
#include "fixtures/QelRDM.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "fixtures/tree/QelRDMContentRoot.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/stock/StockContentRoot.h"
#include "link/commands/CommManager.h"
#include "link/commands/RDMChangeAddressCommand.h"
#include "link/commands/RDMIdentifyCommand.h"
#include "link/devices/DeviceManager.h"
#include "link/ui/OperationDialog.h"
#include "link/ui/Preferences.h"
#include "sim/fixtures/QelFixture.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/ModalDialogDriver.h"
#include "tests/common/TestEnvironment.h"
#include "tests/content/MemoryFolders.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/link/PollUntil.h"

#include <QDir>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSemaphore>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <gtest/gtest.h>

using app_test::FindAction;
using app_test::ScriptedChooser;

namespace {

constexpr const char* kTwoBrevantsAndAPlainFixture = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2],
    "fixtures": [
      { "kind": "brevant", "uid": "7ff0:00000101", "label": "Stage left" },
      { "kind": "brevant", "uid": "7ff0:00000102" },
      { "kind": "rdm-responder", "uid": "7ff0:00000301", "label": "Dimmer rack", "startAddress": 100 } ] } ] })";

constexpr const char* kEmptyLine = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [] } ] })";

// The main window on the simulated computer, with in-memory libraries and a scripted
// chooser; message boxes are answered by the test.
class MainWindowTest : public WidgetRigTest
{
protected:
    MainWindowTest()
        : user_(RootContentPolicy::Instance(), "User Content"),
          stock_(StandardStockContentPolicy::Instance(), "Stock Content"),
          mosavra_(RootMosavraContentPolicy::Instance(), "Mosavra Content"),
          chooser_(std::make_shared<ScriptedChooser>())
    {
    }

    void SetUp() override
    {
        WidgetRigTest::SetUp();
        Preferences::SetFolder(testing_env::TemporaryRoot());
        MainWindowParts::SetContentRoots([this] { return ContentRoots{&user_, &stock_, &mosavra_}; });
    }
    void TearDown() override
    {
        window_.reset();
        MainWindowParts::Reset();
        Quit();
        MemoryLink::Instance().Drain();
        WidgetRigTest::TearDown();
    }

    void Open(const char* rig)
    {
        BootRig(rig);
        // After the boot: the registry they set up must use the booted computer's queue.
        RegisterProgramParts();
        // The test answers the fleet commands' choices in place of the wizards.
        MainWindowParts::SetFleetChooser(chooser_);
        window_ = std::make_unique<VelmoraMainWindow>();
    }
    bool WaitForDevices(int count)
    {
        return PollUntil([&] { return DeviceManager::Instance()->Devices().size() == count; }, 30000);
    }
    QStringList TopRows() const
    {
        QStringList texts;
        QAbstractItemModel* model = window_->Tree()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, 0).data().toString();
        return texts;
    }
    // Triggers `action` and answers the message box it opens; its title and text.
    QStringList BoxOf(const QString& action, QMessageBox::Icon* icon = nullptr)
    {
        QStringList shown;
        testing_env::ModalDialogDriver dialogs;
        dialogs.Then<QMessageBox>([&](QMessageBox* box) {
            shown << box->windowTitle() << box->text();
            if (icon)
                *icon = box->icon();
            box->accept();
        });
        QAction* command = FindAction(*window_, action);
        EXPECT_NE(command, nullptr) << action.toStdString();
        if (command)
            command->trigger();
        return shown;
    }

    MemoryFolder user_;
    MemoryFolder stock_;
    MemoryFolder mosavra_;
    std::shared_ptr<ScriptedChooser> chooser_;
    std::unique_ptr<VelmoraMainWindow> window_;
};

} // namespace

TEST_F(MainWindowTest, StartsWithItsMenusRowsAndTheDevicesViewAndDiscovers)
{
    Open(kTwoBrevantsAndAPlainFixture);
    EXPECT_EQ(window_->windowTitle(), "Velmora - Quorvane");
    EXPECT_EQ(window_->size(), QSize(750, 600));

    QStringList menus;
    for (QAction* menu : window_->menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"File", "Device", "Mosavra", "Help"}));
    const QList<QAction*> bar = window_->menuBar()->actions();
    EXPECT_EQ(app_test::EntryTexts(*bar[0]->menu()), QStringList{"Exit"});
    EXPECT_EQ(app_test::EntryTexts(*bar[1]->menu()),
              (QStringList{"&Discover Devices", "&Upgrade Devices", "Updat&e Stock Content",
                           "Dele&te All User Content", "C&lone Devices"}));
    EXPECT_EQ(app_test::EntryTexts(*bar[2]->menu()),
              (QStringList{"C&reate...", "Update &Mosavra Content", "-", "Delete All Mosavr&a Content"}));
    EXPECT_EQ(app_test::EntryTexts(*bar[3]->menu()), QStringList{"About"});

    QAction* exit = FindAction(*window_, "Exit");
    EXPECT_EQ(exit->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(exit->statusTip(), "Exit Application");
    QAction* about = FindAction(*window_, "About");
    EXPECT_TRUE(about->shortcut().isEmpty());
    EXPECT_TRUE(about->statusTip().isEmpty());
    EXPECT_EQ(FindAction(*window_, "&Discover Devices")->shortcut(), QKeySequence("Ctrl+D"));
    EXPECT_EQ(FindAction(*window_, "C&lone Devices")->statusTip(), "Clone content to devices");

    EXPECT_EQ(TopRows(), (QStringList{"Devices", "User Content", "Stock Content", "Mosavra Content"}));
    EXPECT_NE(qobject_cast<DeviceListView*>(window_->ViewStack()->currentWidget()), nullptr);
    EXPECT_FALSE(window_->Tree()->currentIndex().isValid());

    // The discovery queued at start finds the fixtures.
    ASSERT_TRUE(WaitForDevices(3));
}

TEST_F(MainWindowTest, ALibraryWithoutARootHasNoRow)
{
    MainWindowParts::SetContentRoots([this] { return ContentRoots{&user_, nullptr, &mosavra_}; });
    Open(kEmptyLine);
    EXPECT_EQ(TopRows(), (QStringList{"Devices", "User Content", "Mosavra Content"}));
}

TEST_F(MainWindowTest, FleetCommandsRefuseWithoutDevicesOrPackages)
{
    Open(kEmptyLine);
    ASSERT_TRUE(PollUntil([] { return !DeviceManager::Instance()->Devices().size(); }));
    for (const char* command : {"Updat&e Stock Content", "Dele&te All User Content", "C&lone Devices",
                                "Update &Mosavra Content", "Delete All Mosavr&a Content"}) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        EXPECT_EQ(BoxOf(command, &icon), (QStringList{"", "No devices have been discovered"})) << command;
        EXPECT_EQ(icon, QMessageBox::Critical) << command;
    }
    EXPECT_EQ(chooser_->asked, 0);

    chooser_->upgradable = [](const QList<Device*>&) { return QList<Device*>(); };
    EXPECT_EQ(BoxOf("&Upgrade Devices"),
              (QStringList{"Device Upgrade", "No upgradable devices have been discovered"}));
    EXPECT_EQ(chooser_->asked, 0);
}

TEST_F(MainWindowTest, CloneRefusesAnEmptyLibraryAndRunsTheChosenSynchronisation)
{
    Open(kTwoBrevantsAndAPlainFixture);
    ASSERT_TRUE(WaitForDevices(3));
    EXPECT_EQ(BoxOf("C&lone Devices"),
              (QStringList{"", "No content packages have been created.  Create or import a content package to the "
                               "user content library."}));

    // Folders without family rules, so that they take in-memory contents.
    static PolicyBase anything;
    MemoryFolder* show = user_.AddFolder("Show", 0, &anything);
    show->AddFolder("Shows", 45, &anything)->AddContent("Sky", 1);
    MemoryFolder target(&anything, "User Content");
    // The operation dialog shows itself only if the run fails: then the test fails too.
    testing_env::ModalDialogDriver dialogs;
    bool failed = false;
    dialogs.Then<OperationDialog>([&](OperationDialog* dialog) {
        failed = true;
        app_test::ConfirmWhenDone(dialog);
    });
    bool held = false;
    chooser_->answer = [&](const QList<Device*>& offered) {
        FleetChoice choice;
        choice.devices = offered;
        choice.source = show;
        choice.targets = {&target};
        held = true;
        choice.hold = std::shared_ptr<void>(nullptr, [&](void*) { held = false; });
        return std::optional<FleetChoice>(choice);
    };
    FindAction(*window_, "C&lone Devices")->trigger();
    EXPECT_EQ(chooser_->offered.size(), 3);
    EXPECT_EQ(chooser_->offeredPackages, QList<ContentFolder*>{show});
    ASSERT_EQ(target.ChildCount(), 1);
    auto* copied = qobject_cast<ContentFolder*>(target.Child(0));
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->GetName(), "Shows");
    EXPECT_EQ(copied->ChildCount(), 1);
    EXPECT_FALSE(held) << "the hold lasts until the run is over, not longer";
    EXPECT_FALSE(failed);
}

// The Mosavra menu's first command opens the creator installed at start-up, modally over
// the window; closing it keeps its templates in the user library.
TEST_F(MainWindowTest, CreateOpensTheMosavraCreatorWhichSavesItsTemplatesWhenClosed)
{
    QTemporaryDir library;
    const QStringList savedLibrary = QDir::searchPaths(QStringLiteral("ContentLibraryRoot"));
    QDir::setSearchPaths(QStringLiteral("ContentLibraryRoot"), {library.path()});
    Open(kEmptyLine);
    QAction* create = FindAction(*window_, "C&reate...");
    ASSERT_NE(create, nullptr);
    EXPECT_TRUE(create->isEnabled());
    QString title;
    testing_env::ModalDialogDriver dialogs;
    dialogs.Then<QDialog>([&](QDialog* creator) {
        title = creator->windowTitle();
        creator->reject();
    });
    create->trigger();
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(title, "Mosavra Creator");
    EXPECT_TRUE(QFile::exists(QDir(library.path()).filePath("templates.xml")));
    QDir::setSearchPaths(QStringLiteral("ContentLibraryRoot"), savedLibrary);
}

TEST_F(MainWindowTest, CommandsWithoutAChooserAreNotOfferedAndAboutAsksIt)
{
    Open(kEmptyLine);
    FindAction(*window_, "About")->trigger();
    EXPECT_EQ(chooser_->aboutShown, 1);
    window_.reset();

    MainWindowParts::SetFleetChooser(nullptr);
    window_ = std::make_unique<VelmoraMainWindow>();
    for (const char* command : {"&Upgrade Devices", "C&lone Devices", "About", "Updat&e Stock Content"})
        EXPECT_FALSE(FindAction(*window_, command)->isEnabled()) << command;
    EXPECT_TRUE(FindAction(*window_, "&Discover Devices")->isEnabled());
    EXPECT_TRUE(FindAction(*window_, "Exit")->isEnabled());
}

TEST_F(MainWindowTest, TheDevicesRowListsTheFixturesAndTheTaskListFollowsTheDiscovery)
{
    Open(kTwoBrevantsAndAPlainFixture);
    auto* list = qobject_cast<DeviceListView*>(window_->ViewStack()->currentWidget());
    ASSERT_NE(list, nullptr);
    auto* tasks = dynamic_cast<TaskView*>(window_->TaskList());
    ASSERT_NE(tasks, nullptr);
    // The discovery queued at start has its tile, which goes once it has finished cleanly.
    ASSERT_EQ(tasks->Tasks().size(), 1);
    QPointer<TaskItem> tile = tasks->Tasks().first();
    EXPECT_EQ(tile->Title(), "Fixture Discovery");
    QStringList lines;
    QObject::connect(tile, &TaskItem::textAdded, [&](const QString& text) { lines << text; });

    ASSERT_TRUE(PollUntil([&] { return list->model()->rowCount() == 3; }, 30000));
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "7ff000000101");
    EXPECT_EQ(list->model()->index(2, 6).data().toString(), "100");
    ASSERT_TRUE(PollUntil([&] { return tasks->Tasks().isEmpty(); }, 30000));
    EXPECT_TRUE(lines.contains("RDM Discovery: Finished!")) << lines.join(" / ").toStdString();

    // The fixtures' rows below the "Devices" row, sorted by model name.
    QStandardItem* devices = window_->Tree()->Model()->itemFromIndex(window_->DevicesRow());
    ASSERT_EQ(devices->rowCount(), 3);
    EXPECT_EQ(devices->child(0, 0)->text(), "BREVANT (0x7ff000000102)");
    EXPECT_EQ(devices->child(1, 0)->text(), "BREVANT (Stage left)");
    EXPECT_EQ(devices->child(2, 1)->text(), "100");
}

TEST_F(MainWindowTest, ContentOperationsShowTheirBoxesOverTheWindowWhileItLives)
{
    Open(kEmptyLine);
    EXPECT_EQ(ContentOperation::MessageReceiver(), window_.get());
    QStringList shown;
    testing_env::ModalDialogDriver dialogs;
    dialogs.Then<QMessageBox>([&](QMessageBox* box) {
        shown << box->windowTitle() << box->text();
        box->accept();
    });
    window_->DisplayInformationBox("Update Stock Content", "Stock Content Up To Date.");
    EXPECT_EQ(shown, (QStringList{"Update Stock Content", "Stock Content Up To Date."}));
    window_.reset();
    EXPECT_EQ(ContentOperation::MessageReceiver(), nullptr);
}

namespace {

// A command that runs until the test lets it finish, successfully. It holds the queue, so
// that what is queued after it waits.
class HeldCommand : public Command
{
public:
    HeldCommand(const QString& name, bool interruptsSafely) : safe_(interruptsSafely) { SetName(name); }
    bool Execute() override
    {
        running_.release();
        go_.acquire();
        Finished(FeedbackSuccess);
        return true;
    }
    bool InterruptsSafely() const override { return safe_; }

    bool WaitRunning() { return PollUntil([this] { return running_.available() > 0; }); }
    void Release() { go_.release(); }

private:
    const bool safe_;
    QSemaphore running_;
    QSemaphore go_;
};

// Answers the next message box with `answer`, noting what it asked.
struct QuitQuestion
{
    QuitQuestion()
    {
        dialogs.Then<QMessageBox>([this](QMessageBox* box) {
            asked = true;
            text = box->text();
            title = box->windowTitle();
            defaultIsNo = box->defaultButton() && box->defaultButton() == box->button(QMessageBox::No);
            if (QAbstractButton* button = box->button(answer))
                button->click();
            else
                box->reject();
        });
    }

    QMessageBox::StandardButton answer = QMessageBox::No;
    bool asked = false;
    bool defaultIsNo = false;
    QString title, text;
    testing_env::ModalDialogDriver dialogs;
};

} // namespace

// Closing the window while a command that changes a fixture runs or waits asks first; No
// keeps the window and lets the commands end as they would have. Reads do not ask.
TEST_F(MainWindowTest, QuittingWhileAFixtureIsChangedAsksAndNoLetsTheChangeFinish)
{
    Open(kTwoBrevantsAndAPlainFixture);
    ASSERT_TRUE(WaitForDevices(3));
    window_->show();
    Device* dimmer = DeviceManager::Instance()->FindDevice(0x7FF0'0000'0301ull);
    ASSERT_NE(dimmer, nullptr);
    ASSERT_EQ(dimmer->GetDmxAddress(), 100);

    // An upgrade runs; an address change waits behind it.
    HeldCommand upgrade("BREVANT Firmware Upgrade", false);
    RDMChangeAddressCommand change;
    change.SetDevice(dimmer, 200);
    QList<QUuid> completed;
    QList<FeedbackResult> results;
    QObject::connect(CommManager::Instance(), &CommManager::CommandCompleted, window_.get(),
                     [&](QUuid id) { completed << id; });
    QObject::connect(&change, &Command::IFeedback_Finished, window_.get(),
                     [&](FeedbackResult result) { results << result; });
    CommManager::Instance()->QueueCommand(&upgrade);
    ASSERT_TRUE(upgrade.WaitRunning());
    CommManager::Instance()->QueueCommand(&change);
    {
        QuitQuestion no;
        EXPECT_FALSE(window_->close());
        EXPECT_TRUE(no.asked);
        EXPECT_EQ(no.title, "Velmora Application");
        EXPECT_EQ(no.text, "Device commands are still running (BREVANT Firmware Upgrade). Quitting now may leave "
                           "fixtures without working firmware or content. Quit anyway?");
        EXPECT_TRUE(no.defaultIsNo);
        EXPECT_TRUE(window_->isVisible());
    }
    upgrade.Release();
    ASSERT_TRUE(PollUntil([&] { return completed.contains(change.GetId()); }, 30000));
    EXPECT_TRUE(completed.contains(upgrade.GetId()));
    EXPECT_EQ(results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_EQ(dimmer->GetDmxAddress(), 200);

    // Nothing that changes a fixture is left: the window closes without a word, even while
    // a discovery, an identify and a read wait behind another read.
    HeldCommand read("Qel Content Discovery", true);
    CommManager::Instance()->QueueCommand(&read);
    ASSERT_TRUE(read.WaitRunning());
    DeviceManager::Instance()->Discover();
    RDMIdentifyCommand identify;
    identify.SetDevice(dimmer);
    CommManager::Instance()->QueueCommand(&identify);
    {
        QuitQuestion none;
        EXPECT_TRUE(window_->close());
        EXPECT_FALSE(none.asked);
    }
    read.Release();
    ASSERT_TRUE(PollUntil([&] { return completed.contains(identify.GetId()); }, 30000));

    // Yes quits all the same.
    window_->show();
    HeldCommand again("BREVANT Firmware Upgrade", false);
    CommManager::Instance()->QueueCommand(&again);
    ASSERT_TRUE(again.WaitRunning());
    {
        QuitQuestion yes;
        yes.answer = QMessageBox::Yes;
        EXPECT_TRUE(window_->close());
        EXPECT_TRUE(yes.asked);
        EXPECT_FALSE(window_->isVisible());
    }
    again.Release();
    ASSERT_TRUE(PollUntil([&] { return completed.contains(again.GetId()); }));
}

namespace {

// A Brevant fixture with 200 user and 60 Mosavra items, and a plain one.
QString ContentRig()
{
    const auto files = [](int count) {
        QStringList list;
        for (int file = 1; file <= count; ++file)
            list << QStringLiteral(R"({ "number": %1, "name": "I%1" })").arg(file);
        return list.join(QLatin1Char(','));
    };
    return QStringLiteral(R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
        { "kind": "brevant", "uid": "7ff0:00000101", "mosavraAddress": 300, "content": { "folders": [
            { "number": 41, "name": "Shows", "files": [ %1 ] },
            { "number": 42, "name": "Logos", "files": [ %1 ] },
            { "number": 251, "name": "Wall", "files": [ %2 ] } ] } },
        { "kind": "rdm-responder", "uid": "7ff0:00000301" } ] } ] })")
        .arg(files(100), files(60));
}

} // namespace

TEST_F(MainWindowTest, AFamilyFixturesParametersEndWithItsContentRows)
{
    const QByteArray rig = ContentRig().toUtf8();
    Open(rig.constData());
    ASSERT_TRUE(WaitForDevices(2));
    auto* fixture = qobject_cast<QelRDM*>(DeviceManager::Instance()->FindDevice(0x7FF0'0000'0101ull));
    ASSERT_TRUE(fixture);
    // Its row built the fixture's content tree, which then reads the fixture's content.
    QStandardItem* devices = window_->Tree()->Model()->itemFromIndex(window_->DevicesRow());
    ASSERT_EQ(devices->rowCount(), 2);
    const QModelIndex row = devices->child(0, 0)->index();
    ASSERT_TRUE(PollUntil([&] { return fixture->UserGroup()->ContentCount() == 200 &&
                                       fixture->MosavraGroup()->ContentCount() == 60; }, 60000));
    window_->Tree()->setCurrentIndex(row);

    auto* view = qobject_cast<DeviceView*>(window_->ViewStack()->currentWidget());
    ASSERT_NE(view, nullptr);
    QAbstractItemModel* table = view->model();
    const int rows = table->rowCount();
    ASSERT_GE(rows, 6);
    QStringList lastRows;
    for (int row = rows - 6; row < rows; ++row)
        lastRows << table->index(row, 0).data().toString() + "=" + table->index(row, 1).data().toString();
    EXPECT_EQ(lastRows, (QStringList{"Mosavra Address=300", "GE Unique Id=0x4e000101", "GE Boot Code Changed=0",
                                     "User Content Remaining=0", "User Content Used=200", "Mosavra Content Used=60"}));
}

namespace {

constexpr quint64 k101 = 0x7FF0'0000'0101ull;
constexpr quint64 k102 = 0x7FF0'0000'0102ull;
constexpr quint64 k301 = 0x7FF0'0000'0301ull;

// The first Brevant fixture holds user content in folder 41 and Mosavra content in 251.
constexpr const char* kFleetRig = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
    { "kind": "brevant", "uid": "7ff0:00000101", "content": { "folders": [
        { "number": 41, "name": "Shows", "files": [ { "number": 1, "name": "Dawn" } ] },
        { "number": 251, "name": "Wall", "files": [ { "number": 1, "name": "Part" } ] } ] } },
    { "kind": "brevant", "uid": "7ff0:00000102" },
    { "kind": "rdm-responder", "uid": "7ff0:00000301" } ] } ] })";

// The window over the stock content the build makes and an empty Mosavra library, on the
// line of two Brevant fixtures and a plain one.
class FleetUpdateTest : public MainWindowTest
{
protected:
    FleetUpdateTest() : savedStockPaths_(QDir::searchPaths(QStringLiteral("StockContent"))) {}

    void SetUp() override
    {
        MainWindowTest::SetUp();
        QDir::setSearchPaths(QStringLiteral("StockContent"), {QStringLiteral(VELMORA_STOCK_CONTENT_DIR)});
        ASSERT_TRUE(mosavraFolder_.isValid());
        stock_ = std::make_unique<StockContentRoot>();
        mosavraLibrary_ = std::make_unique<MosavraContentLibraryRoot>(mosavraFolder_.path());
        MainWindowParts::SetContentRoots(
            [this] { return ContentRoots{&user_, stock_.get(), mosavraLibrary_.get()}; });
        Open(kFleetRig);
        ASSERT_TRUE(WaitForDevices(3));
        // The fixtures' content as the device rows would have read it.
        for (quint64 uid : {k101, k102})
            ASSERT_TRUE(PollUntil([&] { return Fixture(uid)->ContentRoot()->ChildrenRead(); }, 60000));
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        mosavraLibrary_.reset();
        stock_.reset();
        QDir::setSearchPaths(QStringLiteral("StockContent"), savedStockPaths_);
    }

    static QelRDM* Fixture(quint64 uid)
    {
        return qobject_cast<QelRDM*>(DeviceManager::Instance()->FindDevice(uid));
    }
    // Chooses `model` and the fixtures of `uids` when asked.
    void Choose(const QString& model, const QList<quint64>& uids)
    {
        chooser_->answer = [model, uids](const QList<Device*>&) {
            FleetChoice choice;
            choice.model = model;
            for (quint64 uid : uids)
                choice.devices.append(DeviceManager::Instance()->FindDevice(uid));
            return std::optional<FleetChoice>(choice);
        };
    }
    // "number name: files" of each folder numbered `first`..`last` that the simulated
    // fixture stores.
    QStringList Stored(std::size_t rigIndex, int first = 1, int last = 40) const
    {
        QStringList folders;
        const auto fixture = std::dynamic_pointer_cast<sim::QelFixture>(RigResponder(rigIndex));
        for (const auto& [number, folder] : fixture->Content().folders) {
            if (number >= first && number <= last)
                folders << QStringLiteral("%1 %2: %3")
                               .arg(number)
                               .arg(QString::fromLatin1(folder.name))
                               .arg(folder.files.size());
        }
        return folders;
    }

    QTemporaryDir mosavraFolder_;
    std::unique_ptr<StockContentRoot> stock_;
    std::unique_ptr<MosavraContentLibraryRoot> mosavraLibrary_;
    QStringList savedStockPaths_;
};

} // namespace

TEST_F(FleetUpdateTest, AStockUpdateWritesTheStockGroupsOnlyWhileItRunsAndASecondFindsThemUpToDate)
{
    // The plain fixture has no stock group: it is passed over.
    Choose("BREVANT", {k101, k102, k301});
    // What a group answers about its protection while the update adds folders to it.
    QList<bool> readOnlyDuringRun;
    QelRDMContentGroup* group = Fixture(k101)->StockGroup();
    QObject::connect(group, &ContentFolder::FolderAdded, group,
                     [&] { readOnlyDuringRun << group->IsChildrenReadOnly(); });

    app_test::ModalAnswerer answers;
    FindAction(*window_, "Updat&e Stock Content")->trigger();
    EXPECT_EQ(chooser_->offered.size(), 3) << "every fixture is offered; the wizard chooses";
    EXPECT_TRUE(answers.boxes.isEmpty()) << answers.boxes.join(" / ").toStdString();
    EXPECT_EQ(readOnlyDuringRun, (QList<bool>{false, false}));
    EXPECT_TRUE(group->IsChildrenReadOnly());
    EXPECT_EQ(StockContentProtected.load(), 1);
    const QStringList expected{"1 Colours: 4", "2 Patterns: 4"};
    EXPECT_EQ(Stored(0), expected);
    EXPECT_EQ(Stored(1), expected);
    for (quint64 uid : {k101, k102})
        EXPECT_EQ(Fixture(uid)->StockGroup()->ContentCount(), 8);

    FindAction(*window_, "Updat&e Stock Content")->trigger();
    EXPECT_EQ(answers.boxes, (QStringList{"Update Stock Content", "Stock Content Up To Date."}));
    EXPECT_EQ(StockContentProtected.load(), 1);
}

namespace {

// The tree's row of `folder` below `cell`, or null.
QStandardItem* RowOf(QStandardItem* cell, const ContentFolder* folder)
{
    for (int row = 0; row < cell->rowCount(); ++row) {
        QStandardItem* child = cell->child(row, 0);
        if (const auto* node = ContentFolderNode::From(child); node && node->Folder() == folder)
            return child;
        if (QStandardItem* found = RowOf(child, folder))
            return found;
    }
    return nullptr;
}

QImage Picture(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

// The folders an update makes while the protection is lowered show the lock once it is
// raised again, as those that were there before do.
TEST_F(FleetUpdateTest, FoldersAnUpdateMadeShowTheLockOnceItIsOver)
{
    Choose("BREVANT", {k101});
    app_test::ModalAnswerer answers;
    FindAction(*window_, "Updat&e Stock Content")->trigger();
    QelRDMContentGroup* group = Fixture(k101)->StockGroup();
    ASSERT_EQ(group->ChildCount(), 2);
    QStandardItem* devices = window_->Tree()->Model()->itemFromIndex(window_->DevicesRow());
    QStandardItem* groupRow = RowOf(devices, group);
    ASSERT_NE(groupRow, nullptr);
    ASSERT_TRUE(PollUntil([&] { return groupRow->rowCount() == 2; }));

    const QImage locked = Picture(QIcon(QStringLiteral(":/Resources/content-folder-qrv-16.png")));
    ASSERT_FALSE(locked.isNull());
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(Picture(groupRow->child(row, 0)->icon()), locked) << groupRow->child(row, 0)->text().toStdString();
    EXPECT_EQ(Picture(groupRow->icon()), Picture(QIcon(QStringLiteral(":/Resources/content-package-qrv-16.png"))));
}

TEST_F(FleetUpdateTest, DeclinedAndFailedStockUpdatesLeaveBothFlagsRaised)
{
    app_test::ModalAnswerer answers;
    FindAction(*window_, "Updat&e Stock Content")->trigger();
    EXPECT_EQ(chooser_->asked, 1);
    EXPECT_EQ(answers.confirmedRuns, 0);

    // The second fixture stops taking files: the run fails and the dialog says so.
    std::dynamic_pointer_cast<sim::QelFixture>(RigResponder(1))
        ->InjectContentFault(sim::QelContentFault::ReadyState(5).Always());
    Choose("BREVANT", {k101, k102});
    FindAction(*window_, "Updat&e Stock Content")->trigger();
    EXPECT_EQ(answers.confirmedRuns, 1);
    EXPECT_TRUE(answers.boxes.isEmpty()) << "a failed run is not up to date";

    // A model without a stock package: nothing runs.
    Choose("Unknown", {k101});
    FindAction(*window_, "Updat&e Stock Content")->trigger();
    EXPECT_EQ(answers.confirmedRuns, 1);
    EXPECT_TRUE(answers.boxes.isEmpty());
    for (const auto* flag : {&StockContentProtected, &MosavraContentProtected})
        EXPECT_EQ(flag->load(), 1);
}

TEST_F(FleetUpdateTest, AMosavraUpdateThatCannotShareItsPackageSaysSo)
{
    // The plain fixture has no Mosavra content of its own.
    Choose("BREVANT", {k101, k301});
    app_test::ModalAnswerer answers;
    FindAction(*window_, "Update &Mosavra Content")->trigger();
    EXPECT_EQ(answers.boxes, (QStringList{"Update Mosavra Content", "Failed to determine source."}));
    EXPECT_EQ(MosavraContentProtected.load(), 1);

    // An empty package shared to a fixture without Mosavra content: nothing to copy.
    answers.boxes.clear();
    Choose("Brevant", {k102});
    FindAction(*window_, "Update &Mosavra Content")->trigger();
    EXPECT_EQ(answers.boxes, (QStringList{"Update Mosavra Content", "Mosavra Content Up To Date."}));
    EXPECT_EQ(MosavraContentProtected.load(), 1);
}

TEST_F(FleetUpdateTest, TheDeleteAllsWipeTheChosenFixtures)
{
    ASSERT_EQ(Stored(0, 41, 255), (QStringList{"41 Shows: 1", "251 Wall: 1"}));
    app_test::ModalAnswerer answers;
    // A fixture the registry does not hold (as one a discovery removed during the wizard)
    // is passed over.
    BrevantRDM stray;
    stray.SetUniqueId(0x0999, 0x7FF0);
    chooser_->answer = [&stray](const QList<Device*>&) {
        FleetChoice choice;
        choice.devices = {DeviceManager::Instance()->FindDevice(k101), &stray};
        return std::optional<FleetChoice>(choice);
    };
    FindAction(*window_, "Dele&te All User Content")->trigger();
    EXPECT_EQ(Stored(0, 41, 255), QStringList{"251 Wall: 1"});
    FindAction(*window_, "Delete All Mosavr&a Content")->trigger();
    EXPECT_EQ(Stored(0, 41, 255), QStringList());
    EXPECT_EQ(chooser_->asked, 2);
    EXPECT_TRUE(answers.boxes.isEmpty()) << answers.boxes.join(" / ").toStdString();
    EXPECT_EQ(answers.confirmedRuns, 0) << "both runs succeeded";
    EXPECT_EQ(Fixture(k101)->UserGroup()->ChildCount(), 0);
    EXPECT_EQ(Fixture(k101)->MosavraGroup()->ChildCount(), 0);
    EXPECT_EQ(MosavraContentProtected.load(), 1);
}

TEST_F(FleetUpdateTest, AFixturesGroupsShowTheirFillLevelOrWhenProtectedTheirNumber)
{
    QelRDM* fixture = Fixture(k101);
    struct Case {
        ContentFolder* group;
        QString name;
        QString badge;
        bool fillLevel;
        int folderRows;
    };
    const int capacity = fixture->UserGroup()->Capacity();
    ASSERT_GT(capacity, 0);
    const QList<Case> cases = {
        {fixture->UserGroup(), fixture->UserGroup()->GetName(), QStringLiteral("%1%").arg(100 / capacity), true, 1},
        {fixture->StockGroup(), fixture->StockGroup()->GetName(), QString(), false, 0},
        {fixture->MosavraGroup(), fixture->MosavraGroup()->GetName(), QString(), false, 1},
    };
    for (const Case& c : cases) {
        QList<QStandardItem*> cells;
        MakeContentFolderRow(cells, c.group);
        ASSERT_EQ(cells.size(), 2);
        EXPECT_EQ(cells[0]->text(), c.name) << "no family after a fixture's folders";
        EXPECT_EQ(dynamic_cast<ContentCapacityNode*>(cells[1]) != nullptr, c.fillLevel) << c.name.toStdString();
        EXPECT_EQ(cells[1]->text(), c.badge) << c.name.toStdString();
        // The rows of the group's folders, below its name cell.
        EXPECT_EQ(cells[0]->rowCount(), c.folderRows) << c.name.toStdString();
        qDeleteAll(cells);
    }
}

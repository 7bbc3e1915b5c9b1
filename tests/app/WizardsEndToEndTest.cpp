// The fleet commands from the main window's menus through their wizards, to the simulated
// fixtures and back: the wizards installed as the program installs them, a user library
// on disk, the stock content and firmware packages the build makes.
#include "app/shell/ITaskList.h"
#include "app/shell/MainWindowParts.h"
#include "app/shell/ProgramSession.h"
#include "app/shell/VelmoraMainWindow.h"
#include "app/tree/ContentNodes.h"
#include "app/wizards/CloneWizard.h"
#include "app/wizards/FleetWizards.h"
#include "app/wizards/UpgradeWizard.h"
#include "content/ContentMutex.h"
#include "content/Content.h"
#include "fixtures/QelRDM.h"
#include "fixtures/tree/QelRDMContentGroup.h"
#include "fixtures/tree/QelRDMContentRoot.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/stock/StockContentRoot.h"
#include "library/user/ContentLibraryRoot.h"
#include "link/commands/Command.h"
#include "link/devices/DeviceManager.h"
#include "link/ui/Preferences.h"
#include "sim/fixtures/QelFixture.h"
#include "sim/fixtures/QelWire.h"
#include "sim/fixtures/TarvoLamp.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/WizardTestSupport.h"
#include "tests/common/TestEnvironment.h"
#include "tests/common/UiStepDriver.h"
#include "tests/content/MemoryFolders.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/link/PollUntil.h"
#include "tools/firmware_packages/FirmwarePackages.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardItem>
#include <QTemporaryDir>

#include <set>

using namespace wizard_test;
using testing_env::UiStepDriver;

namespace {

constexpr quint64 k101 = 0x7FF0'0000'0101ull;
constexpr quint64 k102 = 0x7FF0'0000'0102ull;
constexpr quint32 kLamp = 0x00C0FFEE;
// E1.20's DISC_UNIQUE_BRANCH and DISC_MUTE.
constexpr quint16 kDiscUniqueBranch = 0x0001;
constexpr quint16 kDiscMute = 0x0002;

const char* const kBoards = R"("motionBoard": { "upgradedVersion": "3.2.0.1" },
    "graphicsBoard": { "upgradedVersion": "GE 2.4.2.0" }, "upgradedFpgaVersion": 8)";

QString Rig()
{
    return QStringLiteral(R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
        { "kind": "brevant", "uid": "7ff0:00000101", "label": "Stage left", "startAddress": 17, "mosavraAddress": 7,
          %1, "content": { "folders": [ { "number": 45, "name": "Shows", "files": [
              { "number": 3, "name": "Old 3" }, { "number": 4, "name": "Old 4" } ] } ] } },
        { "kind": "brevant", "uid": "7ff0:00000102", "mosavraAddress": 12, %1 },
        { "kind": "cindral", "uid": "7ff0:00000201", %1 },
        { "kind": "tarvo-lamp", "id": "00c0ffee", "deviceType": 0 },
        { "kind": "rdm-responder", "uid": "7ff0:00000301", "startAddress": 100 } ] } ] })")
        .arg(QLatin1String(kBoards));
}

// The bottom pane as a record of each command queued: its name, the lines it wrote and how
// it finished.
class RecordingTaskList : public ITaskList
{
public:
    struct Task
    {
        QString name;
        QStringList lines;
        int result = 0;  // FeedbackResult once finished
    };

    // The window takes the pane's widget into its layout, and deletes it.
    QWidget* Widget() override
    {
        if (!widget_)
            widget_ = new QWidget;
        return widget_;
    }
    bool HasTaskFor(const QUuid& id) const override { return tasks_.contains(id); }
    void AddCommandTask(CommManager*, Command* command) override
    {
        const QUuid id = command->GetId();
        tasks_[id].name = command->GetName();
        order_.append(id);
        // The command writes on its own thread; these run on this one.
        QObject::connect(command, &Command::IFeedback_AddString, &context_,
                         [this, id](QString line, FeedbackStatus) { tasks_[id].lines << line; });
        QObject::connect(command, &Command::IFeedback_Finished, &context_,
                         [this, id](FeedbackResult result) { tasks_[id].result = int(result); });
    }

    // The last task of that name; null when there is none.
    const Task* Named(const QString& name) const
    {
        for (auto id = order_.rbegin(); id != order_.rend(); ++id) {
            const auto task = tasks_.constFind(*id);
            if (task->name == name)
                return &*task;
        }
        return nullptr;
    }

private:
    QPointer<QWidget> widget_;
    QObject context_;
    QMap<QUuid, Task> tasks_;
    QList<QUuid> order_;
};

class WizardsEndToEnd : public WidgetRigTest
{
protected:
    WizardsEndToEnd()
        : savedStock_(QDir::searchPaths(QStringLiteral("StockContent"))),
          savedFirmware_(QDir::searchPaths(QStringLiteral("Firmware")))
    {
    }

    void SetUp() override
    {
        WidgetRigTest::SetUp();
        Preferences::SetFolder(testing_env::TemporaryRoot());
        QDir::setSearchPaths(QStringLiteral("StockContent"), {QStringLiteral(VELMORA_STOCK_CONTENT_DIR)});
        QDir::setSearchPaths(QStringLiteral("Firmware"), {firmware_.path()});
        stock_ = std::make_unique<StockContentRoot>();
        mosavra_ = std::make_unique<MosavraContentLibraryRoot>(mosavraFolder_.path());
        user_ = std::make_unique<ContentLibraryRoot>(userFolder_.path());
        MainWindowParts::SetContentRoots([this] { return ContentRoots{user_.get(), stock_.get(), mosavra_.get()}; });
        const QByteArray rig = Rig().toUtf8();
        BootRig(rig.constData());
        RegisterProgramParts();
        // The tasks are recorded in place of the task list's tiles.
        MainWindowParts::SetTaskList([this](QWidget*) { return &tasks_; });
        window_ = std::make_unique<VelmoraMainWindow>();
        ASSERT_TRUE(PollUntil([] { return DeviceManager::Instance()->Devices().size() == 5; }, 30000));
        for (quint64 uid : {k101, k102})
            ASSERT_TRUE(PollUntil([&] { return Fixture(uid)->ContentRoot()->ChildrenRead(); }, 60000));
    }
    void TearDown() override
    {
        window_.reset();
        MainWindowParts::Reset();
        Quit();
        MemoryLink::Instance().Drain();
        user_.reset();
        mosavra_.reset();
        stock_.reset();
        QDir::setSearchPaths(QStringLiteral("StockContent"), savedStock_);
        QDir::setSearchPaths(QStringLiteral("Firmware"), savedFirmware_);
        WidgetRigTest::TearDown();
    }

    static QelRDM* Fixture(quint64 uid)
    {
        return qobject_cast<QelRDM*>(DeviceManager::Instance()->FindDevice(uid));
    }
    std::shared_ptr<sim::QelFixture> SimFixture(std::size_t index) const
    {
        return std::dynamic_pointer_cast<sim::QelFixture>(RigResponder(index));
    }
    // "number name: files" of the folders numbered `first`..`last` that the simulated
    // fixture stores.
    QStringList Stored(std::size_t index, int first, int last) const
    {
        QStringList folders;
        for (const auto& [number, folder] : SimFixture(index)->Content().folders) {
            if (number >= first && number <= last)
                folders << QStringLiteral("%1 %2: %3").arg(number).arg(QString::fromLatin1(folder.name)).arg(folder.files.size());
        }
        return folders;
    }
    // The same of the fixture's user content as the program's tree holds it.
    static QStringList TreeFolders(quint64 uid)
    {
        QStringList folders;
        ContentFolder* group = Fixture(uid)->GetUserContentGroup();
        const ContentLocker lock(&ContentMutex);
        for (int i = 0; i < group->ChildCount(); ++i) {
            if (auto* folder = qobject_cast<ContentFolder*>(group->Child(i)))
                folders << QStringLiteral("%1 %2: %3").arg(folder->GetAddress()).arg(folder->GetName()).arg(folder->ChildCount());
        }
        return folders;
    }
    void Trigger(const QString& action)
    {
        QAction* command = app_test::FindAction(*window_, action);
        ASSERT_NE(command, nullptr) << action.toStdString();
        command->trigger();
    }
    // The user library's package "Show" with folder 45 "Shows": two of the first family's
    // stock images.
    void SeedShow()
    {
        auto* source = qobject_cast<ContentFolder*>(stock_->PackageByModel("BREVANT"));
        ASSERT_TRUE(source && user_->CreateFolder("Show", 0, 0, nullptr));
        auto* show = qobject_cast<ContentFolder*>(user_->Child(0));
        ASSERT_TRUE(show && show->CreateFolder("Shows", 45, 0, nullptr));
        auto* shows = qobject_cast<ContentFolder*>(show->Child(0));
        auto* colours = qobject_cast<ContentFolder*>(source->Child(0));
        ASSERT_TRUE(shows && colours);
        QList<ContentBase*> copies;
        {
            const ContentLocker lock(&ContentMutex);
            for (int i = 0; i < 2; ++i)
                copies << qobject_cast<Content*>(colours->Child(i))->Clone();
        }
        ASSERT_TRUE(shows->AddChild(copies, nullptr));
    }

    QTemporaryDir firmware_;
    QTemporaryDir mosavraFolder_;
    QTemporaryDir userFolder_;
    std::unique_ptr<StockContentRoot> stock_;
    std::unique_ptr<MosavraContentLibraryRoot> mosavra_;
    std::unique_ptr<ContentLibraryRoot> user_;
    RecordingTaskList tasks_;
    std::unique_ptr<VelmoraMainWindow> window_;
    QStringList savedStock_;
    QStringList savedFirmware_;
};

// Ticks the rows with a check box on the current page whose column `column` reads one of
// `texts`, and unticks the others.
void Tick(QWizard* wizard, int column, const QStringList& texts)
{
    QTreeWidget* list = ListOf(wizard);
    for (QTreeWidgetItem* row : list->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive, column)) {
        if (row->data(0, Qt::CheckStateRole).isValid())
            row->setCheckState(0, texts.contains(row->text(column)) ? Qt::Checked : Qt::Unchecked);
    }
}

// Whether `device` has been deleted. The test body runs outside any event loop, where
// deferred deletions wait for a loop to start: they are run here, as the program's loop
// would run them.
bool DeletedLater(const QPointer<Device>& device)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return device.isNull();
}

} // namespace

TEST_F(WizardsEndToEnd, StockUpdateCloneAndDeletionRunOnTheFixturesChosenInTheirWizards)
{
    app_test::ModalAnswerer answers;
    UiStepDriver ui;

    // The stock content to 101 only.
    ui.Modal<StockContentWizard>([](StockContentWizard* w) {
        Click(w, QWizard::NextButton);
        Tick(w, 1, {"17"});
        Click(w, QWizard::FinishButton);
    });
    Trigger("Updat&e Stock Content");
    ASSERT_TRUE(ui.Done());
    EXPECT_EQ(Stored(0, 1, 40), (QStringList{"1 Colours: 4", "2 Patterns: 4"}));
    EXPECT_EQ(Stored(1, 1, 40), QStringList());

    // "Show" to both: each packet once for both, each folder 45 holding exactly its two.
    SeedShow();
    MarkLine();
    ui.Modal<CloneWizard>([](CloneWizard* w) {
        ListOf(w)->setCurrentItem(ListOf(w)->findItems("Show (BREVANT)", Qt::MatchExactly | Qt::MatchRecursive)[0]);
        Click(w, QWizard::NextButton);
        for (QTreeWidgetItem* row : ListOf(w)->findItems("BREVANT", Qt::MatchExactly | Qt::MatchRecursive))
            row->setCheckState(0, Qt::Checked);
        Click(w, QWizard::FinishButton);
    });
    Trigger("C&lone Devices");
    ASSERT_TRUE(ui.Done());
    const QList<LineRequest> uploads = LineRequests(sim::qelpid::BulkDataUpload);
    ASSERT_FALSE(uploads.isEmpty());
    std::set<QByteArray> distinct;
    for (const LineRequest& upload : uploads)
        distinct.insert(upload.data);
    EXPECT_EQ(distinct.size(), std::size_t(uploads.size())) << "every packet once, for both fixtures";
    for (std::size_t index : {0, 1})
        EXPECT_EQ(Stored(index, 41, 250), QStringList{"45 Shows: 2"}) << index;
    for (quint64 uid : {k101, k102})
        EXPECT_EQ(TreeFolders(uid), QStringList{"45 Shows: 2"});

    // All user content off 101: one request, and its group row shows it empty.
    MarkLine();
    ui.Modal<DeleteAllUserContentWizard>([](DeleteAllUserContentWizard* w) {
        Click(w, QWizard::NextButton);
        Tick(w, 1, {"17"});
        Click(w, QWizard::FinishButton);
    });
    Trigger("Dele&te All User Content");
    ASSERT_TRUE(ui.Done());
    int deletions = 0;
    for (const LineRequest& request : LineRequests(sim::qelpid::DeleteAllUserContent))
        deletions += request.commandClass == 0x30;  // SET
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(Stored(0, 41, 250), QStringList());
    EXPECT_EQ(Stored(1, 41, 250), QStringList{"45 Shows: 2"});
    QList<QStandardItem*> cells;
    MakeContentFolderRow(cells, Fixture(k101)->GetUserContentGroup());
    ASSERT_EQ(cells.size(), 2);
    EXPECT_EQ(cells[1]->text(), "0%");
    qDeleteAll(cells);

    // Both Mosavra wizards show the fixtures' Mosavra addresses on red badges.
    for (const char* action : {"Update &Mosavra Content", "Delete All Mosavr&a Content"}) {
        QStringList badges;
        ui.Modal<FleetWizard>([&](FleetWizard* w) {
            Click(w, QWizard::NextButton);
            QTreeWidget* list = ListOf(w);
            for (int row = 0; row < list->topLevelItemCount(); ++row)
                badges << list->topLevelItem(row)->text(1) + " "
                        + list->topLevelItem(row)->data(1, Qt::UserRole).value<QColor>().name();
            w->reject();
        });
        Trigger(action);
        ASSERT_TRUE(ui.Done());
        EXPECT_EQ(badges, (QStringList{"7 #ff0000", "12 #ff0000"})) << action;
    }
    EXPECT_TRUE(answers.boxes.isEmpty()) << answers.boxes.join(" / ").toStdString();
    EXPECT_EQ(answers.confirmedRuns, 0) << "every run succeeded";
}

TEST_F(WizardsEndToEnd, UpgradesRunOnTheFixturesAndFileChosenInTheWizard)
{
    QString error;
    ASSERT_TRUE(firmware_packages::WritePackage(0, firmware_.path(), &error)) << error.toStdString();
    app_test::ModalAnswerer answers;
    UiStepDriver ui;
    ui.Modal<UpgradeWizard>([](UpgradeWizard* w) {
        ComboOf(w)->setCurrentText("BREVANT");
        Click(w, QWizard::NextButton);
        ASSERT_EQ(w->currentId(), 2) << "the package in the firmware folder is the model's own";
        Tick(w, 1, {"0x7ff000000101"});
        Click(w, QWizard::FinishButton);
    });
    Trigger("&Upgrade Devices");
    ASSERT_TRUE(ui.Done());
    const RecordingTaskList::Task* upgrade = nullptr;
    ASSERT_TRUE(PollUntil([&] {
        upgrade = tasks_.Named("BREVANT Firmware Upgrade");
        return upgrade && upgrade->result != 0;
    }, 60000));
    EXPECT_EQ(upgrade->result, int(FeedbackSuccess)) << upgrade->lines.join('\n').toStdString();
    ASSERT_FALSE(upgrade->lines.isEmpty());
    EXPECT_EQ(upgrade->lines.last(), "Upgrade Completed!");
    const auto boards = [this](std::size_t index) {
        QPair<QByteArray, QByteArray> images;
        SimFixture(index)->WithBoards([&](sim::TarvoBoard& motion, sim::TarvoBoard& graphics) {
            images = {motion.Flash(), graphics.Flash()};
        });
        return images;
    };
    EXPECT_TRUE(boards(0).first == firmware_packages::MotionImage(0));
    EXPECT_TRUE(boards(0).second == firmware_packages::GraphicsImage(0));
    EXPECT_FALSE(boards(1).first == firmware_packages::MotionImage(0)) << "102 was not chosen";

    // The lamp from a file typed in.
    QFile lampFile(QDir(firmware_.path()).filePath("lamp-firmware.bin"));
    ASSERT_TRUE(lampFile.open(QIODevice::WriteOnly));
    QByteArray image(512 * 256, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 7 + i / 256) % 251);
    lampFile.write(image);
    lampFile.close();
    const QString lampModel = DeviceManager::Instance()->FindDevice(kLamp)->GetModelName();
    ui.Modal<UpgradeWizard>([&](UpgradeWizard* w) {
        ComboOf(w)->setCurrentText(lampModel);
        Click(w, QWizard::NextButton);
        w->currentPage()->findChild<QLineEdit*>()->setText(lampFile.fileName());
        Click(w, QWizard::NextButton);
        w->currentPage()->findChild<QPushButton*>()->click();  // "Select All"
        Click(w, QWizard::FinishButton);
    });
    Trigger("&Upgrade Devices");
    ASSERT_TRUE(ui.Done());
    const RecordingTaskList::Task* lamp = nullptr;
    ASSERT_TRUE(PollUntil([&] {
        lamp = tasks_.Named("Tarvo Firmware Upgrade");
        return lamp && lamp->result != 0;
    }, 60000));
    EXPECT_EQ(lamp->result, int(FeedbackSuccess)) << lamp->lines.join('\n').toStdString();
    EXPECT_TRUE(answers.boxes.isEmpty()) << answers.boxes.join(" / ").toStdString();
}

TEST_F(WizardsEndToEnd, AFixtureThatLeavesTheLineDuringAWizardOrARunIsDroppedSafely)
{
    SeedShow();
    app_test::ModalAnswerer answers;
    UiStepDriver ui;
    // 102 stops answering anything, discovery included.
    const auto silence102 = [this] {
        RigResponder(1)->InjectFault(sim::ResponderFault::Silence().Always());
        for (quint16 discoveryPid : {kDiscUniqueBranch, kDiscMute})
            RigResponder(1)->InjectFault(sim::ResponderFault::Silence().ForPid(discoveryPid).Always());
    };
    const auto rediscoverWithout102 = [&] {
        silence102();
        DeviceManager::Instance()->Discover();
        return PollUntil([] { return !DeviceManager::Instance()->FindDevice(k102); }, 60000);
    };

    // 102 leaves while the clone's destination page lists it: its row goes, the run
    // reaches 101 only.
    QPointer<Device> gone = DeviceManager::Instance()->FindDevice(k102);
    ui.Modal<CloneWizard>([&](CloneWizard* w) {
        ListOf(w)->setCurrentItem(ListOf(w)->findItems("Show (BREVANT)", Qt::MatchExactly | Qt::MatchRecursive)[0]);
        Click(w, QWizard::NextButton);
        for (QTreeWidgetItem* row : ListOf(w)->findItems("BREVANT", Qt::MatchExactly | Qt::MatchRecursive))
            row->setCheckState(0, Qt::Checked);
        ASSERT_TRUE(rediscoverWithout102());
        EXPECT_EQ(Outline(ListOf(w)->invisibleRootItem()), (QStringList{"Devices", "  BREVANT"}));
        Click(w, QWizard::FinishButton);
    });
    Trigger("C&lone Devices");
    ASSERT_TRUE(ui.Done());
    EXPECT_EQ(Stored(0, 41, 250), QStringList{"45 Shows: 2"});
    EXPECT_EQ(TreeFolders(k101), QStringList{"45 Shows: 2"});
    ASSERT_TRUE(PollUntil([&] { return DeletedLater(gone); })) << "deleted once nothing holds it";

    // 102 back; both chosen for a deletion, then 102 leaves while it runs: the run passes
    // over it and the registry deletes it after the run.
    RigResponder(1)->ClearFaults();
    DeviceManager::Instance()->Discover();
    ASSERT_TRUE(PollUntil([] { return DeviceManager::Instance()->FindDevice(k102) != nullptr; }, 60000));
    ASSERT_TRUE(PollUntil([&] { return Fixture(k102)->ContentRoot()->ChildrenRead(); }, 60000));
    gone = DeviceManager::Instance()->FindDevice(k102);
    bool removedWhileHeld = false;
    // The wizard is gone by the time the run starts: the window follows the registry.
    QObject::connect(DeviceManager::Instance(), &DeviceManager::DeviceRemoved, window_.get(),
                     [&](Device* device) { removedWhileHeld = device == gone && !gone.isNull(); });
    ui.Modal<DeleteAllUserContentWizard>([&](DeleteAllUserContentWizard* w) {
        Click(w, QWizard::NextButton);
        w->currentPage()->findChild<QPushButton*>()->click();  // "Select All"
        // The discovery runs before the deletion's commands, and ends during the run.
        silence102();
        DeviceManager::Instance()->Discover();
        Click(w, QWizard::FinishButton);
    });
    Trigger("Dele&te All User Content");
    ASSERT_TRUE(ui.Done());
    EXPECT_TRUE(removedWhileHeld);
    EXPECT_EQ(Stored(0, 41, 250), QStringList());
    ASSERT_TRUE(PollUntil([&] { return DeletedLater(gone); })) << "deleted once the run is over";
}

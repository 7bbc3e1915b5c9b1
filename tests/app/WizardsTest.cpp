// The fleet commands' wizards and the About box on fixture objects made by the test, each
// wizard run with exec() and driven as a user drives it.
#include "app/wizards/AboutDialog.h"
#include "app/wizards/CloneWizard.h"
#include "app/wizards/FleetWizards.h"
#include "app/wizards/LiveDevices.h"
#include "app/wizards/UpgradeWizard.h"
#include "content/policies/NamedPolicies.h"
#include "firmware/TarvoDevice.h"
#include "fixtures/QelRDM.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/stock/StockContentRoot.h"
#include "link/ui/Preferences.h"
#include "tests/app/WizardTestSupport.h"
#include "tests/common/TestEnvironment.h"
#include "tests/common/UiStepDriver.h"
#include "tests/content/MemoryFolders.h"
#include "tests/e2e/WidgetRig.h"
#include "tools/firmware_packages/FirmwarePackages.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest-spi.h>

using namespace wizard_test;
using testing_env::UiStepDriver;

namespace {

constexpr quint64 k101 = 0x7FF0'0000'0101ull;

// BREVANT 101 at 17 (Mosavra 7), BREVANT 102 at 0 (Mosavra 12), Cindral 201 at 5, a lamp,
// and two stand-ins with a stock group only, of the models "brevant" and "Other".
class WizardTest : public WidgetRigTest
{
protected:
    WizardTest()
        : stockGroup_(StandardStockContentPolicy::Instance(), "Stock Content"),
          savedStock_(QDir::searchPaths(QStringLiteral("StockContent"))),
          savedFirmware_(QDir::searchPaths(QStringLiteral("Firmware")))
    {
    }

    void SetUp() override
    {
        WidgetRigTest::SetUp();
        BootEmpty();
        Preferences::SetFolder(testing_env::TemporaryRoot());
        QDir::setSearchPaths(QStringLiteral("StockContent"), {QStringLiteral(VELMORA_STOCK_CONTENT_DIR)});
        QDir::setSearchPaths(QStringLiteral("Firmware"), {firmware_.path()});
        stock_ = std::make_unique<StockContentRoot>();
        mosavra_ = std::make_unique<MosavraContentLibraryRoot>(mosavraFolder_.path());
        AddFamily<BrevantRDM>(0x101, 17, 7);
        AddFamily<BrevantRDM>(0x102, 0, 12);
        AddFamily<CindralRDM>(0x201, 5, 3);
        auto lamp = std::make_unique<TarvoDevice>();
        lamp->SetUniqueId(0x00C0FFEE, 0);
        lamp->SetDeviceModelId(0);
        lamp_ = lamp.get();
        devices_.push_back(std::move(lamp));
        devices_.push_back(std::make_unique<StandInFixture>("brevant", 0x401, &stockGroup_));
        devices_.push_back(std::make_unique<StandInFixture>("Other", 0x402, &stockGroup_));
    }
    void TearDown() override
    {
        devices_.clear();
        mosavra_.reset();
        stock_.reset();
        QDir::setSearchPaths(QStringLiteral("StockContent"), savedStock_);
        QDir::setSearchPaths(QStringLiteral("Firmware"), savedFirmware_);
        Quit();
        WidgetRigTest::TearDown();
    }

    template <class FamilyFixture>
    void AddFamily(quint32 id, quint16 address, quint16 mosavra)
    {
        auto fixture = std::make_unique<FamilyFixture>();
        fixture->SetUniqueId(id, 0x7FF0);
        fixture->SetDmxStartAddress(address);
        fixture->SetMosavraAddress(mosavra);
        devices_.push_back(std::move(fixture));
    }
    QList<Device*> Devices() const
    {
        QList<Device*> list;
        for (const auto& device : devices_)
            list << device.get();
        return list;
    }
    Device* At(int index) const { return devices_[index].get(); }

    // The family's firmware package with the FPGA version `fpga`, written to `dir`.
    static QString WritePackage(int family, const QString& dir, int fpga)
    {
        using namespace firmware_packages;
        const QByteArray config = QStringLiteral(R"(<firmware><motion version="%1"/><graphics version="%2"/>)"
                                                 R"(<fpga version="%3"/></firmware>)")
                                      .arg(QLatin1String(kMotionVersion), QLatin1String(kGraphicsVersion))
                                      .arg(fpga)
                                      .toUtf8();
        const QString path = QDir(dir).filePath(PackageFileName(family));
        QString error;
        EXPECT_TRUE(WriteArchive(path,
                                 {{MotionMember(family), MotionImage(family)},
                                  {GraphicsMember(family), GraphicsImage(family)},
                                  {FpgaMember(family), FpgaImage(family)},
                                  {ConfigMember(family), config}},
                                 &error))
            << error.toStdString();
        return path;
    }

    MemoryFolder stockGroup_;
    QTemporaryDir firmware_;
    QTemporaryDir mosavraFolder_;
    std::unique_ptr<StockContentRoot> stock_;
    std::unique_ptr<MosavraContentLibraryRoot> mosavra_;
    std::vector<std::unique_ptr<Device>> devices_;
    Device* lamp_ = nullptr;
    QStringList savedStock_;
    QStringList savedFirmware_;
};

// One badge cell: text, light and dark colour, text colour.
QStringList Badge(const QTreeWidgetItem* row, int column)
{
    const auto name = [&](int role) { return row->data(column, role).value<QColor>().name(QColor::HexArgb); };
    return {row->text(column), name(Qt::UserRole), name(Qt::UserRole + 1), name(Qt::ForegroundRole)};
}

const QStringList kGreyBadge17{"17", "#ff606060", "#ff000000", "#ffffffff"};

} // namespace

TEST_F(WizardTest, TheStockWizardOffersModelsWithAPackageAndRefusesToFinishWithoutAFixture)
{
    StockContentWizard wizard(nullptr, Devices(), stock_.get());
    EXPECT_EQ(wizard.windowTitle(), "Stock Content Wizard");
    EXPECT_EQ(wizard.Models(), (QStringList{"BREVANT", "Cindral", "brevant"}));
    EXPECT_EQ(wizard.SelectedModel(), "BREVANT");

    QStringList refusal;
    UiStepDriver ui;
    ui.Modal<StockContentWizard>([&](StockContentWizard* w) {
        EXPECT_EQ(w->currentPage()->title(), "Select Device Model");
        EXPECT_EQ(w->currentPage()->subTitle(), "This wizard will update the stock content on the selected devices.");
        EXPECT_EQ(ComboItems(ComboOf(w)), (QStringList{"BREVANT", "Cindral", "brevant"}));
        EXPECT_EQ(ComboOf(w)->currentText(), "BREVANT");
        Click(w, QWizard::NextButton);

        EXPECT_EQ(w->currentPage()->title(), "Select Devices");
        EXPECT_EQ(w->currentPage()->subTitle(),
                  "Select the devices to update.  User content on the selected devices will NOT be affected.");
        QTreeWidget* list = ListOf(w);
        EXPECT_EQ(Headers(list), (QStringList{"Description", "Address"}));
        EXPECT_EQ(list->headerItem()->data(1, Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight));
        ASSERT_EQ(list->topLevelItemCount(), 2);
        EXPECT_EQ(Texts(list->topLevelItem(0)), (QStringList{"BREVANT", "17"}));
        EXPECT_EQ(Texts(list->topLevelItem(1)), (QStringList{"BREVANT", "0"}));
        EXPECT_EQ(Badge(list->topLevelItem(0), 1), kGreyBadge17);
        EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
        EXPECT_FALSE(list->topLevelItem(0)->flags() & Qt::ItemIsEditable);
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::NoSelection);
        EXPECT_TRUE(LabelTexts(w).contains("BREVANT"));

        Click(w, QWizard::FinishButton);  // the refusal, then still here
        EXPECT_EQ(w->currentId(), 1);
        w->currentPage()->findChild<QPushButton*>()->click();  // "Select All"
        Click(w, QWizard::FinishButton);
    });
    ui.Modal<QMessageBox>([&](QMessageBox* box) {
        refusal << box->windowTitle() << box->text() << QString::number(box->icon());
        box->accept();
    });
    ASSERT_EQ(wizard.exec(), QDialog::Accepted);
    EXPECT_TRUE(ui.Done());
    EXPECT_EQ(refusal, (QStringList{"", "No devices selected.  Select one or more devices to update before continuing.",
                                    QString::number(QMessageBox::Critical)}));
    EXPECT_EQ(wizard.SelectedModel(), "BREVANT");
    EXPECT_EQ(wizard.SelectedDevices(), (QList<Device*>{At(0), At(1)}));
}

TEST_F(WizardTest, TheMosavraAndDeleteAllWizardsDifferOnlyInTheirTable)
{
    // A stand-in of a family's model text counts for its model, yet gets no row.
    StandInFixture stray("BREVANT", 0x403, &stockGroup_, &stockGroup_);
    QList<Device*> devices = Devices();
    devices << &stray;
    struct Case
    {
        std::function<std::unique_ptr<FleetWizard>()> make;
        QString title;
        QStringList headers;
        QList<int> headerAlignment;
        QStringList models;
        int brevants;  // counted
        QString subTitle;
    };
    const int centred = int(Qt::AlignHCenter | Qt::AlignVCenter);
    const int right = int(Qt::AlignRight);
    const QList<Case> cases = {
        {[&] { return std::make_unique<UpdateMosavraContentWizard>(nullptr, devices, mosavra_.get()); },
         "Mosavra Content Wizard", {"Description", "Mosavra Address", "DMX Address"}, {centred, right},
         {"BREVANT", "Cindral", "brevant"}, 3,
         "Select the devices to update.  User and Stock content on the selected devices will NOT be affected."},
        {[&] { return std::make_unique<DeleteAllUserContentWizard>(nullptr, devices); },
         "Delete All User Content Wizard", {"Description", "Address"}, {right}, {"BREVANT", "Cindral"}, 3,
         "Select the devices to update.  User content on the selected devices WILL be removed."},
        {[&] { return std::make_unique<DeleteAllMosavraContentWizard>(nullptr, devices); },
         "Delete All Mosavra Content Wizard", {"Description", "Mosavra Address", "Address"}, {right, right},
         {"BREVANT", "Cindral"}, 3,
         "Select the devices to update.  Mosavra content on the selected devices WILL be removed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        std::unique_ptr<FleetWizard> wizard = c.make();
        EXPECT_EQ(wizard->windowTitle(), c.title);
        EXPECT_EQ(wizard->Models(), c.models) << "never the lamp, which holds no content";
        EXPECT_EQ(wizard->ModelDevices("BREVANT").size(), c.brevants);
        UiStepDriver ui;
        ui.Modal<FleetWizard>([&](FleetWizard* w) {
            Click(w, QWizard::NextButton);
            EXPECT_EQ(w->currentPage()->subTitle(), c.subTitle);
            QTreeWidget* list = ListOf(w);
            EXPECT_EQ(Headers(list), c.headers);
            for (int column = 1; column < list->columnCount(); ++column)
                EXPECT_EQ(list->headerItem()->data(column, Qt::TextAlignmentRole).toInt(), c.headerAlignment[column - 1]);
            const bool mosavra = c.headers.size() == 3;
            ASSERT_EQ(list->topLevelItemCount(), mosavra ? 2 : 3);
            if (mosavra) {
                EXPECT_EQ(Badge(list->topLevelItem(0), 1), (QStringList{"7", "#ffff0000", "#ff800000", "#ffffffff"}));
                EXPECT_EQ(Badge(list->topLevelItem(1), 1)[0], "12");
                EXPECT_EQ(Badge(list->topLevelItem(0), 2), kGreyBadge17);
            } else {
                EXPECT_EQ(Badge(list->topLevelItem(0), 1), kGreyBadge17);
            }
            w->reject();
        });
        EXPECT_EQ(wizard->exec(), QDialog::Rejected);
        EXPECT_TRUE(ui.Done());
    }
}

TEST_F(WizardTest, AFixtureThatGoesLeavesItsRowsItsChoiceAndAtLastItsModel)
{
    DeleteAllUserContentWizard wizard(nullptr, Devices());
    UiStepDriver ui;
    ui.Modal<FleetWizard>([&](FleetWizard* w) {
        Click(w, QWizard::NextButton);
        w->currentPage()->findChild<QPushButton*>()->click();  // "Select All"
        devices_.erase(devices_.begin());                       // 101 goes
        EXPECT_EQ(Outline(ListOf(w)->invisibleRootItem()), QStringList{"BREVANT"});
        Click(w, QWizard::FinishButton);
    });
    ASSERT_EQ(wizard.exec(), QDialog::Accepted);
    ASSERT_EQ(wizard.SelectedDevices().size(), 1);
    EXPECT_EQ(wizard.SelectedDevices()[0]->GetUniqueId(), 0x7FF0'0000'0102ull);
    devices_.erase(devices_.begin());  // 102: the model's last
    EXPECT_EQ(wizard.Models(), QStringList{"Cindral"});
    EXPECT_TRUE(wizard.SelectedDevices().isEmpty());
}

TEST_F(WizardTest, TheCloneWizardOffersFixturesAndPackagesAndAPackageOnlyToItsFamily)
{
    MemoryFolder show(BREVANTContentPackagePolicy::Instance(), "Show");
    MemoryFolder night(CINDRALContentPackagePolicy::Instance(), "Night");
    CloneWizard wizard(nullptr, Devices(), {&show, &night});
    EXPECT_EQ(wizard.windowTitle(), "Content Clone Wizard");
    QStringList boxes;
    const auto select = [](QWizard* w, const QString& text) {
        QTreeWidget* tree = ListOf(w);
        const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        tree->setCurrentItem(found[0]);
    };
    UiStepDriver ui;
    ui.Modal<CloneWizard>([&](CloneWizard* w) {
        EXPECT_EQ(w->currentPage()->title(), "Select Source Device or Package");
        QTreeWidget* tree = ListOf(w);
        EXPECT_EQ(Outline(tree->invisibleRootItem()), (QStringList{"Devices", "  BREVANT", "  BREVANT", "  Cindral",
                                                                   "User Content", "  Show (BREVANT)",
                                                                   "  Night (Cindral)"}));
        QTreeWidgetItem* devices = tree->topLevelItem(0);
        EXPECT_TRUE(devices->font(0).bold());
        EXPECT_FALSE(devices->flags() & Qt::ItemIsSelectable);
        EXPECT_EQ(Badge(devices->child(0), 1), kGreyBadge17);

        tree->setCurrentItem(devices);
        Click(w, QWizard::NextButton);  // a heading: refused
        EXPECT_EQ(w->currentId(), 0);

        select(w, "Show (BREVANT)");
        Click(w, QWizard::NextButton);
        EXPECT_EQ(w->currentPage()->title(), "Select Destination Devices");
        EXPECT_TRUE(LabelTexts(w).contains("Show"));
        EXPECT_EQ(Outline(ListOf(w)->invisibleRootItem()), (QStringList{"Devices", "  BREVANT", "  BREVANT"}));
        Click(w, QWizard::BackButton);

        select(w, "Night (Cindral)");
        Click(w, QWizard::NextButton);
        EXPECT_EQ(Outline(ListOf(w)->invisibleRootItem()), (QStringList{"Devices", "  Cindral"}));
        Click(w, QWizard::BackButton);

        select(w, "Show (BREVANT)");
        Click(w, QWizard::NextButton);
        Click(w, QWizard::BackButton);
        ListOf(w)->setCurrentItem(ListOf(w)->topLevelItem(0)->child(0));  // 101's content
        Click(w, QWizard::NextButton);
        EXPECT_TRUE(LabelTexts(w).contains("BREVANT, Address 17"));
        QTreeWidget* dest = ListOf(w);
        EXPECT_EQ(Outline(dest->invisibleRootItem()), (QStringList{"Devices", "  BREVANT", "  BREVANT", "  Cindral"}));
        EXPECT_EQ(dest->topLevelItem(0)->child(0)->checkState(0), Qt::Unchecked) << "the source itself, unticked";
        Click(w, QWizard::FinishButton);  // nothing ticked: refused
        dest->topLevelItem(0)->child(1)->setCheckState(0, Qt::Checked);
        dest->topLevelItem(0)->child(2)->setCheckState(0, Qt::Checked);
        Click(w, QWizard::FinishButton);
    });
    for (int box = 0; box < 2; ++box) {
        ui.Modal<QMessageBox>([&](QMessageBox* b) {
            boxes << b->windowTitle() + "|" + b->text();
            b->accept();
        });
    }
    ASSERT_EQ(wizard.exec(), QDialog::Accepted);
    EXPECT_TRUE(ui.Done());
    EXPECT_EQ(boxes, (QStringList{"|No source selected.  Select a source device or folder before continuing.",
                                  "|No destination devices selected.  Select one or more destination devices before "
                                  "continuing."}));
    EXPECT_EQ(wizard.Source(), At(0)->GetUserContentGroup());
    EXPECT_EQ(wizard.Targets(), (QList<ContentFolder*>{At(1)->GetUserContentGroup(), At(2)->GetUserContentGroup()}));
}

TEST_F(WizardTest, ThePackageOfAFamilyWithoutFixturesFindsNoDevices)
{
    devices_.erase(devices_.begin() + 2);  // Cindral 201
    MemoryFolder night(CINDRALContentPackagePolicy::Instance(), "Night");
    CloneWizard wizard(nullptr, Devices(), {&night});
    UiStepDriver ui;
    ui.Modal<CloneWizard>([&](CloneWizard* w) {
        ListOf(w)->setCurrentItem(ListOf(w)->findItems("Night (Cindral)", Qt::MatchExactly | Qt::MatchRecursive)[0]);
        Click(w, QWizard::NextButton);
        EXPECT_EQ(Outline(ListOf(w)->invisibleRootItem()), (QStringList{"Devices", "  (no devices found)"}));
        w->reject();
    });
    EXPECT_EQ(wizard.exec(), QDialog::Rejected);
    EXPECT_TRUE(ui.Done());
}

TEST_F(WizardTest, TheUpgradeWizardSkipsTheFilePageForAModelWithItsPackage)
{
    const QString brevant = WritePackage(0, firmware_.path(), 8);
    UpgradeWizard wizard(nullptr, Devices());
    EXPECT_EQ(wizard.windowTitle(), "Software Upgrade Wizard");
    EXPECT_EQ(wizard.GetUpgradableDevices(), (QList<Device*>{At(0), At(1), At(2), lamp_}));
    const QString lampModel = lamp_->GetModelName();
    ASSERT_FALSE(lampModel.isEmpty());
    QStringList refusal;
    UiStepDriver ui;
    ui.Modal<UpgradeWizard>([&](UpgradeWizard* w) {
        QComboBox* models = ComboOf(w);
        EXPECT_EQ(ComboItems(models), (QStringList{"BREVANT", "Cindral", lampModel}));
        // The lamp's model has no file of its own: the file page, Next disabled until a path.
        models->setCurrentText(lampModel);
        Click(w, QWizard::NextButton);
        EXPECT_EQ(w->currentPage()->title(), "Select Software File");
        EXPECT_FALSE(w->button(QWizard::NextButton)->isEnabled());
        w->currentPage()->findChild<QLineEdit*>()->setText("/somewhere/lamp.bin");
        EXPECT_TRUE(w->button(QWizard::NextButton)->isEnabled());
        Click(w, QWizard::BackButton);

        ComboOf(w)->setCurrentText("BREVANT");
        Click(w, QWizard::NextButton);
        EXPECT_EQ(w->currentId(), 2);
        EXPECT_EQ(w->currentPage()->title(), "Select Devices to Upgrade");
        EXPECT_TRUE(LabelTexts(w).contains(BrevantRDM().GetFirmwareFileVersion(brevant)));
        QTreeWidget* list = ListOf(w);
        EXPECT_EQ(Headers(list), (QStringList{"Upgrade", "Unique ID", "Current Software Version", "Address"}));
        ASSERT_EQ(list->topLevelItemCount(), 2);
        EXPECT_EQ(list->topLevelItem(0)->text(1), "0x7ff000000101");
        EXPECT_EQ(list->topLevelItem(1)->text(1), "0x7ff000000102");
        EXPECT_EQ(Badge(list->topLevelItem(0), 3), kGreyBadge17);
        EXPECT_EQ(list->header()->sectionSize(3), 50);
        EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Checked) << "the family takes any file";
        w->currentPage()->findChildren<QPushButton*>()[1]->click();  // "Clear All"
        Click(w, QWizard::FinishButton);
        EXPECT_EQ(w->currentId(), 2);
        list->topLevelItem(1)->setCheckState(0, Qt::Checked);
        Click(w, QWizard::FinishButton);
    });
    ui.Modal<QMessageBox>([&](QMessageBox* box) {
        refusal << box->windowTitle() << box->text();
        box->accept();
    });
    ASSERT_EQ(wizard.exec(), QDialog::Accepted);
    EXPECT_TRUE(ui.Done());
    EXPECT_EQ(refusal, (QStringList{"Upgrade Devices", "No devices selected.  Select one or more devices before continuing."}));
    EXPECT_EQ(wizard.GetUpgradeList(), QList<Device*>{At(1)});
    EXPECT_EQ(wizard.GetFile(), brevant);
}

TEST_F(WizardTest, TheUpgradeDevicePageShowsTheVersionOfTheFileChosenLast)
{
    // Both outside the firmware folder: the model has no file of its own.
    QTemporaryDir one;
    QTemporaryDir other;
    const QString first = WritePackage(1, one.path(), 8);
    const QString second = WritePackage(1, other.path(), 9);
    const CindralRDM cindral;
    ASSERT_NE(cindral.GetFirmwareFileVersion(first), cindral.GetFirmwareFileVersion(second));
    UpgradeWizard wizard(nullptr, Devices());
    QStringList versions;
    QString remembered;
    UiStepDriver ui;
    ui.Modal<UpgradeWizard>([&](UpgradeWizard* w) {
        ComboOf(w)->setCurrentText("Cindral");
        Click(w, QWizard::NextButton);
        ASSERT_EQ(w->currentId(), 1);
        // Browsing: a cancelled dialog changes nothing; a chosen file is taken.
        w->currentPage()->findChild<QPushButton*>()->click();
        EXPECT_TRUE(w->currentPage()->findChild<QLineEdit*>()->text().isEmpty());
        w->currentPage()->findChild<QPushButton*>()->click();
        Click(w, QWizard::NextButton);
        versions << LabelTexts(w).filter("FPGA");
        Click(w, QWizard::BackButton);
        w->currentPage()->findChild<QLineEdit*>()->setText(second);
        Click(w, QWizard::NextButton);
        versions << LabelTexts(w).filter("FPGA");
        w->reject();
    });
    ui.Modal<QFileDialog>([](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Select Software Upgrade File");
        EXPECT_EQ(dialog->nameFilters(), QStringList{"cindral*.qrvpkg"});
        dialog->reject();
    });
    ui.Modal<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectFile(first);
        static_cast<QDialog*>(dialog)->accept();
    });
    wizard.exec();
    EXPECT_TRUE(ui.Done());
    EXPECT_EQ(versions, (QStringList{cindral.GetFirmwareFileVersion(first), cindral.GetFirmwareFileVersion(second)}));
    {
        const ScopedPreferences preferences;
        remembered = preferences->LastPath(Preferences::kFirmwareUpgrade);
    }
    EXPECT_EQ(QDir(remembered), QFileInfo(first).absoluteDir());
}

TEST_F(WizardTest, AboutShowsTheProgramsAndThePackagesVersions)
{
    const QString brevant = WritePackage(0, firmware_.path(), 8);
    AboutDialog about;
    const QString text = about.findChild<QLabel*>("aboutText")->text();
    for (const QString& part : {QStringLiteral("Velmora Version 1.4.1.614"),
                                "BREVANT package version " + BrevantRDM().GetFirmwareFileVersion(brevant),
                                QStringLiteral("Cindral package version (Error parsing file)")})
        EXPECT_TRUE(text.contains(part)) << part.toStdString() << "\n" << text.toStdString();
    UiStepDriver ui;
    ui.Modal<AboutDialog>([](AboutDialog* dialog) { dialog->findChild<QPushButton*>()->click(); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

// The driver the wizards' tests use: a step that never finds its widget fails the test and
// closes what is open instead, so that the test goes on.
TEST(UiStepDriver, AStepThatFindsNothingFailsTheTestAndClosesWhatIsOpen)
{
    QDialog other;
    int result = -1;
    EXPECT_NONFATAL_FAILURE(
        {
            UiStepDriver ui(50);
            ui.Modal<QMessageBox>([](QMessageBox* box) { box->accept(); });
            result = other.exec();
        },
        "no QMessageBox opened in time; open: QDialog");
    EXPECT_EQ(result, QDialog::Rejected);
}

#include "app/wizards/UpgradeWizard.h"

#include "app/widgets/ItemPainters.h"
#include "app/wizards/LiveDevices.h"
#include "app/wizards/WizardRows.h"
#include "link/devices/Device.h"
#include "link/ui/Preferences.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum PageId { kModelPage = 0, kFilePage = 1, kDevicePage = 2 };

constexpr int kAddressColumn = 3;
constexpr int kAddressWidth = 50;

} // namespace

UpgradeWizard::UpgradeWizard(QWidget* parent, const QList<Device*>& devices) : QWizard(parent)
{
    setWindowTitle(QStringLiteral("Software Upgrade Wizard"));
    setOptions(options() | QWizard::NoBackButtonOnStartPage);
    offered_ = new LiveDevices(Upgradable(devices), this);
    groups_ = new ModelGroups(offered_, this);
    connect(offered_, &LiveDevices::Gone, this, [this](int place) { upgradePlaces_.removeAll(place); });
    setPage(kModelPage, new UpgradeModelPage(this));
    setPage(kFilePage, new UpgradeFirmwareFilePage(this));
    setPage(kDevicePage, new UpgradeDevicePage(this));
}

QList<Device*> UpgradeWizard::Upgradable(const QList<Device*>& devices)
{
    QList<Device*> upgradable;
    for (Device* device : devices) {
        if (device && device->IsUpgradable())
            upgradable.append(device);
    }
    return upgradable;
}

QList<Device*> UpgradeWizard::GetUpgradableDevices() const
{
    return offered_->Live();
}

QList<Device*> UpgradeWizard::GetUpgradeList() const
{
    QList<Device*> list;
    for (int place : upgradePlaces_) {
        if (Device* device = offered_->At(place))
            list.append(device);
    }
    return list;
}

QString UpgradeWizard::GetFile() const
{
    return field(QStringLiteral("file")).toString();
}

QList<Device*> UpgradeWizard::GetModelDevices(const QString& model) const
{
    return groups_->Devices(model);
}

QStringList UpgradeWizard::Models() const
{
    return groups_->Models();
}

bool UpgradeWizard::IsInUpgradeList(Device* device) const
{
    const int place = offered_->PlaceOf(device);
    return place >= 0 && upgradePlaces_.contains(place);
}

void UpgradeWizard::AddToUpgradeList(Device* device)
{
    const int place = offered_->PlaceOf(device);
    if (place >= 0 && !upgradePlaces_.contains(place))
        upgradePlaces_.append(place);
}

int UpgradeWizard::nextId() const
{
    if (currentId() == kModelPage)
        return GetFile().isEmpty() ? kFilePage : kDevicePage;
    return QWizard::nextId();
}

// ---- model page ---------------------------------------------------------------------

UpgradeModelPage::UpgradeModelPage(UpgradeWizard* wizard) : QWizardPage(wizard), wizard_(wizard)
{
    setTitle(QStringLiteral("Select Device Model"));
    setSubTitle(QStringLiteral("This wizard will help you upgrade software for the selected devices."));
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Model to upgrade:"), this), 0, 0);
    models_ = new QComboBox(this);
    layout->addWidget(models_, 0, 1);
    layout->setColumnStretch(1, 1);
    models_->addItems(wizard->Models());
    registerField(QStringLiteral("model*"), models_, "currentText", SIGNAL(currentTextChanged(QString)));
    connect(models_, &QComboBox::currentIndexChanged, this, &QWizardPage::completeChanged);
    connect(&wizard->Groups(), &ModelGroups::ModelsChanged, this,
            [this] { RefillModels(models_, wizard_->Models()); });
}

void UpgradeModelPage::initializePage()
{
    models_->setCurrentIndex(
        models_->findText(field(QStringLiteral("model")).toString(), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

bool UpgradeModelPage::isComplete() const
{
    return !models_->currentText().isEmpty();
}

bool UpgradeModelPage::validatePage()
{
    const QList<Device*> devices = wizard_->GetModelDevices(models_->currentText());
    if (devices.isEmpty())
        return false;
    // Passing this page always starts again from the model's own file (none: ask for one).
    setField(QStringLiteral("file"), devices.first()->GetDefaultFirmwareFile());
    return true;
}

// ---- file page ----------------------------------------------------------------------

UpgradeFirmwareFilePage::UpgradeFirmwareFilePage(UpgradeWizard* wizard) : QWizardPage(wizard), wizard_(wizard)
{
    setTitle(QStringLiteral("Select Software File"));
    setSubTitle(QStringLiteral("Specify the file containing the software for the selected device model."));
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Device Model:"), this), 0, 0);
    model_ = new QLabel(this);
    layout->addWidget(model_, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Software File:"), this), 1, 0);
    file_ = new QLineEdit(this);
    layout->addWidget(file_, 1, 1);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    layout->addWidget(browse, 1, 2);
    layout->setColumnStretch(1, 1);
    registerField(QStringLiteral("file*"), file_);
    connect(browse, &QPushButton::clicked, this, &UpgradeFirmwareFilePage::OnBrowseButtonClicked);
}

void UpgradeFirmwareFilePage::initializePage()
{
    model_->setText(field(QStringLiteral("model")).toString());
    file_->setText(field(QStringLiteral("file")).toString());
}

void UpgradeFirmwareFilePage::OnBrowseButtonClicked()
{
    const QList<Device*> devices = wizard_->GetModelDevices(field(QStringLiteral("model")).toString());
    if (devices.isEmpty())
        return;
    const QString filter = devices.first()->GetFirmwareFileFilter();
    // Held for the dialog and given back however it ends.
    const ScopedPreferences preferences;
    QFileDialog dialog(this, QStringLiteral("Select Software Upgrade File"),
                       preferences->LastPath(QString::fromLatin1(Preferences::kFirmwareUpgrade)), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().first();
    preferences->SetLastDirectory(QString::fromLatin1(Preferences::kFirmwareUpgrade), chosen);
    file_->setText(chosen);
}

// ---- device page --------------------------------------------------------------------

UpgradeDevicePage::UpgradeDevicePage(UpgradeWizard* wizard) : QWizardPage(wizard), wizard_(wizard)
{
    setTitle(QStringLiteral("Select Devices to Upgrade"));
    setSubTitle(QStringLiteral("Select the devices to receive the new software."));
    auto* layout = new QVBoxLayout(this);
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(new QLabel(QStringLiteral("Device Model:"), this));
    model_ = new QLabel(this);
    modelRow->addWidget(model_);
    modelRow->addStretch();
    layout->addLayout(modelRow);
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(new QLabel(QStringLiteral("Upgrade Software Version:"), this));
    version_ = new QLabel(this);
    versionRow->addWidget(version_);
    versionRow->addStretch();
    layout->addLayout(versionRow);
    layout->addWidget(new QLabel(QStringLiteral("Select devices to upgrade:"), this));

    list_ = new QTreeWidget(this);
    wizard_rows::SetUpList(list_,
                           {QStringLiteral("Upgrade"), QStringLiteral("Unique ID"), QStringLiteral("Current Software Version"),
                            QStringLiteral("Address")},
                           QAbstractItemView::NoSelection);
    list_->headerItem()->setData(kAddressColumn, Qt::TextAlignmentRole, int(Qt::AlignRight));
    list_->setItemDelegateForColumn(kAddressColumn, new OvalDelegate(list_));
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(kAddressColumn, QHeaderView::Fixed);
    list_->header()->resizeSection(kAddressColumn, kAddressWidth);
    layout->addWidget(list_);

    wizard_rows::AddCheckAllButtons(layout, list_);
    connect(&wizard->Offered(), &LiveDevices::Gone, this, [this](int place) { wizard_rows::RemoveRowsOf(list_, place); });
}

void UpgradeDevicePage::initializePage()
{
    const QString model = field(QStringLiteral("model")).toString();
    const QString file = field(QStringLiteral("file")).toString();
    model_->setText(model);
    // Each entry shows the version of the file chosen now, not of one chosen before Back.
    version_->clear();
    list_->clear();
    for (Device* device : wizard_->GetModelDevices(model)) {
        if (version_->text().isEmpty())
            version_->setText(device->GetFirmwareFileVersion(file));
        auto* row = new QTreeWidgetItem(list_);
        row->setFlags(row->flags() & ~Qt::ItemIsEditable);
        row->setCheckState(0, device->AcceptsFirmwareFile(file) ? Qt::Checked : Qt::Unchecked);
        row->setIcon(0, QIcon(QStringLiteral(":/Resources/fixture-16.png")));
        row->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<QObject*>(device)));
        wizard_rows::SetPlace(row, wizard_->Offered().PlaceOf(device));
        row->setText(1, QStringLiteral("0x%1").arg(device->GetUniqueId(), 0, 16));
        row->setText(2, device->GetSoftwareVersion());
        wizard_rows::SetBadge(row, kAddressColumn, device->GetDmxAddress(), wizard_rows::AddressLight(),
                              wizard_rows::AddressDark());
    }
}

bool UpgradeDevicePage::validatePage()
{
    wizard_->ClearUpgradeList();
    for (int place : wizard_rows::CheckedPlaces(list_->invisibleRootItem())) {
        if (Device* device = wizard_->Offered().At(place))
            wizard_->AddToUpgradeList(device);
    }
    if (wizard_->GetUpgradeList().isEmpty()) {
        QMessageBox::critical(this, QStringLiteral("Upgrade Devices"),
                              QStringLiteral("No devices selected.  Select one or more devices before continuing."),
                              QMessageBox::Ok);
        return false;
    }
    return QWizardPage::validatePage();
}
